#include "common/printer_rules.h"

#include <gtest/gtest.h>

#include <QString>
#include <optional>
#include <ostream>
#include <string>

namespace {

struct RecordTextCase {
  const char* name;
  QString text;
  std::optional<TextFault> fault;  // nothing: the printer takes it
  QString character;               // the character at fault
};

void PrintTo(const RecordTextCase& c, std::ostream* os) {
  *os << c.name;
}

class RecordTextRule : public ::testing::TestWithParam<RecordTextCase> {};

TEST_P(RecordTextRule, RefusesTheFirstCharacterThePrinterCannotTakeOrATextTooLong) {
  const RecordTextCase& c = GetParam();
  const std::optional<TextProblem> problem = CheckRecordText(c.text);
  ASSERT_EQ(problem.has_value(), c.fault.has_value());
  if (problem) {
    EXPECT_EQ(problem->fault, *c.fault);
    EXPECT_EQ(problem->character, c.character);
    EXPECT_EQ(problem->limit, *c.fault == TextFault::TooLong ? 63 : 0);
  }
}

QString U(const char* utf8) {
  return QString::fromUtf8(utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RecordTextRule,
    ::testing::Values(
        RecordTextCase{"Empty", U(""), std::nullopt, {}},
        RecordTextCase{"Latin1", U("\xc3\x9cn\xc3\xaf\x63\xc3\xb8\x64\xc3\xa9"), std::nullopt, {}},
        RecordTextCase{"NoBreakSpaceAfterTheControls", U("a\xc2\xa0z"), std::nullopt, {}},
        RecordTextCase{"RoomFull", QString(63, QLatin1Char('x')), std::nullopt, {}},
        RecordTextCase{"Quote", U("Lab\"3"), TextFault::QuoteOrControl, U("\"")},
        RecordTextCase{"Nul", QStringLiteral("ab") + QChar(0), TextFault::QuoteOrControl,
                       QString(QChar(0))},
        RecordTextCase{"LastC0", U("a\x1f"), TextFault::QuoteOrControl, U("\x1f")},
        RecordTextCase{"Del", U("a\x7f"), TextFault::QuoteOrControl, U("\x7f")},
        RecordTextCase{"FirstC1", U("a\xc2\x80"), TextFault::QuoteOrControl, U("\xc2\x80")},
        RecordTextCase{"LastC1", U("a\xc2\x9f"), TextFault::QuoteOrControl, U("\xc2\x9f")},
        RecordTextCase{"Cyrillic", U("\xd0\x9f\xd1\x80"), TextFault::NotLatin1, U("\xd0\x9f")},
        RecordTextCase{"EmojiNamedWhole", U("Lab\xf0\x9f\x96\xa8"), TextFault::NotLatin1,
                       U("\xf0\x9f\x96\xa8")},
        RecordTextCase{"FirstFaultWins", U("\xe2\x82\xac\""), TextFault::NotLatin1,
                       U("\xe2\x82\xac")},
        RecordTextCase{
            "LengthBeforeCharacters", QString(64, QLatin1Char('"')), TextFault::TooLong, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// The command texts' last check works on the bytes of a record; it must refuse exactly what the
// front ends refuse, or a text they let through would be dropped without a word, or worse.
TEST(PrinterRules, QuotableBytesAreTheCharactersTheFrontEndsTake) {
  for (int byte = 0; byte < 256; ++byte) {
    const std::string latin1(1, static_cast<char>(byte));
    EXPECT_EQ(IsQuotableText(latin1), !CheckPrinterText(QString(QChar(byte))).has_value())
        << "byte " << byte;
  }
}

TEST(PrinterRules, PortNumbersRunFrom1To65535) {
  for (const auto& [number, port] :
       {std::pair{0, false}, std::pair{1, true}, std::pair{65535, true}, std::pair{65536, false}}) {
    EXPECT_EQ(IsPortNumber(number), port) << number;
  }
}

}  // namespace
