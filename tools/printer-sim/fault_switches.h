#pragma once

#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <string_view>

namespace printer_sim {

// One fault, optionally limited to a single query so that a test can disturb only that one.
template <typename T>
struct Fault {
  T value{};
  std::string onlyFor;  // command text without line ending; empty = every query

  bool AppliesTo(std::string_view command) const {
    return value != T{} && (onlyFor.empty() || onlyFor == command);
  }

  bool operator==(const Fault&) const = default;
};

// Ways the printer can misbehave; all off by default. Faults combine.
struct FaultSwitches {
  // Queries that get no reply at all.
  std::set<std::string, std::less<>> silentOn;
  // Bytes of noise (never '{') sent before the reply frame.
  Fault<std::size_t> leadInGarbage;
  // Reply bytes go out one per write with this pause between them.
  Fault<int> slowByteDelayMs;
  // Only the first half of the frame goes out; TCP connections are then closed.
  Fault<bool> closeMidFrame;
  // The frame carries more data than any client accepts.
  Fault<bool> oversizedFrame;
  // The length field disagrees with the data.
  Fault<bool> badLength;
  // TCP connections are accepted but never read, so a writing client eventually blocks.
  bool neverRead = false;

  // UDP: every reply datagram goes out twice.
  bool duplicateReplies = false;
  // UDP: a 31-byte datagram, which the utility must drop, precedes every reply.
  bool shortReply = false;
  // UDP: this many extra copies of every reply.
  std::size_t floodReplies = 0;
  // UDP: requests are logged but never answered.
  bool udpSilent = false;
  // UDP: what becomes of the configuration block writes.
  enum class BlockWrites {
    Applied,     // applied and acknowledged with a header
    ShortAck,    // applied, acknowledged with a datagram shorter than a header
    Unanswered,  // neither applied nor acknowledged
    Unapplied,   // acknowledged, but the printer keeps its settings
  };
  BlockWrites blockWrites = BlockWrites::Applied;
  // The printers (indexes from 0) that `blockWrites` applies to; empty = every printer. The
  // others take their writes.
  std::set<int> blockWritesOn;

  // UDP: the printers (indexes from 0) that answer a discovery but leave every block read
  // unanswered, as one whose setup service hangs.
  std::set<int> blockReadsUnansweredOn;

  // TCP: the printers (indexes from 0) whose command language the faults above disturb; empty =
  // every printer. Only a fleet with TCP sides of their own has more than printer 0 on TCP.
  std::set<int> commandFaultsOn;

  BlockWrites BlockWritesTo(int printer) const {
    return blockWritesOn.empty() || blockWritesOn.contains(printer) ? blockWrites
                                                                    : BlockWrites::Applied;
  }

  // The faults printer `printer` answers the command language with: all, or none but neverRead,
  // which is the listener's.
  FaultSwitches CommandFaultsFor(int printer) const {
    if (commandFaultsOn.empty() || commandFaultsOn.contains(printer)) {
      return *this;
    }
    FaultSwitches none;
    none.neverRead = neverRead;
    return none;
  }

  // Limits every reply-shaping fault to `command`.
  void LimitTo(const std::string& command) {
    leadInGarbage.onlyFor = command;
    slowByteDelayMs.onlyFor = command;
    closeMidFrame.onlyFor = command;
    oversizedFrame.onlyFor = command;
    badLength.onlyFor = command;
  }

  bool operator==(const FaultSwitches&) const = default;
};

}  // namespace printer_sim
