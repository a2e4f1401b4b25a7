#include "netsetup/net_setup_exchange.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

// Discovery against a scripted responder on 127.0.0.1; nothing here leaves the loopback.

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t Sequence = 0x10005;

Bytes Datagram(std::uint8_t tag, std::size_t size) {
  return Bytes(size, tag);
}

// One datagram to send, `delayMs` after the previous one (or after the request).
struct Step {
  int delayMs;
  Bytes datagram;
};

// Waits for one request on 127.0.0.1 and answers its sender with the script.
class Responder {
 public:
  explicit Responder(std::vector<Step> script) : script_(std::move(script)) {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bound_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
             ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) == 0;
    port_ = ntohs(address.sin_port);
    if (bound_ && ::pipe2(stopPipe_, O_CLOEXEC) == 0) {
      thread_ = std::thread([this] { Run(); });
    }
  }

  ~Responder() {
    Finish();
    for (const int fd : {fd_, stopPipe_[0], stopPipe_[1]}) {
      if (fd >= 0) {
        ::close(fd);
      }
    }
  }

  bool Bound() const { return bound_; }
  quint16 Port() const { return port_; }

  // Stops the script where it is; afterwards the request is final.
  void Finish() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    if (stopPipe_[1] >= 0) {
      const char stop = 1;
      [[maybe_unused]] const ssize_t written = ::write(stopPipe_[1], &stop, 1);
    }
    if (thread_.joinable()) {
      thread_.join();
    }
  }

  const Bytes& Request() const { return request_; }
  int Sent() const { return sent_; }

  // Waits until `count` datagrams of the script have gone out.
  bool WaitForSent(int count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return sentChanged_.wait_for(lock, timeout, [&] { return sent_ >= count; });
  }

 private:
  void Run() {
    // A request already queued is taken even when told to stop.
    pollfd ready[] = {{fd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    if (::poll(ready, 2, 5000) <= 0 || (ready[0].revents & POLLIN) == 0) {
      return;
    }
    Bytes buffer(4096);
    sockaddr_in sender{};
    socklen_t size = sizeof sender;
    const ssize_t got = ::recvfrom(fd_, buffer.data(), buffer.size(), 0,
                                   reinterpret_cast<sockaddr*>(&sender), &size);
    if (got < 0) {
      return;
    }
    request_.assign(buffer.begin(), buffer.begin() + got);
    for (const Step& step : script_) {
      std::unique_lock lock(mutex_);
      if (wake_.wait_for(lock, std::chrono::milliseconds(step.delayMs), [this] { return stop_; })) {
        return;
      }
      lock.unlock();
      ::sendto(fd_, step.datagram.data(), step.datagram.size(), 0,
               reinterpret_cast<const sockaddr*>(&sender), size);
      lock.lock();
      ++sent_;
      lock.unlock();
      sentChanged_.notify_all();
    }
  }

  std::vector<Step> script_;
  int fd_ = -1;
  int stopPipe_[2] = {-1, -1};
  bool bound_ = false;
  quint16 port_ = 0;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable sentChanged_;
  bool stop_ = false;
  Bytes request_;
  int sent_ = 0;
  std::thread thread_;
};

struct Outcome {
  bool result = false;
  std::vector<Bytes> replies;
  long long elapsedMs = 0;
};

Outcome Discover(quint16 port, DiscoveryLimits limits) {
  const NetSetupExchange exchange(QHostAddress(QHostAddress::LocalHost), port);
  Outcome run;
  const auto start = Clock::now();
  run.result = exchange.Discover(
      Sequence,
      [&run](const std::uint8_t* data, std::size_t length) {
        run.replies.emplace_back(data, data + length);
      },
      limits);
  run.elapsedMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  return run;
}

Bytes DiscoveryRequest() {
  const auto request = BuildDiscoveryRequest(Sequence);
  return Bytes(request.begin(), request.end());
}

struct ExchangeCase {
  std::string name;
  std::vector<Step> script;
  std::vector<Bytes> delivered;
};

class DiscoverTableTest : public ::testing::TestWithParam<ExchangeCase> {};

TEST_P(DiscoverTableTest, DeliversTheRepliesInArrivalOrder) {
  Responder responder(GetParam().script);
  ASSERT_TRUE(responder.Bound());
  const Outcome run = Discover(responder.Port(), DiscoveryLimits{250, 5000, 1000});
  responder.Finish();
  EXPECT_TRUE(run.result);
  EXPECT_EQ(run.replies, GetParam().delivered);
  EXPECT_EQ(responder.Request(), DiscoveryRequest());
}

const Bytes A = Datagram(0xA1, 100);
const Bytes B = Datagram(0xB2, 60);
const Bytes C = Datagram(0xC3, 84);
const Bytes Short = Datagram(0x31, 31);
const Bytes HeaderOnly = Datagram(0x32, 32);

INSTANTIATE_TEST_SUITE_P(
    Table, DiscoverTableTest,
    ::testing::Values(
        ExchangeCase{"NoReply", {}, {}}, ExchangeCase{"TwoReplies", {{0, A}, {0, B}}, {A, B}},
        ExchangeCase{"ShortDatagramDropped", {{0, A}, {0, Short}, {0, B}}, {A, B}},
        // The short datagram still counts as activity: B comes 300 ms after A.
        ExchangeCase{"ShortDatagramKeepsListening", {{0, A}, {150, Short}, {150, B}}, {A, B}},
        ExchangeCase{"DuplicateDeliveredTwice", {{0, A}, {0, A}}, {A, A}},
        ExchangeCase{"HeaderSizeIsEnough", {{0, HeaderOnly}}, {HeaderOnly}},
        ExchangeCase{"EachReplyRestartsTheQuietWait", {{0, A}, {150, B}, {150, C}}, {A, B, C}},
        ExchangeCase{"ReplyAfterTheQuietWaitIsMissed", {{0, A}, {1000, B}}, {A}},
        ExchangeCase{"LongDatagramCutAtTheBuffer",
                     {{0, Datagram(0x44, 3000)}},
                     {Datagram(0x44, MaxDatagram)}}),
    [](const auto& info) { return info.param.name; });

TEST(NetSetupExchange, Discover_EndsAfterTheQuietWaitWhenNobodyListens) {
  // A port that was free a moment ago, with nobody on it now.
  quint16 port = 0;
  {
    Responder gone({});
    ASSERT_TRUE(gone.Bound());
    port = gone.Port();
  }
  const Outcome run = Discover(port, DiscoveryLimits{200, 5000, 1000});
  EXPECT_TRUE(run.result);
  EXPECT_TRUE(run.replies.empty());
  EXPECT_GE(run.elapsedMs, 190);
  EXPECT_LT(run.elapsedMs, 2000);
}

TEST(NetSetupExchange, Discover_StopsAtMaxRepliesWithoutWaitingForSilence) {
  std::vector<Step> burst;
  for (int i = 0; i < 20; ++i) {
    burst.push_back({0, Datagram(static_cast<std::uint8_t>(i), 40)});
  }
  Responder responder(burst);
  ASSERT_TRUE(responder.Bound());
  const Outcome run = Discover(responder.Port(), DiscoveryLimits{3000, 10000, 5});
  responder.Finish();
  ASSERT_EQ(run.replies.size(), 5u);
  for (std::size_t i = 0; i < run.replies.size(); ++i) {
    EXPECT_EQ(run.replies[i], burst[i].datagram);
  }
  EXPECT_LT(run.elapsedMs, 3000);
}

TEST(NetSetupExchange, Discover_StopsAtMaxTotalWhileADeviceKeepsAnswering) {
  // A reply every 5 ms for up to 4 s; it never falls silent for the 2 s quiet wait.
  std::vector<Step> flood(800, Step{5, Datagram(0x46, 40)});
  Responder responder(flood);
  ASSERT_TRUE(responder.Bound());
  const Outcome run = Discover(responder.Port(), DiscoveryLimits{2000, 300, 100000});
  responder.Finish();
  EXPECT_GE(run.elapsedMs, 290);
  EXPECT_LT(run.elapsedMs, 2000);
  EXPECT_FALSE(run.replies.empty());
  EXPECT_LT(run.replies.size(), flood.size());
}

// The requests of a remote address change: one answer each, a header's length or more.
struct SessionCase {
  std::string name;
  std::vector<Step> script;
  Bytes answer;
};

void PrintTo(const SessionCase& session, std::ostream* out) {
  *out << session.name;
}

class SessionTableTest : public ::testing::TestWithParam<SessionCase> {};

TEST_P(SessionTableTest, TakesTheFirstDatagramOfAHeadersLength) {
  Responder responder(GetParam().script);
  ASSERT_TRUE(responder.Bound());
  const NetSetupExchange exchange(QHostAddress(QHostAddress::LocalHost), responder.Port());
  const auto session = exchange.OpenSession();
  ASSERT_TRUE(session);
  const Bytes request = Datagram(0x03, 34);
  const auto start = Clock::now();
  EXPECT_EQ(session->Request(request.data(), request.size(), 300), GetParam().answer);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
  responder.Finish();
  EXPECT_EQ(responder.Request(), request);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SessionTableTest,
    ::testing::Values(SessionCase{"NoAnswer", {}, {}}, SessionCase{"Answer", {{0, A}}, A},
                      SessionCase{"FirstOfTwo", {{0, A}, {0, B}}, A},
                      SessionCase{"HeaderSizeIsEnough", {{0, HeaderOnly}}, HeaderOnly},
                      SessionCase{"ShortDatagramPassedOver", {{0, Short}, {0, A}}, A},
                      SessionCase{"OnlyShortDatagrams", {{0, Short}, {50, Short}}, {}}),
    [](const auto& info) { return info.param.name; });

TEST(NetSetupExchange, Session_LeavesAnAnswerMeantForTheRequestBeforeUnread) {
  // A printer that answers twice: the second copy is waiting when the next request goes out.
  Responder responder({{0, A}, {0, A}});
  ASSERT_TRUE(responder.Bound());
  const NetSetupExchange exchange(QHostAddress(QHostAddress::LocalHost), responder.Port());
  const auto session = exchange.OpenSession();
  ASSERT_TRUE(session);
  const Bytes request = Datagram(0x03, 34);
  EXPECT_EQ(session->Request(request.data(), request.size(), 2000), A);
  ASSERT_TRUE(responder.WaitForSent(2, std::chrono::seconds(5)));
  EXPECT_TRUE(session->Request(request.data(), request.size(), 100).empty());
}

}  // namespace
