// Latency of every printer operation next to the floor of the same link, measured in the same
// run: over TCP on loopback against the virtual printer, over the virtual printer's
// pseudo-terminal driven as a COM port, and over the in-process fake USB bus whose printer is the
// virtual printer's command interpreter. Each link's floor is a bare open and close and a bare
// request/reply round trip on an open link; an operation's floor is the link's open and close
// plus one round trip for every command it sends. On TCP and the pty its target is three times
// that floor plus the fixed waits of the link (none on these two). The fake bus's floor is a few
// function calls, which no ratio can sensibly be held to, so there the target is the floor plus
// an absolute budget for the port's own work (UsbOverheadBudgetMs).
//
//   q73580_bench_operations [--runs N] [--rows] [--link tcp|pty|usb]...
//
// N from 50 to 100000, default 500 runs of every figure, after 10 untimed ones. --link picks
// sections (all by default), e.g. to profile one of them. --rows prints machine-readable lines
// for scripts/bench instead of the tables:
//   ROW|area|what|unit|median|p95|floor|target|met
//   NOTE|area|text

#include <QCoreApplication>
#include <QSerialPort>
#include <QTcpSocket>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fake_usb_bus.h"
#include "link/link_facade.h"
#include "link/serial_port.h"
#include "link/usb_printer_port.h"
#include "protocol/printer_operations.h"
#include "support/expected_commands.h"
#include "support/virtual_printer.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int WarmUpRuns = 10;
// What the USB port itself may add to an operation (sorting and matching the devices, framing,
// the check for an unread reply). A bulk transfer on a real bus takes 0.1 to 1 ms (a microframe
// is 125 us, a full-speed frame 1 ms), so 20 us stays a small share of a single transfer.
constexpr double UsbOverheadBudgetMs = 0.020;
const std::string RoundTripQuery = expected::Report("YEAR");

struct Summary {
  double median = 0;
  double p95 = 0;
  double min = 0;
  double max = 0;
};

Summary Summarise(std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  auto at = [&](double q) { return ms[static_cast<std::size_t>(q * (ms.size() - 1) + 0.5)]; };
  return {at(0.5), at(0.95), ms.front(), ms.back()};
}

// Runs `step` untimed a few times (first connections, caches, the printer's thread waking up),
// then `runs` times timed. A step that fails ends the benchmark, since its time means nothing.
Summary Measure(int runs, const std::function<bool()>& step, const char* name) {
  for (int i = 0; i < WarmUpRuns; ++i) {
    if (!step()) {
      std::fprintf(stderr, "bench: %s failed while warming up\n", name);
      std::exit(1);
    }
  }
  std::vector<double> ms;
  ms.reserve(static_cast<std::size_t>(runs));
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    if (!step()) {
      std::fprintf(stderr, "bench: %s failed on run %d\n", name, i + 1);
      std::exit(1);
    }
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  return Summarise(std::move(ms));
}

// The floor of one link, measured on the bare link.
struct LinkFloor {
  Summary openClose;
  Summary roundTrip;
};

// One link's section, as a table for people or as rows for scripts/bench.
class Section {
 public:
  // Times are measured in ms; `micro` shows them in µs, for a link that is only function calls.
  Section(bool rows, std::string area, int runs, bool micro = false)
      : rows_(rows), area_(std::move(area)), scale_(micro ? 1000 : 1), unit_(micro ? "us" : "ms") {
    if (rows_) {
      return;
    }
    std::printf("\nPrinter operations over %s, %d runs each, times in %s\n\n", area_.c_str(), runs,
                unit_);
    std::printf("| %-24s | %8s | %8s | %8s | %8s | %8s | %8s | %-4s | %s\n", "what", "median",
                "p95", "min", "max", "floor", "target", "met", "note");
    std::printf(
        "|--------------------------|----------|----------|----------|----------|"
        "----------|----------|------|\n");
  }

  void Floor(const char* what, const Summary& s, const char* note) const {
    Print(what, s, nullptr, nullptr, note);
  }

  // Returns whether the median is within the target.
  bool Operation(const char* what, const Summary& s, double floor, double target,
                 const char* note) const {
    Print(what, s, &floor, &target, note);
    return s.median <= target;
  }

  void Note(const std::string& text) const {
    if (rows_) {
      std::printf("NOTE|%s|%s\n", area_.c_str(), text.c_str());
    } else {
      std::printf("  %s\n", text.c_str());
    }
  }

 private:
  void Print(const char* what, const Summary& s, const double* floor, const double* target,
             const char* note) const {
    char floorText[32] = "-";
    char targetText[32] = "-";
    const char* met = "-";
    if (floor != nullptr && target != nullptr) {
      std::snprintf(floorText, sizeof floorText, "%.4f", *floor * scale_);
      std::snprintf(targetText, sizeof targetText, "%.4f", *target * scale_);
      met = s.median <= *target ? "yes" : "no";
    }
    if (rows_) {
      std::printf("ROW|%s|%s (%s)|%s|%.4f|%.4f|%s|%s|%s\n", area_.c_str(), what, note, unit_,
                  s.median * scale_, s.p95 * scale_, floorText, targetText, met);
    } else {
      std::printf("| %-24s | %8.4f | %8.4f | %8.4f | %8.4f | %8s | %8s | %-4s | %s\n", what,
                  s.median * scale_, s.p95 * scale_, s.min * scale_, s.max * scale_, floorText,
                  targetText, met, note);
    }
  }

  bool rows_;
  std::string area_;
  double scale_;
  const char* unit_;
};

// One query on a serial port already open; false when no whole reply came within 3 s.
bool SerialRoundTrip(QSerialPort& port) {
  port.write(RoundTripQuery.c_str());
  while (port.bytesToWrite() > 0) {
    if (!port.waitForBytesWritten(3000)) {
      return false;
    }
  }
  QByteArray reply;
  while (!reply.contains('}') && reply.size() < 4096) {
    if (port.bytesAvailable() == 0 && !port.waitForReadyRead(3000)) {
      return false;
    }
    reply += port.readAll();
  }
  return reply.contains('}');
}

// One query on a TCP connection already open; false when no whole reply came within 3 s.
bool TcpRoundTrip(QTcpSocket& socket) {
  socket.write(RoundTripQuery.c_str());
  QByteArray reply;
  while (!reply.contains('}') && reply.size() < 4096) {
    if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(3000)) {
      return false;
    }
    reply += socket.readAll();
  }
  return reply.contains('}');
}

// One query on a claimed fake USB device: one BulkOut, one BulkIn.
bool UsbRoundTrip(FakeUsbBus& bus, std::vector<std::uint8_t>& reply) {
  const std::string_view query = RoundTripQuery;
  const UsbTransfer out =
      bus.BulkOut(reinterpret_cast<const std::uint8_t*>(query.data()),
                  static_cast<std::uint32_t>(query.size()), UsbPrinterPort::WriteTimeout);
  if (out.moved != query.size()) {
    return false;
  }
  const UsbTransfer in = bus.BulkIn(reply.data(), static_cast<std::uint32_t>(reply.size()),
                                    UsbPrinterPort::ReadTimeout);
  return std::find(reply.begin(), reply.begin() + in.moved, '}') != reply.begin() + in.moved;
}

// What each operation sends: a query is one request/reply round trip; a command without reply
// is counted as one too, since what bounds it is the same request reaching the printer.
struct OperationCase {
  PrinterOperation operation;
  const char* name;
  int requests;
  const char* note;
};

constexpr std::array<OperationCase, 7> Operations = {{
    {PrinterOperation::ProbeLink, "ProbeLink", 0, "open and close only"},
    {PrinterOperation::SetClock, "SetClock", 1, "1 command, no reply"},
    {PrinterOperation::ReadClock, "ReadClock", 7, "7 round trips"},
    {PrinterOperation::SetNetwork, "SetNetwork", 1, "1 command, no reply"},
    {PrinterOperation::SetPrinterName, "SetPrinterName", 1, "1 command, no reply"},
    {PrinterOperation::ReadNetwork, "ReadNetwork", 7, "7 round trips"},
    {PrinterOperation::FactoryReset, "FactoryReset", 1, "1 command, no reply"},
}};

// An operation's target from its floor: factor x floor + addMs.
struct TargetRule {
  double factor;
  double addMs;
};

// Every printer operation over `kind`, one row each, against `floor`. Returns the number of
// targets missed.
int MeasureOperations(const Section& section, LinkFacade& link, LinkKind kind, int runs,
                      const LinkFloor& floor, TargetRule target) {
  ClockRecord clock{2026, 12, 8, 10, 30, 0};
  NetConfigRecord config;
  config.dhcp = 0;
  config.ip.Assign("192.168.10.20");
  config.mask.Assign("255.255.255.0");
  config.gateway.Assign("192.168.10.1");
  config.netName.Assign("bench");
  int missed = 0;
  for (const OperationCase& c : Operations) {
    OperationRecord record;
    if (c.operation == PrinterOperation::SetClock || c.operation == PrinterOperation::ReadClock) {
      record = &clock;
    } else if (c.operation == PrinterOperation::SetNetwork ||
               c.operation == PrinterOperation::SetPrinterName ||
               c.operation == PrinterOperation::ReadNetwork) {
      record = &config;
    }
    const Summary s = Measure(
        runs,
        [&] { return RunPrinterOperation(link, c.operation, kind, record) == CommandResult::Ok; },
        c.name);
    const double opFloor = floor.openClose.median + c.requests * floor.roundTrip.median;
    if (!section.Operation(c.name, s, opFloor, target.factor * opFloor + target.addMs, c.note)) {
      ++missed;
    }
  }
  return missed;
}

constexpr const char* FloorRule =
    "floor = the link's bare open+close + requests x its bare round trip (a command without "
    "reply counts as one request); target = 3 x floor + the link's fixed waits on TCP and the "
    "pty, floor + 20 us of the port's own work on the fake USB bus; met compares the median";

int RunTcpSection(int runs, bool rows) {
  printer_sim::SimServerConfig config;
  config.logCapacity = 1000;
  VirtualPrinter sim({}, config);
  if (!sim.Running()) {
    std::fprintf(stderr, "bench: virtual printer did not start: %s\n", sim.Error().c_str());
    std::exit(1);
  }

  SerialSettings serial;
  LptDeviceName lpt = DefaultLptDeviceName;
  NetTarget target;
  target.Host.Assign("127.0.0.1");
  target.Port = sim.TcpPort();
  LinkFacade link;
  link.SetLinkTargets(serial, lpt, target);

  LinkFloor floor;
  floor.openClose = Measure(
      runs,
      [&] {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, sim.TcpPort());
        const bool ok = socket.waitForConnected(5000);
        socket.abort();
        return ok;
      },
      "TCP floor: connect+close");
  QTcpSocket bare;
  bare.connectToHost(QHostAddress::LocalHost, sim.TcpPort());
  if (!bare.waitForConnected(5000)) {
    std::fprintf(stderr, "bench: cannot connect to the virtual printer\n");
    std::exit(1);
  }
  bare.setSocketOption(QAbstractSocket::LowDelayOption, 1);
  floor.roundTrip = Measure(
      runs, [&] { return TcpRoundTrip(bare); }, "TCP floor: round trip");
  bare.abort();

  const Section section(rows, "TCP loopback", runs);
  section.Floor("floor: connect+close", floor.openClose, "bare socket");
  section.Floor("floor: round trip", floor.roundTrip, "one query on an open connection");
  const int missed = MeasureOperations(section, link, LinkKind::Ethernet, runs, floor, {3, 0});
  section.Note(
      "fixed waits: none; the 1 s read wait and the 3 s send offers only run out on a "
      "printer that does not answer");
  sim.Stop();
  return missed;
}

// The operations over the virtual printer's pty, driven as a COM port.
int RunPtySection(int runs, bool rows) {
  printer_sim::SimServerConfig config;
  config.logCapacity = 1000;
  VirtualPrinter sim({.tcp = false, .pty = true}, config);
  if (!sim.Running()) {
    std::fprintf(stderr, "bench: virtual printer on a pty did not start: %s\n",
                 sim.Error().c_str());
    std::exit(1);
  }
  const QString path = QString::fromStdString(sim.PtyPath());

  SerialSettings serial;
  serial.PortName.Assign(sim.PtyPath());
  LptDeviceName lpt = DefaultLptDeviceName;
  NetTarget target;
  LinkPorts ports;
  ports.com = std::make_unique<SerialPort>();
  LinkFacade link(std::move(ports));
  link.SetLinkTargets(serial, lpt, target);

  LinkFloor floor;
  floor.openClose = Measure(
      runs,
      [&] {
        QSerialPort port(path);
        const bool ok = port.open(QIODevice::ReadWrite);
        port.close();
        return ok;
      },
      "pty floor: open+close");
  QSerialPort bare(path);
  if (!bare.open(QIODevice::ReadWrite)) {
    std::fprintf(stderr, "bench: cannot open %s\n", sim.PtyPath().c_str());
    std::exit(1);
  }
  floor.roundTrip = Measure(
      runs, [&] { return SerialRoundTrip(bare); }, "pty floor: round trip");
  bare.close();

  const Section section(rows, "pty as COM port", runs);
  section.Floor("floor: open+close", floor.openClose, "bare QSerialPort");
  section.Floor("floor: round trip", floor.roundTrip, "one query on an open port");
  const int missed = MeasureOperations(section, link, LinkKind::Com, runs, floor, {3, 0});
  section.Note(
      "fixed waits: none on a pty; the 200 ms pauses between fills end as soon as a byte "
      "arrives, and the wait at close for a UART to send its last bytes does not apply to a pty "
      "(it has no transmitter)");
  sim.Stop();
  return missed;
}

// The operations through UsbPrinterPort over the in-process fake bus.
int RunUsbSection(int runs, bool rows) {
  // Every line the printer receives is kept by the fake; room for all of them up front, so that
  // growing those records does not show in the times.
  const auto lines = static_cast<std::size_t>(runs + WarmUpRuns) * 8 * Operations.size();

  FakeUsbBus bare;
  bare.commands.reserve(lines);
  bare.outSizes.reserve(lines);
  bare.inRequests.reserve(lines);
  LinkFloor floor;
  floor.openClose = Measure(
      runs,
      [&] {
        const std::vector<UsbDeviceEntry> devices = bare.ListDevices();
        if (devices.empty() || !bare.OpenDevice(devices.front())) {
          return false;
        }
        const bool claimed = bare.ClaimPrinterInterface().has_value();
        bare.ReleaseInterface();
        bare.CloseDevice();
        return claimed;
      },
      "USB floor: open+close");
  const std::vector<UsbDeviceEntry> devices = bare.ListDevices();
  if (devices.empty() || !bare.OpenDevice(devices.front()) || !bare.ClaimPrinterInterface()) {
    std::fprintf(stderr, "bench: cannot claim the fake USB printer\n");
    std::exit(1);
  }
  std::vector<std::uint8_t> reply(UsbPrinterPort::ReceiveRequestSize(64));
  floor.roundTrip = Measure(
      runs, [&] { return UsbRoundTrip(bare, reply); }, "USB floor: round trip");
  bare.ReleaseInterface();
  bare.CloseDevice();

  auto bus = std::make_unique<FakeUsbBus>();
  bus->commands.reserve(lines);
  bus->outSizes.reserve(lines);
  bus->inRequests.reserve(lines);
  SerialSettings serial;
  LptDeviceName lpt = DefaultLptDeviceName;
  NetTarget target;
  LinkPorts ports;
  ports.usb = std::make_unique<UsbPrinterPort>(std::move(bus));
  LinkFacade link(std::move(ports));
  link.SetLinkTargets(serial, lpt, target);

  const Section section(rows, "fake USB bus", runs, true);
  section.Floor("floor: open+close", floor.openClose, "list, open, claim, release, close");
  section.Floor("floor: round trip", floor.roundTrip, "one BulkOut and one BulkIn");
  const int missed =
      MeasureOperations(section, link, LinkKind::Usb, runs, floor, {1, UsbOverheadBudgetMs});
  section.Note(
      "fixed waits: none; the fake bus never waits, and an IN transfer with nothing "
      "queued ends at once");
  section.Note(
      "target = floor + 20 us: the floor here is a few function calls, so a multiple of it says "
      "nothing about a real bus, where one bulk transfer takes 0.1 to 1 ms; what is held to a "
      "budget is the port's own work (devices sorted into bus order, path texts written and "
      "matched, framing, the check for a reply left unread)");
  return missed;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int runs = 500;
  bool rows = false;
  std::vector<std::string> links;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc) {
      runs = std::clamp(std::atoi(argv[++i]), 50, 100000);
    } else if (arg == "--rows") {
      rows = true;
    } else if (arg == "--link" && i + 1 < argc &&
               (std::string(argv[i + 1]) == "tcp" || std::string(argv[i + 1]) == "pty" ||
                std::string(argv[i + 1]) == "usb")) {
      links.emplace_back(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: %s [--runs N] [--rows] [--link tcp|pty|usb]...\n", argv[0]);
      return 2;
    }
  }

  auto wanted = [&links](const char* link) {
    return links.empty() || std::find(links.begin(), links.end(), link) != links.end();
  };
  int missed = 0;
  if (wanted("tcp")) {
    missed += RunTcpSection(runs, rows);
  }
  if (wanted("pty")) {
    missed += RunPtySection(runs, rows);
  }
  if (wanted("usb")) {
    missed += RunUsbSection(runs, rows);
  }
  if (rows) {
    std::printf("NOTE|operations|%s\n", FloorRule);
  } else {
    std::printf("\n%s\n%d operation target(s) missed\n", FloorRule, missed);
  }
  return 0;
}
