#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
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

}  // namespace bench
