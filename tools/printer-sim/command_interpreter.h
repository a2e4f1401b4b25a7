#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "printer-sim/fault_switches.h"
#include "printer-sim/printer_state.h"

namespace printer_sim {

// How one reply goes out once the faults have shaped it.
struct ReplyPlan {
  std::string bytes;                       // lead-in garbage and frame, as sent
  std::chrono::milliseconds byteDelay{0};  // > 0: one byte per write, this pause between
  bool closeAfter = false;                 // close the connection once the bytes are out

  bool operator==(const ReplyPlan&) const = default;
};

enum class CommandKind { Query, Set, Unknown };

struct CommandOutcome {
  std::string raw;      // exactly as received, line ending included
  std::string command;  // without the line ending
  CommandKind kind = CommandKind::Unknown;
  bool silenced = false;  // a query whose reply a fault swallowed
  std::optional<ReplyPlan> reply;
};

// The printer's command language without any I/O. One instance per byte stream, because it
// holds that stream's unfinished line; the state it works on may be shared.
class CommandInterpreter {
 public:
  // The host's wall clock as civil time (local time read as if it were UTC).
  using Clock = std::function<std::chrono::sys_seconds()>;

  // A line longer than this is cut and treated as a command of its own, so a stream
  // without line breaks cannot grow the buffer without end.
  static constexpr std::size_t MaxLineBytes = 4096;

  CommandInterpreter(PrinterState factoryDefaults, Clock clock);

  // Takes received bytes and runs every line they complete, in order.
  std::vector<CommandOutcome> Feed(std::string_view bytes, PrinterState& state,
                                   const FaultSwitches& faults);

  // Bytes of a line that has not ended yet.
  const std::string& Pending() const { return pending_; }

 private:
  CommandOutcome Execute(std::string raw, PrinterState& state, const FaultSwitches& faults) const;
  std::optional<std::string> Query(std::string_view command, PrinterState& state) const;
  bool ApplySet(std::string_view command, PrinterState& state) const;

  PrinterState factory_;
  Clock clock_;
  std::string pending_;
};

// "{" + length + "|" + data + "}".
std::string Frame(std::string_view data);

// Noise for lead-in garbage: printable text and CR LF, never '{', '|' or '}'.
std::string LeadInGarbage(std::size_t count);

// The bytes and pacing of the reply to `command` whose data is `data`.
ReplyPlan PlanReply(std::string_view command, std::string_view data, const FaultSwitches& faults);

// Local wall-clock time of this host, as civil time.
std::chrono::sys_seconds HostCivilTime();

}  // namespace printer_sim
