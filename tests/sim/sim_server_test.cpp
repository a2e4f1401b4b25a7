#include "printer-sim/sim_server.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "printer-sim/unique_fd.h"

namespace printer_sim {
namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

UniqueFd ConnectTcp(std::uint16_t port) {
  UniqueFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ADD_FAILURE() << "connect: " << strerror(errno);
  }
  return fd;
}

// The commands are short: one send takes them whole.
void SendAll(int fd, std::string_view bytes) {
  EXPECT_EQ(send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size())) << errno;
}

// Reads until `done` holds for what arrived, the peer closes, or 5 s pass.
std::string ReadUntil(int fd, const std::function<bool(const std::string&)>& done,
                      bool* closed = nullptr) {
  std::string received;
  auto deadline = SteadyClock::now() + 5s;
  std::array<char, 65536> buffer{};
  while (!done(received)) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    pollfd p{fd, POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) {
      break;
    }
    ssize_t n = read(fd, buffer.data(), buffer.size());
    if (n <= 0) {
      if (closed) {
        *closed = true;
      }
      break;
    }
    received.append(buffer.data(), static_cast<std::size_t>(n));
  }
  return received;
}

std::string ReadFrames(int fd, std::size_t count) {
  return ReadUntil(fd, [count](const std::string& s) {
    return static_cast<std::size_t>(std::count(s.begin(), s.end(), '}')) >= count;
  });
}

bool Exists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

class SimServerTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = testing::TempDir() + "q73580-sim-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    config_.tcpPort = 0;
    config_.udp = true;
    config_.udpHost = "127.0.0.1";
    config_.udpPort = 0;
    config_.pty = true;
    config_.ptyLink = dir_ + "/ttyS9";
    config_.fifoPath = dir_ + "/lp0";
    server_ = std::make_unique<SimServer>(config_);
    std::string error;
    ASSERT_TRUE(server_->Start(&error)) << error;
  }
  void TearDown() override {
    server_.reset();
    rmdir(dir_.c_str());
  }
  bool WaitUntil(const std::function<bool()>& condition) {
    return server_->WaitUntil(condition, 5s);
  }

  std::string dir_;
  SimServerConfig config_;
  std::unique_ptr<SimServer> server_;
};

TEST_F(SimServerTest, TcpConnectionsShareStateButNotLines) {
  UniqueFd a = ConnectTcp(server_->TcpPort());
  UniqueFd b = ConnectTcp(server_->TcpPort());
  // Half a line on each; the halves must not mix.
  SendAll(a.Get(), "DIAGNOSTIC REPORT NET");
  SendAll(b.Get(), "NET NAME \"lab\"\r\nFOO\r\n");
  ASSERT_TRUE(WaitUntil([&] { return server_->ReceivedCount() == 2; }));
  SendAll(a.Get(), "NAME\r\nDIAGNOSTIC REPORT MACADDR\n");
  EXPECT_EQ(ReadFrames(a.Get(), 2), "{3|lab}{17|00:11:22:33:44:55}");

  UniqueFd c = ConnectTcp(server_->TcpPort());
  SendAll(c.Get(), "DIAGNOSTIC INTERFACE NET\r\n");
  EXPECT_EQ(ReadFrames(c.Get(), 1), "{2|OK}");
  EXPECT_EQ(server_->State().diagnosticInterface, DiagnosticInterface::Net);
  EXPECT_EQ(server_->AcceptedConnections(), 3u);

  auto log = server_->ReceivedCommands();
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[1].raw, "FOO\r\n");
  EXPECT_EQ(log[1].kind, CommandKind::Unknown);
  EXPECT_EQ(log[3].raw, "DIAGNOSTIC REPORT MACADDR\n");
  EXPECT_EQ(log[3].transport, Transport::Tcp);
  EXPECT_NE(log[0].channel, log[2].channel);
}

TEST_F(SimServerTest, PtyAnswersAcrossReopens) {
  EXPECT_EQ(server_->PtyPath().rfind("/dev/pts/", 0), 0u);
  for (int round = 0; round < 2; ++round) {
    UniqueFd tty(open(config_.ptyLink.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    ASSERT_TRUE(tty.Valid()) << strerror(errno);
    ASSERT_EQ(write(tty.Get(), "DIAGNOSTIC REPORT IPMASK\r\n", 26), 26);
    EXPECT_EQ(ReadFrames(tty.Get(), 1), "{13|255.255.255.0}");
  }
  EXPECT_EQ(server_->ReceivedCommands().back().transport, Transport::Pty);
}

TEST_F(SimServerTest, FifoCommandsAreApplied) {
  UniqueFd lp(open(config_.fifoPath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
  ASSERT_TRUE(lp.Valid()) << strerror(errno);
  std::string_view commands = "NET NAME \"lp\"\r\nDIAGNOSTIC REPORT YEAR\r\n";
  ASSERT_EQ(write(lp.Get(), commands.data(), commands.size()), ssize_t(commands.size()));
  lp.Reset();  // the simulator must keep reading after a writer leaves
  lp.Reset(open(config_.fifoPath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
  ASSERT_EQ(write(lp.Get(), "NET DHCP\n", 9), 9);
  ASSERT_TRUE(WaitUntil([&] { return server_->ReceivedCount() == 3; }));
  EXPECT_EQ(server_->State().name, "lp");
  EXPECT_EQ(server_->ReceivedCommands()[0].transport, Transport::Fifo);
}

TEST_F(SimServerTest, HugeLeadInDoesNotStallOtherClients) {
  FaultSwitches faults;
  faults.leadInGarbage = {4'000'000, "DIAGNOSTIC REPORT YEAR"};
  server_->SetFaults(faults);
  UniqueFd slow = ConnectTcp(server_->TcpPort());
  SendAll(slow.Get(), "DIAGNOSTIC REPORT YEAR\r\n");
  UniqueFd other = ConnectTcp(server_->TcpPort());
  SendAll(other.Get(), "DIAGNOSTIC REPORT NETNAME\r\n");
  EXPECT_EQ(ReadFrames(other.Get(), 1), "{6|Q73580}");
  std::string reply =
      ReadUntil(slow.Get(), [](const std::string& s) { return s.size() >= 4'000'008u; });
  EXPECT_EQ(reply.size(), 4'000'008u);
  EXPECT_EQ(reply.find('{'), 4'000'000u);
  EXPECT_TRUE(reply.ends_with("}"));
}

TEST_F(SimServerTest, NeverReadLetsTheWriterBlock) {
  FaultSwitches faults;
  faults.neverRead = true;
  server_->SetFaults(faults);
  UniqueFd fd = ConnectTcp(server_->TcpPort());
  ASSERT_TRUE(WaitUntil([&] { return server_->AcceptedConnections() == 1; }));
  fcntl(fd.Get(), F_SETFL, O_NONBLOCK);
  SendAll(fd.Get(), "DIAGNOSTIC REPORT YEAR\r\n");
  std::string chunk(64 * 1024, 'A');
  bool blocked = false;
  auto deadline = SteadyClock::now() + 10s;
  for (int i = 0; i < 4096 && !blocked && SteadyClock::now() < deadline; ++i) {
    blocked = send(fd.Get(), chunk.data(), chunk.size(), MSG_NOSIGNAL) < 0 && errno == EAGAIN;
  }
  EXPECT_TRUE(blocked);
  // The line sent first would be logged within this bound if anything were read.
  EXPECT_FALSE(server_->WaitUntil([&] { return server_->ReceivedCount() > 0; }, 300ms));

  server_->SetFaults({});
  EXPECT_EQ(ReadFrames(fd.Get(), 1).substr(0, 3), "{4|");
}

TEST_F(SimServerTest, StopIsPromptWithSlowReplyInFlight) {
  FaultSwitches faults;
  faults.slowByteDelayMs.value = 10000;  // far beyond the bound below
  server_->SetFaults(faults);
  UniqueFd idle = ConnectTcp(server_->TcpPort());
  UniqueFd fd = ConnectTcp(server_->TcpPort());
  SendAll(fd.Get(), "DIAGNOSTIC REPORT NETNAME\r\n");
  ASSERT_EQ(ReadUntil(fd.Get(), [](const std::string& s) { return !s.empty(); }), "{");

  auto started = SteadyClock::now();
  server_->Stop();
  EXPECT_LT(SteadyClock::now() - started, 2s);
  bool closed = false;
  ReadUntil(
      fd.Get(), [](const std::string&) { return false; }, &closed);
  EXPECT_TRUE(closed);
  EXPECT_EQ(server_->TcpPort(), 0);
  EXPECT_FALSE(Exists(config_.ptyLink));
  EXPECT_FALSE(Exists(config_.fifoPath));
  server_->Stop();  // idempotent

  std::string error;
  ASSERT_TRUE(server_->Start(&error)) << error;
  EXPECT_TRUE(Exists(config_.ptyLink));
}

TEST_F(SimServerTest, FailedStartLeavesNothingOpen) {
  SimServerConfig clash = config_;
  clash.tcpPort = server_->TcpPort();
  std::string error;
  EXPECT_FALSE(SimServer(clash).Start(&error));
  EXPECT_NE(error.find("bind"), std::string::npos) << error;

  // The FIFO fails after the pty and its link were made.
  clash.tcpPort = 0;
  clash.ptyLink = dir_ + "/other";
  clash.fifoPath = dir_ + "/plain";
  UniqueFd plain(open(clash.fifoPath.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
  SimServer broken(clash);
  EXPECT_FALSE(broken.Start(&error));
  EXPECT_FALSE(broken.Running());
  EXPECT_FALSE(Exists(clash.ptyLink));
  unlink(clash.fifoPath.c_str());
}

}  // namespace
}  // namespace printer_sim
