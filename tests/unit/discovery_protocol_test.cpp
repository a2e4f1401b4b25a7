#include "netsetup/discovery_protocol.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes DiscoveryRequestFor(std::uint8_t sequenceHigh, std::uint8_t sequenceLow) {
  return {0x00, 0x20,         0x00,        0x01, 0x00, 0x01, 0x08, 0x00, 0x00, 0x02, 0x00,
          0x00, sequenceHigh, sequenceLow, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
          0xFF, 0xFF,         0xFF,        0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00};
}

struct RequestCase {
  std::string name;
  std::uint32_t sequence;
  Bytes bytes;
};

class DiscoveryRequestTest : public ::testing::TestWithParam<RequestCase> {};

TEST_P(DiscoveryRequestTest, IsTheWholeHeader) {
  const auto request = BuildDiscoveryRequest(GetParam().sequence);
  EXPECT_EQ(Bytes(request.begin(), request.end()), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DiscoveryRequestTest,
    ::testing::Values(RequestCase{"First", 1, DiscoveryRequestFor(0, 1)},
                      RequestCase{"LowBitsOnly", 65537, DiscoveryRequestFor(0, 1)},
                      RequestCase{"BigEndian", 0xABCD1234, DiscoveryRequestFor(0x12, 0x34)}),
    [](const auto& info) { return info.param.name; });

TEST(NetSetupHeader, AddressesOnePrinterAndOverwritesOnlyTheHeader) {
  Bytes request(40, 0xEE);
  NetSetupHeader{NetSetupCommand::CmdWriteBlock, 1032, 0x10002,
                 MacBytes{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, true}
      .WriteTo(request.data());
  const Bytes expected = {0x00, 0x20, 0x00, 0x01, 0x00, 0x01, 0x08, 0x02, 0x00, 0x04,
                          0x04, 0x08, 0x00, 0x02, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,
                          0x00, 0x00, 0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x00, 0x00,
                          0x00, 0x00, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  EXPECT_EQ(request, expected);
}

struct StatusCase {
  std::string name;
  std::uint8_t state;
  std::uint8_t flags;
  std::string text;
};

class StatusTextTest : public ::testing::TestWithParam<StatusCase> {};

TEST_P(StatusTextTest, FirstMatchingRowWins) {
  EXPECT_EQ(StatusText(GetParam().state, GetParam().flags), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StatusTextTest,
    ::testing::Values(StatusCase{"Printing", 1, 0xFF, "Printing"},
                      StatusCase{"Pause", 2, 0x01, "Pause"},
                      StatusCase{"CarriageOpenBeatsHeat", 3, 0x41, "Carriage Open"},
                      StatusCase{"OverHeatBit7", 3, 0x80, "Over Heat"},
                      StatusCase{"OverHeatBit6BeatsJam", 3, 0x42, "Over Heat"},
                      StatusCase{"PaperJamBeatsEmpty", 3, 0x06, "Paper Jam"},
                      StatusCase{"PaperEmpty", 3, 0x04, "Paper Empty"},
                      StatusCase{"RibbonBothBits", 3, 0x18, "Ribbon Error"},
                      StatusCase{"RibbonBit4BeatsCutter", 3, 0x30, "Ribbon Error"},
                      StatusCase{"Cutter", 3, 0x20, "Cutter Error"},
                      StatusCase{"ErrorWithoutCause", 3, 0x00, "Error"},
                      StatusCase{"ReadyState0", 0, 0xFF, "Ready"},
                      StatusCase{"ReadyState4", 4, 0x01, "Ready"},
                      StatusCase{"ReadyState7", 7, 0x01, "Ready"},
                      StatusCase{"ReadyState255", 255, 0x00, "Ready"}),
    [](const auto& info) { return info.param.name; });

// A reply of `length` bytes: MAC 00:1A:2B:3C:4D:5E, paper jam, 192.168.0.5, model "Q-200",
// name "Shipping"; every other byte 0xAA so that a missing NUL shows.
Bytes Reply(std::size_t length) {
  Bytes reply(std::max<std::size_t>(length, 100), 0xAA);
  const std::uint8_t mac[] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  std::memcpy(reply.data() + 22, mac, sizeof mac);
  reply[40] = 3;
  reply[41] = 0x02;
  const std::uint8_t ip[] = {192, 168, 0, 5};
  std::memcpy(reply.data() + 44, ip, sizeof ip);
  std::memcpy(reply.data() + 52, "Q-200", 6);
  std::memcpy(reply.data() + 84, "Shipping", 9);
  reply.resize(length);
  return reply;
}

struct ParseCase {
  std::string name;
  Bytes reply;
  std::optional<DiscoveryReply> parsed;
};

class ParseDiscoveryReplyTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseDiscoveryReplyTest, ReadsOnlyTheBytesThatArrived) {
  // The bytes after the reply are in memory but must not be read.
  Bytes memory = GetParam().reply;
  const std::size_t length = memory.size();
  memory.resize(length + 64, 'z');
  const auto parsed = ParseDiscoveryReply(memory.data(), length);
  ASSERT_EQ(parsed.has_value(), GetParam().parsed.has_value());
  if (!parsed) {
    return;
  }
  const DiscoveryReply& want = *GetParam().parsed;
  EXPECT_EQ(parsed->name, want.name);
  EXPECT_EQ(parsed->mac, want.mac);
  EXPECT_EQ(parsed->ip, want.ip);
  EXPECT_EQ(parsed->model, want.model);
  EXPECT_EQ(parsed->status, want.status);
}

const std::string Mac = "00:1A:2B:3C:4D:5E";

Bytes ModelFillingItsField() {
  Bytes reply = Reply(100);
  std::memset(reply.data() + 52, 'M', 32);
  return reply;
}

Bytes NameWithoutNul() {
  Bytes reply = Reply(84);
  reply.insert(reply.end(), {'L', 'a', 'b', 0xE9});
  return reply;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseDiscoveryReplyTest,
    ::testing::Values(
        ParseCase{"Full", Reply(100),
                  DiscoveryReply{"Shipping", Mac, "192.168.0.5", "Q-200", "Paper Jam"}},
        ParseCase{"ShorterThanHeader", Reply(31), std::nullopt},
        ParseCase{"HeaderOnly", Reply(32), DiscoveryReply{"", Mac, "", "", ""}},
        ParseCase{"EndsBeforeFlags", Reply(41), DiscoveryReply{"", Mac, "", "", ""}},
        ParseCase{"EndsAfterFlags", Reply(42), DiscoveryReply{"", Mac, "", "", "Paper Jam"}},
        ParseCase{"EndsInsideAddress", Reply(45), DiscoveryReply{"", Mac, "", "", "Paper Jam"}},
        ParseCase{"EndsAfterAddress", Reply(48),
                  DiscoveryReply{"", Mac, "192.168.0.5", "", "Paper Jam"}},
        ParseCase{"EndsInsideModel", Reply(54),
                  DiscoveryReply{"", Mac, "192.168.0.5", "Q-", "Paper Jam"}},
        ParseCase{"EndsAfterModelNul", Reply(60),
                  DiscoveryReply{"", Mac, "192.168.0.5", "Q-200", "Paper Jam"}},
        ParseCase{"EndsInsideName", Reply(90),
                  DiscoveryReply{"Shippi", Mac, "192.168.0.5", "Q-200", "Paper Jam"}},
        ParseCase{"NameWithoutNul", NameWithoutNul(),
                  DiscoveryReply{"Lab\xE9", Mac, "192.168.0.5", "Q-200", "Paper Jam"}},
        ParseCase{
            "ModelFillsItsField", ModelFillingItsField(),
            DiscoveryReply{"Shipping", Mac, "192.168.0.5", std::string(32, 'M'), "Paper Jam"}}),
    [](const auto& info) { return info.param.name; });

}  // namespace
