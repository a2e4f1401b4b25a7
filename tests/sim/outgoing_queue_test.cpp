#include "printer-sim/outgoing_queue.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <string>

#include "printer-sim/unique_fd.h"

namespace printer_sim {
namespace {

using namespace std::chrono_literals;
using Result = OutgoingQueue::WriteResult;

// A socket pair whose writing end never blocks the test; time is passed in, not waited for.
class OutgoingQueueTest : public testing::Test {
 protected:
  void SetUp() override {
    std::array<int, 2> fds{};
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds.data()), 0);
    writer_.Reset(fds[0]);
    reader_.Reset(fds[1]);
  }
  std::string Received() {
    std::array<char, 256> buffer{};
    ssize_t n = read(reader_.Get(), buffer.data(), buffer.size());
    return n > 0 ? std::string(buffer.data(), static_cast<std::size_t>(n)) : std::string();
  }

  UniqueFd writer_, reader_;
  OutgoingQueue queue_{true};
  OutgoingQueue::TimePoint t0_ = OutgoingQueue::TimePoint() + 1h;
};

TEST_F(OutgoingQueueTest, PacedReplyGoesOutOneByteEachDelay) {
  queue_.Push({"{1|7}", 10ms, false});
  queue_.Push({"{1|8}", 0ms, false});
  EXPECT_EQ(queue_.Write(writer_.Get(), t0_), Result::Done);
  EXPECT_EQ(Received(), "{");
  EXPECT_FALSE(queue_.WantsWrite(t0_ + 9ms));
  EXPECT_EQ(queue_.NextDue(), t0_ + 10ms);
  EXPECT_EQ(queue_.Write(writer_.Get(), t0_ + 9ms), Result::Done);
  EXPECT_EQ(Received(), "");
  for (int i = 1; i <= 4; ++i) {
    queue_.Write(writer_.Get(), t0_ + i * 10ms);
  }
  // The unpaced reply behind it follows at once.
  EXPECT_EQ(Received(), "1|7}{1|8}");
  EXPECT_TRUE(queue_.Empty());
  EXPECT_EQ(queue_.PendingBytes(), 0u);
}

TEST_F(OutgoingQueueTest, CloseAfterDropsWhatFollows) {
  queue_.Push({"{4|", 0ms, true});
  queue_.Push({"{1|1}", 0ms, false});
  EXPECT_EQ(queue_.Write(writer_.Get(), t0_), Result::Close);
  EXPECT_EQ(Received(), "{4|");
  EXPECT_TRUE(queue_.Empty());
}

TEST_F(OutgoingQueueTest, FullDescriptorBlocksAndResumes) {
  std::string big(4 * 1024 * 1024, 'x');
  queue_.Push({big, 0ms, false});
  ASSERT_EQ(queue_.Write(writer_.Get(), t0_), Result::Blocked);
  EXPECT_GT(queue_.PendingBytes(), 0u);
  std::size_t received = 0;
  std::array<char, 65536> buffer{};
  for (int round = 0; round < 10000 && received < big.size(); ++round) {
    ssize_t n;
    while ((n = read(reader_.Get(), buffer.data(), buffer.size())) > 0) {
      received += static_cast<std::size_t>(n);
    }
    queue_.Write(writer_.Get(), t0_);
  }
  EXPECT_EQ(received, big.size());
  EXPECT_TRUE(queue_.Empty());
}

TEST_F(OutgoingQueueTest, ClosedPeerIsAnError) {
  reader_.Reset();
  queue_.Push({"{0|}", 0ms, false});
  EXPECT_EQ(queue_.Write(writer_.Get(), t0_), Result::Error);
}

}  // namespace
}  // namespace printer_sim
