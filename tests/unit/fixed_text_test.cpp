#include "common/fixed_text.h"

#include <gtest/gtest.h>

#include <string_view>

namespace {

using namespace std::string_view_literals;

TEST(FixedText, Assign_KeepsWhatFitsAndReportsTheCut) {
  FixedText<5> text;
  EXPECT_TRUE(text.Assign("abcd"));
  EXPECT_EQ(text, "abcd");
  EXPECT_FALSE(text.Assign("abcdefgh"));
  EXPECT_EQ(text, "abcd");
  EXPECT_EQ(text.CStr()[4], '\0');

  FixedText<1> terminatorOnly;
  EXPECT_FALSE(terminatorOnly.Assign("x"));
  EXPECT_TRUE(terminatorOnly.Empty());
}

TEST(FixedText, Assign_StopsAtEmbeddedNulAndLeavesNothingOfTheOldText) {
  FixedText<8> text{"1234567"};
  EXPECT_TRUE(text.Assign("ab\0cdefghijk"sv));
  EXPECT_EQ(text.Length(), 2u);
  EXPECT_EQ(std::string_view(text.CStr(), 8), "ab\0\0\0\0\0\0"sv);
}

// Trimming a field in place hands Assign a view of its own storage.
TEST(FixedText, Assign_FromItsOwnTextKeepsTheTail) {
  FixedText<64> text{"  Label-7 on the second floor, next to the stairs"};
  text.Assign(text.View().substr(2));
  EXPECT_EQ(text, "Label-7 on the second floor, next to the stairs");
}

}  // namespace
