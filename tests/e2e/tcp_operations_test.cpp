#include <chrono>
#include <string>

#include "support/sim_over_link.h"

namespace {

using namespace std::chrono_literals;

TEST_F(SimOverTcp, EveryOperation_MakesAFreshConnectionAndClosesIt) {
  ClockRecord clock{};
  ASSERT_EQ(Run(PrinterOperation::ProbeLink), CommandResult::Ok);
  ASSERT_EQ(Run(PrinterOperation::ReadClock, &clock), CommandResult::Ok);
  ASSERT_EQ(Run(PrinterOperation::ReadClock, &clock), CommandResult::Ok);
  EXPECT_EQ(sim_->AcceptedConnections(), 3u);
  EXPECT_TRUE(sim_->WaitUntil([&] { return sim_->OpenConnections() == 0; }, 5s));
}

// 0.0.0.0 would reach this machine, where the virtual printer listens, never a printer.
TEST_F(SimOverTcp, AnyAddress_IsRefusedWithoutConnecting) {
  target_.Host.Assign("0.0.0.0");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Run(PrinterOperation::ProbeLink), CommandResult::OpenPortError);
  EXPECT_LT(SecondsSince(start), 1.0);
  EXPECT_EQ(sim_->AcceptedConnections(), 0u);
}

TEST_F(SimOverTcp, PortBeyond16Bits_UsesItsLow16Bits) {
  target_.Port += 65536;
  EXPECT_EQ(Run(PrinterOperation::ProbeLink), CommandResult::Ok);
  EXPECT_TRUE(sim_->WaitUntil([&] { return sim_->AcceptedConnections() == 1; }, 5s));
}

// Texts longer than one chunk or one receive go across whole and in order.
TEST_F(SimOverTcp, LongWriteAndLongReply_ArriveWholeAndInOrder) {
  std::string line(2100, '\0');  // three Ethernet chunks
  for (std::size_t i = 0; i < line.size(); ++i) {
    line[i] = static_cast<char>('a' + i % 26);
  }
  line += "\r\n";
  const std::string query = expected::Report("MACADDR");
  printer_sim::FaultSwitches faults;
  faults.leadInGarbage.value = 10000;  // the reply takes three receives of 4 KiB
  sim_->SetFaults(faults);
  const std::string reply = printer_sim::LeadInGarbage(10000) + "{17|00:11:22:33:44:55}";

  const LinkHandle handle = link_->OpenLink(LinkKind::Ethernet);
  ASSERT_NE(handle, InvalidLink);
  for (const std::string& text : {line, query}) {
    EXPECT_TRUE(link_->WriteLink(handle, LinkKind::Ethernet, text.data(),
                                 static_cast<std::uint32_t>(text.size())));
  }
  std::string got;
  std::uint8_t byte = 0;
  while (got.size() < reply.size() && link_->ReadLinkByte(handle, LinkKind::Ethernet, byte)) {
    got += static_cast<char>(byte);
  }
  link_->CloseLink(LinkKind::Ethernet, handle);
  EXPECT_EQ(got, reply);
  EXPECT_EQ(Received(), (std::vector<std::string>{line, query}));
}

}  // namespace
