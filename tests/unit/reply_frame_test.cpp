#include "protocol/reply_frame.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/fake_link_port.h"

namespace {

using namespace std::string_literals;

class ReplyFrameTest : public FakePortsTest<FakeLinkPort> {
 protected:
  // The frame's text, or nothing when the read failed.
  std::optional<std::string> ReadFrame() {
    ReplyBuffer data{};
    std::uint32_t length = 0;
    if (!ReadReplyFrame(*facade_, handle_, LinkKind::Usb, data, length)) {
      return std::nullopt;
    }
    EXPECT_EQ(data[length], '\0');
    return std::string(data.data(), length);
  }

  LinkHandle handle_ = facade_->OpenLink(LinkKind::Usb);
};

struct FrameCase {
  std::string name;
  std::string wire;
  std::optional<std::string> data;
};

void PrintTo(const FrameCase& c, std::ostream* out) {
  *out << c.name;
}

class FrameTableTest : public ReplyFrameTest, public ::testing::WithParamInterface<FrameCase> {};

TEST_P(FrameTableTest, ReadReplyFrame) {
  Port().fills = {GetParam().wire};
  EXPECT_EQ(ReadFrame(), GetParam().data);
}

const std::string Content1024 = "1019|" + std::string(1019, 'd');

INSTANTIATE_TEST_SUITE_P(
    Table, FrameTableTest,
    ::testing::Values(FrameCase{"Year", "{4|2009}", "2009"},
                      FrameCase{"EmptyWithoutLength", "{|}", ""},
                      FrameCase{"EmptyWithZeroLength", "{0|}", ""},
                      FrameCase{"DataWithoutLength", "{|abc}", std::nullopt},
                      FrameCase{"OnlyFirstBarSeparates", "{3|a|c}", "a|c"},
                      FrameCase{"LengthTooLarge", "{5|abc}", std::nullopt},
                      FrameCase{"LengthTooSmall", "{2|abc}", std::nullopt},
                      FrameCase{"NegativeLength", "{-3|abc}", std::nullopt},
                      FrameCase{"SpaceAfterLength", "{3 |abc}", std::nullopt},
                      FrameCase{"NoSeparator", "{abc}", std::nullopt},
                      FrameCase{"LeadingZeros", "{004|2009}", "2009"},
                      FrameCase{"LeadInSkipped", "\r\nOK> }|{4|2009}", "2009"},
                      FrameCase{"ClosingBraceMissing", "{3|abc", "abc"},
                      FrameCase{"ClosingBraceMissingLengthWrong", "{4|abc", std::nullopt},
                      FrameCase{"OnlyLeadIn", "\r\n", std::nullopt},
                      FrameCase{"Content1024", "{" + Content1024 + "}", Content1024.substr(5)},
                      FrameCase{"LengthOf31Digits", "{" + std::string(30, '0') + "4|2009}", "2009"},
                      FrameCase{"LengthOf32Digits", "{" + std::string(31, '0') + "4|2009}",
                                std::nullopt},
                      FrameCase{"DataWithNul", "{3|a\0b}"s, "a\0b"s}),
    [](const auto& info) { return info.param.name; });

TEST_F(ReplyFrameTest, ReadReplyFrame_FailsAtThe1025thContentByteWithoutReadingOn) {
  Port().fills = {"{" + std::string(1025, 'x') + "!}"};
  EXPECT_EQ(ReadFrame(), std::nullopt);
  std::uint8_t next = 0;
  ASSERT_TRUE(facade_->ReadLinkByte(handle_, LinkKind::Usb, next));
  EXPECT_EQ(next, '!');
}

TEST_F(ReplyFrameTest, ReadReplyFrame_ReadsFramesOneAfterAnother) {
  Port().fills = {"\r\n{4|2009}\r\n{1|5}"};
  EXPECT_EQ(ReadFrame(), "2009");
  EXPECT_EQ(ReadFrame(), "5");
}

TEST_F(ReplyFrameTest, ReadReplyFrame_AcceptsLeadInOfExactly64KiB) {
  for (int i = 0; i < 16; ++i) {
    Port().fills.push_back(std::string(4096, '~'));
  }
  Port().fills.push_back("{1|x}");
  EXPECT_EQ(ReadFrame(), "x");
}

TEST_F(ReplyFrameTest, ReadReplyFrame_GivesUpOnEndlessLeadIn) {
  for (int i = 0; i < 40; ++i) {
    Port().fills.push_back(std::string(4096, '~'));
  }
  EXPECT_EQ(ReadFrame(), std::nullopt);
  EXPECT_EQ(Port().fillCalls, 17);  // 64 KiB plus the one byte too many
}

TEST(ReplyText, StopsAtFirstNul) {
  ReplyBuffer data{};
  const std::string wire = "ab\0cd"s;
  std::copy(wire.begin(), wire.end(), data.begin());
  EXPECT_EQ(ReplyText(data, 5), "ab");
  EXPECT_EQ(ReplyText(data, 1), "a");
}

}  // namespace
