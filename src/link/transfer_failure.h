#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// Why a write or a reply failed. The message the user sees stays "Transmit Data Error" or
// "Receive Data Error"; the front ends put this into words beside it, so that a technician can
// tell a silent printer from a wrong baud rate or a printer that stopped taking data.
enum class TransferFailureCause : std::int32_t {
  None = 0,        // nothing failed since the last open
  WriteStopped,    // the port stopped taking data part way through a write
  NoReply,         // nothing came within the link's wait
  CannotReceive,   // the link carries no replies (the parallel port)
  ReceiveBroken,   // bytes were dropped for want of room, or one came damaged
  NoFrame,         // bytes came, but never the start of a reply frame
  FrameTooLong,    // more bytes between the braces than a reply may hold
  LengthMismatch,  // the length field and the data disagree
  FrameCutOff,     // the frame broke off before its closing brace and is not whole
  BadFrame,        // no separator, or something other than digits before it
};

struct TransferFailure {
  TransferFailureCause cause = TransferFailureCause::None;
  std::string command;                  // the command written or answered, without "\r\n"
  std::chrono::milliseconds waited{0};  // how long the read that failed waited
  std::uint32_t sent = 0;               // bytes of the write the port took
  std::uint32_t total = 0;              // bytes of the write, or the length field's value
  std::uint32_t received = 0;           // bytes that came in answer: lead-in and frame
  std::uint32_t carried = 0;            // data bytes of the frame after its separator
  bool unreadable = false;              // mostly bytes the command language never sends

  bool Failed() const { return cause != TransferFailureCause::None; }
};

// The cause as a short lower-case word for scripts: "no-reply", "length-mismatch", ...
const char* TransferFailureCauseName(TransferFailureCause cause);
