#pragma once

#include <charconv>
#include <string_view>

// n of a port name "<prefix>n" such as "COM3" or "LPT1", n from 1 up; 0 for any other name.
inline int PortNumber(std::string_view name, std::string_view prefix) {
  if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) {
    return 0;
  }
  int number = 0;
  const char* end = name.data() + name.size();
  const auto [stop, error] = std::from_chars(name.data() + prefix.size(), end, number);
  return error == std::errc() && stop == end && number >= 1 ? number : 0;
}
