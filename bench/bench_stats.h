#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// What the benchmarks report of their runs.
namespace bench {

using Clock = std::chrono::steady_clock;

inline double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

inline double P95(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(0.95 * static_cast<double>(values.size() - 1) + 0.5)];
}

// "[--runs N] [--rows]", N from `fewest` to `most`; false, with the usage on standard error, for
// anything else.
inline bool ReadRunsAndRows(int argc, char** argv, int& runs, bool& rows, int fewest = 1,
                            int most = 20) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc) {
      runs = std::clamp(std::atoi(argv[++i]), fewest, most);
    } else if (arg == "--rows") {
      rows = true;
    } else {
      std::fprintf(stderr, "usage: %s [--runs N] [--rows]\n", argv[0]);
      return false;
    }
  }
  return true;
}

}  // namespace bench
