#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/network_stream.h"
#include "link/parallel_port.h"
#include "link/serial_port.h"
#include "link/usb_printer_port.h"
#include "support/fake_usb_bus.h"
#include "support/stuck_fifo.h"
#include "support/window_harness.h"

namespace {

using namespace std::chrono_literals;
using printer_sim::FaultSwitches;
using printer_sim::PrinterState;
using printer_sim::Transport;

const QDateTime PcNow(QDate(2031, 12, 7), QTime(11, 5, 9));
const ClockRecord PcClock{2031, 12, 7, 11, 5, 9};

// Both printers (the virtual printer and the one on the fake USB bus) run on the same fixed
// clock, FakeUsbBus::PrinterNow, 4 March 2026 13:07:09; "after" is a day, 2 h and 3 min later.
constexpr std::chrono::seconds AfterClockOffset = std::chrono::days{1} + 2h + 3min;
const ClockRecord PrinterClockBefore{2026, 3, 4, 13, 7, 9};
const ClockRecord PrinterClockAfter{2026, 3, 5, 15, 10, 9};

PrinterState StateBefore() {
  PrinterState state;
  printer_sim::ApplyStaticAddress(state, "10.1.1.1", "255.255.0.0", "10.1.0.254");
  state.name = "Before-A";
  return state;
}

PrinterState StateAfter() {
  PrinterState state;
  printer_sim::ApplyStaticAddress(state, "10.2.2.2", "255.255.255.0", "10.2.2.254");
  state.name = "After-B";
  state.mac = "00:AA:BB:CC:DD:EE";
  state.clockOffset = AfterClockOffset;
  return state;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The fake bus with two ways to misbehave that the command interpreter cannot show: a reply
// that trickles in one byte per IN transfer, and an OUT endpoint that never takes data, so that
// every OUT transfer ends in its time-out. Like the fake, it never waits for a time-out: it
// reports it at once.
class FaultyUsbBus final : public UsbBus {
 public:
  explicit FaultyUsbBus(std::unique_ptr<FakeUsbBus> printer) : printer_(std::move(printer)) {}

  FakeUsbBus& Printer() { return *printer_; }

  int slowByteMs = 0;
  bool outStalls = false;

  std::vector<UsbDeviceEntry> ListDevices() override { return printer_->ListDevices(); }
  bool HasPrinterInterface(const UsbDeviceEntry& device) override {
    return printer_->HasPrinterInterface(device);
  }
  bool OpenDevice(const UsbDeviceEntry& device) override { return printer_->OpenDevice(device); }
  std::optional<UsbPrinterEndpoints> ClaimPrinterInterface() override {
    return printer_->ClaimPrinterInterface();
  }
  UsbTransfer BulkOut(const std::uint8_t* data, std::uint32_t count,
                      std::chrono::milliseconds timeout) override {
    if (outStalls) {
      return {0, true};
    }
    return printer_->BulkOut(data, count, timeout);
  }
  UsbTransfer BulkIn(std::uint8_t* data, std::uint32_t capacity,
                     std::chrono::milliseconds timeout) override {
    if (slowByteMs <= 0 && trickle_.empty()) {
      return printer_->BulkIn(data, capacity, timeout);
    }
    if (trickle_.empty()) {
      std::vector<std::uint8_t> block(capacity);
      const UsbTransfer got = printer_->BulkIn(block.data(), capacity, timeout);
      trickle_.insert(trickle_.end(), block.begin(), block.begin() + got.moved);
    }
    if (trickle_.empty() || capacity == 0) {
      return {0, true};
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(slowByteMs));
    data[0] = trickle_.front();
    trickle_.pop_front();
    return {1, false};
  }
  void ReleaseInterface() override { printer_->ReleaseInterface(); }
  void CloseDevice() override {
    trickle_.clear();
    printer_->CloseDevice();
  }

 private:
  std::unique_ptr<FakeUsbBus> printer_;
  std::deque<std::uint8_t> trickle_;
};

// The links whose "Read" buttons work, and how long one byte that never comes is waited for:
//   USB: one IN request, up to 5 s;
//   COM: six fills (each returns at once) with six pauses of 200 ms, 1.2 s;
//   ETHERNET: the readiness wait of 1 s (the 3 s receive wait only follows readiness).
struct LinkRow {
  LinkKind kind;
  const char* item;  // as the interface list shows it
  double byteWaitSeconds;
};
constexpr LinkRow Links[] = {
    {LinkKind::Usb, "USB", 5.0},
    {LinkKind::Com, "COM", 1.2},
    {LinkKind::Ethernet, "ETHERNET", 1.0},
};
enum LinkIndex { UsbRow, ComRow, NetRow };

// What the operation itself takes on a quiet machine beyond the waits: opens, writes, a few
// hundred bytes, the window's own work; generous for a loaded 2-core machine, yet below one
// more wait on COM and ETHERNET.
constexpr double OperationSeconds = 0.8;

// A parallel write that cannot go on fails after 10 ms a byte and this allowance; the program
// allows 5 s.
constexpr std::chrono::milliseconds LptWriteAllowance = 1s;

enum class Button { ReadClock, ReadNetwork, SetClock };

// How the window's values must look after the click.
enum class After {
  Previous,       // a failed read keeps what the window held
  PrinterValues,  // the printer's new values
  PrinterNoName,  // NETNAME failed: a successful read with an empty name
  Unchanged,      // a set: the values typed stay
};

struct FaultCase {
  const char* name;
  Button button;
  std::function<void(FaultSwitches&, FaultyUsbBus&)> arrange;
  const char* message;  // the one message box, or nullptr for silent success
  After after;
  // Waits that run to their end, per link (USB, COM, ETHERNET); -1: the case does not apply.
  int waits[3];
  int slowByteMs;               // > 0: every reply byte comes this long after the one before
  const char* neverSent;        // a command the fault must stop, or nullptr
  const char* cause = nullptr;  // part of the cause shown under the message
};

std::function<void(FaultSwitches&, FaultyUsbBus&)> Silent(const char* command) {
  return [command](FaultSwitches& f, FaultyUsbBus&) { f.silentOn.insert(command); };
}

// Each link sends only its own interface command.
std::function<void(FaultSwitches&, FaultyUsbBus&)> SilentInterface() {
  return [](FaultSwitches& f, FaultyUsbBus&) {
    for (const char* link : {"USB", "COM", "LPT", "NET"}) {
      f.silentOn.insert(std::string("DIAGNOSTIC INTERFACE ") + link);
    }
  };
}

template <typename T>
std::function<void(FaultSwitches&, FaultyUsbBus&)> Only(printer_sim::Fault<T> FaultSwitches::*fault,
                                                        T value, const char* command = "") {
  return [=](FaultSwitches& f, FaultyUsbBus&) { f.*fault = {value, command}; };
}

std::function<void(FaultSwitches&, FaultyUsbBus&)> SlowBytes(int ms) {
  return [ms](FaultSwitches& f, FaultyUsbBus& usb) {
    f.slowByteDelayMs = {ms, ""};
    usb.slowByteMs = ms;
  };
}

std::function<void(FaultSwitches&, FaultyUsbBus&)> NeverReads() {
  return [](FaultSwitches& f, FaultyUsbBus&) { f.neverRead = true; };
}

std::function<void(FaultSwitches&, FaultyUsbBus&)> OutStalls() {
  return [](FaultSwitches&, FaultyUsbBus& usb) { usb.outStalls = true; };
}

constexpr const char* Receive = "Receive Data Error";
constexpr const char* Transmit = "Transmit Data Error";

// Per row: the button, the printer's fault, the message, what the window holds afterwards, and
// the waits that run to their end on USB, COM and ETHERNET (-1: not a case for that link), from
// which the time bound follows (see LinkRow).
// clang-format off
const FaultCase Cases[] = {
    // A silent report: one byte wait, and the read stops there; the later reports are not sent.
    {"SilentInterface", Button::ReadClock, SilentInterface(), Receive, After::Previous,
     {1, 1, 1}, 0, "DIAGNOSTIC REPORT YEAR\r\n", "no reply to \"DIAGNOSTIC INTERFACE "},
    {"SilentYear", Button::ReadClock, Silent("DIAGNOSTIC REPORT YEAR"), Receive, After::Previous,
     {1, 1, 1}, 0, "DIAGNOSTIC REPORT MONTH\r\n", "no reply to \"DIAGNOSTIC REPORT YEAR\" within"},
    {"SilentMonth", Button::ReadClock, Silent("DIAGNOSTIC REPORT MONTH"), Receive, After::Previous,
     {1, 1, 1}, 0, "DIAGNOSTIC REPORT DATE\r\n", "no reply to \"DIAGNOSTIC REPORT MONTH\""},
    {"SilentDate", Button::ReadClock, Silent("DIAGNOSTIC REPORT DATE"), Receive, After::Previous,
     {1, 1, 1}, 0, "DIAGNOSTIC REPORT HOUR\r\n", "no reply to \"DIAGNOSTIC REPORT DATE\""},
    {"SilentHour", Button::ReadClock, Silent("DIAGNOSTIC REPORT HOUR"), Receive, After::Previous,
     {1, 1, 1}, 0, "DIAGNOSTIC REPORT MINUTE\r\n", "no reply to \"DIAGNOSTIC REPORT HOUR\""},
    {"SilentMinute", Button::ReadClock, Silent("DIAGNOSTIC REPORT MINUTE"), Receive, After::Previous,
     {1, 1, 1}, 0, "DIAGNOSTIC REPORT SECOND\r\n", "no reply to \"DIAGNOSTIC REPORT MINUTE\""},
    {"SilentSecond", Button::ReadClock, Silent("DIAGNOSTIC REPORT SECOND"), Receive, After::Previous,
     {1, 1, 1}, 0, nullptr, "no reply to \"DIAGNOSTIC REPORT SECOND\""},
    {"SilentNetworkInterface", Button::ReadNetwork, SilentInterface(), Receive, After::Previous,
     {1, 1, 1}, 0, "DIAGNOSTIC REPORT CONFIGIP\r\n", "no reply to \"DIAGNOSTIC INTERFACE "},
    {"SilentConfigIp", Button::ReadNetwork, Silent("DIAGNOSTIC REPORT CONFIGIP"), Receive,
     After::Previous, {1, 1, 1}, 0,
     "DIAGNOSTIC REPORT GATEWAY\r\n", "no reply to \"DIAGNOSTIC REPORT CONFIGIP\""},
    {"SilentGateway", Button::ReadNetwork, Silent("DIAGNOSTIC REPORT GATEWAY"), Receive,
     After::Previous, {1, 1, 1}, 0,
     "DIAGNOSTIC REPORT IPMASK\r\n", "no reply to \"DIAGNOSTIC REPORT GATEWAY\""},
    {"SilentIpMask", Button::ReadNetwork, Silent("DIAGNOSTIC REPORT IPMASK"), Receive,
     After::Previous, {1, 1, 1}, 0,
     "DIAGNOSTIC REPORT LASTUSEDIP\r\n", "no reply to \"DIAGNOSTIC REPORT IPMASK\""},
    {"SilentLastUsedIp", Button::ReadNetwork, Silent("DIAGNOSTIC REPORT LASTUSEDIP"), Receive,
     After::Previous, {1, 1, 1}, 0,
     "DIAGNOSTIC REPORT NETNAME\r\n", "no reply to \"DIAGNOSTIC REPORT LASTUSEDIP\""},
    // The two optional reports: one byte wait, then the read succeeds without them.
    {"SilentNetName", Button::ReadNetwork, Silent("DIAGNOSTIC REPORT NETNAME"), nullptr,
     After::PrinterNoName, {1, 1, 1}, 0, "DIAGNOSTIC REPORT MACADDR\r\n"},
    {"SilentMacAddr", Button::ReadNetwork, Silent("DIAGNOSTIC REPORT MACADDR"), nullptr,
     After::PrinterValues, {1, 1, 1}, 0, nullptr},
    // 1000 bytes of noise before every reply: skipped, no wait.
    {"GarbageLeadIn", Button::ReadClock, Only(&FaultSwitches::leadInGarbage, std::size_t{1000}),
     nullptr, After::PrinterValues, {0, 0, 0}, 0, nullptr},
    // More noise than the 64 KiB a reply may start with: refused at the limit, no wait.
    {"EndlessLeadIn", Button::ReadClock,
     Only(&FaultSwitches::leadInGarbage, std::size_t{70000}, "DIAGNOSTIC REPORT YEAR"), Receive,
     After::Previous, {0, 0, 0}, 0, "DIAGNOSTIC REPORT MONTH\r\n",
     "65537 bytes of garbage and no reply frame in answer to \"DIAGNOSTIC REPORT YEAR"},
    // Every byte 10 ms after the one before: each wait ends when its byte comes, so the time is
    // the reply bytes times 10 ms, not a wait per byte.
    {"SlowByteByByte", Button::ReadNetwork, SlowBytes(10), nullptr, After::PrinterValues,
     {0, 0, 0}, 10, nullptr},
    // Half a frame: over TCP the close ends the read at once; COM and USB fall silent after it,
    // one wait.
    {"ClosedMidFrame", Button::ReadClock,
     Only(&FaultSwitches::closeMidFrame, true, "DIAGNOSTIC REPORT MONTH"), Receive,
     After::Previous, {1, 1, 0}, 0, "DIAGNOSTIC REPORT DATE\r\n",
     "the reply to \"DIAGNOSTIC REPORT MONTH\" broke off"},
    // 2000 data bytes: refused at the 1025th byte between the braces, no wait.
    {"OversizedFrame", Button::ReadNetwork,
     Only(&FaultSwitches::oversizedFrame, true, "DIAGNOSTIC REPORT CONFIGIP"), Receive,
     After::Previous, {0, 0, 0}, 0, "DIAGNOSTIC REPORT GATEWAY\r\n",
     "the reply to \"DIAGNOSTIC REPORT CONFIGIP\" is longer than 1024 bytes"},
    // The closing brace ends the frame and the length check fails it, no wait.
    {"LengthDoesNotMatch", Button::ReadNetwork,
     Only(&FaultSwitches::badLength, true, "DIAGNOSTIC REPORT LASTUSEDIP"), Receive,
     After::Previous, {0, 0, 0}, 0, "DIAGNOSTIC REPORT NETNAME\r\n",
     "the reply to \"DIAGNOSTIC REPORT LASTUSEDIP\" announces"},
    // A TCP peer that never reads still takes a short command into the socket buffers; the reply
    // never comes: one readiness wait. A set cannot tell that nobody read it.
    {"PeerNeverReads", Button::ReadClock, NeverReads(), Receive, After::Previous,
     {-1, -1, 1}, 0, nullptr, "no reply to \"DIAGNOSTIC INTERFACE NET\""},
    {"PeerNeverReadsSet", Button::SetClock, NeverReads(), nullptr, After::Unchanged,
     {-1, -1, 0}, 0, nullptr},
    // A USB device that never takes data: the first OUT transfer ends in its 5 s time-out (the
    // fake bus reports it at once).
    {"OutEndpointStalls", Button::ReadClock, OutStalls(), Transmit, After::Previous,
     {1, -1, -1}, 0, nullptr, "0 of 26 bytes of \"DIAGNOSTIC INTERFACE USB\" written"},
    {"OutEndpointStallsSet", Button::SetClock, OutStalls(), Transmit, After::Unchanged,
     {1, -1, -1}, 0, nullptr, "written, then the printer took no more"},
};
// clang-format on

struct MatrixRow {
  const FaultCase* fault;
  const LinkRow* link;
  int linkIndex;
};

void PrintTo(const MatrixRow& row, std::ostream* os) {
  *os << row.fault->name << " over " << row.link->item;
}

std::vector<MatrixRow> Matrix() {
  std::vector<MatrixRow> rows;
  for (const FaultCase& fault : Cases) {
    for (int i = 0; i < 3; ++i) {
      if (fault.waits[i] >= 0) {
        rows.push_back({&fault, &Links[i], i});
      }
    }
  }
  return rows;
}

// The bytes of one reply frame: "{", the length, "|", the data, "}".
std::size_t FrameBytes(const std::string& data) {
  return 3 + std::to_string(data.size()).size() + data.size();
}

// Every reply byte of a read of `state`, for the pacing of slow replies.
std::size_t ReplyBytes(Button button, const PrinterState& state) {
  std::vector<std::string> data = {"OK"};
  if (button == Button::ReadNetwork) {
    data.insert(data.end(),
                {state.ip, state.gateway, state.mask, state.lastUsedIp, state.name, state.mac});
  } else {
    const ClockRecord& c = PrinterClockAfter;
    for (int value : {c.year, c.month, c.date, c.hour, c.minute, c.second}) {
      data.push_back(std::to_string(value));
    }
  }
  std::size_t bytes = 0;
  for (const std::string& d : data) {
    bytes += FrameBytes(d);
  }
  return bytes;
}

// The main window over four real links: TCP and a pseudo-terminal to the virtual printer, its
// FIFO as the parallel port, and the fake USB bus whose printer is the same command interpreter.
// The window starts on USB and reads the "before" state from there.
class FaultMatrixWindow : public ::testing::Test, public MainWindowHarness {
 protected:
  void SetUp() override {
    printer_sim::SimServerConfig config;
    config.initialState = StateBefore();
    config.clock = [] { return FakeUsbBus::PrinterNow; };
    ASSERT_TRUE(sim_.Start({.tcp = true, .pty = true, .fifo = true}, config)) << sim_.Error();
    fifo_ = sim_.FifoPath();
    ASSERT_LT(sim_.PtyPath().size(), SerialSettings{}.PortName.Capacity);

    auto printer = std::make_unique<FakeUsbBus>();
    printer->state = StateBefore();
    auto usb = std::make_unique<FaultyUsbBus>(std::move(printer));
    usb_ = usb.get();
    LinkPorts ports;
    ports.usb = std::make_unique<UsbPrinterPort>(std::move(usb));
    ports.com = std::make_unique<SerialPort>();
    ports.lpt = std::make_unique<ParallelPort>(ParallelPort::WritePerByte, LptWriteAllowance);
    ports.ethernet = std::make_unique<NetworkStream>(ResolveHostIPv4, NetworkTiming());
    auto link = std::make_unique<LinkFacade>(std::move(ports));
    // As the application has it: window events run between the chunks of a write.
    link->SetProcessEventsHook([] { QCoreApplication::processEvents(); });
    OpenWindow(std::move(link), ClockAt(PcNow));
    ASSERT_TRUE(messages_.empty());
    ASSERT_EQ(window_->ClockValues(), PrinterClockBefore);
    ASSERT_EQ(window_->NetworkValues().netName, "Before-A");

    window_->Serial().PortName.Assign(sim_->PtyPath());
    window_->LptDevice().Assign(fifo_);
    window_->Target() = LoopbackTarget(sim_->TcpPort());
  }

  void TearDown() override { window_.reset(); }

  void Select(LinkKind kind) {
    Find<QComboBox>("ComboBoxInterFace")->setCurrentIndex(static_cast<int>(kind));
    ASSERT_EQ(window_->CurrentLinkKind(), kind);
  }

  // Both printers: the virtual printer and the one on the USB bus.
  void SetPrinters(const PrinterState& state, const FaultSwitches& faults) {
    sim_->SetState(state);
    sim_->SetFaults(faults);
    usb_->Printer().state = state;
    usb_->Printer().faults = faults;
  }
  void ClearFaults() {
    sim_->SetFaults({});
    usb_->Printer().faults = {};
    usb_->slowByteMs = 0;
    usb_->outStalls = false;
  }
  void ClearReceived() {
    sim_->ClearLog();
    usb_->Printer().commands.clear();
  }
  // What the printer behind `kind` received, in order.
  std::vector<std::string> Received(LinkKind kind) {
    if (kind == LinkKind::Usb) {
      return usb_->Printer().commands;
    }
    const Transport transport = kind == LinkKind::Com   ? Transport::Pty
                                : kind == LinkKind::Lpt ? Transport::Fifo
                                                        : Transport::Tcp;
    std::vector<std::string> lines;
    for (const auto& entry : sim_->ReceivedCommands()) {
      if (entry.transport == transport) {
        lines.push_back(entry.raw);
      }
    }
    return lines;
  }

  void ExpectClockShown(const ClockRecord& expected) {
    EXPECT_EQ(window_->ClockValues(), expected);
    EXPECT_EQ(Text("EditYear"), QString::number(expected.year));
    EXPECT_EQ(Text("EditMonth"), QString::number(expected.month));
    EXPECT_EQ(Text("EditDate"), QString::number(expected.date));
    EXPECT_EQ(Text("EditHour"), QString::number(expected.hour));
    EXPECT_EQ(Text("EditMinute"), QString::number(expected.minute));
    EXPECT_EQ(Text("EditSecond"), QString::number(expected.second));
  }
  void ExpectNetworkShown(const PrinterState& state, bool withName) {
    const NetConfigRecord& values = window_->NetworkValues();
    EXPECT_EQ(values.dhcp, state.dhcp ? 1 : 0);
    EXPECT_EQ(values.ip, state.dhcp ? state.lastUsedIp : state.ip);
    EXPECT_EQ(values.mask, state.mask);
    EXPECT_EQ(values.gateway, state.gateway);
    const std::string name = withName ? state.name : std::string();
    EXPECT_EQ(values.netName, name);
    EXPECT_EQ(Text("EditIP").toStdString(), state.dhcp ? state.lastUsedIp : state.ip);
    EXPECT_EQ(Text("EditMask").toStdString(), state.mask);
    EXPECT_EQ(Text("EditGateWay").toStdString(), state.gateway);
    EXPECT_EQ(Text("EditPrinterName").toStdString(), name);
  }

  QTemporaryDir dir_;  // for a FIFO of the test's own
  std::string fifo_;
  VirtualPrinter sim_;
  FaultyUsbBus* usb_ = nullptr;
};

class FaultMatrix : public FaultMatrixWindow, public ::testing::WithParamInterface<MatrixRow> {};

TEST_P(FaultMatrix, ShowsItsMessageWithinTheLinkWaitsKeepsTheRecordsAndRecovers) {
  const FaultCase& c = *GetParam().fault;
  const LinkRow& link = *GetParam().link;
  ASSERT_NO_FATAL_FAILURE(Select(link.kind));

  // What the window holds before: the PC's time in the clock fields (the printer's clock came
  // at start-up), the "before" network settings read at start-up.
  Click("ButtonSetSysTime");
  ASSERT_NO_FATAL_FAILURE(ExpectClockShown(PcClock));

  FaultSwitches faults;
  c.arrange(faults, *usb_);
  SetPrinters(StateAfter(), faults);
  ClearReceived();

  const char* button = c.button == Button::ReadClock     ? "ButtonRTCRead"
                       : c.button == Button::ReadNetwork ? "ButtonEtherRead"
                                                         : "ButtonOk";
  // The waits that run out, each as long as the link waits for a byte; with slow replies every
  // reply byte's pause (and a few ms of scheduling each); and the operation's own work.
  const double bound = c.waits[GetParam().linkIndex] * link.byteWaitSeconds +
                       (c.slowByteMs > 0 ? static_cast<double>(ReplyBytes(c.button, StateAfter())) *
                                               (c.slowByteMs + 3) / 1000.0
                                         : 0.0) +
                       OperationSeconds;
  const std::size_t connections = sim_->AcceptedConnections();
  const auto start = std::chrono::steady_clock::now();
  Click(button);
  const double seconds = SecondsSince(start);
  if (link.kind == LinkKind::Ethernet) {
    // The printer has taken the connection and seen it end before it is told to read again.
    ASSERT_TRUE(sim_->WaitUntil(
        [&] { return sim_->AcceptedConnections() > connections && sim_->OpenConnections() == 0; },
        5s));
  }

  if (c.message != nullptr) {
    EXPECT_EQ(messages_, std::vector<QString>{QString::fromLatin1(c.message)});
    EXPECT_EQ(enabledDuringMessage_, std::vector<bool>{false});
    ASSERT_EQ(details_.size(), 1u);
    EXPECT_TRUE(details_[0].contains(QLatin1String(c.cause))) << details_[0].toStdString();
  } else {
    EXPECT_EQ(messages_, std::vector<QString>());
  }
  EXPECT_LT(seconds, bound);
  EXPECT_TRUE(window_->InputEnabled());
  switch (c.after) {
    case After::Previous:
      ExpectClockShown(PcClock);
      ExpectNetworkShown(StateBefore(), true);
      break;
    case After::PrinterValues:
      if (c.button == Button::ReadClock) {
        ExpectClockShown(PrinterClockAfter);
      } else {
        ExpectNetworkShown(StateAfter(), true);
      }
      break;
    case After::PrinterNoName:
      ExpectNetworkShown(StateAfter(), false);
      break;
    case After::Unchanged:
      ExpectClockShown(PcClock);
      break;
  }
  if (c.neverSent != nullptr) {
    for (const std::string& line : Received(link.kind)) {
      EXPECT_NE(line, c.neverSent);
    }
  }

  // The printer behaves again: the next read works over the same link.
  ClearFaults();
  messages_.clear();
  const bool network = c.button == Button::ReadNetwork;
  Click(network ? "ButtonEtherRead" : "ButtonRTCRead");
  EXPECT_EQ(messages_, std::vector<QString>());
  if (network) {
    ExpectNetworkShown(StateAfter(), true);
  } else {
    ExpectClockShown(PrinterClockAfter);
  }
  EXPECT_TRUE(window_->InputEnabled());
}

INSTANTIATE_TEST_SUITE_P(Links, FaultMatrix, ::testing::ValuesIn(Matrix()), [](const auto& info) {
  return std::string(info.param.fault->name) + "_" + std::string(info.param.link->item);
});

// The parallel port is written to only: whatever the printer would answer, the "Read" buttons
// stay off, and every set goes out as one line.
TEST_F(FaultMatrixWindow, Lpt_ReadsStayOffAndSetsGoOutWhateverThePrinterAnswers) {
  ASSERT_NO_FATAL_FAILURE(Select(LinkKind::Lpt));
  FaultSwitches faults;
  for (const char* query : {"DIAGNOSTIC INTERFACE LPT", "DIAGNOSTIC REPORT YEAR"}) {
    faults.silentOn.insert(query);
  }
  faults.leadInGarbage = {70000, ""};
  faults.closeMidFrame = {true, ""};
  faults.oversizedFrame = {true, ""};
  SetPrinters(StateAfter(), faults);
  ClearReceived();

  EXPECT_FALSE(Find<QPushButton>("ButtonRTCRead")->isEnabled());
  EXPECT_FALSE(Find<QPushButton>("ButtonEtherRead")->isEnabled());
  Click("ButtonRTCRead");
  Click("ButtonEtherRead");
  EXPECT_TRUE(messages_.empty());
  ExpectClockShown(PrinterClockBefore);

  const auto start = std::chrono::steady_clock::now();
  Click("ButtonOk");
  Click("ButtonSetIP");
  Click("ButtonSetPrinterName");
  Click("ButtonFactoryDefault");
  // Four writes into a FIFO that is being read: nothing to wait for.
  EXPECT_LT(SecondsSince(start), 4 * OperationSeconds);
  EXPECT_EQ(messages_, std::vector<QString>());
  EXPECT_TRUE(window_->InputEnabled());
  ASSERT_TRUE(sim_->WaitUntil([&] { return sim_->ReceivedCount() >= 4; }, 5s));
  EXPECT_EQ(Received(LinkKind::Lpt),
            (std::vector<std::string>{expected::SetClock("03,04,26,13,07,09"),
                                      expected::SetStatic("10.1.1.1", "255.255.0.0", "10.1.0.254"),
                                      expected::SetName("Before-A"), expected::FactoryDefaults()}));
}

// A parallel port nobody reads fails to open at once instead of holding the window, and the
// window goes on when the printer is back.
TEST_F(FaultMatrixWindow, Lpt_WithoutAReader_IsOpenPortErrorAtOnceThenWorksAgain) {
  ASSERT_NO_FATAL_FAILURE(Select(LinkKind::Lpt));
  sim_->Stop();
  const auto start = std::chrono::steady_clock::now();
  Click("ButtonFactoryDefault");
  EXPECT_LT(SecondsSince(start), OperationSeconds);
  EXPECT_EQ(messages_, std::vector<QString>{QStringLiteral("Open Port Error")});
  EXPECT_TRUE(window_->InputEnabled());

  messages_.clear();
  std::string error;
  ASSERT_TRUE(sim_->Start(&error)) << error;
  Click("ButtonFactoryDefault");
  EXPECT_TRUE(messages_.empty());
  ASSERT_TRUE(sim_.WaitReceived(1));
  EXPECT_EQ(Received(LinkKind::Lpt), std::vector<std::string>{expected::FactoryDefaults()});
}

// A parallel printer that stopped taking data (off line, out of paper) fails the write once its
// bound has passed, with the one message, and the window takes input again.
TEST_F(FaultMatrixWindow, Lpt_APrinterThatStopsTakingData_IsTransmitDataErrorThenWorksAgain) {
  ASSERT_NO_FATAL_FAILURE(Select(LinkKind::Lpt));
  const StuckFifo stuck(dir_.filePath(QStringLiteral("stuck")).toStdString());
  ASSERT_TRUE(stuck.Ready());
  window_->LptDevice().Assign(stuck.Path());
  const std::size_t bytes = expected::SetClock("03,04,26,13,07,09").size();
  const auto start = std::chrono::steady_clock::now();
  Click("ButtonOk");
  EXPECT_LT(SecondsSince(start),
            std::chrono::duration<double>(ParallelPort::WritePerByte * bytes + LptWriteAllowance)
                    .count() +
                OperationSeconds);
  EXPECT_EQ(messages_, std::vector<QString>{QString::fromLatin1(Transmit)});
  EXPECT_EQ(enabledDuringMessage_, std::vector<bool>{false});
  EXPECT_TRUE(window_->InputEnabled());
  // The full FIFO took none of it.
  EXPECT_EQ(details_,
            std::vector<QString>{QStringLiteral("0 of %1 bytes of \"TS03,04,26,13,07,09\" "
                                                "written, then the printer took no more")
                                     .arg(bytes)});

  messages_.clear();
  window_->LptDevice().Assign(fifo_);
  ClearReceived();
  Click("ButtonOk");
  EXPECT_TRUE(messages_.empty());
  ASSERT_TRUE(sim_.WaitReceived(1));
  EXPECT_EQ(Received(LinkKind::Lpt),
            std::vector<std::string>{expected::SetClock("03,04,26,13,07,09")});
}

}  // namespace
