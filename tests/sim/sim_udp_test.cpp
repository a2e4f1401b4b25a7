#include <arpa/inet.h>
#include <errno.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
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

// A request to the printer with `mac`, as the utility builds it: `size` bytes, byte 7 = 0x02.
std::string Targeted(std::uint16_t sequence, std::uint16_t command, std::size_t size,
                     const std::string& mac = std::string("\x00\x11\x22\x33\x44\x55", 6)) {
  std::string bytes = Request(sequence, command);
  bytes[7] = '\x02';
  bytes[10] = static_cast<char>((size - 32) >> 8);
  bytes[11] = static_cast<char>((size - 32) & 0xFF);
  bytes.replace(22, 6, mac);
  bytes.resize(size, '\0');
  return bytes;
}

std::string ReadBlock(std::uint16_t sequence, char block,
                      const std::string& mac = std::string("\x00\x11\x22\x33\x44\x55", 6)) {
  std::string bytes = Targeted(sequence, 3, 34, mac);
  bytes[32] = block;
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
    {
      std::lock_guard lock(linesMutex_);
      lines_.clear();
    }
    SimServerConfig config;
    config.tcp = false;
    config.udp = true;
    config.udpHost = "127.0.0.1";
    config.udpPort = 0;
    config.printerCount = printers;
    config.initialState.status = "Paper Jam";
    config.initialState.udpErrorFlags = 0x02;
    config.logSink = [this](std::string_view line) {
      std::lock_guard lock(linesMutex_);
      lines_.emplace_back(line);
    };
    server_ = std::make_unique<SimServer>(config);
    std::string error;
    ASSERT_TRUE(server_->Start(&error)) << error;
    ASSERT_NE(server_->UdpPort(), 0);
  }
  void Send(const std::string& bytes) { client_.Send(server_->UdpPort(), bytes); }
  bool Logged(std::uint64_t count) {
    return server_->WaitUntil([&] { return server_->ReceivedCount() >= count; }, 5s);
  }
  // The text log's lines for the datagrams received since Start, without its replies' lines.
  std::vector<std::string> RequestLines() {
    std::lock_guard lock(linesMutex_);
    std::vector<std::string> requests;
    for (const std::string& line : lines_) {
      if (line.find(" <- ") != std::string::npos) {
        requests.push_back(line);
      }
    }
    return requests;
  }

  Client client_;
  std::unique_ptr<SimServer> server_;
  std::mutex linesMutex_;
  std::vector<std::string> lines_;
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

struct BlockReadCase {
  const char* name;
  std::function<void(PrinterState&)> configure;
  std::string addresses;  // bytes 69 to 80 of the block 4 reply
  char mode, modeEcho;    // bytes 942 and 948 of the block 5 reply
};

TEST_F(SimUdpTest, BlockReadsCarryTheState) {
  const std::vector<BlockReadCase> cases = {
      {"static",
       [](PrinterState& s) { ApplyStaticAddress(s, "10.0.0.5", "255.0.0.0", "10.0.0.254"); },
       std::string("\x0A\x00\x00\x05\xFF\x00\x00\x00\x0A\x00\x00\xFE", 12), 1, 1},
      {"dhcp",
       [](PrinterState& s) {
         s.dhcpLeaseIp = "192.168.7.9";
         s.gateway = "192.168.7.1";
         s.mask = "255.255.255.0";
         ApplyDhcp(s);
       },
       std::string("\xC0\xA8\x07\x09\xFF\xFF\xFF\x00\xC0\xA8\x07\x01", 12), 8, 4},
  };
  Start();
  std::uint16_t sequence = 40;
  for (const BlockReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    PrinterState state = server_->State();
    c.configure(state);
    server_->SetState(state);
    Send(ReadBlock(sequence, 4));
    auto addresses = client_.Receive();
    ASSERT_TRUE(addresses);
    ASSERT_GE(addresses->size(), 81u);
    EXPECT_EQ(Sequence(*addresses), sequence);
    EXPECT_EQ(Hex(addresses->substr(69, 12)), Hex(c.addresses));
    Send(ReadBlock(sequence + 1, 5));
    auto mode = client_.Receive();
    ASSERT_TRUE(mode);
    ASSERT_GE(mode->size(), 949u);
    EXPECT_EQ(Sequence(*mode), sequence + 1);
    EXPECT_EQ(mode->at(942), c.mode);
    EXPECT_EQ(mode->at(948), c.modeEcho);
    // One reply each: the next datagram answers the next request.
    Send(Request(sequence + 2));
    EXPECT_TRUE(client_.ReceiveUntil(sequence + 2).empty());
    sequence += 3;
  }
}

struct AddressChangeCase {
  const char* name;
  bool dhcp;
  std::string discoveredIp;  // in hex
  std::string ip, lastUsedIp;
};

// The utility's four writes, in one shared buffer, then a new discovery.
TEST_F(SimUdpTest, BlockWritesChangeTheStateAndTheNextDiscovery) {
  const std::vector<AddressChangeCase> cases = {
      {"static", false, "C0A80132", "192.168.1.50", "192.168.1.50"},
      {"dhcp", true, "C0A80164", "0.0.0.0", "192.168.1.100"},
  };
  for (const AddressChangeCase& c : cases) {
    SCOPED_TRACE(c.name);
    Start();
    PrinterState before = server_->State();
    // From the other mode, so that the mode write has something to change.
    if (c.dhcp) {
      ApplyStaticAddress(before, "10.0.0.5", "255.0.0.0", "10.0.0.254");
    } else {
      ApplyDhcp(before);
    }
    server_->SetState(before);
    std::string buffer = Targeted(7, 4, 1064);
    const std::string name = "Desk-9";
    buffer.replace(176, name.size() + 1, name + '\0');
    std::vector<std::function<void()>> steps = {
        [&] { buffer[34] = 0; },
        [&] {
          buffer[34] = 4;
          buffer.replace(69, 12,
                         std::string("\xC0\xA8\x01\x32\xFF\xFF\xFF\x00\xC0\xA8\x01\x01", 12));
        },
        [&] {
          buffer[34] = 5;
          buffer[942] = c.dhcp ? 8 : 1;
          buffer[948] = c.dhcp ? 4 : 1;
        },
        [&] { buffer[34] = 7; },
    };
    for (const auto& step : steps) {
      step();
      Send(buffer);
      auto ack = client_.Receive();
      ASSERT_TRUE(ack);
      EXPECT_GE(ack->size(), 32u);
      EXPECT_EQ(Sequence(*ack), 7);
    }
    PrinterState after = server_->State();
    EXPECT_EQ(after.name, "Desk-9");
    EXPECT_EQ(after.dhcp, c.dhcp);
    EXPECT_EQ(after.ip, c.ip);
    EXPECT_EQ(after.mask, "255.255.255.0");
    EXPECT_EQ(after.gateway, "192.168.1.1");
    EXPECT_EQ(after.lastUsedIp, c.lastUsedIp);
    EXPECT_EQ(after.mac, before.mac);

    Send(Request(8));
    auto reply = client_.Receive();
    ASSERT_TRUE(reply);
    EXPECT_EQ(Sequence(*reply), 8);
    EXPECT_EQ(Hex(reply->substr(44, 4)), c.discoveredIp);
    EXPECT_EQ(CString(*reply, 84), "Desk-9");
    Send(ReadBlock(9, 5));
    auto mode = client_.Receive();
    ASSERT_TRUE(mode);
    EXPECT_EQ(mode->at(942), c.dhcp ? 8 : 1);

    ASSERT_TRUE(Logged(6));
    auto log = server_->ReceivedCommands();
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ(log[3].raw, buffer);
    EXPECT_EQ(log[3].kind, CommandKind::Set);
    server_.reset();
  }
}

struct UnansweredCase {
  const char* name;
  int printers;
  std::string datagram;
  FaultSwitches faults;
  bool changed;      // whether the name became "Moved"
  const char* note;  // how the datagram's line in the text log ends
};

std::string NameWrite(const std::string& mac = std::string("\x00\x11\x22\x33\x44\x55", 6)) {
  std::string bytes = Targeted(50, 4, 1064, mac);
  bytes.replace(176, 6, std::string("Moved\0", 6));
  return bytes;
}

TEST_F(SimUdpTest, BlockRequestsWithoutAnAnswer) {
  const std::string otherMac("\x00\x11\x22\x33\x44\x56", 6);  // the second of several
  const FaultSwitches silent = Faulty([](auto& f) { f.udpSilent = true; });
  const std::vector<UnansweredCase> cases = {
      {"read for no printer",
       1,
       ReadBlock(50, 4, otherMac),
       {},
       false,
       "(ignored: block 4 for no printer's MAC)"},
      {"write for no printer",
       1,
       NameWrite(otherMac),
       {},
       false,
       "(ignored: block 0 for no printer's MAC)"},
      {"write for every MAC",
       1,
       NameWrite(std::string(6, '\xFF')),
       {},
       false,
       "(ignored: block 0 for no printer's MAC)"},
      {"write to a derived printer that leaves it unanswered", 3, NameWrite(otherMac),
       Faulty([](auto& f) {
         f.blockWrites = FaultSwitches::BlockWrites::Unanswered;
         f.blockWritesOn = {1};
       }),
       false, "(ignored: write of block 0 to printer 2, left unanswered)"},
      {"read without a block number",
       1,
       ReadBlock(50, 4).substr(0, 32),
       {},
       false,
       "(ignored: command 3)"},
      {"write cut before the name",
       1,
       NameWrite().substr(0, 176),
       {},
       false,
       "(ignored: too short for block 0)"},
      {"read of a printer that leaves reads unanswered", 1, ReadBlock(50, 4),
       Faulty([](auto& f) { f.blockReadsUnansweredOn = {0}; }), false,
       "(ignored: read of block 4, left unanswered)"},
      {"silent read", 1, ReadBlock(50, 4), silent, false, "(no reply: silent)"},
      {"silent write", 1, NameWrite(), silent, true, "(wrote block 0) (no reply: silent)"},
  };
  for (const UnansweredCase& c : cases) {
    SCOPED_TRACE(c.name);
    Start(c.printers);
    std::string before = server_->State().name;
    server_->SetFaults(c.faults);
    Send(c.datagram);
    ASSERT_TRUE(Logged(1));
    server_->SetFaults({});
    Send(Request(51));
    EXPECT_TRUE(client_.ReceiveUntil(51).empty());
    ASSERT_FALSE(RequestLines().empty());
    EXPECT_TRUE(RequestLines().front().ends_with(c.note)) << RequestLines().front();
    // A derived printer answers its reads; only its writes go unanswered.
    if (c.printers > 1) {
      Send(ReadBlock(52, 4, otherMac));
      std::optional<std::string> reply;
      for (int i = 0; i < 5 && !(reply && Sequence(*reply) == 52); ++i) {
        reply = client_.Receive();  // past the rest of the discovery replies
      }
      ASSERT_TRUE(reply && Sequence(*reply) == 52);
      EXPECT_EQ(Hex(reply->substr(69, 4)), "C0A80015");  // the second printer's address
      EXPECT_EQ(server_->Printers()[1].name, "Q73580-2");
    }
    EXPECT_EQ(server_->State().name, c.changed ? "Moved" : before);
    server_.reset();
  }
}

// Printer `index` of the fixture's fleet: the MAC plus `index`.
std::string FleetMac(int index) {
  return std::string("\x00\x11\x22\x33\x44", 5) + static_cast<char>(0x55 + index);
}

std::string FleetWrite(std::uint16_t sequence, int printer, char block,
                       const std::function<void(std::string&)>& fill) {
  std::string bytes = Targeted(sequence, 4, 1064, FleetMac(printer));
  bytes[34] = block;
  fill(bytes);
  return bytes;
}

struct FleetRow {
  std::string ip;         // in hex, as discovered
  std::string name;       // as discovered
  std::string addresses;  // block 4, bytes 69 to 80, in hex
  char mode;              // block 5, byte 942
};

TEST_F(SimUdpTest, EachPrinterOfAFleetTakesItsOwnWrites) {
  Start(3);
  const auto setStatic = [](std::string& b) { b[942] = 1; };
  const std::vector<std::string> writes = {
      FleetWrite(20, 1, 0, [](std::string& b) { b.replace(176, 7, std::string("Desk-2\0", 7)); }),
      FleetWrite(21, 2, 4,
                 [](std::string& b) {
                   b.replace(69, 12,
                             std::string("\x0A\x00\x00\x07\xFF\x00\x00\x00\x0A\x00\x00\x01", 12));
                 }),
      FleetWrite(22, 2, 5, setStatic),
      // Printer 0's settings were the others' until then; no longer.
      FleetWrite(23, 0, 5, setStatic),
      FleetWrite(24, 0, 0, [](std::string& b) { b.replace(176, 6, std::string("Front\0", 6)); }),
  };
  for (const std::string& write : writes) {
    Send(write);
    auto ack = client_.Receive();
    ASSERT_TRUE(ack);
    EXPECT_EQ(Sequence(*ack), Sequence(write));
  }

  const std::vector<FleetRow> rows = {
      {"C0A80164", "Front", "C0A80164FFFFFF0000000000", 1},
      {"C0A80015", "Desk-2", "C0A80015FFFFFF0000000000", 8},
      {"0A000007", "Q73580-3", "0A000007FF0000000A000001", 1},
  };
  Send(Request(30));
  for (const FleetRow& row : rows) {
    auto reply = client_.Receive();
    ASSERT_TRUE(reply);
    ASSERT_GE(reply->size(), 128u);
    EXPECT_EQ(Hex(reply->substr(44, 4)), row.ip);
    EXPECT_EQ(CString(*reply, 84), row.name);
  }
  std::uint16_t sequence = 31;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    Send(ReadBlock(sequence, 4, FleetMac(static_cast<int>(i))));
    Send(ReadBlock(sequence + 1, 5, FleetMac(static_cast<int>(i))));
    auto addresses = client_.Receive();
    auto mode = client_.Receive();
    ASSERT_TRUE(addresses && mode);
    ASSERT_EQ(Sequence(*addresses), sequence);
    EXPECT_EQ(Hex(addresses->substr(69, 12)), rows[i].addresses);
    EXPECT_EQ(mode->at(942), rows[i].mode);
    sequence += 2;
  }
}

struct LimitedWritesCase {
  const char* name;
  FaultSwitches::BlockWrites writes;
  std::vector<std::size_t> acks;  // sizes, in the order printers 1 to 3 were written
  std::vector<std::string> names;
};

// Only printer "-2" misbehaves; the others take their writes.
TEST_F(SimUdpTest, BlockWriteFaultsLimitedToChosenPrinters) {
  using Writes = FaultSwitches::BlockWrites;
  const std::vector<LimitedWritesCase> cases = {
      {"unanswered", Writes::Unanswered, {32, 32}, {"N1", "Q73580-2", "N3"}},
      {"unapplied", Writes::Unapplied, {32, 32, 32}, {"N1", "Q73580-2", "N3"}},
      {"short-ack", Writes::ShortAck, {32, 31, 32}, {"N1", "N2", "N3"}},
  };
  for (const LimitedWritesCase& c : cases) {
    SCOPED_TRACE(c.name);
    Start(3);
    FaultSwitches faults;
    faults.blockWrites = c.writes;
    faults.blockWritesOn = {1};
    server_->SetFaults(faults);
    for (int i = 0; i < 3; ++i) {
      Send(FleetWrite(60, i, 0, [i](std::string& b) {
        b.replace(176, 3, "N" + std::to_string(i + 1) + '\0');
      }));
    }
    Send(ReadBlock(61, 4));
    std::vector<std::size_t> acks;
    for (const std::string& ack : client_.ReceiveUntil(61)) {
      acks.push_back(ack.size());
    }
    EXPECT_EQ(acks, c.acks);
    std::vector<std::string> names;
    for (const PrinterState& printer : server_->Printers()) {
      names.push_back(printer.name);
    }
    EXPECT_EQ(names, c.names);
    server_.reset();
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
