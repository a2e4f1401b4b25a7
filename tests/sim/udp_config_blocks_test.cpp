#include "printer-sim/udp_config_blocks.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace printer_sim {
namespace {

constexpr Mac kMac = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};

// A request as the utility builds it: header for one printer, `command`, MAC kMac.
std::string Header(std::uint16_t command, std::size_t size) {
  std::string bytes(size, '\0');
  const std::string start("\x00\x20\x00\x01\x00\x01\x08\x02", 8);
  bytes.replace(0, start.size(), start);
  bytes[8] = static_cast<char>(command >> 8);
  bytes[9] = static_cast<char>(command & 0xFF);
  std::size_t dataLength = size > 32 ? size - 32 : 0;
  bytes[10] = static_cast<char>(dataLength >> 8);
  bytes[11] = static_cast<char>(dataLength & 0xFF);
  bytes[13] = '\x07';  // sequence number
  bytes[16] = '\x01';
  std::copy(kMac.begin(), kMac.end(), bytes.begin() + 22);
  return bytes;
}

std::string Read(std::uint8_t block, std::size_t size = 34) {
  std::string bytes = Header(3, size);
  if (size > 32) {
    bytes[32] = static_cast<char>(block);
  }
  return bytes;
}

std::string Write(std::uint8_t block, std::size_t size = 1064,
                  const std::function<void(std::string&)>& fill = {}) {
  std::string bytes = Header(4, 1064);
  bytes[34] = static_cast<char>(block);
  if (fill) {
    fill(bytes);
  }
  bytes.resize(size);
  return bytes;
}

void PutName(std::string& bytes, const std::string& name) {
  bytes.replace(176, name.size() + 1, name + '\0');
}

void PutAddresses(std::string& bytes) {
  bytes.replace(69, 12, std::string("\xC0\xA8\x01\x32\xFF\xFF\xFF\x00\xC0\xA8\x01\x01", 12));
}

struct ParseCase {
  const char* name;
  std::string datagram;
  std::optional<bool> write;  // nothing = not a block request
  std::uint8_t block;
};

class ParseBlockRequestTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseBlockRequestTest, NeedsTheCommandAndItsBlockNumber) {
  auto parsed = ParseBlockRequest(GetParam().datagram);
  ASSERT_EQ(parsed.has_value(), GetParam().write.has_value());
  if (parsed) {
    EXPECT_EQ(parsed->write, *GetParam().write);
    EXPECT_EQ(parsed->block, GetParam().block);
    EXPECT_EQ(parsed->target, kMac);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseBlockRequestTest,
    testing::Values(ParseCase{"read", Read(4), false, 4},
                    ParseCase{"read33", Read(5, 33), false, 5},
                    ParseCase{"readHeaderOnly", Read(4, 32), std::nullopt, 0},
                    ParseCase{"write", Write(7), true, 7},
                    ParseCase{"writeUpToBlockByte", Write(5, 35), true, 5},
                    ParseCase{"writeWithoutBlockByte", Write(5, 34), std::nullopt, 0},
                    ParseCase{"discover", Header(2, 32), std::nullopt, 0},
                    ParseCase{"otherCommand", Header(5, 1064), std::nullopt, 0},
                    ParseCase{"short", Read(4).substr(0, 31), std::nullopt, 0}),
    [](const auto& info) { return std::string(info.param.name); });

PrinterState Static() {
  PrinterState state;
  ApplyStaticAddress(state, "10.1.2.3", "255.255.0.0", "10.1.0.1");
  return state;
}

PrinterState Dhcp() {
  PrinterState state;
  state.mask = "255.255.252.0";
  state.gateway = "172.16.0.1";
  state.dhcpLeaseIp = "172.16.0.77";
  ApplyDhcp(state);
  return state;
}

struct ReadCase {
  const char* name;
  PrinterState state;
  std::uint8_t block;
  std::vector<std::pair<std::size_t, std::string>> expected;  // offset, bytes
};

class BlockReadReplyTest : public testing::TestWithParam<ReadCase> {};

TEST_P(BlockReadReplyTest, CarriesTheStateAtItsOffsets) {
  std::string request = Read(GetParam().block);
  std::string reply = BuildBlockReadReply(request, GetParam().state);
  ASSERT_EQ(reply.size(), kBlockReplySize);
  EXPECT_EQ(reply.substr(0, 7), request.substr(0, 7));
  EXPECT_EQ(reply[7], '\x02');
  EXPECT_EQ(reply.substr(8, 2), request.substr(8, 2));
  EXPECT_EQ(reply.substr(10, 2), std::string("\x04\x08", 2));
  EXPECT_EQ(reply.substr(12, 20), request.substr(12, 20));  // sequence number and MAC kept
  for (const auto& [offset, bytes] : GetParam().expected) {
    EXPECT_EQ(reply.substr(offset, bytes.size()), bytes) << offset;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, BlockReadReplyTest,
    testing::Values(
        ReadCase{"staticAddresses",
                 Static(),
                 4,
                 {{69, std::string("\x0A\x01\x02\x03\xFF\xFF\x00\x00\x0A\x01\x00\x01", 12)}}},
        // With DHCP the address in use, not the unused 0.0.0.0.
        ReadCase{"dhcpAddresses",
                 Dhcp(),
                 4,
                 {{69, std::string("\xAC\x10\x00\x4D\xFF\xFF\xFC\x00\xAC\x10\x00\x01", 12)}}},
        ReadCase{
            "staticMode", Static(), 5, {{942, "\x01"}, {948, "\x01"}, {69, std::string(12, '\0')}}},
        ReadCase{"dhcpMode", Dhcp(), 5, {{942, "\x08"}, {948, "\x04"}}},
        ReadCase{
            "otherBlock", Static(), 0, {{69, std::string(12, '\0')}, {942, std::string(1, '\0')}}}),
    [](const auto& info) { return std::string(info.param.name); });

struct WriteCase {
  const char* name;
  PrinterState before;
  std::string request;
  bool applied;
  std::function<void(PrinterState&)> change;  // what the write does to `before`
};

class ApplyBlockWriteTest : public testing::TestWithParam<WriteCase> {};

TEST_P(ApplyBlockWriteTest, ChangesOnlyItsBlocksFields) {
  PrinterState state = GetParam().before;
  PrinterState expected = GetParam().before;
  if (GetParam().change) {
    GetParam().change(expected);
  }
  EXPECT_EQ(ApplyBlockWrite(GetParam().request, state), GetParam().applied);
  EXPECT_EQ(state.name, expected.name);
  EXPECT_EQ(state.dhcp, expected.dhcp);
  EXPECT_EQ(state.ip, expected.ip);
  EXPECT_EQ(state.mask, expected.mask);
  EXPECT_EQ(state.gateway, expected.gateway);
  EXPECT_EQ(state.lastUsedIp, expected.lastUsedIp);
  EXPECT_EQ(state, expected);
}

const auto kNamed = [](std::string& bytes) { PutName(bytes, "Desk-9"); };
const auto kAddressed = [](std::string& bytes) { PutAddresses(bytes); };

INSTANTIATE_TEST_SUITE_P(
    Table, ApplyBlockWriteTest,
    testing::Values(
        WriteCase{"name", Dhcp(), Write(0, 1064, kNamed), true,
                  [](PrinterState& s) { s.name = "Desk-9"; }},
        WriteCase{"nameEndsAtTheDatagram", Dhcp(),
                  Write(0, 180, [](std::string& b) { PutName(b, "ABCDEFG"); }), true,
                  [](PrinterState& s) { s.name = "ABCD"; }},
        WriteCase{"nameOutsideTheDatagram", Dhcp(), Write(0, 176, kNamed), false, {}},
        WriteCase{"addressesWhileStatic", Static(), Write(4, 1064, kAddressed), true,
                  [](PrinterState& s) {
                    s.ip = s.lastUsedIp = "192.168.1.50";
                    s.mask = "255.255.255.0";
                    s.gateway = "192.168.1.1";
                  }},
        // The address in use stays the lease until the mode changes.
        WriteCase{"addressesWhileDhcp", Dhcp(), Write(4, 1064, kAddressed), true,
                  [](PrinterState& s) {
                    s.ip = "192.168.1.50";
                    s.mask = "255.255.255.0";
                    s.gateway = "192.168.1.1";
                  }},
        WriteCase{"addressesCut", Static(), Write(4, 80, kAddressed), false, {}},
        WriteCase{"toDhcp", Static(), Write(5, 1064, [](std::string& b) { b[942] = 8; }), true,
                  [](PrinterState& s) {
                    s.dhcp = true;
                    s.ip = "0.0.0.0";
                    s.lastUsedIp = s.dhcpLeaseIp;
                  }},
        WriteCase{"toStatic",
                  [] {
                    PrinterState s = Dhcp();
                    s.ip = "192.168.1.50";
                    return s;
                  }(),
                  Write(5, 1064, [](std::string& b) { b[942] = 1; }), true,
                  [](PrinterState& s) {
                    s.dhcp = false;
                    s.lastUsedIp = "192.168.1.50";
                  }},
        // Any value but 8 means static.
        WriteCase{"toStaticKeepsTheLeaseWithoutAnAddress", Dhcp(),
                  Write(5, 1064, [](std::string& b) { b[942] = 4; }), true,
                  [](PrinterState& s) {
                    s.dhcp = false;
                    s.ip = s.lastUsedIp;
                  }},
        WriteCase{
            "modeCut", Static(), Write(5, 942, [](std::string& b) { b[942] = 8; }), false, {}},
        // Block 7 carries everything written before it, but has no content of its own.
        WriteCase{"apply",
                  Static(),
                  Write(7, 1064,
                        [](std::string& b) {
                          PutName(b, "Desk-9");
                          PutAddresses(b);
                          b[942] = 8;
                        }),
                  true,
                  {}},
        WriteCase{"readIsNoWrite", Static(), Read(4), false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

struct FindCase {
  const char* name;
  int count;
  Mac mac;
  std::optional<int> index;
};

class FindPrinterTest : public testing::TestWithParam<FindCase> {};

TEST_P(FindPrinterTest, ByMacAmongTheDerivedPrinters) {
  PrinterState first;
  first.mac = "00:11:22:33:44:FE";
  EXPECT_EQ(FindPrinter(first, GetParam().count, GetParam().mac), GetParam().index);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FindPrinterTest,
    testing::Values(FindCase{"first", 1, {0x00, 0x11, 0x22, 0x33, 0x44, 0xFE}, 0},
                    FindCase{"third", 3, {0x00, 0x11, 0x22, 0x33, 0x45, 0x00}, 2},
                    FindCase{
                        "beyondTheCount", 2, {0x00, 0x11, 0x22, 0x33, 0x45, 0x00}, std::nullopt},
                    FindCase{"last", 1000, {0x00, 0x11, 0x22, 0x33, 0x48, 0xE5}, 999},
                    FindCase{"everyMac", 3, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace printer_sim
