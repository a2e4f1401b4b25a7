#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "printer_operation_fixture.h"
#include "protocol/network_commands.h"

namespace {

// A record full of values that a read must replace or must leave alone.
NetConfigRecord OldConfig() {
  NetConfigRecord config;
  config.dhcp = 7;
  config.ip.Assign("old-ip");
  config.mask.Assign("old-mask");
  config.gateway.Assign("old-gateway");
  config.lastUsedIp.Assign("old-last");
  config.netName.Assign("old-name");
  config.macAddr.Assign("old-mac");
  config.accepted = 9;
  return config;
}

struct UnquotableCase {
  PrinterOperation operation;
  NetConfigRecord::Text NetConfigRecord::*field;
  const char* text;
};

void PrintTo(const UnquotableCase& c, std::ostream* out) {
  *out << "operation " << static_cast<int>(c.operation) << ", text ";
  ::testing::internal::UniversalPrint(std::string(c.text), out);
}

class UnquotableTextTest : public PrinterOperationTest,
                           public ::testing::WithParamInterface<UnquotableCase> {};

TEST_P(UnquotableTextTest, IsRefusedBeforeAnythingIsOpened) {
  NetConfigRecord config = Config(0, "192.168.1.50", "255.255.255.0", "192.168.1.1", "Label-7");
  (config.*GetParam().field).Assign(GetParam().text);
  EXPECT_EQ(Run(GetParam().operation, &config), CommandResult::InvalidOperation);
  EXPECT_TRUE(Printer().events.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, UnquotableTextTest,
    ::testing::Values(
        UnquotableCase{PrinterOperation::SetNetwork, &NetConfigRecord::ip, "1.2.3.4\""},
        UnquotableCase{PrinterOperation::SetNetwork, &NetConfigRecord::ip, "1.2.3.4\r\nNET DHCP"},
        UnquotableCase{PrinterOperation::SetNetwork, &NetConfigRecord::mask, "255.0.0.0\n"},
        UnquotableCase{PrinterOperation::SetNetwork, &NetConfigRecord::gateway, "10.0.0.1\t"},
        UnquotableCase{PrinterOperation::SetNetwork, &NetConfigRecord::gateway, "\x01"},
        UnquotableCase{PrinterOperation::SetPrinterName, &NetConfigRecord::netName, "a\"b"},
        UnquotableCase{PrinterOperation::SetPrinterName, &NetConfigRecord::netName, "a\rb"},
        UnquotableCase{PrinterOperation::SetPrinterName, &NetConfigRecord::netName, "a\nb"},
        UnquotableCase{PrinterOperation::SetPrinterName, &NetConfigRecord::netName, "a\x1F"},
        UnquotableCase{PrinterOperation::SetPrinterName, &NetConfigRecord::netName, "a\x7F"}));

TEST_F(PrinterOperationTest, ReadNetwork_AsksEveryReportInOrderAndFillsTheRecord) {
  NetConfigRecord config = OldConfig();
  EXPECT_EQ(Run(PrinterOperation::ReadNetwork, &config, LinkKind::Ethernet), CommandResult::Ok);
  EXPECT_EQ(Printer(LinkKind::Ethernet).commands,
            (Commands{"DIAGNOSTIC INTERFACE NET\r\n", "DIAGNOSTIC REPORT CONFIGIP\r\n",
                      "DIAGNOSTIC REPORT GATEWAY\r\n", "DIAGNOSTIC REPORT IPMASK\r\n",
                      "DIAGNOSTIC REPORT LASTUSEDIP\r\n", "DIAGNOSTIC REPORT NETNAME\r\n",
                      "DIAGNOSTIC REPORT MACADDR\r\n"}));
  EXPECT_EQ(config.dhcp, 0);
  EXPECT_EQ(config.ip, "192.168.1.50");
  EXPECT_EQ(config.gateway, "192.168.1.1");
  EXPECT_EQ(config.mask, "255.255.255.0");
  EXPECT_EQ(config.lastUsedIp, "192.168.1.51");
  EXPECT_EQ(config.netName, "Label-7");
  EXPECT_EQ(config.macAddr, "00:11:22:33:44:55");
  EXPECT_EQ(config.accepted, 9);
  EXPECT_EQ(Printer(LinkKind::Ethernet).closeCalls, 1);
}

using AddressAndDhcp = std::pair<std::string, int>;

class DhcpFromAddressTest : public PrinterOperationTest,
                            public ::testing::WithParamInterface<AddressAndDhcp> {};

TEST_P(DhcpFromAddressTest, ReadNetwork_DhcpOnlyForTheExactAnyAddress) {
  Printer().answers["DIAGNOSTIC REPORT CONFIGIP"] = Frame(GetParam().first);
  NetConfigRecord config = OldConfig();
  ASSERT_EQ(Run(PrinterOperation::ReadNetwork, &config), CommandResult::Ok);
  EXPECT_EQ(config.dhcp, GetParam().second);
  EXPECT_EQ(config.ip, GetParam().first);
}

INSTANTIATE_TEST_SUITE_P(Table, DhcpFromAddressTest,
                         ::testing::Values(AddressAndDhcp{"0.0.0.0", 1}, AddressAndDhcp{"", 0},
                                           AddressAndDhcp{"0.0.0.00", 0},
                                           AddressAndDhcp{"0.0.0.0 ", 0},
                                           AddressAndDhcp{"10.0.0.0", 0}));

// The reports in the order asked, with the field each fills; the first four are required.
const std::array<std::pair<const char*, NetConfigRecord::Text NetConfigRecord::*>, 6> Reports = {{
    {"CONFIGIP", &NetConfigRecord::ip},
    {"GATEWAY", &NetConfigRecord::gateway},
    {"IPMASK", &NetConfigRecord::mask},
    {"LASTUSEDIP", &NetConfigRecord::lastUsedIp},
    {"NETNAME", &NetConfigRecord::netName},
    {"MACADDR", &NetConfigRecord::macAddr},
}};

class SilentReportTest : public PrinterOperationTest,
                         public ::testing::WithParamInterface<std::size_t> {};

// A silent required report fails the read; a silent name or MAC address empties that field and
// ends a read that still succeeds. Either way the fields read before it are taken, the later
// ones are left alone and nothing more is asked.
TEST_P(SilentReportTest, ReadNetwork_StopsAtTheSilentReport) {
  const std::size_t silent = GetParam();
  const std::string report = std::string("DIAGNOSTIC REPORT ") + Reports[silent].first;
  Printer().answers.erase(report);
  const NetConfigRecord old = OldConfig();
  NetConfigRecord config = old;

  EXPECT_EQ(Run(PrinterOperation::ReadNetwork, &config),
            silent < 4 ? CommandResult::ReceiveDataError : CommandResult::Ok);
  EXPECT_EQ(Printer().commands.back(), report + "\r\n");
  for (std::size_t i = 0; i < Reports.size(); ++i) {
    const auto field = Reports[i].second;
    if (i < silent) {
      EXPECT_NE(config.*field, old.*field) << Reports[i].first;
    } else if (i == silent && silent >= 4) {
      EXPECT_TRUE((config.*field).Empty()) << Reports[i].first;
    } else {
      EXPECT_EQ(config.*field, old.*field) << Reports[i].first;
    }
  }
  EXPECT_EQ(config.dhcp, silent == 0 ? old.dhcp : 0);
  EXPECT_EQ(Printer().closeCalls, 1);
}

INSTANTIATE_TEST_SUITE_P(EachReport, SilentReportTest, ::testing::Range<std::size_t>(0, 6));

TEST_F(PrinterOperationTest, ReadNetwork_CutsLongRepliesToTheField) {
  const std::string longName(200, 'n');
  Printer().answers["DIAGNOSTIC REPORT NETNAME"] = Frame(longName);
  Printer().answers["DIAGNOSTIC REPORT LASTUSEDIP"] = Frame(std::string(64, 'l'));
  NetConfigRecord config = OldConfig();
  ASSERT_EQ(Run(PrinterOperation::ReadNetwork, &config), CommandResult::Ok);
  EXPECT_EQ(config.netName, longName.substr(0, 63));
  EXPECT_EQ(config.lastUsedIp, std::string(63, 'l'));
  EXPECT_EQ(config.macAddr, "00:11:22:33:44:55");
}

}  // namespace
