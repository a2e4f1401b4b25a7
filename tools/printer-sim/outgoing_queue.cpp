#include "printer-sim/outgoing_queue.h"

#include <errno.h>
#include <sys/socket.h>
#include <unistd.h>

#include <utility>

namespace printer_sim {

void OutgoingQueue::Push(ReplyPlan plan) {
  pendingBytes_ += plan.bytes.size();
  items_.push_back(Item{std::move(plan)});
}

void OutgoingQueue::Clear() {
  items_.clear();
  pendingBytes_ = 0;
}

std::optional<OutgoingQueue::TimePoint> OutgoingQueue::NextDue() const {
  if (items_.empty()) {
    return std::nullopt;
  }
  // An unpaced reply is due at once.
  return items_.front().plan.byteDelay.count() > 0 ? nextSlowByte_ : TimePoint::min();
}

bool OutgoingQueue::WantsWrite(TimePoint now) const {
  auto due = NextDue();
  return due && *due <= now;
}

long OutgoingQueue::WriteSome(int fd, const char* data, std::size_t size) const {
  while (true) {
    ssize_t n = socket_ ? send(fd, data, size, MSG_NOSIGNAL) : write(fd, data, size);
    if (n >= 0 || errno != EINTR) {
      return n;
    }
  }
}

OutgoingQueue::WriteResult OutgoingQueue::Write(int fd, TimePoint now) {
  while (!items_.empty()) {
    Item& item = items_.front();
    bool paced = item.plan.byteDelay.count() > 0;
    if (paced && now < nextSlowByte_) {
      return WriteResult::Done;
    }
    std::size_t remaining = item.plan.bytes.size() - item.sent;
    if (remaining > 0) {
      long n = WriteSome(fd, item.plan.bytes.data() + item.sent, paced ? 1 : remaining);
      if (n < 0) {
        return errno == EAGAIN || errno == EWOULDBLOCK ? WriteResult::Blocked : WriteResult::Error;
      }
      item.sent += static_cast<std::size_t>(n);
      pendingBytes_ -= static_cast<std::size_t>(n);
      if (paced) {
        nextSlowByte_ = now + item.plan.byteDelay;
      }
      if (item.sent < item.plan.bytes.size()) {
        if (paced) {
          return WriteResult::Done;
        }
        continue;  // partial write: try again; EAGAIN ends the loop
      }
    }
    bool close = item.plan.closeAfter;
    items_.pop_front();
    if (close) {
      Clear();
      return WriteResult::Close;
    }
  }
  return WriteResult::Done;
}

}  // namespace printer_sim
