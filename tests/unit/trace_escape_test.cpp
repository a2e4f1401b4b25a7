#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "common/trace.h"

namespace {

using namespace std::string_view_literals;

struct EscapeCase {
  std::string label;
  std::string_view bytes;
  std::string traced;
};

void PrintTo(const EscapeCase& row, std::ostream* os) {
  *os << row.label;
}

class TraceEscapedTest : public ::testing::TestWithParam<EscapeCase> {};

// Whatever the printer or the user sends, the trace line holds printable ASCII only.
TEST_P(TraceEscapedTest, LeavesNothingATerminalWouldObey) {
  EXPECT_EQ(TraceEscaped(GetParam().bytes), GetParam().traced);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, TraceEscapedTest,
    ::testing::Values(EscapeCase{"CommandLine", "DIAGNOSTIC REPORT YEAR\r\n",
                                 R"(DIAGNOSTIC REPORT YEAR\r\n)"},
                      EscapeCase{"Backslash", R"(C:\lpt)", R"(C:\\lpt)"},
                      EscapeCase{"ClearScreen", "A\x1b[2J", R"(A\x1B[2J)"},
                      EscapeCase{"EscLessCsi",
                                 "\x9b"
                                 "31m",
                                 R"(\x9B31m)"},
                      EscapeCase{"TabNulAndDel", "\t\0\x7f"sv, R"(\x09\x00\x7F)"},
                      EscapeCase{"LoneFF", "\xff", R"(\xFF)"},
                      EscapeCase{"Latin1", "Caf\xe9", R"(Caf\xE9)"},
                      EscapeCase{"SplitUtf8", "Caf\xc3", R"(Caf\xC3)"},
                      EscapeCase{"Printable", " ~{7|OK}", " ~{7|OK}"}),
    [](const ::testing::TestParamInfo<EscapeCase>& info) { return info.param.label; });

}  // namespace
