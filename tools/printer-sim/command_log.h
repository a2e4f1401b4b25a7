#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "printer-sim/command_interpreter.h"

namespace printer_sim {

enum class Transport { Tcp, Pty, Fifo, Udp };

std::string_view ToString(Transport transport);

// One received line.
struct LogEntry {
  Transport transport = Transport::Tcp;
  int channel = 0;  // which connection; numbered from 1 in order of opening
  std::string raw;  // exactly as received, line ending included; a whole datagram for UDP
  CommandKind kind = CommandKind::Unknown;
  std::string peer;  // UDP only: the sender, "a.b.c.d:port"
};

// The most recent received lines; the oldest are dropped beyond the capacity so that a long
// benchmark cannot exhaust memory. Not thread-safe.
class CommandLog {
 public:
  explicit CommandLog(std::size_t capacity) : capacity_(capacity) {}

  void Append(LogEntry entry);
  std::vector<LogEntry> Entries() const { return {entries_.begin(), entries_.end()}; }
  // Lines appended since the last Clear, dropped ones included.
  std::uint64_t TotalAppended() const { return total_; }
  void Clear();

 private:
  std::size_t capacity_;
  std::deque<LogEntry> entries_;
  std::uint64_t total_ = 0;
};

// Bytes as readable text: "\r", "\n", "\t", "\\", "\"" and other control or non-ASCII bytes as
// "\xNN". Beyond `maxBytes` input bytes the rest is summarised as "...(N more bytes)".
std::string EscapeBytes(std::string_view bytes, std::size_t maxBytes = std::string_view::npos);

// Local wall-clock time as HH:MM:SS.mmm, for text log lines.
std::string LogTimestamp();

}  // namespace printer_sim
