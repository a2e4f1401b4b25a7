// Discovery against 1, 10 and 100 virtual printers on loopback: how long the exchange goes on
// after the last reply (the quiet wait), and how long the TCP/IP Setup window takes to list the
// replies. Runs on the offscreen platform; sends only to 127.0.0.1.
//
//   q73580_bench_discovery [--runs N]     (N from 1 to 100, default 5)

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gui/layout_scale.h"
#include "netsetup/net_setup_window.h"
#include "printer-sim/sim_server.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  int runs = 5;
  if (argc == 3 && std::string(argv[1]) == "--runs") {
    runs = std::clamp(std::atoi(argv[2]), 1, 100);
  } else if (argc != 1) {
    std::fprintf(stderr, "usage: %s [--runs N]\n", argv[0]);
    return 2;
  }

  std::printf("Discovery on loopback, %d runs each, median times in ms\n\n", runs);
  std::printf("| printers | rows | after the last reply | whole exchange | listing the rows |\n");
  std::printf("|----------|------|----------------------|----------------|------------------|\n");
  for (const int printers : {1, 10, 100}) {
    printer_sim::SimServerConfig config;
    config.tcp = false;
    config.udp = true;
    config.udpHost = "127.0.0.1";
    config.udpPort = 0;
    config.printerCount = printers;
    printer_sim::SimServer sim(config);
    std::string error;
    if (!sim.Start(&error)) {
      std::fprintf(stderr, "bench: virtual printers did not start: %s\n", error.c_str());
      return 1;
    }
    const NetSetupExchange exchange(QHostAddress(QHostAddress::LocalHost), sim.UdpPort());
    std::vector<double> afterLast, whole, listing;
    std::size_t rows = 0;
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

      TFormNetSetup window(
          LayoutScale(), exchange, [](const QUrl&) {}, nullptr);
      const Clock::time_point fillStart = Clock::now();
      for (const auto& reply : replies) {
        window.AddPrinterRow(reply.data(), reply.size());
      }
      listing.push_back(Ms(Clock::now() - fillStart));
      rows = replies.size();
    }
    std::printf("| %8d | %4zu | %20.1f | %14.1f | %16.2f |\n", printers, rows, Median(afterLast),
                Median(whole), Median(listing));
  }
  return 0;
}
