#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>

#include "printer-sim/command_interpreter.h"

namespace printer_sim {

// Replies waiting to go out on one non-blocking descriptor, paced as their plans say.
class OutgoingQueue {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  enum class WriteResult {
    Done,     // nothing more can go out before NextDue()
    Blocked,  // the descriptor is full; wait until it is writable
    Close,    // a reply asked for the connection to be closed
    Error,    // the descriptor failed
  };

  // `socket` selects send() without SIGPIPE instead of write().
  explicit OutgoingQueue(bool socket) : socket_(socket) {}

  void Push(ReplyPlan plan);
  void Clear();
  bool Empty() const { return items_.empty(); }
  std::size_t PendingBytes() const { return pendingBytes_; }

  // When the next byte may go out; nullopt while empty.
  std::optional<TimePoint> NextDue() const;
  bool WantsWrite(TimePoint now) const;

  // Writes whatever is due at `now`.
  WriteResult Write(int fd, TimePoint now);

 private:
  struct Item {
    ReplyPlan plan;
    std::size_t sent = 0;
  };

  long WriteSome(int fd, const char* data, std::size_t size) const;

  bool socket_;
  std::deque<Item> items_;
  std::size_t pendingBytes_ = 0;
  TimePoint nextSlowByte_{};  // earliest time for the next byte of a paced reply
};

}  // namespace printer_sim
