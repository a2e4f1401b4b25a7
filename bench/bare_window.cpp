// The start-up baseline for q73580_bench_startup: a bare Qt Widgets window (a QMainWindow with a
// menu bar and a status bar, the utility's size) built and shown the way the utility's is, and
// timed the same way. It links Widgets (and Test, for the same wait) and nothing of ours.
//
//   q73580_bench_bare_window START_MICROS
//
// Prints "<micros from START_MICROS to the window exposed> <peak RSS in KiB>".

#include <sys/resource.h>

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s START_MICROS\n", argv[0]);
    return 2;
  }
  const long long startMicros = std::atoll(argv[1]);
  int appArgc = 1;
  QApplication app(appArgc, argv);
  QMainWindow window;
  QMenu* menu = window.menuBar()->addMenu(QStringLiteral("&File"));
  menu->addAction(QStringLiteral("E&xit"), &app, &QApplication::quit);
  window.statusBar()->showMessage(QStringLiteral("Ready"));
  // The utility's client area (TFormMain::ClientWidth x ClientHeight), so that as much is drawn.
  window.resize(568, 485);
  window.show();
  if (!QTest::qWaitForWindowExposed(&window, 5000)) {
    return 3;
  }
  const long long shownMicros = std::chrono::duration_cast<std::chrono::microseconds>(
                                    std::chrono::steady_clock::now().time_since_epoch())
                                    .count() -
                                startMicros;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%lld %ld\n", shownMicros, usage.ru_maxrss);
  return 0;
}
