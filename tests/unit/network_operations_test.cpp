#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "printer_operation_fixture.h"
#include "protocol/network_commands.h"

namespace {

NetConfigRecord StaticConfig() {
  NetConfigRecord config;
  config.dhcp = 0;
  config.ip.Assign("192.168.1.50");
  config.mask.Assign("255.255.255.0");
  config.gateway.Assign("192.168.1.1");
  config.netName.Assign("Label-7");
  return config;
}

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

TEST_F(PrinterOperationTest, SetNetwork_StaticSendsTheThreeQuotedAddresses) {
  NetConfigRecord config = StaticConfig();
  EXPECT_EQ(Run(PrinterOperation::SetNetwork, &config), CommandResult::Ok);
  EXPECT_EQ(Printer().commands,
            Commands{"NET IP \"192.168.1.50\",\"255.255.255.0\",\"192.168.1.1\"\r\n"});
  EXPECT_EQ(Printer().fillCalls, 0);
}

TEST_F(PrinterOperationTest, SetNetwork_DhcpIgnoresWhateverTheAddressesHold) {
  NetConfigRecord config = StaticConfig();
  config.dhcp = 1;
  config.ip.Assign("1.2.3.4\"\r\nINITIALPRINTER");
  config.mask.Assign("\t");
  EXPECT_EQ(Run(PrinterOperation::SetNetwork, &config), CommandResult::Ok);
  EXPECT_EQ(Printer().commands, Commands{"NET DHCP\r\n"});
}

TEST_F(PrinterOperationTest, SetPrinterName_QuotesTheName) {
  NetConfigRecord config = StaticConfig();
  EXPECT_EQ(Run(PrinterOperation::SetPrinterName, &config), CommandResult::Ok);
  config.netName.Clear();
  EXPECT_EQ(Run(PrinterOperation::SetPrinterName, &config), CommandResult::Ok);
  config.netName.Assign("Caf\xE9 \xFF");
  EXPECT_EQ(Run(PrinterOperation::SetPrinterName, &config), CommandResult::Ok);
  EXPECT_EQ(Printer().commands, (Commands{"NET NAME \"Label-7\"\r\n", "NET NAME \"\"\r\n",
                                          "NET NAME \"Caf\xE9 \xFF\"\r\n"}));
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
  NetConfigRecord config = StaticConfig();
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

class DhcpFromAddressTest : public PrinterOperationTest,
                            public ::testing::WithParamInterface<std::pair<std::string, int>> {};

TEST_P(DhcpFromAddressTest, ReadNetwork_DhcpOnlyForTheExactAnyAddress) {
  Printer().answers["DIAGNOSTIC REPORT CONFIGIP"] = Frame(GetParam().first);
  NetConfigRecord config = OldConfig();
  ASSERT_EQ(Run(PrinterOperation::ReadNetwork, &config), CommandResult::Ok);
  EXPECT_EQ(config.dhcp, GetParam().second);
  EXPECT_EQ(config.ip, GetParam().first);
}

INSTANTIATE_TEST_SUITE_P(Table, DhcpFromAddressTest,
                         ::testing::Values(std::pair<std::string, int>{"0.0.0.0", 1},
                                           std::pair<std::string, int>{"", 0},
                                           std::pair<std::string, int>{"0.0.0.00", 0},
                                           std::pair<std::string, int>{"0.0.0.0 ", 0},
                                           std::pair<std::string, int>{"10.0.0.0", 0}));

class RequiredReportTest : public PrinterOperationTest,
                           public ::testing::WithParamInterface<int> {};

TEST_P(RequiredReportTest, ReadNetwork_FailsAtASilentRequiredReport) {
  const std::vector<std::string> reports = {"CONFIGIP", "GATEWAY", "IPMASK", "LASTUSEDIP"};
  const std::vector<NetConfigRecord::Text NetConfigRecord::*> fields = {
      &NetConfigRecord::ip, &NetConfigRecord::gateway, &NetConfigRecord::mask,
      &NetConfigRecord::lastUsedIp};
  const int silent = GetParam();
  Printer().answers.erase("DIAGNOSTIC REPORT " + reports[silent]);
  const NetConfigRecord old = OldConfig();
  NetConfigRecord config = old;

  EXPECT_EQ(Run(PrinterOperation::ReadNetwork, &config), CommandResult::ReceiveDataError);
  EXPECT_EQ(Printer().commands.back(), "DIAGNOSTIC REPORT " + reports[silent] + "\r\n");
  for (int i = 0; i < 4; ++i) {
    if (i < silent) {
      EXPECT_NE(config.*fields[i], old.*fields[i]) << reports[i];
    } else {
      EXPECT_EQ(config.*fields[i], old.*fields[i]) << reports[i];
    }
  }
  EXPECT_EQ(config.dhcp, silent == 0 ? old.dhcp : 0);
  EXPECT_EQ(config.netName, old.netName);
  EXPECT_EQ(config.macAddr, old.macAddr);
  EXPECT_EQ(Printer().closeCalls, 1);
}

INSTANTIATE_TEST_SUITE_P(EachReport, RequiredReportTest, ::testing::Range(0, 4));

TEST_F(PrinterOperationTest, ReadNetwork_SilentNameStillSucceedsAndSkipsMacAddress) {
  Printer().answers.erase("DIAGNOSTIC REPORT NETNAME");
  NetConfigRecord config = OldConfig();
  EXPECT_EQ(Run(PrinterOperation::ReadNetwork, &config), CommandResult::Ok);
  EXPECT_TRUE(config.netName.Empty());
  EXPECT_EQ(config.macAddr, "old-mac");
  EXPECT_EQ(Printer().commands.back(), "DIAGNOSTIC REPORT NETNAME\r\n");
}

TEST_F(PrinterOperationTest, ReadNetwork_SilentMacAddressStillSucceedsWithItEmpty) {
  Printer().answers.erase("DIAGNOSTIC REPORT MACADDR");
  NetConfigRecord config = OldConfig();
  EXPECT_EQ(Run(PrinterOperation::ReadNetwork, &config), CommandResult::Ok);
  EXPECT_EQ(config.netName, "Label-7");
  EXPECT_TRUE(config.macAddr.Empty());
}

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
