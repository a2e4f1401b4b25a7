// What the core's operations do over every link that carries replies: TCP and the pty.

#include <chrono>
#include <string>
#include <vector>

#include "support/sim_over_link.h"

namespace {

TEST_P(SimOverEachLink, SetClock_ThenReadClock_ShowsTheNewTime) {
  ClockRecord set{2027, 3, 4, 5, 6, 7};
  ASSERT_EQ(Run(PrinterOperation::SetClock, &set), CommandResult::Ok);
  ASSERT_TRUE(WaitReceivedCount(1));

  ClockRecord read{};
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(Run(PrinterOperation::ReadClock, &read), CommandResult::Ok);
  if (via_ == Via::Pty) {
    // Seven replies: waits for data that did not end when a byte came would take 1.4 s.
    EXPECT_LT(SecondsSince(start), 1.0);
  }
  EXPECT_EQ(read, (ClockRecord{2027, 3, 4, 5, 6, read.second}));
  // The printer's clock keeps running between the set and the read.
  EXPECT_GE(read.second, 7);
  EXPECT_LE(read.second, 12);
}

TEST_P(SimOverEachLink, SetNetworkAndLongName_ThenReadNetwork_ShowsThem) {
  NetConfigRecord set;
  set.dhcp = 0;
  set.ip.Assign("192.168.7.50");
  set.mask.Assign("255.255.0.0");
  set.gateway.Assign("192.168.7.1");
  const std::string name = "Lab printer 3 in the east wing, second floor, next to the door";
  set.netName.Assign(name);  // its command takes two of the pty's 64-byte chunks
  ASSERT_EQ(Run(PrinterOperation::SetNetwork, &set), CommandResult::Ok);
  ASSERT_TRUE(WaitReceivedCount(1));
  ASSERT_EQ(Run(PrinterOperation::SetPrinterName, &set), CommandResult::Ok);
  ASSERT_TRUE(WaitReceivedCount(2));

  NetConfigRecord read;
  ASSERT_EQ(Run(PrinterOperation::ReadNetwork, &read), CommandResult::Ok);
  EXPECT_EQ(read.dhcp, 0);
  EXPECT_EQ(read.ip, "192.168.7.50");
  EXPECT_EQ(read.gateway, "192.168.7.1");
  EXPECT_EQ(read.netName, name);
  const std::vector<std::string> received = Received();
  ASSERT_GE(received.size(), 3u);
  EXPECT_EQ(received[1], expected::SetName(name));
  EXPECT_EQ(received[2], InterfaceLine(via_));
}

INSTANTIATE_TEST_SUITE_P(AnsweringLinks, SimOverEachLink, ::testing::Values(Via::Tcp, Via::Pty),
                         ViaParamName);

}  // namespace
