// Start-up time of the utility to its main window shown, and the process's peak memory, with no
// printer (the USB link does not open) and with the virtual printer on TCP loopback (the window
// then reads the printer's clock and network settings before it shows). Beside them, in the same
// run and timed the same way, a bare Qt Widgets window (q73580_bench_bare_window): what any Qt
// program pays to show a window on this machine, so that the utility's own share can be told.
//
//   q73580_bench_startup [--runs N] [--rows]     (N from 3 to 1000, default 20)
//
// Each run is a fresh process, so loading the libraries and starting Qt are counted; the kinds
// take turns, so that a change in the machine's load falls on all of them. Run it with a display
// (xvfb-run), or it uses the offscreen platform. Targets: 150 ms to the window shown with no
// printer and at most 1.5 times the bare window's median, 60 MB peak memory. --rows prints
// machine-readable lines for scripts/bench:
//   ROW|area|what|unit|median|p95|floor|target|met

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/main_window.h"
#include "bench_stats.h"
#include "support/virtual_printer.h"

namespace {

long long MonotonicMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The child: what main() does, until the window is on the screen.
int RunChild(int argc, char** argv, long long startMicros, int port) {
  Q73580Application app(argc, argv);
  LinkFacade link;
  TFormMain::Services services;
  if (port > 0) {
    NetTarget target;
    target.Host.Assign("127.0.0.1");
    target.Port = port;
    services.startTarget = target;
  }
  TFormMain window(link, services);
  window.show();
  if (!QTest::qWaitForWindowExposed(&window, 5000)) {
    return 3;
  }
  const long long shownMicros = MonotonicMicros() - startMicros;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%lld %ld\n", shownMicros, usage.ru_maxrss);
  return 0;
}

struct Sample {
  double ms;
  double peakMb;
};

// Starts one child and reads its figures: the bare window when `bare`, else this program's child
// with the printer on `port` (0: none).
bool RunOnce(const char* self, bool bare, int port, Sample& sample) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) {
    return false;
  }
  const std::string start = std::to_string(MonotonicMicros());
  const std::string portText = std::to_string(port);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    close(pipeFds[0]);
    if (bare) {
      execl(Q73580_BARE_WINDOW_PATH, Q73580_BARE_WINDOW_PATH, start.c_str(),
            static_cast<char*>(nullptr));
    } else {
      execl(self, self, "--child", start.c_str(), portText.c_str(), static_cast<char*>(nullptr));
    }
    _exit(127);
  }
  close(pipeFds[1]);
  std::string out;
  char buffer[256];
  ssize_t n;
  while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) {
    out.append(buffer, static_cast<std::size_t>(n));
  }
  close(pipeFds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  long long micros = 0;
  long kb = 0;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
      std::sscanf(out.c_str(), "%lld %ld", &micros, &kb) != 2) {
    return false;
  }
  sample = {micros / 1000.0, kb / 1024.0};
  return true;
}

constexpr double NoPrinterTargetMs = 150;
constexpr double BareWindowRatioTarget = 1.5;
constexpr double PeakMemoryTargetMb = 60;

struct Summary {
  double median = 0;
  double p95 = 0;
  double min = 0;
  double max = 0;
};

Summary Summarise(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  auto at = [&](double q) {
    return values[static_cast<std::size_t>(q * (values.size() - 1) + 0.5)];
  };
  return {at(0.5), at(0.95), values.front(), values.back()};
}

// One figure as a row for scripts/bench; `floor` and `target` < 0 are none. `measured` is what
// the target is held against.
void PrintRow(const char* what, const char* unit, const Summary& s, double floor, double target,
              double measured) {
  char floorText[32] = "-";
  char targetText[32] = "-";
  const char* met = "-";
  if (floor >= 0) {
    std::snprintf(floorText, sizeof floorText, "%.1f", floor);
  }
  if (target >= 0) {
    std::snprintf(targetText, sizeof targetText, "%.0f", target);
    met = measured <= target ? "yes" : "no";
  }
  std::printf("ROW|start-up|%s|%s|%.1f|%.1f|%s|%s|%s\n", what, unit, s.median, s.p95, floorText,
              targetText, met);
}

struct StartKind {
  const char* label;  // for the table printed for people
  const char* what;   // for the row
  bool bare;
  int port;
  std::vector<Sample> samples;
};

Summary Times(const std::vector<Sample>& samples) {
  std::vector<double> ms;
  for (const Sample& s : samples) {
    ms.push_back(s.ms);
  }
  return Summarise(ms);
}

Summary PeakMemory(const std::vector<Sample>& samples) {
  std::vector<double> mb;
  for (const Sample& s : samples) {
    mb.push_back(s.peakMb);
  }
  return Summarise(mb);
}

void Report(const StartKind& kind) {
  const Summary time = Times(kind.samples);
  std::printf("| %-32s | %8.1f | %8.1f | %8.1f | %8.1f |\n", kind.label, time.median, time.p95,
              time.min, PeakMemory(kind.samples).max);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--child") {
    int childArgc = 1;
    return RunChild(childArgc, argv, std::atoll(argv[2]), std::atoi(argv[3]));
  }
  int runs = 20;
  bool rows = false;
  if (!bench::ReadRunsAndRows(argc, argv, runs, rows, 3, 1000)) {
    return 2;
  }
  if (std::getenv("DISPLAY") == nullptr) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
  }

  const VirtualPrinter sim(Endpoints{});
  if (!sim.Running()) {
    std::fprintf(stderr, "bench: virtual printer did not start: %s\n", sim.Error().c_str());
    return 1;
  }

  const char* platform = std::getenv("DISPLAY") != nullptr ? "xcb" : "offscreen";
  if (!rows) {
    std::printf("Start-up to the main window shown, %d fresh processes each, platform %s\n\n", runs,
                platform);
    std::printf("| %-32s | %8s | %8s | %8s | %8s |\n", "start", "median", "p95", "min", "peak MB");
    std::printf(
        "|----------------------------------|----------|----------|----------|----------|\n");
  }
  std::vector<StartKind> kinds = {
      {"bare Qt window (ms)",
       "bare Qt Widgets window shown (QMainWindow, menu bar, status bar)",
       true,
       0,
       {}},
      {"no printer (ms)", "main window shown, no printer", false, 0, {}},
      {"printer on TCP, two reads (ms)",
       "main window shown, printer on TCP (clock and network read first)",
       false,
       static_cast<int>(sim.TcpPort()),
       {}},
  };
  // One untimed start of each first: the libraries come into the page cache for all alike.
  for (int i = -1; i < runs; ++i) {
    for (StartKind& kind : kinds) {
      Sample sample{};
      if (!RunOnce(argv[0], kind.bare, kind.port, sample)) {
        std::fprintf(stderr, "bench: %s, run %d did not show its window\n", kind.label, i + 1);
        return 1;
      }
      if (i >= 0) {
        kind.samples.push_back(sample);
      }
    }
  }
  const StartKind& bare = kinds[0];
  const StartKind& noPrinter = kinds[1];
  const double bareMedian = Times(bare.samples).median;
  const double ratio = Times(noPrinter.samples).median / bareMedian;
  if (!rows) {
    for (const StartKind& kind : kinds) {
      Report(kind);
    }
    std::printf("\nno printer / bare Qt window (medians): %.2fx (target %.1fx)\n", ratio,
                BareWindowRatioTarget);
    return 0;
  }
  for (const StartKind& kind : kinds) {
    const std::string what = std::string(kind.what) + " (" + platform + ")";
    const Summary time = Times(kind.samples);
    if (&kind == &noPrinter) {
      PrintRow(what.c_str(), "ms", time, bareMedian, NoPrinterTargetMs, time.median);
    } else {
      PrintRow(what.c_str(), "ms", time, -1, -1, time.median);
    }
  }
  std::printf(
      "ROW|start-up|main window shown, no printer, to the bare window (median over "
      "median)|x|%.2f|-|-|%.1f|%s\n",
      ratio, BareWindowRatioTarget, ratio <= BareWindowRatioTarget ? "yes" : "no");
  // Every start-up run's own peak; the target holds for the largest of them.
  std::vector<Sample> utilityRuns = kinds[1].samples;
  utilityRuns.insert(utilityRuns.end(), kinds[2].samples.begin(), kinds[2].samples.end());
  const Summary memory = PeakMemory(utilityRuns);
  char what[96];
  std::snprintf(what, sizeof what, "peak memory of a start-up run (max %.1f MB)", memory.max);
  PrintRow(what, "MB", memory, -1, PeakMemoryTargetMb, memory.max);
  std::printf(
      "NOTE|start-up|%d fresh processes of each kind, taking turns after one untimed start "
      "each, timed from fork to the window exposed; the no-printer row's floor is the bare "
      "window's median; peak memory is each utility process's max RSS, its target held against "
      "the largest (the bare window's largest: %.1f MB)\n",
      runs, PeakMemory(bare.samples).max);
  return 0;
}
