// q73580-printer-sim: the virtual printer as a standalone program.
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "printer-sim/sim_options.h"
#include "printer-sim/sim_server.h"

using printer_sim::SimOptions;
using printer_sim::SimServer;

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  SimOptions options;
  std::string error;
  if (!printer_sim::ParseSimOptions(args, options, &error)) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", argv[0], error.c_str(), argv[0]);
    return 2;
  }
  if (options.help) {
    std::fputs(printer_sim::SimUsage(argv[0]).c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("%s\n", printer_sim::SimVersion().c_str());
    return 0;
  }

  FILE* log = nullptr;
  if (options.logPath == "-") {
    log = stdout;
  } else if (!options.logPath.empty()) {
    log = std::fopen(options.logPath.c_str(), "a");
    if (!log) {
      std::fprintf(stderr, "%s: cannot open %s: %s\n", argv[0], options.logPath.c_str(),
                   std::strerror(errno));
      return 1;
    }
  }
  if (log) {
    options.server.logSink = [log](std::string_view line) {
      std::fwrite(line.data(), 1, line.size(), log);
      std::fputc('\n', log);
      std::fflush(log);
    };
  }

  // Blocked before the server thread exists so that only sigwait below receives them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  SimServer server(options.server);
  if (!server.Start(&error)) {
    std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
    return 1;
  }
  if (options.server.tcp) {
    // A fleet's first printer; printer i is at that address plus i.
    const std::string& host = options.server.fleetTcpFirst.empty() ? options.server.tcpHost
                                                                   : options.server.fleetTcpFirst;
    std::printf("tcp %s:%u\n", host.c_str(), unsigned{server.TcpPort()});
  }
  if (options.server.pty) {
    std::printf("pty %s\n", server.PtyPath().c_str());
  }
  if (options.server.udp) {
    std::printf("udp %s:%u\n", options.server.udpHost.c_str(), unsigned{server.UdpPort()});
  }
  if (!options.server.fifoPath.empty()) {
    std::printf("fifo %s\n", options.server.fifoPath.c_str());
  }
  std::fflush(stdout);

  int received = 0;
  sigwait(&stopSignals, &received);
  server.Stop();
  if (log && log != stdout) {
    std::fclose(log);
  }
  return 0;
}
