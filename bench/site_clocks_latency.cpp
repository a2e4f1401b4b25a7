// clock set --all --from-pc of q73580-cli against 50 virtual printers, each on a TCP address of
// its own in 127.0.0.0/8, beside the same command against one printer, run in process as the
// program runs it. Discovery goes to 127.0.0.1 only, never a broadcast.
//
//   q73580_bench_site_clocks [--runs N] [--rows]     (N from 1 to 20, default 3)
//
// Both commands wait out the same discovery quiet; the rest is the printers' reads and sets.
// Talking to one printer after another, 50 would take 50 times one printer's rest; with
// SiteClockConnections at once the floor is one printer's rest for each round of that many.
// Target: the quiet wait plus twice that floor. --rows prints machine-readable lines for
// scripts/bench:
//   ROW|area|what|unit|median|p95|floor|target|met

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_stats.h"
#include "cli/cli_commands.h"
#include "support/virtual_printer.h"

namespace {

using bench::Clock;
using bench::Median;
using bench::Ms;
using bench::P95;

constexpr int Printers = 50;
constexpr int QuietMs = 1000;  // the default --timeout
constexpr double FloorFactor = 2.0;

// The whole command's time against a fresh fleet of `printers`, `runs` times.
std::vector<double> Measure(int runs, int printers) {
  std::vector<double> totals;
  for (int run = 0; run < runs; ++run) {
    printer_sim::SimServerConfig config;
    config.printerCount = printers;
    const VirtualPrinter sim({.tcp = false, .udp = true, .fleetTcp = true}, config);
    if (!sim.Running()) {
      std::fprintf(stderr, "bench: virtual printers did not start: %s\n", sim.Error().c_str());
      std::exit(1);
    }
    CliArgs args;
    args.command = CliCommand::ClockSet;
    args.all = true;
    args.clockFromPc = true;
    args.to = "127.0.0.1";
    args.udpPort = sim.UdpPort();
    args.quietMs = QuietMs;
    CliServices services;
    const Clock::time_point start = Clock::now();
    const CliOutcome outcome = RunCliCommand(args, services);
    totals.push_back(Ms(Clock::now() - start));
    if (outcome.exitCode != 0) {
      std::fprintf(stderr, "bench: clock set --all failed: %s\n", outcome.error.c_str());
      std::exit(1);
    }
  }
  return totals;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int runs = 3;
  bool rows = false;
  if (!bench::ReadRunsAndRows(argc, argv, runs, rows)) {
    return 2;
  }
  const std::vector<double> one = Measure(runs, 1);
  const std::vector<double> all = Measure(runs, Printers);
  const double perPrinter = std::max(Median(one) - QuietMs, 0.0);
  const int rounds = (Printers + static_cast<int>(SiteClockConnections) - 1) /
                     static_cast<int>(SiteClockConnections);
  const double floor = QuietMs + rounds * perPrinter;
  const double target = QuietMs + FloorFactor * rounds * perPrinter;
  const double median = Median(all);
  const double inTurn = QuietMs + Printers * perPrinter;
  if (rows) {
    std::printf("ROW|site clocks|clock set --all, 1 printer|ms|%.1f|%.1f|-|-|-\n", Median(one),
                P95(one));
    std::printf("ROW|site clocks|clock set --all, %d printers|ms|%.1f|%.1f|%.1f|%.1f|%s\n",
                Printers, median, P95(all), floor, target, median <= target ? "yes" : "no");
    std::printf(
        "NOTE|site clocks|one printer takes %.1f ms besides the %d ms quiet wait; %d printers "
        "%zu at a time take %.1f ms besides it, where one after another would take %.1f ms\n",
        perPrinter, QuietMs, Printers, SiteClockConnections, median - QuietMs, inTurn - QuietMs);
  } else {
    std::printf("%d runs each; %zu printers at a time\n\n", runs, SiteClockConnections);
    std::printf(
        "| printers | median ms | p95 ms | beyond the quiet wait ms |\n|---:|---:|---:|---:|\n");
    std::printf("| 1 | %.1f | %.1f | %.1f |\n", Median(one), P95(one), perPrinter);
    std::printf("| %d | %.1f | %.1f | %.1f |\n", Printers, median, P95(all), median - QuietMs);
    std::printf("\nOne after another: %.1f ms; floor %.1f ms, target %.1f ms: %s\n", inTurn, floor,
                target, median <= target ? "met" : "missed");
  }
  return 0;
}
