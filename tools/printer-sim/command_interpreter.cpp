#include "printer-sim/command_interpreter.h"

#include <time.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <utility>

namespace printer_sim {
namespace {

using namespace std::chrono;

constexpr std::string_view kReportPrefix = "DIAGNOSTIC REPORT ";
constexpr std::string_view kInterfacePrefix = "DIAGNOSTIC INTERFACE ";
constexpr std::size_t kOversizedDataBytes = 2000;
// Keeps the clock arithmetic far away from the limits of std::chrono::year.
constexpr long long kMaxClockField = 100000;

std::string_view StripLineEnding(std::string_view line) {
  if (!line.empty() && line.back() == '\n') {
    line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
  }
  return line;
}

bool ConsumePrefix(std::string_view& text, std::string_view prefix) {
  if (!text.starts_with(prefix)) {
    return false;
  }
  text.remove_prefix(prefix.size());
  return true;
}

std::optional<long long> ParseInteger(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.front() < '0' || text.front() > '9') {
    return std::nullopt;
  }
  long long value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{} || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

long long FloorDiv(long long a, long long b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// "TSmm,dd,yy,hh,mm,ss". Out-of-range fields roll over into the next larger unit.
std::optional<sys_seconds> ParseClockSetting(std::string_view command) {
  if (!ConsumePrefix(command, "TS")) {
    return std::nullopt;
  }
  std::array<long long, 6> fields{};
  for (std::size_t i = 0; i < fields.size(); ++i) {
    std::size_t comma = command.find(',');
    bool last = i + 1 == fields.size();
    if (last != (comma == std::string_view::npos)) {
      return std::nullopt;
    }
    auto value = ParseInteger(command.substr(0, comma));
    if (!value || *value > kMaxClockField || *value < -kMaxClockField) {
      return std::nullopt;
    }
    fields[i] = *value;
    command.remove_prefix(last ? command.size() : comma + 1);
  }
  auto [mon, mday, yy, hh, mi, ss] = fields;
  long long yearNumber = 2000 + yy + FloorDiv(mon - 1, 12);
  auto monthNumber = static_cast<unsigned>(mon - 1 - 12 * FloorDiv(mon - 1, 12) + 1);
  if (yearNumber < 1 || yearNumber > 9999) {
    return std::nullopt;
  }
  sys_seconds result = sys_days{year{static_cast<int>(yearNumber)} / month{monthNumber} / 1} +
                       days{mday - 1} + hours{hh} + minutes{mi} + seconds{ss};
  int resultYear = int(year_month_day{floor<days>(result)}.year());
  if (resultYear < 1 || resultYear > 9999) {
    return std::nullopt;
  }
  return result;
}

// `"a","b",...` up to the end of the text; quoted strings cannot contain '"'.
std::optional<std::vector<std::string>> ParseQuotedList(std::string_view text) {
  std::vector<std::string> items;
  auto skipSpaces = [&text] {
    while (!text.empty() && text.front() == ' ') {
      text.remove_prefix(1);
    }
  };
  while (true) {
    skipSpaces();
    if (!ConsumePrefix(text, "\"")) {
      return std::nullopt;
    }
    std::size_t close = text.find('"');
    if (close == std::string_view::npos) {
      return std::nullopt;
    }
    items.emplace_back(text.substr(0, close));
    text.remove_prefix(close + 1);
    skipSpaces();
    if (text.empty()) {
      return items;
    }
    if (!ConsumePrefix(text, ",")) {
      return std::nullopt;
    }
  }
}

}  // namespace

CommandInterpreter::CommandInterpreter(PrinterState factoryDefaults, Clock clock)
    : factory_(std::move(factoryDefaults)), clock_(clock ? std::move(clock) : HostCivilTime) {}

std::vector<CommandOutcome> CommandInterpreter::Feed(std::string_view bytes, PrinterState& state,
                                                     const FaultSwitches& faults) {
  std::vector<CommandOutcome> outcomes;
  while (!bytes.empty()) {
    std::size_t newline = bytes.find('\n');
    std::size_t take = newline == std::string_view::npos ? bytes.size() : newline + 1;
    std::size_t room = MaxLineBytes - pending_.size();
    bool complete = newline != std::string_view::npos && take <= room;
    take = std::min(take, room);
    pending_.append(bytes.substr(0, take));
    bytes.remove_prefix(take);
    if (complete || pending_.size() == MaxLineBytes) {
      outcomes.push_back(Execute(std::exchange(pending_, {}), state, faults));
    }
  }
  return outcomes;
}

CommandOutcome CommandInterpreter::Execute(std::string raw, PrinterState& state,
                                           const FaultSwitches& faults) const {
  CommandOutcome outcome;
  outcome.command = std::string(StripLineEnding(raw));
  outcome.raw = std::move(raw);
  if (auto data = Query(outcome.command, state)) {
    outcome.kind = CommandKind::Query;
    if (faults.silentOn.contains(outcome.command)) {
      outcome.silenced = true;
    } else {
      outcome.reply = PlanReply(outcome.command, *data, faults);
    }
  } else if (ApplySet(outcome.command, state)) {
    outcome.kind = CommandKind::Set;
  }
  return outcome;
}

std::optional<std::string> CommandInterpreter::Query(std::string_view command,
                                                     PrinterState& state) const {
  if (ConsumePrefix(command, kInterfacePrefix)) {
    static constexpr std::array<std::pair<std::string_view, DiagnosticInterface>, 4> kInterfaces{{
        {"USB", DiagnosticInterface::Usb},
        {"COM", DiagnosticInterface::Com},
        {"LPT", DiagnosticInterface::Lpt},
        {"NET", DiagnosticInterface::Net},
    }};
    for (const auto& [keyword, selected] : kInterfaces) {
      if (command == keyword) {
        state.diagnosticInterface = selected;
        return "OK";
      }
    }
    return std::nullopt;
  }
  if (!ConsumePrefix(command, kReportPrefix)) {
    return std::nullopt;
  }
  if (command == "CONFIGIP") {
    return state.dhcp ? std::string("0.0.0.0") : state.ip;
  }
  if (command == "GATEWAY") {
    return state.gateway;
  }
  if (command == "IPMASK") {
    return state.mask;
  }
  if (command == "LASTUSEDIP") {
    return state.lastUsedIp;
  }
  if (command == "NETNAME") {
    return state.name;
  }
  if (command == "MACADDR") {
    return state.mac;
  }

  sys_seconds now = clock_() + state.clockOffset;
  year_month_day date{floor<days>(now)};
  hh_mm_ss time{now - floor<days>(now)};
  std::optional<long long> value;
  if (command == "YEAR") {
    value = int(date.year());
  } else if (command == "MONTH") {
    value = unsigned(date.month());
  } else if (command == "DATE") {
    value = unsigned(date.day());
  } else if (command == "HOUR") {
    value = time.hours().count();
  } else if (command == "MINUTE") {
    value = time.minutes().count();
  } else if (command == "SECOND") {
    value = time.seconds().count();
  }
  if (!value) {
    return std::nullopt;
  }
  return std::to_string(*value);
}

bool CommandInterpreter::ApplySet(std::string_view command, PrinterState& state) const {
  if (command == "NET DHCP") {
    ApplyDhcp(state);
    return true;
  }
  if (command == "INITIALPRINTER") {
    ResetToFactory(state, factory_);
    return true;
  }
  if (auto when = ParseClockSetting(command)) {
    state.clockOffset = *when - clock_();
    return true;
  }
  std::string_view rest = command;
  if (ConsumePrefix(rest, "NET IP ")) {
    auto items = ParseQuotedList(rest);
    if (!items || items->size() != 3) {
      return false;
    }
    ApplyStaticAddress(state, (*items)[0], (*items)[1], (*items)[2]);
    return true;
  }
  if (ConsumePrefix(rest, "NET NAME ")) {
    auto items = ParseQuotedList(rest);
    if (!items || items->size() != 1) {
      return false;
    }
    state.name = (*items)[0];
    return true;
  }
  return false;
}

std::string Frame(std::string_view data) {
  return "{" + std::to_string(data.size()) + "|" + std::string(data) + "}";
}

std::string LeadInGarbage(std::size_t count) {
  static constexpr std::string_view kPattern = "NOISE 0123456789 abcdefghijklmnopqrstuvwxyz\r\n";
  std::string garbage;
  garbage.reserve(count);
  while (garbage.size() < count) {
    garbage.append(kPattern.substr(0, count - garbage.size()));
  }
  return garbage;
}

ReplyPlan PlanReply(std::string_view command, std::string_view data, const FaultSwitches& faults) {
  std::string body(data);
  if (faults.oversizedFrame.AppliesTo(command)) {
    body.resize(std::max(kOversizedDataBytes, body.size()), '#');
  }
  std::size_t declared = body.size() + (faults.badLength.AppliesTo(command) ? 2 : 0);
  std::string frame = "{";
  frame.append(std::to_string(declared)).append("|").append(body).append("}");

  ReplyPlan plan;
  if (faults.closeMidFrame.AppliesTo(command)) {
    frame.resize(frame.size() / 2);
    plan.closeAfter = true;
  }
  if (faults.leadInGarbage.AppliesTo(command)) {
    plan.bytes = LeadInGarbage(faults.leadInGarbage.value);
  }
  plan.bytes += frame;
  if (faults.slowByteDelayMs.AppliesTo(command) && faults.slowByteDelayMs.value > 0) {
    plan.byteDelay = milliseconds(faults.slowByteDelayMs.value);
  }
  return plan;
}

sys_seconds HostCivilTime() {
  time_t now = system_clock::to_time_t(system_clock::now());
  tm local{};
  localtime_r(&now, &local);
  // A leap second reads as :59 rather than spilling into the next minute.
  return sys_days{year{local.tm_year + 1900} / month{static_cast<unsigned>(local.tm_mon + 1)} /
                  day{static_cast<unsigned>(local.tm_mday)}} +
         hours{local.tm_hour} + minutes{local.tm_min} + seconds{std::min(local.tm_sec, 59)};
}

}  // namespace printer_sim
