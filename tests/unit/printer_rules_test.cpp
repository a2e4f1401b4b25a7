#include "common/printer_rules.h"

#include <gtest/gtest.h>

#include <QString>
#include <optional>
#include <ostream>
#include <string>

#include "link/serial_choices.h"

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

struct NameCase {
  const char* name;
  QString text;
  std::optional<TextFault> fault;  // nothing: the printer keeps it
  int limit = 0;
};

void PrintTo(const NameCase& c, std::ostream* os) {
  *os << c.name;
}

class PrinterNameRule : public ::testing::TestWithParam<NameCase> {};

TEST_P(PrinterNameRule, TakesFifteenCharactersTheCharacterRuleLetsThrough) {
  const NameCase& c = GetParam();
  const std::optional<TextProblem> problem = CheckPrinterName(c.text);
  ASSERT_EQ(problem.has_value(), c.fault.has_value());
  if (problem) {
    EXPECT_EQ(problem->fault, *c.fault);
    EXPECT_EQ(problem->limit, c.limit);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, PrinterNameRule,
    ::testing::Values(NameCase{"Empty", U(""), TextFault::Blank},
                      NameCase{"OnlyBlanks", U("  \xc2\xa0 "), TextFault::Blank},
                      NameCase{"BlanksAroundAName", U(" a "), std::nullopt},
                      NameCase{"FifteenLatin1", U("K\xc3\xbc") + QString(13, QLatin1Char('x')),
                               std::nullopt},
                      NameCase{"Sixteen", QString(16, QLatin1Char('x')), TextFault::TooLong, 15},
                      NameCase{"Quote", U("Lab\"3"), TextFault::QuoteOrControl},
                      NameCase{"Cyrillic", U("\xd0\x9f"), TextFault::NotLatin1},
                      NameCase{"CharactersBeforeLength", QString(16, QLatin1Char('"')),
                               TextFault::QuoteOrControl}),
    [](const auto& info) { return std::string(info.param.name); });

struct HostPortCase {
  const char* name;
  QString text;
  std::optional<HostPortFault> fault;  // nothing: read as `host` and `port`
  QString host;                        // the host read, or the one at fault
  int port = 0;
};

void PrintTo(const HostPortCase& c, std::ostream* os) {
  *os << c.name;
}

class HostPortReader : public ::testing::TestWithParam<HostPortCase> {};

TEST_P(HostPortReader, SplitsAtTheLastColonAndNamesTheFirstFault) {
  const HostPortCase& c = GetParam();
  const HostPortReading reading = ReadHostPort(c.text, 515);
  ASSERT_NE(reading.target.has_value(), reading.problem.has_value());
  if (c.fault) {
    ASSERT_TRUE(reading.problem);
    EXPECT_EQ(reading.problem->fault, *c.fault);
    EXPECT_EQ(reading.problem->host, c.host);
    EXPECT_EQ(reading.problem->text.has_value(), *c.fault == HostPortFault::HostText);
  } else {
    ASSERT_TRUE(reading.target);
    EXPECT_EQ(reading.target->host, c.host);
    EXPECT_EQ(reading.target->port, c.port);
  }
}

const QString Host63(63, QLatin1Char('h'));

INSTANTIATE_TEST_SUITE_P(
    Table, HostPortReader,
    ::testing::Values(
        HostPortCase{"NoColonTakesTheDefaultPort", U("printer"), std::nullopt, U("printer"), 515},
        HostPortCase{"Port1", U("10.0.0.5:1"), std::nullopt, U("10.0.0.5"), 1},
        HostPortCase{"Port65535", U("h:65535"), std::nullopt, U("h"), 65535},
        HostPortCase{"SixDigits", U("h:009100"), std::nullopt, U("h"), 9100},
        HostPortCase{"Port0", U("h:0"), HostPortFault::BadPort, U("h")},
        HostPortCase{"Port65536", U("h:65536"), HostPortFault::BadPort, U("h")},
        HostPortCase{"SevenDigits", U("h:0009100"), HostPortFault::BadPort, U("h")},
        HostPortCase{"SignedPort", U("h:+80"), HostPortFault::BadPort, U("h")},
        HostPortCase{"BlankBeforePort", U("h: 80"), HostPortFault::BadPort, U("h")},
        HostPortCase{"EmptyPort", U("h:"), HostPortFault::BadPort, U("h")},
        HostPortCase{"PortBeforeHost", U("a b:0"), HostPortFault::BadPort, U("a b")},
        HostPortCase{"Empty", U(""), HostPortFault::NoHost, U("")},
        HostPortCase{"OnlyPort", U(":9100"), HostPortFault::NoHost, U("")},
        HostPortCase{"IPv6Like", U("a:b:9100"), HostPortFault::BlankOrColon, U("a:b")},
        HostPortCase{"Blank", U("lab 3"), HostPortFault::BlankOrColon, U("lab 3")},
        HostPortCase{"Quote", U("lab\"3:9100"), HostPortFault::HostText, U("lab\"3")},
        HostPortCase{"Tab", U("lab\t3"), HostPortFault::HostText, U("lab\t3")},
        HostPortCase{"NotLatin1", U("\xd0\x9f:9100"), HostPortFault::HostText, U("\xd0\x9f")},
        HostPortCase{"Host63", Host63 + U(":80"), std::nullopt, Host63, 80},
        HostPortCase{"Host64", Host63 + U("h:80"), HostPortFault::HostTooLong, Host63 + U("h")},
        HostPortCase{"CharactersBeforeLength", QString(64, QLatin1Char('"')),
                     HostPortFault::HostText, QString(64, QLatin1Char('"'))},
        // Digits and dots are an address or nothing: never a name to look up.
        HostPortCase{"LeadingZeros", U("010.0.0.001:80"), std::nullopt, U("010.0.0.001"), 80},
        HostPortCase{"NumberAbove255", U("192.168.1.256:9100"), HostPortFault::NotAnAddress,
                     U("192.168.1.256")},
        HostPortCase{"ThreeNumbers", U("1.2.3"), HostPortFault::NotAnAddress, U("1.2.3")},
        HostPortCase{"EmptyNumber", U("1..2.3:80"), HostPortFault::NotAnAddress, U("1..2.3")},
        HostPortCase{"OneNumber", U("3232235777"), HostPortFault::NotAnAddress, U("3232235777")},
        HostPortCase{"NameWithDigits", U("printer-7:80"), std::nullopt, U("printer-7"), 80}),
    [](const auto& info) { return std::string(info.param.name); });

// The command line finds a choice by its word as typed in any case, and only by its whole word.
TEST(SerialChoices, FindWordIgnoresCaseAndWantsTheWholeWord) {
  EXPECT_EQ(serial_choices::Hardware.FindWord("RTS-CTS"), 2);
  EXPECT_EQ(serial_choices::Hardware.FindWord("rts"), 1);
  EXPECT_EQ(serial_choices::Software.FindWord("Xon-Xoff"), 1);
  EXPECT_EQ(serial_choices::Baud.FindWord("19200"), 3);
  EXPECT_EQ(serial_choices::StopBits.FindWord("1.5"), 1);
  for (const char* word : {"", "rts-ct", "rts-cts ", "rtscts"}) {
    EXPECT_EQ(serial_choices::Hardware.FindWord(word), -1) << word;
  }
  EXPECT_EQ(serial_choices::Software.FindWord("xon"), -1);
  EXPECT_EQ(serial_choices::Baud.FindWord("1920"), -1);
}

}  // namespace
