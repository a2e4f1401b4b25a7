// Discovery against 1, 10 and 100 virtual printers on loopback: how long the exchange goes on
// after the last reply (the quiet wait), and how long the TCP/IP Setup window takes to list the
// replies. Runs on the offscreen platform; sends only to 127.0.0.1, never a broadcast.
//
//   q73580_bench_discovery [--runs N] [--rows]     (N from 1 to 100, default 10)
//
// Targets: the exchange ends within 50 ms of its quiet wait after the last reply, and the window
// lists the rows in under 50 ms. --rows prints machine-readable lines for scripts/bench:
//   ROW|area|what|unit|median|p95|floor|target|met

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_stats.h"
#include "dialogs/net_setup_window.h"
#include "gui/layout_scale.h"
#include "netsetup/net_setup_exchange.h"
#include "support/virtual_printer.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

struct Summary {
  double median = 0;
  double p95 = 0;
};

Summary Summarise(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  auto at = [&](double q) {
    return values[static_cast<std::size_t>(q * (values.size() - 1) + 0.5)];
  };
  return {at(0.5), at(0.95)};
}

// How much longer than its quiet wait the exchange may go on after the last reply.
constexpr double QuietSlackMs = 50;
constexpr double ListingTargetMs = 50;

// One figure with its target, as a row for scripts/bench; `floor` < 0 is none.
void PrintRow(const std::string& what, const Summary& s, double floor, double target) {
  const std::string floorText = floor < 0 ? "-" : std::to_string(static_cast<int>(floor));
  std::printf("ROW|discovery|%s|ms|%.1f|%.1f|%s|%.0f|%s\n", what.c_str(), s.median, s.p95,
              floorText.c_str(), target, s.median <= target ? "yes" : "no");
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int runs = 10;
  bool rows = false;
  if (!bench::ReadRunsAndRows(argc, argv, runs, rows, 1, 100)) {
    return 2;
  }
  const double quietMs = DiscoveryLimits().quietMs;

  if (!rows) {
    std::printf(
        "Discovery on loopback, %d runs each, median (p95) times in ms; targets: %.0f ms "
        "after the last reply, %.0f ms to fill and show the list\n\n",
        runs, quietMs + QuietSlackMs, ListingTargetMs);
    std::printf("| %8s | %4s | %-20s | %-17s | %-19s |\n", "printers", "rows",
                "after the last reply", "whole exchange", "list filled, shown");
    std::printf(
        "|----------|------|----------------------|-------------------|"
        "---------------------|\n");
  }
  for (const int printers : {1, 10, 100}) {
    printer_sim::SimServerConfig config;
    config.printerCount = printers;
    const VirtualPrinter sim({.tcp = false, .udp = true}, config);
    if (!sim.Running()) {
      std::fprintf(stderr, "bench: virtual printers did not start: %s\n", sim.Error().c_str());
      return 1;
    }
    const NetSetupExchange exchange(QHostAddress(QHostAddress::LocalHost), sim.UdpPort());
    std::vector<double> afterLast, whole, listing;
    std::size_t rowCount = 0;
    for (int run = 0; run < runs; ++run) {
      std::vector<std::vector<std::uint8_t>> replies;
      Clock::time_point lastReply;
      const Clock::time_point start = Clock::now();
      exchange.Discover(static_cast<std::uint32_t>(run + 1),
                        [&](const std::uint8_t* data, std::size_t length) {
                          replies.emplace_back(data, data + length);
                          lastReply = Clock::now();
                        });
      const Clock::time_point end = Clock::now();
      if (replies.empty()) {
        std::fprintf(stderr, "bench: no reply from %d printers\n", printers);
        return 1;
      }
      afterLast.push_back(Ms(end - lastReply));
      whole.push_back(Ms(end - start));

      if (replies.size() != static_cast<std::size_t>(printers)) {
        std::fprintf(stderr, "bench: %zu replies from %d printers\n", replies.size(), printers);
      }

      // The rows as the window adds them, then the window shown with its list laid out and
      // painted, as after a discovery.
      TFormNetSetup window(
          LayoutScale(), exchange, [](const QUrl&) {}, nullptr);
      const Clock::time_point fillStart = Clock::now();
      for (const auto& reply : replies) {
        window.AddPrinterRow(reply.data(), reply.size());
      }
      window.show();
      QApplication::processEvents();
      listing.push_back(Ms(Clock::now() - fillStart));
      rowCount = replies.size();
    }
    const Summary after = Summarise(afterLast);
    const Summary exchangeTime = Summarise(whole);
    const Summary list = Summarise(listing);
    if (rows) {
      const std::string count =
          std::to_string(printers) + (printers == 1 ? " printer" : " printers");
      PrintRow(count + ": time after the last reply (quiet wait)", after, quietMs,
               quietMs + QuietSlackMs);
      PrintRow(count + ": time to fill and show the list (" + std::to_string(rowCount) +
                   (rowCount == 1 ? " row)" : " rows)"),
               list, -1, ListingTargetMs);
    } else {
      std::printf("| %8d | %4zu | %9.1f (%8.1f) | %7.1f (%7.1f) | %8.2f (%8.2f) |\n", printers,
                  rowCount, after.median, after.p95, exchangeTime.median, exchangeTime.p95,
                  list.median, list.p95);
    }
  }
  if (rows) {
    std::printf(
        "NOTE|discovery|requests to 127.0.0.1 only; time after the last reply runs from "
        "the last reply's arrival to the end of the exchange, its floor the %.0f ms "
        "quiet wait; the list is filled and shown in the offscreen platform\n",
        quietMs);
  }
  return 0;
}
