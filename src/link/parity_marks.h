#pragma once

#include <cstdint>

#include "link/receive_buffer.h"

// Undoes the driver's marking of damaged bytes (termios PARMRK without IGNPAR or ISTRIP): a
// byte received with a parity or framing error arrives as 0xFF 0x00 X, a break as 0xFF 0x00
// 0x00, and a good 0xFF as 0xFF 0xFF. A mark may be split across reads; what is left of it
// waits for the next Feed.
class ParityMarkDecoder {
 public:
  // Appends the good bytes of `raw` to `buffer` in order. At a damaged byte it marks the buffer
  // damaged and takes nothing more until Reset, so the reader fails where the damage is.
  void Feed(const std::uint8_t* raw, std::uint32_t count, ReceiveBuffer& buffer);

  // Forgets a mark begun and the damage seen; a new open does this.
  void Reset() { state_ = State::Plain; }

 private:
  enum class State {
    Plain,    // between bytes
    Escaped,  // after a 0xFF
    Damaged,  // after a mark: nothing is trusted any more
  };
  State state_ = State::Plain;
};
