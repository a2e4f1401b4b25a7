#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/sim_over_link.h"

namespace {

using Lines = std::vector<std::string>;

const Lines ReadClockLines = expected::ReadClock(InterfaceLine(Via::Pty));

SerialSettings Line(std::int32_t baud, std::int32_t bits, std::int32_t parity, std::int32_t stop,
                    std::int32_t hardware, std::int32_t software) {
  SerialSettings s;
  s.BaudIndex = baud;
  s.DataBitsIndex = bits;
  s.ParityIndex = parity;
  s.StopBitsIndex = stop;
  s.HardwareHandshake = hardware;
  s.SoftwareHandshake = software;
  return s;
}

// The core over the virtual printer's pty, as over a COM port, with the line a test gives.
class SimOverPty : public SimOver<Via::Pty> {
 protected:
  void UseLine(const SerialSettings& line) {
    serial_ = line;
    serial_.PortName.Assign(sim_.PtyPath());
  }
  static Lines Received(const VirtualPrinter& sim) {
    for (const auto& entry : sim->ReceivedCommands()) {
      EXPECT_EQ(entry.transport, printer_sim::Transport::Pty);
    }
    return sim.Received();
  }
};

// A reply another program left unread in the pty must not be taken for the first report's.
TEST_F(SimOverPty, ReplyWaitingBeforeTheOpen_IsDiscarded) {
  const int fd = ::open(sim_->PtyPath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  const std::string query = expected::Report("MACADDR");
  ASSERT_EQ(::write(fd, query.data(), query.size()), static_cast<ssize_t>(query.size()));
  pollfd ready{fd, POLLIN, 0};
  const int polled = ::poll(&ready, 1, 5000);
  ::close(fd);
  ASSERT_EQ(polled, 1) << "the reply never came";

  ClockRecord read{};
  EXPECT_EQ(Run(PrinterOperation::ReadClock, &read), CommandResult::Ok);
  EXPECT_GE(read.year, 2024);
}

TEST_F(SimOverPty, SilentPrinter_FailsAfterTheSixWaits) {
  printer_sim::FaultSwitches faults;
  faults.silentOn.insert("DIAGNOSTIC REPORT YEAR");
  sim_->SetFaults(faults);
  ClockRecord read{};
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Run(PrinterOperation::ReadClock, &read), CommandResult::ReceiveDataError);
  EXPECT_GE(SecondsSince(start), 1.0);  // six pauses of 200 ms
  EXPECT_LT(SecondsSince(start), 3.0);
  EXPECT_EQ(Received(sim_), Lines(ReadClockLines.begin(), ReadClockLines.begin() + 2));
}

// The name is read afresh at every open, as the settings dialog expects.
TEST_F(SimOverPty, NewPortName_IsUsedByTheNextOperation) {
  VirtualPrinter second(Over(Via::Pty));
  ASSERT_TRUE(second.Running()) << second.Error();
  ASSERT_LT(second.PtyPath().size(), serial_.PortName.Capacity);
  ClockRecord read{};
  ASSERT_EQ(Run(PrinterOperation::ReadClock, &read), CommandResult::Ok);
  serial_.PortName.Assign(second.PtyPath());
  ASSERT_EQ(Run(PrinterOperation::ReadClock, &read), CommandResult::Ok);
  EXPECT_EQ(Received(sim_), ReadClockLines);
  EXPECT_EQ(Received(second), ReadClockLines);
}

struct OpenFailure {
  const char* name;
  const char* device;  // nullptr = the virtual printer's pty
  SerialSettings line;
  // The line the device cannot carry, after the device's path; nullptr: not a line failure.
  const char* lineNotSupported = nullptr;
};
void PrintTo(const OpenFailure& c, std::ostream* os) {
  *os << c.name;
}

class SerialOpenFailure : public SimOverPty, public ::testing::WithParamInterface<OpenFailure> {};

TEST_P(SerialOpenFailure, IsAnOpenPortErrorAndSendsNothing) {
  UseLine(GetParam().line);
  if (GetParam().device != nullptr) {
    serial_.PortName.Assign(GetParam().device);
  }
  ClockRecord read{};
  EXPECT_EQ(Run(PrinterOperation::ReadClock, &read), CommandResult::OpenPortError);
  if (const char* line = GetParam().lineNotSupported) {
    EXPECT_EQ(link_->LastOpenFailure().cause, OpenFailureCause::LineNotSupported);
    EXPECT_EQ(link_->LastOpenFailure().detail, sim_->PtyPath() + line);
  }
  // A good read afterwards is the first thing the printer hears.
  UseLine(SerialSettings{});
  ASSERT_EQ(Run(PrinterOperation::ReadClock, &read), CommandResult::Ok);
  EXPECT_EQ(Received(sim_), ReadClockLines);
}

// A pty always carries 8 bits without parity: a setting the driver does not keep fails the open
// just as one refused outright.
INSTANTIATE_TEST_SUITE_P(
    Serial, SerialOpenFailure,
    ::testing::Values(OpenFailure{"OneAndAHalfStopBits", nullptr, Line(2, 1, 0, 1, 1, 0),
                                  ": this system cannot drive 1.5 stop bits"},
                      OpenFailure{"SevenBitsNotKept", nullptr, Line(2, 0, 0, 0, 1, 0),
                                  ": the driver did not keep 7 data bits"},
                      OpenFailure{"EvenParityNotKept", nullptr, Line(2, 1, 2, 0, 1, 0),
                                  ": the driver did not keep even parity"},
                      OpenFailure{"OddParityNotKept", nullptr, Line(2, 1, 1, 0, 0, 0),
                                  ": the driver did not keep odd parity"},
                      OpenFailure{"MissingDevice", "/dev/q73580-no-such-tty", SerialSettings{}},
                      OpenFailure{"NotATerminal", "/dev/null", SerialSettings{}}),
    [](const auto& info) { return std::string(info.param.name); });

// How the line reaches the device, seen through a second descriptor of the same pty.
struct LineCase {
  const char* name;
  SerialSettings line;
  speed_t speed;
  bool twoStopBits, ctsFlow, xonXoff;
};
void PrintTo(const LineCase& c, std::ostream* os) {
  *os << c.name;
}

class SerialLineOnDevice : public SimOverPty, public ::testing::WithParamInterface<LineCase> {};

TEST_P(SerialLineOnDevice, IsRealisedAndCarriesAnOperation) {
  const LineCase& c = GetParam();
  UseLine(c.line);
  // Opened before the link, which takes the device for itself.
  const int fd = ::open(sim_->PtyPath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  const LinkHandle handle = link_->OpenLink(LinkKind::Com);
  termios line{};
  const int got = ::tcgetattr(fd, &line);
  ::close(fd);
  ASSERT_NE(handle, InvalidLink);
  link_->CloseLink(LinkKind::Com, handle);
  ASSERT_EQ(got, 0);
  EXPECT_EQ(cfgetospeed(&line), c.speed);
  EXPECT_EQ((line.c_cflag & CSTOPB) != 0, c.twoStopBits);
  EXPECT_EQ((line.c_cflag & CRTSCTS) != 0, c.ctsFlow);
  EXPECT_EQ((line.c_iflag & (IXON | IXOFF)) == (IXON | IXOFF), c.xonXoff);
  EXPECT_EQ(line.c_iflag & (IXON | IXOFF | INPCK), c.xonXoff ? (IXON | IXOFF) : 0u);

  ClockRecord read{};
  EXPECT_EQ(Run(PrinterOperation::ReadClock, &read), CommandResult::Ok);
}

INSTANTIATE_TEST_SUITE_P(
    Serial, SerialLineOnDevice,
    ::testing::Values(LineCase{"Defaults", SerialSettings{}, B9600, false, true, false},
                      LineCase{"FastTwoStopXonXoff", Line(6, 1, 0, 2, 0, 1), B115200, true, false,
                               true},
                      LineCase{"BothHandshakes", Line(0, 1, 0, 0, 2, 1), B2400, false, true, true},
                      LineCase{"Fallbacks", Line(7, 3, 9, 5, 0, 2), B9600, false, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
