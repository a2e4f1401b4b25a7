#include "printer-sim/command_log.h"

#include <time.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <utility>

namespace printer_sim {

std::string_view ToString(Transport transport) {
  switch (transport) {
    case Transport::Tcp:
      return "tcp";
    case Transport::Pty:
      return "pty";
    case Transport::Fifo:
      return "fifo";
    case Transport::Udp:
      return "udp";
  }
  return "?";
}

void CommandLog::Append(LogEntry entry) {
  ++total_;
  if (capacity_ == 0) {
    return;
  }
  if (entries_.size() == capacity_) {
    entries_.pop_front();
  }
  entries_.push_back(std::move(entry));
}

void CommandLog::Clear() {
  entries_.clear();
  total_ = 0;
}

std::string EscapeBytes(std::string_view bytes, std::size_t maxBytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  std::size_t shown = std::min(bytes.size(), maxBytes);
  text.reserve(shown + 16);
  for (char c : bytes.substr(0, shown)) {
    auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '\r':
        text += "\\r";
        break;
      case '\n':
        text += "\\n";
        break;
      case '\t':
        text += "\\t";
        break;
      case '\\':
        text += "\\\\";
        break;
      case '"':
        text += "\\\"";
        break;
      default:
        if (byte < 0x20 || byte >= 0x7F) {
          text += "\\x";
          text += kHex[byte >> 4];
          text += kHex[byte & 0xF];
        } else {
          text += c;
        }
    }
  }
  if (shown < bytes.size()) {
    text += "...(" + std::to_string(bytes.size() - shown) + " more bytes)";
  }
  return text;
}

std::string LogTimestamp() {
  auto now = std::chrono::system_clock::now();
  time_t seconds = std::chrono::system_clock::to_time_t(now);
  tm local{};
  localtime_r(&seconds, &local);
  auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min,
                local.tm_sec, static_cast<int>(millis));
  return text.data();
}

}  // namespace printer_sim
