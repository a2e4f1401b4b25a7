// export and apply of q73580-cli against 50 virtual printers on loopback, run in process as the
// program runs them: the whole command's time, the time per printer, and how close that comes
// to the round trips it needs. Sends only to 127.0.0.1, never a broadcast.
//
//   q73580_bench_fleet [--runs N] [--rows]     (N from 1 to 20, default 3)
//
// The floor of a command is its discoveries' quiet waits plus its round trips, each at the
// median time of one block read on loopback. Target: no more than 1 ms per printer above that
// floor, which no wait that ran to its 3 s time-out could meet. --rows prints machine-readable
// lines for scripts/bench:
//   ROW|area|what|unit|median|p95|floor|target|met

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "cli/fleet_file.h"
#include "netsetup/remote_ip_change.h"
#include "printer-sim/udp_discovery.h"
#include "support/virtual_printer.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int Printers = 50;
constexpr int QuietMs = 1000;  // the default --timeout
constexpr double SlackPerPrinterMs = 1.0;

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double P95(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(0.95 * static_cast<double>(values.size() - 1) + 0.5)];
}

// The median time of one block read and its answer, on a socket kept open.
double RoundTripMs(const VirtualPrinter& sim) {
  const NetSetupExchange exchange(QHostAddress(QHostAddress::LocalHost), sim.UdpPort());
  const std::unique_ptr<NetSetupExchange::Session> session = exchange.OpenSession();
  std::array<std::uint8_t, config_block::ReadRequestSize> request{};
  NetSetupHeader{NetSetupCommand::CmdReadBlock, 2, 1, *TextToMac(sim->State().mac), true}.WriteTo(
      request.data());
  request[32] = 4;
  std::vector<double> times;
  for (int i = 0; i < 200; ++i) {
    const Clock::time_point start = Clock::now();
    if (session->Request(request.data(), request.size(), 3000).empty()) {
      std::fprintf(stderr, "bench: a block read went unanswered\n");
      std::exit(1);
    }
    times.push_back(Ms(Clock::now() - start));
  }
  return Median(times);
}

struct Measured {
  std::vector<double> totals;
  std::uint64_t roundTrips = 0;  // datagrams the printers received, discoveries left out
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
    measured.roundTrips = 0;
    measured.discoveries = 0;
    for (const std::string& datagram : sim.Datagrams()) {
      if (datagram.size() == NetSetupHeaderSize) {
        ++measured.discoveries;
      } else {
        ++measured.roundTrips;
      }
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
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc) {
      runs = std::clamp(std::atoi(argv[++i]), 1, 20);
    } else if (arg == "--rows") {
      rows = true;
    } else {
      std::fprintf(stderr, "usage: %s [--runs N] [--rows]\n", argv[0]);
      return 2;
    }
  }

  double roundTrip = 0;
  {
    printer_sim::SimServerConfig config;
    config.printerCount = Printers;
    const VirtualPrinter sim({.tcp = false, .udp = true}, config);
    roundTrip = RoundTripMs(sim);
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
        "%d virtual printers on loopback, %d runs each; one block read takes %.3f ms "
        "(median)\n\n",
        Printers, runs, roundTrip);
    std::printf("| %-36s | %10s | %10s | %11s | %11s | %12s | %9s |\n", "command", "median ms",
                "p95 ms", "per printer", "round trips", "discoveries", "floor ms");
    std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
  }
  for (const Case& c : cases) {
    const Measured& m = c.measured;
    const double floor = m.discoveries * QuietMs + static_cast<double>(m.roundTrips) * roundTrip;
    const double median = Median(m.totals);
    const double target = floor + SlackPerPrinterMs * Printers;
    const double perPrinter = (median - m.discoveries * QuietMs) / Printers;
    if (rows) {
      std::printf("ROW|fleet|%s, %d printers|ms|%.1f|%.1f|%.0f|%.0f|%s\n", c.what.c_str(), Printers,
                  median, P95(m.totals), floor, target, median <= target ? "yes" : "no");
      std::printf(
          "NOTE|fleet|%s: %.2f ms per printer besides the %d quiet wait(s) of %d ms; "
          "%llu round trips (%.1f per printer) would take %.1f ms at %.3f ms each, so "
          "the time besides the quiet waits is %.1f times the round trips'\n",
          c.what.c_str(), perPrinter, m.discoveries, QuietMs,
          static_cast<unsigned long long>(m.roundTrips),
          static_cast<double>(m.roundTrips) / Printers,
          static_cast<double>(m.roundTrips) * roundTrip, roundTrip,
          (median - m.discoveries * QuietMs) /
              std::max(0.001, static_cast<double>(m.roundTrips) * roundTrip));
    } else {
      std::printf("| %-36s | %10.1f | %10.1f | %11.2f | %11llu | %12d | %9.0f |\n", c.what.c_str(),
                  median, P95(m.totals), perPrinter, static_cast<unsigned long long>(m.roundTrips),
                  m.discoveries, floor);
    }
  }
  return 0;
}
