#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "support/sim_over_link.h"

namespace {

TEST_F(SimOverFifo, ALongTextGoesOutInOneWrite) {
  const std::string text = expected::SetName(std::string(2987, 'x'));
  ASSERT_EQ(text.size(), 3000u);
  const LinkHandle handle = link_->OpenLink(LinkKind::Lpt);
  ASSERT_NE(handle, InvalidLink);
  EXPECT_TRUE(link_->WriteLink(handle, LinkKind::Lpt, text.data(), 3000));
  link_->CloseLink(LinkKind::Lpt, handle);
  ASSERT_TRUE(WaitReceivedCount(1));
  EXPECT_EQ(Received().at(0), text);
}

TEST_F(SimOverFifo, QueriesWriteTheInterfaceCommandThenFailAtOnce) {
  ClockRecord clock{};
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Run(PrinterOperation::ReadClock, &clock), CommandResult::ReceiveDataError);
  EXPECT_LT(SecondsSince(start), 0.5);
  ASSERT_TRUE(WaitReceivedCount(1));
  EXPECT_EQ(Received().at(0), expected::Interface("LPT"));
  EXPECT_EQ(sim_->ReceivedCount(), 1u);
}

TEST_F(SimOverFifo, APortInUseElsewhere_IsOpenPortError) {
  const int holder = ::open(sim_.FifoPath().c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(Run(PrinterOperation::FactoryReset), CommandResult::OpenPortError);
  ::close(holder);
  EXPECT_EQ(Run(PrinterOperation::FactoryReset), CommandResult::Ok);
}

TEST_F(SimOverFifo, APortNobodyReads_FailsToOpenInsteadOfHanging) {
  sim_->Stop();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Run(PrinterOperation::FactoryReset), CommandResult::OpenPortError);
  lptDevice_.Assign(sim_.FifoPath() + "-missing");
  EXPECT_EQ(Run(PrinterOperation::ProbeLink), CommandResult::OpenPortError);
  EXPECT_LT(SecondsSince(start), 1.0);
}

TEST(ParallelDevicePath, LptNamesAreTheSystemsParallelPortsAndPathsStay) {
  EXPECT_EQ(ParallelDevicePath("LPT1"), "/dev/lp0");
  EXPECT_EQ(ParallelDevicePath("LPT4"), "/dev/lp3");
  EXPECT_EQ(ParallelDevicePath("/dev/usb/lp0"), "/dev/usb/lp0");
  EXPECT_EQ(ParallelDevicePath("LPT0"), "LPT0");
  EXPECT_EQ(ParallelDevicePath("LPTx"), "LPTx");
}

}  // namespace
