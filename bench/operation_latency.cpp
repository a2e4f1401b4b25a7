// Latency of every printer operation over TCP on loopback against the virtual printer, next to
// the floor of the same link measured in the same run: a bare connect and close, and a bare
// request/reply round trip on an open connection. Then the same over the virtual printer's
// pseudo-terminal as a COM port, next to a bare open and close and a bare round trip on it.
//
//   q73580_bench_operations [--runs N]     (N from 10 to 100000, default 500)

#include <QCoreApplication>
#include <QSerialPort>
#include <QTcpSocket>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "link/link_facade.h"
#include "link/serial_port.h"
#include "printer-sim/sim_server.h"
#include "protocol/printer_operations.h"

namespace {

using Clock = std::chrono::steady_clock;

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

// Runs `step` `runs` times; a step that fails ends the benchmark, since its time means nothing.
Summary Measure(int runs, const std::function<bool()>& step, const char* name) {
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

void PrintRow(const char* name, const Summary& s, const char* note = "") {
  std::printf("| %-22s | %8.3f | %8.3f | %8.3f | %8.3f | %s\n", name, s.median, s.p95, s.min, s.max,
              note);
}

void PrintHeader(const char* title, int runs) {
  std::printf("%s, %d runs each, times in ms\n\n", title, runs);
  std::printf("| %-22s | %8s | %8s | %8s | %8s |\n", "what", "median", "p95", "min", "max");
  std::printf("|%s|%s|%s|%s|%s|\n", std::string(24, '-').c_str(), std::string(10, '-').c_str(),
              std::string(10, '-').c_str(), std::string(10, '-').c_str(),
              std::string(10, '-').c_str());
}

// One query on a port already open; false when no whole reply came within 3 s.
bool SerialRoundTrip(QSerialPort& port) {
  port.write("DIAGNOSTIC REPORT YEAR\r\n");
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

// Every printer operation over `kind`, one row each.
void PrintOperationRows(LinkFacade& link, LinkKind kind, int runs, const char* readNote,
                        const char* setClockNote) {
  auto run = [&link, kind](PrinterOperation operation, OperationRecord record) {
    return [&link, kind, operation, record] {
      return RunPrinterOperation(link, operation, kind, record) == CommandResult::Ok;
    };
  };
  ClockRecord clock{2026, 12, 8, 10, 30, 0};
  NetConfigRecord config;
  config.dhcp = 0;
  config.ip.Assign("192.168.10.20");
  config.mask.Assign("255.255.255.0");
  config.gateway.Assign("192.168.10.1");
  config.netName.Assign("bench");
  PrintRow("ProbeLink", Measure(runs, run(PrinterOperation::ProbeLink, {}), "ProbeLink"));
  PrintRow("SetClock", Measure(runs, run(PrinterOperation::SetClock, &clock), "SetClock"),
           setClockNote);
  PrintRow("ReadClock", Measure(runs, run(PrinterOperation::ReadClock, &clock), "ReadClock"),
           readNote);
  PrintRow("SetNetwork", Measure(runs, run(PrinterOperation::SetNetwork, &config), "SetNetwork"));
  PrintRow("SetPrinterName",
           Measure(runs, run(PrinterOperation::SetPrinterName, &config), "SetPrinterName"));
  PrintRow("ReadNetwork", Measure(runs, run(PrinterOperation::ReadNetwork, &config), "ReadNetwork"),
           readNote);
  PrintRow("FactoryReset", Measure(runs, run(PrinterOperation::FactoryReset, {}), "FactoryReset"));
}

// The operations over the virtual printer's pty, driven as a COM port.
int RunPtySection(int runs) {
  printer_sim::SimServerConfig config;
  config.tcp = false;
  config.pty = true;
  config.logCapacity = 1000;
  printer_sim::SimServer sim(config);
  std::string error;
  if (!sim.Start(&error)) {
    std::fprintf(stderr, "bench: virtual printer on a pty did not start: %s\n", error.c_str());
    return 1;
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

  const Summary openClose = Measure(
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
    return 1;
  }
  const Summary roundTrip = Measure(
      runs, [&] { return SerialRoundTrip(bare); }, "pty floor: round trip");
  bare.close();

  std::printf("\n");
  PrintHeader("Printer operations over a pty as COM port", runs);
  PrintRow("floor: open+close", openClose);
  PrintRow("floor: round trip", roundTrip, "one request/reply on an open port");
  PrintOperationRows(link, LinkKind::Com, runs, "target < 20 ms; 7 round trips", "");
  sim.Stop();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int runs = 500;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--runs" && i + 1 < argc) {
      runs = std::clamp(std::atoi(argv[++i]), 10, 100000);
    } else {
      std::fprintf(stderr, "usage: %s [--runs N]\n", argv[0]);
      return 2;
    }
  }

  printer_sim::SimServerConfig config;
  config.tcpHost = "127.0.0.1";
  config.tcpPort = 0;
  config.logCapacity = 1000;
  printer_sim::SimServer sim(config);
  std::string error;
  if (!sim.Start(&error)) {
    std::fprintf(stderr, "bench: virtual printer did not start: %s\n", error.c_str());
    return 1;
  }

  SerialSettings serial;
  LptDeviceName lpt = DefaultLptDeviceName;
  NetTarget target;
  target.Host.Assign("127.0.0.1");
  target.Port = sim.TcpPort();
  LinkFacade link;
  link.SetLinkTargets(serial, lpt, target);

  // The floors: what the link itself costs on this machine.
  const Summary connect = Measure(
      runs,
      [&] {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, sim.TcpPort());
        const bool ok = socket.waitForConnected(5000);
        socket.abort();
        return ok;
      },
      "connect");
  QTcpSocket bare;
  bare.connectToHost(QHostAddress::LocalHost, sim.TcpPort());
  bare.waitForConnected(5000);
  bare.setSocketOption(QAbstractSocket::LowDelayOption, 1);
  const Summary roundTrip = Measure(
      runs,
      [&] {
        bare.write("DIAGNOSTIC REPORT YEAR\r\n");
        QByteArray reply;
        while (!reply.contains('}')) {
          if (bare.bytesAvailable() == 0 && !bare.waitForReadyRead(3000)) {
            return false;
          }
          reply += bare.readAll();
        }
        return true;
      },
      "round trip");
  bare.abort();

  std::printf("Printer operations over TCP loopback, %d runs each, times in ms\n\n", runs);
  std::printf("| %-22s | %8s | %8s | %8s | %8s |\n", "what", "median", "p95", "min", "max");
  std::printf("|%s|%s|%s|%s|%s|\n", std::string(24, '-').c_str(), std::string(10, '-').c_str(),
              std::string(10, '-').c_str(), std::string(10, '-').c_str(),
              std::string(10, '-').c_str());
  PrintRow("floor: connect+close", connect);
  PrintRow("floor: round trip", roundTrip, "one request/reply on an open connection");
  PrintOperationRows(link, LinkKind::Ethernet, runs, "target < 3 ms; 7 round trips",
                     "target < 1 ms");
  sim.Stop();
  return RunPtySection(runs);
}
