#include <chrono>
#include <string>

#include "sim_fixture.h"

namespace {

using namespace std::chrono_literals;

TEST_F(SimOverTcp, SetClock_ThenReadClock_ShowsTheNewTime) {
  ClockRecord set{2027, 3, 4, 5, 6, 7};
  ASSERT_EQ(Run(PrinterOperation::SetClock, &set), CommandResult::Ok);
  ASSERT_TRUE(WaitReceivedCount(1));
  EXPECT_EQ(Received().front(), "TS03,04,27,05,06,07\r\n");

  ClockRecord read{};
  ASSERT_EQ(Run(PrinterOperation::ReadClock, &read), CommandResult::Ok);
  EXPECT_EQ(read.year, 2027);
  EXPECT_EQ(read.month, 3);
  EXPECT_EQ(read.date, 4);
  EXPECT_EQ(read.hour, 5);
  EXPECT_EQ(read.minute, 6);
  // The printer's clock keeps running between the set and the read.
  EXPECT_GE(read.second, 7);
  EXPECT_LE(read.second, 12);
}

TEST_F(SimOverTcp, ReadClock_SendsTheInterfaceCommandThenEveryReportInOrder) {
  ClockRecord read{};
  ASSERT_EQ(Run(PrinterOperation::ReadClock, &read), CommandResult::Ok);
  const std::vector<std::string> expected = {
      "DIAGNOSTIC INTERFACE NET\r\n", "DIAGNOSTIC REPORT YEAR\r\n", "DIAGNOSTIC REPORT MONTH\r\n",
      "DIAGNOSTIC REPORT DATE\r\n",   "DIAGNOSTIC REPORT HOUR\r\n", "DIAGNOSTIC REPORT MINUTE\r\n",
      "DIAGNOSTIC REPORT SECOND\r\n",
  };
  EXPECT_EQ(Received(), expected);
}

TEST_F(SimOverTcp, SetNetworkAndName_ThenReadNetwork_ShowsThem) {
  NetConfigRecord set;
  set.dhcp = 0;
  set.ip.Assign("192.168.7.50");
  set.mask.Assign("255.255.0.0");
  set.gateway.Assign("192.168.7.1");
  set.netName.Assign("Lab printer 3");
  ASSERT_EQ(Run(PrinterOperation::SetNetwork, &set), CommandResult::Ok);
  ASSERT_EQ(Run(PrinterOperation::SetPrinterName, &set), CommandResult::Ok);
  ASSERT_TRUE(WaitReceivedCount(2));

  NetConfigRecord read;
  read.accepted = 1;
  ASSERT_EQ(Run(PrinterOperation::ReadNetwork, &read), CommandResult::Ok);
  EXPECT_EQ(read.dhcp, 0);
  EXPECT_EQ(read.ip, "192.168.7.50");
  EXPECT_EQ(read.mask, "255.255.0.0");
  EXPECT_EQ(read.gateway, "192.168.7.1");
  EXPECT_EQ(read.lastUsedIp, "192.168.7.50");
  EXPECT_EQ(read.netName, "Lab printer 3");
  EXPECT_EQ(read.macAddr, "00:11:22:33:44:55");
  EXPECT_EQ(read.accepted, 1);

  set.dhcp = 1;
  ASSERT_EQ(Run(PrinterOperation::SetNetwork, &set), CommandResult::Ok);
  ASSERT_EQ(Run(PrinterOperation::ReadNetwork, &read), CommandResult::Ok);
  EXPECT_EQ(read.dhcp, 1);
  EXPECT_EQ(read.ip, "0.0.0.0");
}

TEST_F(SimOverTcp, FactoryReset_RestoresTheDefaultsAndReadsNothing) {
  NetConfigRecord set;
  set.netName.Assign("renamed");
  ASSERT_EQ(Run(PrinterOperation::SetPrinterName, &set), CommandResult::Ok);
  ASSERT_EQ(Run(PrinterOperation::FactoryReset), CommandResult::Ok);
  ASSERT_TRUE(WaitReceivedCount(2));
  EXPECT_EQ(Received().back(), "INITIALPRINTER\r\n");
  EXPECT_EQ(sim_->State().name, printer_sim::PrinterState{}.name);
}

TEST_F(SimOverTcp, QuotedTextThatWouldBreakTheCommand_IsRefusedAndNothingReachesThePrinter) {
  NetConfigRecord set;
  set.netName.Assign("x\"\r\nINITIALPRINTER");
  EXPECT_EQ(Run(PrinterOperation::SetPrinterName, &set), CommandResult::InvalidOperation);
  EXPECT_EQ(sim_->AcceptedConnections(), 0u);
  EXPECT_EQ(sim_->ReceivedCount(), 0u);
}

TEST_F(SimOverTcp, EveryOperation_MakesAFreshConnectionAndClosesIt) {
  ClockRecord clock{};
  ASSERT_EQ(Run(PrinterOperation::ProbeLink), CommandResult::Ok);
  ASSERT_EQ(Run(PrinterOperation::ReadClock, &clock), CommandResult::Ok);
  ASSERT_EQ(Run(PrinterOperation::ReadClock, &clock), CommandResult::Ok);
  EXPECT_EQ(sim_->AcceptedConnections(), 3u);
  EXPECT_TRUE(sim_->WaitUntil([&] { return sim_->OpenConnections() == 0; }, 5s));
}

}  // namespace
