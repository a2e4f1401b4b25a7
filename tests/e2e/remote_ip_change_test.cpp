#include "netsetup/remote_ip_change.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/virtual_printer.h"

namespace {

using namespace std::chrono_literals;

// A remote change aimed at the virtual printer on loopback; answers are waited for 100 ms.
class RemoteChangeTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sim_.Start({.tcp = false, .udp = true})) << sim_.Error(); }

  bool Change(const std::function<void(NetConfigRecord&)>& edit, const std::string& caption) {
    const NetSetupExchange exchange(QHostAddress(QHostAddress::LocalHost), sim_->UdpPort());
    return RunRemoteIpChange(exchange, 7, {sim_->State().mac, caption}, edit, 100).written;
  }

  std::vector<std::string> Datagrams() { return sim_.Datagrams(); }

  VirtualPrinter sim_;
};

std::uint8_t At(const std::string& datagram, std::size_t offset) {
  return static_cast<std::uint8_t>(datagram.at(offset));
}

TEST_F(RemoteChangeTest, Set_SendsTwoReadsAndFourWritesFromOneSharedBuffer) {
  const bool written = Change(
      [](NetConfigRecord& record) {
        record.dhcp = 0;
        record.ip.Assign("192.168.1.50");
        record.mask.Assign("255.255.255.0");
        record.gateway.Assign("192.168.1.1");
        record.netName.Assign("Desk-9");
        record.accepted = 1;
      },
      "Lab-1");
  ASSERT_TRUE(written);
  ASSERT_TRUE(sim_->WaitUntil([&] { return Datagrams().size() >= 6; }, 5s));
  const std::vector<std::string> d = Datagrams();
  ASSERT_EQ(d.size(), 6u);
  const std::vector<std::size_t> sizes = {34, 34, 1064, 1064, 1064, 1064};
  const std::vector<int> commands = {3, 3, 4, 4, 4, 4};
  const std::vector<int> blocks = {4, 5, 0, 4, 5, 7};
  for (std::size_t i = 0; i < d.size(); ++i) {
    EXPECT_EQ(d[i].size(), sizes[i]) << i;
    EXPECT_EQ(At(d[i], 7), 0x02) << i;
    EXPECT_EQ(At(d[i], 9), commands[i]) << i;
    EXPECT_EQ(At(d[i], 13), 7) << i;                         // one sequence number
    EXPECT_EQ(d[i].substr(22, 6), d[0].substr(22, 6)) << i;  // one target MAC
    EXPECT_EQ(At(d[i], i < 2 ? 32 : 34), blocks[i]) << i;
    // The printer finds its data by the length field and the zeros around the block number; the
    // virtual printer does not look at them.
    EXPECT_EQ(d[i].substr(10, 2), i < 2 ? std::string("\x00\x02", 2) : std::string("\x04\x08", 2))
        << i;
    EXPECT_EQ(At(d[i], 33), 0) << i;
    if (i >= 2) {
      EXPECT_EQ(At(d[i], 32), 0) << i;
      EXPECT_EQ(At(d[i], 35), 0) << i;
    }
  }
  EXPECT_EQ(d[2].substr(176, 7), std::string("Desk-9\0", 7));
  EXPECT_EQ(d[3].substr(69, 12),
            std::string("\xC0\xA8\x01\x32\xFF\xFF\xFF\x00\xC0\xA8\x01\x01", 12));
  EXPECT_EQ(d[3].substr(176, 6), "Desk-9");  // the shared buffer carries the name on
  EXPECT_EQ(At(d[4], 942), 1);
  EXPECT_EQ(At(d[4], 948), 1);
  EXPECT_EQ(d[5].substr(69, 12), d[3].substr(69, 12));
  EXPECT_EQ(At(d[5], 942), 1);
}

TEST_F(RemoteChangeTest, DhcpWritesEightAndFour) {
  ASSERT_TRUE(Change(
      [](NetConfigRecord& record) {
        record.dhcp = 1;
        record.ip.Assign("0.0.0.0");
        record.mask.Assign("0.0.0.0");
        record.gateway.Assign("0.0.0.0");
        record.accepted = 1;
      },
      "Lab-1"));
  ASSERT_TRUE(sim_->WaitUntil([&] { return Datagrams().size() >= 6; }, 5s));
  EXPECT_EQ(At(Datagrams()[4], 942), 8);
  EXPECT_EQ(At(Datagrams()[4], 948), 4);
}

TEST_F(RemoteChangeTest, Cancel_SendsOnlyTheReadsAndTheRecordStartsEmptyWithTheCaption) {
  printer_sim::FaultSwitches silent;
  silent.udpSilent = true;  // no read is answered
  sim_->SetFaults(silent);
  NetConfigRecord seen;
  seen.ip.Assign("stale");
  const std::string longCaption(80, 'n');
  EXPECT_FALSE(Change([&seen](NetConfigRecord& record) { seen = record; }, longCaption));
  ASSERT_TRUE(sim_->WaitUntil([&] { return Datagrams().size() >= 2; }, 5s));
  EXPECT_EQ(Datagrams().size(), 2u);
  EXPECT_EQ(seen.netName, std::string(63, 'n'));
  EXPECT_EQ(seen.dhcp, 0);
  EXPECT_EQ(seen.ip, "");
}

// A printer that sends a datagram too short for a header before each answer: every read must
// still get its own block's answer, not the one meant for the read before it.
TEST_F(RemoteChangeTest, EachReadWaitsPastADatagramTooShortForAHeader) {
  printer_sim::FaultSwitches faults;
  faults.shortReply = true;
  sim_->SetFaults(faults);
  const printer_sim::PrinterState printer = sim_->State();
  ASSERT_TRUE(printer.dhcp);
  NetConfigRecord seen;
  EXPECT_FALSE(Change([&seen](NetConfigRecord& record) { seen = record; }, "Lab-1"));
  EXPECT_EQ(seen.dhcp, 1);
  EXPECT_EQ(seen.ip.View(), printer.lastUsedIp);
  EXPECT_EQ(seen.mask.View(), printer.mask);
  EXPECT_EQ(seen.gateway.View(), printer.gateway);
}

}  // namespace
