#include "protocol/address_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

namespace {

const IpBytes Failed = {0xFF, 0xFF, 0xFF, 0xFF};

struct IpTextCase {
  std::string name;
  IpBytes bytes;
  std::string text;
};

void PrintTo(const IpTextCase& c, std::ostream* os) {
  *os << '"' << c.text << '"';
}

class IpToTextTest : public ::testing::TestWithParam<IpTextCase> {};

TEST_P(IpToTextTest, WritesDottedDecimal) {
  EXPECT_EQ(IpToText(GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Table, IpToTextTest,
                         ::testing::Values(IpTextCase{"Private", {192, 168, 0, 5}, "192.168.0.5"},
                                           IpTextCase{"AllZero", {0, 0, 0, 0}, "0.0.0.0"},
                                           IpTextCase{"ZeroInside", {10, 0, 0, 255}, "10.0.0.255"},
                                           IpTextCase{
                                               "Longest", {255, 255, 255, 255}, "255.255.255.255"}),
                         [](const auto& info) { return info.param.name; });

class TextToIpTest : public ::testing::TestWithParam<IpTextCase> {};

TEST_P(TextToIpTest, ReadsDottedDecimal) {
  EXPECT_EQ(TextToIp(GetParam().text), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TextToIpTest,
    ::testing::Values(
        IpTextCase{"LeadingZeros", {192, 168, 0, 1}, "192.168.000.001"},
        IpTextCase{"TrailingBlankIgnored", {1, 2, 3, 4}, "1.2.3.4 "},
        IpTextCase{"TrailingLettersIgnored", {1, 2, 3, 4}, "1.2.3.4xyz"},
        IpTextCase{"AllZero", {0, 0, 0, 0}, "0.0.0.0"},
        IpTextCase{"Largest", {255, 0, 255, 9}, "255.0.255.9"},
        IpTextCase{"ManyLeadingZeros", {7, 1, 2, 3}, "0000000007.1.2.3"},
        IpTextCase{"ThreeNumbers", Failed, "1.2.3"},
        IpTextCase{"DotAfterFourth", Failed, "1.2.3.4."},
        IpTextCase{"EmptyNumber", Failed, "1..2.3"}, IpTextCase{"Above255", Failed, "256.1.1.1"},
        IpTextCase{"LastAbove255", Failed, "1.1.1.256"}, IpTextCase{"Empty", Failed, ""},
        IpTextCase{"LeadingBlank", Failed, " 1.2.3.4"}, IpTextCase{"Sign", Failed, "+1.2.3.4"},
        IpTextCase{"OtherSeparator", Failed, "1,2.3.4"},
        IpTextCase{"BroadcastLooksFailed", Failed, "255.255.255.255"}),
    [](const auto& info) { return info.param.name; });

struct MacTextCase {
  std::string name;
  std::string text;
  std::optional<MacBytes> bytes;
};

void PrintTo(const MacTextCase& c, std::ostream* os) {
  *os << '"' << c.text << '"';
}

class TextToMacTest : public ::testing::TestWithParam<MacTextCase> {};

TEST_P(TextToMacTest, ReadsSixHexGroups) {
  EXPECT_EQ(TextToMac(GetParam().text), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TextToMacTest,
    ::testing::Values(
        MacTextCase{"MixedCase", "00:1a:2B:3c:4D:5e", MacBytes{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}},
        MacTextCase{"AllHigh", "ff:FF:fF:Ff:99:a0", MacBytes{0xFF, 0xFF, 0xFF, 0xFF, 0x99, 0xA0}},
        MacTextCase{"TrailingColon", "00:11:22:33:44:55:", std::nullopt},
        MacTextCase{"OneDigitGroup", "0:11:22:33:44:55", std::nullopt},
        MacTextCase{"ThreeDigitGroup", "000:11:22:33:44:55", std::nullopt},
        MacTextCase{"DashSeparator", "00-11-22-33-44-55", std::nullopt},
        MacTextCase{"SevenGroups", "00:11:22:33:44:55:66", std::nullopt},
        MacTextCase{"TrailingChar", "00:11:22:33:44:55x", std::nullopt},
        MacTextCase{"LeadingBlank", " 00:11:22:33:44:5", std::nullopt},
        MacTextCase{"FiveGroupsPadded", "00:11:22:33:44::5", std::nullopt},
        MacTextCase{"LetterAfterF", "00:11:22:33:44:5G", std::nullopt},
        MacTextCase{"Empty", "", std::nullopt}),
    [](const auto& info) { return info.param.name; });

class TypedTextToMacTest : public ::testing::TestWithParam<MacTextCase> {};

TEST_P(TypedTextToMacTest, ReadsTheFormsPeopleCopy) {
  EXPECT_EQ(TypedTextToMac(GetParam().text), GetParam().bytes);
}

constexpr MacBytes Mac1A = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

INSTANTIATE_TEST_SUITE_P(
    Table, TypedTextToMacTest,
    ::testing::Values(MacTextCase{"Colons", "00:1a:2B:3c:4D:5e", Mac1A},
                      MacTextCase{"Dashes", "00-1A-2B-3C-4D-5E", Mac1A},
                      MacTextCase{"Bare", "001a2b3c4d5e", Mac1A},
                      MacTextCase{"MixedSeparators", "00-1A:2B-3C-4D-5E", std::nullopt},
                      MacTextCase{"DashAfterColon", "00:1A-2B-3C-4D-5E", std::nullopt},
                      MacTextCase{"TrailingDash", "00-1A-2B-3C-4D-5E-", std::nullopt},
                      MacTextCase{"BareOfEleven", "001a2b3c4d5", std::nullopt},
                      MacTextCase{"BareOfThirteen", "001a2b3c4d5e6", std::nullopt},
                      MacTextCase{"BareNotHex", "001a2b3c4d5g", std::nullopt},
                      MacTextCase{"Dots", "001a.2b3c.4d5e", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MacToText, WritesUpperCaseGroupsThatReadBack) {
  const MacBytes mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  EXPECT_EQ(MacToText(mac), "00:1A:2B:3C:4D:5E");
  EXPECT_EQ(TextToMac(MacToText(mac)), mac);
  EXPECT_EQ(MacToText({0xF0, 0x0F, 0xAB, 0xCD, 0xEF, 0x09}), "F0:0F:AB:CD:EF:09");
}

}  // namespace
