#include "printer-sim/udp_discovery.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace printer_sim {
namespace {

// The request the utility sends, with sequence number 1.
std::string DiscoveryRequest() {
  return std::string(
      "\x00\x20\x00\x01\x00\x01\x08\x00\x00\x02\x00\x00\x00\x01\x00\x00"
      "\x01\x00\x00\x00\x00\x00\xFF\xFF\xFF\xFF\xFF\xFF\x00\x00\x00\x00",
      32);
}

Ipv4 Ip(const char* text) {
  return ParseIpv4(text).value();
}

struct SourceCase {
  const char* source;
  std::vector<const char*> hostAddresses;
  bool answerAny;
  bool answered;
};

class MayAnswerTest : public testing::TestWithParam<SourceCase> {};

TEST_P(MayAnswerTest, OnlyThisHostUnlessAnswerAny) {
  std::vector<Ipv4> host;
  for (const char* text : GetParam().hostAddresses) {
    host.push_back(Ip(text));
  }
  EXPECT_EQ(MayAnswer(Ip(GetParam().source), host, GetParam().answerAny), GetParam().answered);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MayAnswerTest,
    testing::Values(SourceCase{"127.0.0.1", {}, false, true},
                    SourceCase{"127.255.0.9", {}, false, true},
                    SourceCase{"128.0.0.1", {"127.0.0.1"}, false, false},
                    SourceCase{"126.255.255.255", {}, false, false},
                    SourceCase{"10.99.0.1", {"127.0.0.1", "10.99.0.1"}, false, true},
                    SourceCase{"10.99.0.2", {"127.0.0.1", "10.99.0.1"}, false, false},
                    SourceCase{"192.0.2.7", {}, false, false},
                    SourceCase{"192.0.2.7", {}, true, true}));

TEST(LocalIpv4Addresses, IncludesLoopback) {
  auto addresses = LocalIpv4Addresses();
  EXPECT_NE(std::find(addresses.begin(), addresses.end(), Ip("127.0.0.1")), addresses.end());
}

struct RequestCase {
  std::string datagram;
  bool discovery;
};

class RequestTest : public testing::TestWithParam<RequestCase> {};

TEST_P(RequestTest, OnlyABroadcastDiscoverIsDiscovery) {
  EXPECT_EQ(IsDiscoveryRequest(GetParam().datagram), GetParam().discovery);
}

std::string With(std::size_t offset, char byte, std::string datagram = DiscoveryRequest()) {
  datagram[offset] = byte;
  return datagram;
}

INSTANTIATE_TEST_SUITE_P(Table, RequestTest,
                         testing::Values(RequestCase{DiscoveryRequest(), true},
                                         RequestCase{DiscoveryRequest() + "extra", true},
                                         RequestCase{DiscoveryRequest().substr(0, 31), false},
                                         RequestCase{With(9, '\x03'), false},
                                         RequestCase{With(8, '\x01'), false},  // 0x0102
                                         RequestCase{With(27, '\x55'), false},
                                         RequestCase{With(22, '\x00'), false}));

struct StateCase {
  std::string status;
  std::optional<std::uint8_t> udpState;
  std::uint8_t expected;
};

class StateByteTest : public testing::TestWithParam<StateCase> {};

TEST_P(StateByteTest, FromStatusUnlessSet) {
  PrinterState state;
  state.status = GetParam().status;
  state.udpState = GetParam().udpState;
  EXPECT_EQ(UdpStateByte(state), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, StateByteTest,
                         testing::Values(StateCase{"Ready", {}, 0}, StateCase{"Printing", {}, 1},
                                         StateCase{"Pause", {}, 2}, StateCase{"Paper Empty", {}, 3},
                                         StateCase{"ready", {}, 3}, StateCase{"Printing", 7, 7},
                                         StateCase{"Paper Empty", 0, 0}));

struct DerivedCase {
  int index, count;
  std::string mac, ip, name;
};

class DerivedPrinterTest : public testing::TestWithParam<DerivedCase> {};

TEST_P(DerivedPrinterTest, OffsetsIdentityByIndex) {
  PrinterState first;
  first.mac = "00:11:22:33:44:FE";
  first.lastUsedIp = "10.0.0.9";
  first.name = "Lab";
  first.status = "Pause";
  PrinterState printer = DerivedPrinter(first, GetParam().index, GetParam().count);
  EXPECT_EQ(printer.mac, GetParam().mac);
  EXPECT_EQ(printer.lastUsedIp, GetParam().ip);
  EXPECT_EQ(printer.name, GetParam().name);
  EXPECT_EQ(printer.status, "Pause");
  EXPECT_EQ(printer.model, first.model);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DerivedPrinterTest,
    testing::Values(DerivedCase{0, 1, "00:11:22:33:44:FE", "10.0.0.9", "Lab"},
                    DerivedCase{0, 3, "00:11:22:33:44:FE", "10.0.0.9", "Lab-1"},
                    DerivedCase{1, 3, "00:11:22:33:44:FF", "192.168.0.21", "Lab-2"},
                    DerivedCase{2, 3, "00:11:22:33:45:00", "192.168.0.22", "Lab-3"},
                    DerivedCase{999, 1000, "00:11:22:33:48:E5", "192.168.3.251", "Lab-1000"}));

TEST(DiscoveryReply, BoundsTextsToTheirFieldsAndTheReceiveBuffer) {
  PrinterState printer;
  printer.model = std::string(40, 'M');
  printer.name = std::string(3000, 'N');
  std::string request = DiscoveryRequest();
  std::string reply = BuildDiscoveryReply(request, printer);
  ASSERT_EQ(reply.size(), kMaxUdpReply);
  EXPECT_EQ(reply.substr(0, 7), request.substr(0, 7));
  EXPECT_EQ(reply.substr(12, 10), request.substr(12, 10));  // sequence number kept
  EXPECT_EQ(reply.substr(52, 32), std::string(31, 'M') + '\0');
  EXPECT_EQ(reply.substr(84), std::string(kMaxUdpReply - 85, 'N') + '\0');
}

TEST(DiscoveryReply, UnparsableIdentityGoesOutAsZeros) {
  PrinterState printer;
  printer.mac = "00:11:22:33:44";
  printer.lastUsedIp = "none";
  std::string reply = BuildDiscoveryReply(DiscoveryRequest(), printer);
  EXPECT_EQ(reply.size(), kMinDiscoveryReply);
  EXPECT_EQ(reply.substr(22, 6), std::string(6, '\0'));
  EXPECT_EQ(reply.substr(44, 4), std::string(4, '\0'));
}

}  // namespace
}  // namespace printer_sim
