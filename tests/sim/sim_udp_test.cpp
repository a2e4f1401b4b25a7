#include <arpa/inet.h>
#include <errno.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "printer-sim/sim_server.h"
#include "printer-sim/unique_fd.h"

namespace printer_sim {
namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

std::string Request(std::uint16_t sequence, std::uint16_t command = 2) {
  std::string bytes(
      "\x00\x20\x00\x01\x00\x01\x08\x00\x00\x02\x00\x00\x00\x01\x00\x00"
      "\x01\x00\x00\x00\x00\x00\xFF\xFF\xFF\xFF\xFF\xFF\x00\x00\x00\x00",
      32);
  bytes[8] = static_cast<char>(command >> 8);
  bytes[9] = static_cast<char>(command & 0xFF);
  bytes[12] = static_cast<char>(sequence >> 8);
  bytes[13] = static_cast<char>(sequence & 0xFF);
  return bytes;
}

std::uint16_t Sequence(const std::string& datagram) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(datagram.at(12)) << 8 |
                                    static_cast<unsigned char>(datagram.at(13)));
}

std::string Hex(std::string_view bytes) {
  std::string text;
  for (char c : bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    auto byte = static_cast<unsigned char>(c);
    text += kHex[byte >> 4];
    text += kHex[byte & 0xF];
  }
  return text;
}

std::string CString(const std::string& datagram, std::size_t offset) {
  return std::string(datagram.c_str() + offset);
}

// The utility's side, on loopback only.
class Client {
 public:
  Client() : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    int buffer = 4 * 1024 * 1024;
    setsockopt(fd_.Get(), SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    sockaddr_in address = Loopback(0);
    EXPECT_EQ(bind(fd_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    getsockname(fd_.Get(), reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
  }

  std::uint16_t Port() const { return port_; }

  void Send(std::uint16_t port, const std::string& bytes) {
    sockaddr_in to = Loopback(port);
    EXPECT_EQ(sendto(fd_.Get(), bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to),
                     sizeof to),
              ssize_t(bytes.size()))
        << errno;
  }

  // The next datagram, or nothing after 5 s.
  std::optional<std::string> Receive() {
    pollfd p{fd_.Get(), POLLIN, 0};
    if (poll(&p, 1, 5000) <= 0) {
      return std::nullopt;
    }
    std::array<char, 4096> buffer{};
    ssize_t n = recv(fd_.Get(), buffer.data(), buffer.size(), 0);
    return n < 0 ? std::nullopt : std::optional(std::string(buffer.data(), std::size_t(n)));
  }

  // Every datagram up to the first with `sequence`, which is left out. Bounded by `limit`.
  std::vector<std::string> ReceiveUntil(std::uint16_t sequence, std::size_t limit = 10000) {
    std::vector<std::string> before;
    while (before.size() < limit) {
      auto datagram = Receive();
      if (!datagram) {
        ADD_FAILURE() << "no datagram with sequence " << sequence;
        break;
      }
      if (datagram->size() >= 14 && Sequence(*datagram) == sequence) {
        break;
      }
      before.push_back(std::move(*datagram));
    }
    return before;
  }

 private:
  static sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
  }

  UniqueFd fd_;
  std::uint16_t port_ = 0;
};

class SimUdpTest : public testing::Test {
 protected:
  void Start(int printers = 1) {
    SimServerConfig config;
    config.tcp = false;
    config.udp = true;
    config.udpHost = "127.0.0.1";
    config.udpPort = 0;
    config.printerCount = printers;
    config.initialState.status = "Paper Jam";
    config.initialState.udpErrorFlags = 0x02;
    server_ = std::make_unique<SimServer>(config);
    std::string error;
    ASSERT_TRUE(server_->Start(&error)) << error;
    ASSERT_NE(server_->UdpPort(), 0);
  }
  void Send(const std::string& bytes) { client_.Send(server_->UdpPort(), bytes); }
  bool Logged(std::uint64_t count) {
    return server_->WaitUntil([&] { return server_->ReceivedCount() >= count; }, 5s);
  }

  Client client_;
  std::unique_ptr<SimServer> server_;
};

struct PrinterRow {
  std::string mac, ip, name;
};

TEST_F(SimUdpTest, EachPrinterAnswersADiscoveryWithItsOwnReply) {
  const std::vector<std::vector<PrinterRow>> cases = {
      {{"001122334455", "C0A80164", "Q73580"}},
      {{"001122334455", "C0A80164", "Q73580-1"},
       {"001122334456", "C0A80015", "Q73580-2"},
       {"001122334457", "C0A80016", "Q73580-3"}},
  };
  for (const auto& rows : cases) {
    SCOPED_TRACE(rows.size());
    Start(static_cast<int>(rows.size()));
    Client client;
    const std::string request = Request(1);
    client.Send(server_->UdpPort(), request);
    for (const PrinterRow& row : rows) {
      auto reply = client.Receive();
      ASSERT_TRUE(reply);
      ASSERT_GE(reply->size(), 128u);
      EXPECT_EQ(reply->substr(0, 7), request.substr(0, 7));
      EXPECT_EQ(Sequence(*reply), 1);
      EXPECT_EQ(Hex(reply->substr(22, 6)), row.mac);
      EXPECT_EQ(Hex(reply->substr(40, 2)), "0302");  // error, paper jam
      EXPECT_EQ(Hex(reply->substr(44, 4)), row.ip);
      EXPECT_EQ(CString(*reply, 52), "Q73580");
      EXPECT_EQ(CString(*reply, 84), row.name);
    }
    ASSERT_TRUE(Logged(1));
    auto log = server_->ReceivedCommands();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].transport, Transport::Udp);
    EXPECT_EQ(log[0].raw, request);
    EXPECT_EQ(log[0].peer, "127.0.0.1:" + std::to_string(client.Port()));
    // Nothing beyond one reply per printer: the next datagram answers the next request.
    client.Send(server_->UdpPort(), Request(2));
    EXPECT_TRUE(client.ReceiveUntil(2).empty());
    server_.reset();
  }
}

TEST_F(SimUdpTest, OtherDatagramsAreLoggedButNotAnswered) {
  Start();
  std::string readBlock = Request(9, 3) + std::string("\x04\x00", 2);
  std::string writeBlock = Request(9, 4) + std::string(1032, '\0');
  std::string targeted = Request(9);
  targeted[27] = '\x55';
  const std::vector<std::string> datagrams = {Request(9).substr(0, 31), readBlock, writeBlock,
                                              targeted, std::string()};
  for (const std::string& datagram : datagrams) {
    Send(datagram);
  }
  ASSERT_TRUE(Logged(datagrams.size()));
  Send(Request(10));
  EXPECT_TRUE(client_.ReceiveUntil(10).empty());
  auto log = server_->ReceivedCommands();
  ASSERT_EQ(log.size(), datagrams.size() + 1);
  for (std::size_t i = 0; i < datagrams.size(); ++i) {
    EXPECT_EQ(log[i].raw, datagrams[i]) << i;
  }
}

struct FaultCase {
  const char* name;
  FaultSwitches faults;
  std::vector<std::size_t> sizes;  // what arrives for one discovery, in order
};

FaultSwitches Faulty(const std::function<void(FaultSwitches&)>& set) {
  FaultSwitches faults;
  set(faults);
  return faults;
}

TEST_F(SimUdpTest, FaultsShapeTheReplies) {
  const std::vector<FaultCase> cases = {
      {"none", {}, {128}},
      {"duplicate", Faulty([](auto& f) { f.duplicateReplies = true; }), {128, 128}},
      {"short", Faulty([](auto& f) { f.shortReply = true; }), {31, 128}},
      {"flood", Faulty([](auto& f) { f.floodReplies = 200; }), std::vector<std::size_t>(201, 128)},
      {"short and duplicate",
       Faulty([](auto& f) {
         f.shortReply = true;
         f.duplicateReplies = true;
       }),
       {31, 128, 128}},
      {"silent", Faulty([](auto& f) { f.udpSilent = f.duplicateReplies = true; }), {}},
  };
  Start();
  std::uint16_t sequence = 100;
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    server_->ClearLog();
    server_->SetFaults(c.faults);
    Send(Request(sequence));
    ASSERT_TRUE(Logged(1));
    // Faults apply when a request arrives; this one is answered plainly and marks the end.
    server_->SetFaults({});
    Send(Request(sequence + 1));
    std::vector<std::string> replies = client_.ReceiveUntil(sequence + 1);
    std::vector<std::size_t> sizes;
    for (const std::string& reply : replies) {
      sizes.push_back(reply.size());
      EXPECT_EQ(Sequence(reply), sequence);
    }
    EXPECT_EQ(sizes, c.sizes);
    sequence += 2;
  }
}

TEST_F(SimUdpTest, StopIsPromptDuringAFlood) {
  Start(1000);
  FaultSwitches faults;
  faults.floodReplies = 100000;
  server_->SetFaults(faults);
  Send(Request(1));
  ASSERT_TRUE(client_.Receive());
  auto started = SteadyClock::now();
  server_->Stop();
  EXPECT_LT(SteadyClock::now() - started, 2s);
  EXPECT_EQ(server_->UdpPort(), 0);
}

}  // namespace
}  // namespace printer_sim
