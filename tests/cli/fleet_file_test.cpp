// The fleet file of export and apply: what ReadFleetFile refuses, at which line, and that what
// FleetCsv and FleetJson write reads back the same.
#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "cli/fleet_file.h"
#include "cli/udp_commands.h"

namespace {

const std::string Header = "mac,name,mode,ip,mask,gateway\n";

// A valid DHCP row for the printer numbered `n`.
std::string Row(int n) {
  char text[64];
  std::snprintf(text, sizeof text, "00:00:00:00:%02X:%02X,P%d,dhcp,,,\n", n >> 8, n & 0xFF, n);
  return text;
}

std::string ManyRows(int count) {
  std::string text = Header;
  for (int n = 0; n < count; ++n) {
    text += Row(n);
  }
  return text;
}

struct BadFileCase {
  std::string label;
  std::string bytes;
  int line;
  std::string message;  // a part of the message
};

void PrintTo(const BadFileCase& c, std::ostream* os) {
  *os << c.label;
}

class FleetFileRefusedTest : public ::testing::TestWithParam<BadFileCase> {};

TEST_P(FleetFileRefusedTest, NamesTheLine) {
  const auto read = ReadFleetFile(GetParam().bytes);
  const auto* error = std::get_if<FleetFileError>(&read);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->line, GetParam().line) << error->message;
  EXPECT_NE(error->message.find(GetParam().message), std::string::npos) << error->message;
  if (GetParam().line > 0) {
    EXPECT_EQ(error->message.rfind("line " + std::to_string(GetParam().line) + ": ", 0), 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, FleetFileRefusedTest,
    ::testing::Values(
        BadFileCase{"OnlyBomAndBlanks", "\xEF\xBB\xBF \r\n\n", 0, "the file is empty"},
        BadFileCase{"HeaderOnly", Header + "\n\n", 0, "the file lists no printers"},
        BadFileCase{"MissingColumn", "\nmac,name,mode,ip,mask\n" + Row(1), 2,
                    "no column 'gateway'"},
        BadFileCase{"ExtraColumn", "mac,name,mode,ip,mask,gateway,port\n", 1,
                    "unknown column 'port'"},
        BadFileCase{"WrongFieldCount", Header + Row(1) + "00:00:00:00:00:02,b,dhcp,,\n", 3,
                    "5 fields, but the header line has 6"},
        BadFileCase{"BareQuoteInName", Header + Row(1) + "00:00:00:00:00:02,Off\"ice,dhcp,,,\n", 3,
                    "quotation mark inside a field"},
        BadFileCase{"QuoteNeverClosed", Header + Row(1) + "00:00:00:00:00:02,\"Office,dhcp,,,\n", 3,
                    "never closed"},
        BadFileCase{"QuotedQuoteInName",
                    Header + Row(1) + "00:00:00:00:00:02,\"Off\"\"ice\",dhcp,,,\n", 3,
                    "name: the printer name may not contain quotation marks"},
        // A record that spans lines is named by its first line, a fault inside it by its own.
        BadFileCase{"LineBreakInName", Header + Row(1) + "00:00:00:00:00:02,\"Off\nice\",dhcp,,,\n",
                    3, "name: the printer name may not contain quotation marks or control"},
        BadFileCase{"TextAfterClosingQuote",
                    Header + Row(1) + "00:00:00:00:00:02,\"Off\nice\"x,dhcp,,,\n", 4,
                    "text after the quotation mark"},
        BadFileCase{"NameOf16",
                    Header + Row(1) + "\n" + "00:00:00:00:00:02,ABCDEFGHIJKLMNOP,dhcp,,,\n", 4,
                    "name: the printer name is longer than 15 characters"},
        BadFileCase{"EmptyName", Header + "00:00:00:00:00:02,,dhcp,,,\n", 2,
                    "name: the printer name is empty"},
        BadFileCase{"BlankName", Header + "00:00:00:00:00:02,\"  \",dhcp,,,\n", 2,
                    "name: the printer name is empty or only blanks"},
        BadFileCase{"Static300",
                    Header + Row(1) + "00:00:00:00:00:02,b,static,300.1.2.3,255.0.0.0,10.0.0.1\n",
                    3, "ip: '300.1.2.3' is not four numbers from 0 to 255 joined by dots"},
        BadFileCase{"DhcpBadMask", Header + "00:00:00:00:00:02,b,DHCP,,255.0.0,\n", 2,
                    "mask: '255.0.0' is not four numbers"},
        BadFileCase{
            "MacTwice",
            Header + "00:1a:2b:3c:4d:5e,a,dhcp,,,\n" + Row(1) + "00:1A:2B:3C:4D:5E,c,dhcp,,,\n", 4,
            "mac: 00:1A:2B:3C:4D:5E is already on line 2"},
        BadFileCase{"TenThousandRows", ManyRows(10000), 1002,
                    "more than 1000 printers; a discovery lists at most 1000"},
        // Named by its first line that is not UTF-8, though only line 4 fails Windows-1252 too.
        BadFileCase{"NotUtf8",
                    Header + Row(1) + "00:00:00:00:00:02,Caf\xE9,dhcp,,,\n" +
                        "00:00:00:00:00:03,\x81,dhcp,,,\n",
                    3, "not UTF-8 text"},
        BadFileCase{"Utf8CutAtTheEnd",
                    "\xEF\xBB\xBF" + Header + Row(1) + "00:00:00:00:00:02,Caf\xC3", 3,
                    "not UTF-8 text"},
        // Read as Windows-1252, its UTF-8 line would be a garbled name ("CafÃ©").
        BadFileCase{"MixedUtf8AndWindows1252",
                    Header + "00:00:00:00:00:01,Caf\xC3\xA9,dhcp,,,\n" +
                        "00:00:00:00:00:02,Caf\xE9,dhcp,,,\n",
                    3, "not UTF-8 text"},
        BadFileCase{"EuroSignInWindows1252", Header + "00:00:00:00:00:02,5 \x80,dhcp,,,\n", 2,
                    "name: the printer name contains a character the printer cannot take"},
        BadFileCase{"ValueUnderAnEmptyHeader",
                    "mac;name;mode;;ip;mask;gateway;\n00:00:00:00:00:01;a;dhcp;;;;;\n"
                    "00:00:00:00:00:02;b;dhcp; x ;;;;\n",
                    3, "column 4 has no name in the header line but holds ' x '"},
        BadFileCase{"BadMode", Header + "00:00:00:00:00:02,b,auto,,,\n", 2,
                    "mode: 'auto' is neither dhcp nor static"},
        // The first element spans two lines and holds brackets, a comma and a backslash in a
        // string; the element at fault begins on line 4.
        BadFileCase{"JsonElementWithoutKey",
                    "[\n"
                    "{\"mac\":\"00:00:00:00:00:01\",\"name\":\"{a\\\\,[b\",\"mode\":\"dhcp\",\n"
                    " \"ip\":\"\",\"mask\":\"\",\"gateway\":\"\"},\n"
                    "  {\"mac\":\"00:00:00:00:00:02\",\"name\":\"b\",\"mode\":\"dhcp\",\"ip\":\"\","
                    "\"mask\":\"\"}\n"
                    "]\n",
                    4, "no key 'gateway'"},
        BadFileCase{"JsonSyntax", "[\n{\"mac\":\"00:00:00:00:00:01\",\n\"name\" \"a\"}\n]", 3,
                    "not valid JSON"}),
    [](const ::testing::TestParamInfo<BadFileCase>& info) { return info.param.label; });

TEST(FleetFileTest, ReadsBackWhatItWritesAndTakesCrlfWithAByteOrderMark) {
  std::vector<FleetRow> rows = {
      {"00:1A:2B:3C:4D:5E", "Hall, 2nd floor", false, "192.168.0.20", "255.255.255.0",
       "192.168.0.1"},
      {"00:1A:2B:3C:4D:5F", " Caf\xE9  bar", true, "", "", ""},
      {"00:1A:2B:3C:4D:60", "a\\b", true, "10.0.0.7", "", ""},
  };
  for (std::size_t i = 0; i < rows.size(); ++i) {
    rows[i].line = static_cast<int>(i) + 2;  // after the header line or the '['
  }
  for (const std::string& text : {FleetCsv(rows), FleetJson(rows)}) {
    const auto read = ReadFleetFile(text);
    const auto* back = std::get_if<FleetFile>(&read);
    ASSERT_NE(back, nullptr) << std::get<FleetFileError>(read).message << "\n" << text;
    EXPECT_EQ(back->rows, rows) << text;
    EXPECT_FALSE(back->windows1252);
  }

  // Columns in another order, in capitals and with blanks; the quoted name holds a comma; the
  // MAC as Windows prints it.
  const auto read = ReadFleetFile(
      "\xEF\xBB\xBFName, MAC ,mode,gateway,mask,ip\r\n"
      "\"Hall, 2\",00-1a-2b-3c-4d-5e,STATIC,10.0.0.1,255.255.255.0,10.0.0.9\r\n\r\n");
  const auto* crlf = std::get_if<FleetFile>(&read);
  ASSERT_NE(crlf, nullptr) << std::get<FleetFileError>(read).message;
  EXPECT_EQ(crlf->rows, (std::vector<FleetRow>{{"00:1A:2B:3C:4D:5E", "Hall, 2", false, "10.0.0.9",
                                                "255.255.255.0", "10.0.0.1", 2}}));
}

// As spreadsheets save CSV: ';' in a locale with a decimal comma, unused columns at the end, and
// the Windows code page.
TEST(FleetFileTest, ReadsSpreadsheetFiles) {
  const struct {
    const char* label;
    std::string bytes;
    bool windows1252;
  } files[] = {
      {"Semicolons",
       "\"mac\";Name;mode;ip;mask;gateway;;\r\n"
       "00:1a:2b:3c:4d:5e;Hall, 2;static;10.0.0.9;255.255.255.0;10.0.0.1;;\r\n"
       "00:1a:2b:3c:4d:5f;\"Caf\xC3\xA9; bar\";dhcp;;;; ;\r\n",
       false},
      {"Windows1252",
       "mac,Name,mode,ip,mask,gateway,,\n"
       "00:1a:2b:3c:4d:5e,\"Hall, 2\",static,10.0.0.9,255.255.255.0,10.0.0.1,,\n"
       "00:1a:2b:3c:4d:5f,Caf\xE9; bar,dhcp,,,,,\n",
       true},
  };
  for (const auto& file : files) {
    const auto read = ReadFleetFile(file.bytes);
    const auto* rows = std::get_if<FleetFile>(&read);
    ASSERT_NE(rows, nullptr) << file.label << ": " << std::get<FleetFileError>(read).message;
    ASSERT_EQ(rows->rows.size(), 2u) << file.label;
    EXPECT_EQ(rows->windows1252, file.windows1252) << file.label;
    EXPECT_EQ(rows->rows[0], (FleetRow{"00:1A:2B:3C:4D:5E", "Hall, 2", false, "10.0.0.9",
                                       "255.255.255.0", "10.0.0.1", 2}))
        << file.label;
    EXPECT_EQ(rows->rows[1].name, "Caf\xE9; bar") << file.label;
  }
}

// apply's "unchanged" and remote-set's read-back judge addresses alike: the same four numbers
// however they are written, and a text that is no address only as itself (an empty address is
// no broadcast address).
TEST(SameAddress, IsTheSameFourNumbersOrElseTheSameText) {
  EXPECT_TRUE(SameAddress("10.0.0.1", "010.000.0.01"));
  EXPECT_FALSE(SameAddress("10.0.0.1", "10.0.0.2"));
  EXPECT_FALSE(SameAddress("", "255.255.255.255"));
  EXPECT_FALSE(SameAddress("printer", "255.255.255.255"));
  EXPECT_FALSE(SameAddress("printer", "other"));
  EXPECT_TRUE(SameAddress("", ""));
}

}  // namespace
