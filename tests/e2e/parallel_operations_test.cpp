#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "link/parallel_port.h"
#include "sim_fixture.h"

namespace {

using namespace std::chrono_literals;

// The core writing to the virtual printer's FIFO as a parallel port.
class SimOverFifo : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.Start({.tcp = false, .fifo = true})) << sim_.Error();
    fifo_ = sim_.FifoPath();

    LinkPorts ports;
    ports.lpt = std::make_unique<ParallelPort>();
    link_ = std::make_unique<LinkFacade>(std::move(ports));
    link_->SetLinkTargets(serial_, lptDevice_, target_);
    lptDevice_.Assign(fifo_);
  }

  template <typename... Record>
  CommandResult Run(PrinterOperation operation, Record*... record) {
    return RunPrinterOperation(*link_, operation, LinkKind::Lpt, record...);
  }
  bool WaitReceived(std::uint64_t count) { return sim_.WaitReceived(count); }
  std::string Line(std::size_t index) { return sim_->ReceivedCommands().at(index).raw; }

  std::string fifo_;
  SerialSettings serial_;
  LptDeviceName lptDevice_;
  NetTarget target_;
  VirtualPrinter sim_;
  std::unique_ptr<LinkFacade> link_;
};

TEST_F(SimOverFifo, ALongTextGoesOutInOneWrite) {
  const std::string text = expected::SetName(std::string(2987, 'x'));
  ASSERT_EQ(text.size(), 3000u);
  const LinkHandle handle = link_->OpenLink(LinkKind::Lpt);
  ASSERT_NE(handle, InvalidLink);
  EXPECT_TRUE(link_->WriteLink(handle, LinkKind::Lpt, text.data(), 3000));
  link_->CloseLink(LinkKind::Lpt, handle);
  ASSERT_TRUE(WaitReceived(1));
  EXPECT_EQ(Line(0), text);
}

TEST_F(SimOverFifo, QueriesWriteTheInterfaceCommandThenFailAtOnce) {
  ClockRecord clock{};
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Run(PrinterOperation::ReadClock, &clock), CommandResult::ReceiveDataError);
  EXPECT_LT(SecondsSince(start), 0.5);
  ASSERT_TRUE(WaitReceived(1));
  EXPECT_EQ(Line(0), expected::Interface("LPT"));
  EXPECT_EQ(sim_->ReceivedCount(), 1u);
}

TEST_F(SimOverFifo, APortInUseElsewhere_IsOpenPortError) {
  const int holder = ::open(fifo_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
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
  lptDevice_.Assign(fifo_ + "-missing");
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
