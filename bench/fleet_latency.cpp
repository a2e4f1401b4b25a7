// export and apply of q73580-cli against 50 virtual printers on loopback, run in process as the
// program runs them: the whole command's time, the time per printer, and how close that comes
// to the exchanges it needs. Sends only to 127.0.0.1, never a broadcast.
//
//   q73580_bench_fleet [--runs N] [--rows]     (N from 1 to 20, default 3)
//
// The floor of a command is what its exchanges cost at the least, each part measured bare in the
// same run: its discoveries' quiet waits, a UDP socket opened and closed for every session (each
// read of a printer's blocks, each remote change, each read back has one), and one block read
// and its answer for every request. Sessions and requests are counted from what the printers
// received. Target: the quiet waits plus twice the rest of the floor, which a single wait
// that ran to its 3 s time-out could never meet. --rows prints machine-readable lines for
// scripts/bench:
//   ROW|area|what|unit|median|p95|floor|target|met

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_stats.h"
#include "cli/cli_commands.h"
#include "cli/fleet_file.h"
#include "netsetup/remote_ip_change.h"
#include "printer-sim/udp_discovery.h"
#include "support/virtual_printer.h"

namespace {

using bench::Clock;
using bench::Median;
using bench::Ms;
using bench::P95;

constexpr int Printers = 50;
constexpr int QuietMs = 1000;  // the default --timeout
// How far above the floor of its requests and sockets a command may be.
constexpr double FloorFactor = 2.0;

struct Floors {
  double roundTripMs = 0;  // one block read and its answer, on a socket kept open
  double socketMs = 0;     // a session's socket opened and closed
};

// Both floors, as medians of 200 tries each.
Floors MeasureFloors(const VirtualPrinter& sim) {
  const NetSetupExchange exchange(QHostAddress(QHostAddress::LocalHost), sim.UdpPort());
  std::vector<double> sockets;
  for (int i = 0; i < 200; ++i) {
    const Clock::time_point start = Clock::now();
    if (!exchange.OpenSession()) {
      std::fprintf(stderr, "bench: no UDP socket\n");
      std::exit(1);
    }
    sockets.push_back(Ms(Clock::now() - start));
  }
  const std::unique_ptr<NetSetupExchange::Session> session = exchange.OpenSession();
  std::array<std::uint8_t, config_block::ReadRequestSize> request{};
  NetSetupHeader{NetSetupCommand::CmdReadBlock, 2, 1, *TextToMac(sim->State().mac), true}.WriteTo(
      request.data());
  request[32] = 4;
  std::vector<double> trips;
  for (int i = 0; i < 200; ++i) {
    const Clock::time_point start = Clock::now();
    if (session->Request(request.data(), request.size(), 3000).empty()) {
      std::fprintf(stderr, "bench: a block read went unanswered\n");
      std::exit(1);
    }
    trips.push_back(Ms(Clock::now() - start));
  }
  return {Median(trips), Median(sockets)};
}

struct Measured {
  std::vector<double> totals;
  int requests = 0;  // what the printers received, discoveries left out
  int sessions = 0;  // the sockets those came from
  int discoveries = 0;
};

// Runs one command against a fresh fleet `runs` times; `prepare` may run commands first.
template <typename Prepare>
Measured Measure(int runs, CliCommand command, const std::string& file, Prepare prepare) {
  Measured measured;
  for (int run = 0; run < runs; ++run) {
    printer_sim::SimServerConfig config;
    config.printerCount = Printers;
    const VirtualPrinter sim({.tcp = false, .udp = true}, config);
    if (!sim.Running()) {
      std::fprintf(stderr, "bench: virtual printers did not start: %s\n", sim.Error().c_str());
      std::exit(1);
    }
    CliArgs args;
    args.to = "127.0.0.1";
    args.udpPort = sim.UdpPort();
    args.quietMs = QuietMs;
    args.yes = true;
    args.file = "fleet.csv";
    CliServices services;
    services.readInput = [&file](const std::string&, std::size_t, std::string&) {
      return std::optional<std::string>(file);
    };
    prepare(args, services);
    sim->ClearLog();
    args.command = command;
    const Clock::time_point start = Clock::now();
    const CliOutcome outcome = RunCliCommand(args, services);
    measured.totals.push_back(Ms(Clock::now() - start));
    if (outcome.exitCode != 0) {
      std::fprintf(stderr, "bench: %s failed: %s\n", CliCommandName(command).c_str(),
                   outcome.error.c_str());
      std::exit(1);
    }
    // A new sender port is a new socket.
    measured = Measured{std::move(measured.totals)};
    std::string lastPeer;
    for (const printer_sim::LogEntry& entry : sim->ReceivedCommands()) {
      if (entry.raw.size() == NetSetupHeaderSize) {
        ++measured.discoveries;
      } else {
        ++measured.requests;
        measured.sessions += entry.peer != lastPeer ? 1 : 0;
      }
      lastPeer = entry.peer;
    }
  }
  return measured;
}

// Every printer of the fleet with a new name and a static address of its own.
std::string ChangedFleet() {
  printer_sim::SimServerConfig config;
  config.printerCount = Printers;
  std::vector<FleetRow> rows;
  for (int i = 0; i < Printers; ++i) {
    const printer_sim::PrinterState printer =
        printer_sim::DerivedPrinter(config.initialState, i, Printers);
    rows.push_back(FleetRow{printer.mac, "Site-" + std::to_string(i + 1), false,
                            "10.1.0." + std::to_string(i + 10), "255.255.0.0", "10.1.0.1", 0});
  }
  return FleetCsv(rows);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int runs = 3;
  bool rows = false;
  if (!bench::ReadRunsAndRows(argc, argv, runs, rows)) {
    return 2;
  }

  Floors floors;
  {
    printer_sim::SimServerConfig config;
    config.printerCount = Printers;
    const VirtualPrinter sim({.tcp = false, .udp = true}, config);
    floors = MeasureFloors(sim);
  }
  const std::string changed = ChangedFleet();
  const auto nothing = [](CliArgs&, CliServices&) {};
  struct Case {
    std::string what;
    Measured measured;
  };
  const std::vector<Case> cases = {
      {"export", Measure(runs, CliCommand::Export, changed, nothing)},
      {"apply, every printer changed", Measure(runs, CliCommand::Apply, changed, nothing)},
      {"apply again, every printer unchanged", Measure(runs, CliCommand::Apply, changed,
                                                       [](CliArgs& args, CliServices& services) {
                                                         args.command = CliCommand::Apply;
                                                         RunCliCommand(args, services);
                                                       })},
  };

  if (!rows) {
    std::printf(
        "%d virtual printers on loopback, %d runs each; floors (medians): a block read "
        "and its answer %.3f ms, a socket opened and closed %.3f ms\n\n",
        Printers, runs, floors.roundTripMs, floors.socketMs);
    std::printf(
        "| command | median ms | p95 ms | per printer ms | requests | sockets | "
        "discoveries | floor ms |\n|---|---:|---:|---:|---:|---:|---:|---:|\n");
  }
  for (const Case& c : cases) {
    const Measured& m = c.measured;
    const double quiet = m.discoveries * QuietMs;
    const double exchanges = m.requests * floors.roundTripMs + m.sessions * floors.socketMs;
    const double median = Median(m.totals);
    const double target = quiet + FloorFactor * exchanges;
    const double perPrinter = (median - quiet) / Printers;
    if (rows) {
      std::printf("ROW|fleet|%s, %d printers|ms|%.1f|%.1f|%.1f|%.1f|%s\n", c.what.c_str(), Printers,
                  median, P95(m.totals), quiet + exchanges, target,
                  median <= target ? "yes" : "no");
      std::printf(
          "NOTE|fleet|%s: %.2f ms per printer besides %d quiet wait(s) of %d ms, for "
          "%.1f requests and %.1f sockets per printer, whose floor is %.2f ms: %.2f "
          "times the floor\n",
          c.what.c_str(), perPrinter, m.discoveries, QuietMs,
          static_cast<double>(m.requests) / Printers, static_cast<double>(m.sessions) / Printers,
          exchanges / Printers, (median - quiet) / exchanges);
    } else {
      std::printf("| %s | %.1f | %.1f | %.2f | %d | %d | %d | %.1f |\n", c.what.c_str(), median,
                  P95(m.totals), perPrinter, m.requests, m.sessions, m.discoveries,
                  quiet + exchanges);
    }
  }
  if (rows) {
    std::printf(
        "NOTE|fleet|floors of this run: a block read and its answer %.3f ms, a socket "
        "opened and closed %.3f ms (medians of 200); target = the quiet waits + %.1f x "
        "the floor of the requests and sockets\n",
        floors.roundTripMs, floors.socketMs, FloorFactor);
  }
  return 0;
}
