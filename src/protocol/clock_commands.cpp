#include "protocol/clock_commands.h"

#include <array>
#include <cstdio>
#include <limits>

#include "protocol/printer_operations.h"
#include "protocol/reply_frame.h"

std::string FormatSetClockCommand(const ClockRecord& clock) {
  std::array<char, 96> text{};
  const int written =
      std::snprintf(text.data(), text.size(), "TS%02d,%02d,%02d,%02d,%02d,%02d\r\n", clock.month,
                    clock.date, clock.year % 100, clock.hour, clock.minute, clock.second);
  return std::string(text.data(), static_cast<std::size_t>(written));
}

std::int32_t ParseReportNumber(std::string_view text) {
  std::size_t pos = 0;
  auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (pos < text.size() && isSpace(text[pos])) {
    ++pos;
  }
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  constexpr std::int64_t Limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t value = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    value = std::min<std::int64_t>(value * 10 + (text[pos] - '0'), Limit);
    ++pos;
  }
  if (negative) {
    return static_cast<std::int32_t>(-value);
  }
  return static_cast<std::int32_t>(std::min<std::int64_t>(value, Limit - 1));
}

CommandResult SetClockOnLink(LinkFacade& link, LinkHandle handle, LinkKind kind,
                             const ClockRecord& clock) {
  return WriteCommand(link, handle, kind, FormatSetClockCommand(clock));
}

CommandResult ReadClockOnLink(LinkFacade& link, LinkHandle handle, LinkKind kind,
                              ClockRecord& clock) {
  struct Report {
    std::string_view command;
    std::int32_t ClockRecord::*field;
  };
  static constexpr std::array<Report, 6> Reports = {{
      {"DIAGNOSTIC REPORT YEAR\r\n", &ClockRecord::year},
      {"DIAGNOSTIC REPORT MONTH\r\n", &ClockRecord::month},
      {"DIAGNOSTIC REPORT DATE\r\n", &ClockRecord::date},
      {"DIAGNOSTIC REPORT HOUR\r\n", &ClockRecord::hour},
      {"DIAGNOSTIC REPORT MINUTE\r\n", &ClockRecord::minute},
      {"DIAGNOSTIC REPORT SECOND\r\n", &ClockRecord::second},
  }};

  ReplyBuffer data{};
  std::uint32_t length = 0;
  CommandResult result =
      ExchangeCommand(link, handle, kind, InterfaceCommandFor(kind), data, length);
  for (const Report& report : Reports) {
    if (result != CommandResult::Ok) {
      break;
    }
    result = ExchangeCommand(link, handle, kind, report.command, data, length);
    if (result == CommandResult::Ok) {
      clock.*report.field = ParseReportNumber(ReplyText(data, length));
    }
  }
  return result;
}
