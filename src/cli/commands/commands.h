#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_context.h"
#include "cli/cli_request.h"

// One command of q73580-cli: its words and help, what it takes, and how it runs.
struct CommandSpec {
  CliCommand command;
  const char* first;
  const char* second;    // nullptr for one-word commands
  const char* argument;  // the name of its argument in the usage line, or nullptr
  const char* argumentText;
  int maxWords;         // how many words the argument may take
  const char* summary;  // one line, also in the general list of commands
  const char* details;  // after the options: what it does in full, and an example
  bool link;            // needs exactly one of --usb, --com, --lpt, --net
  // The options it takes beyond --json, -v and --debug (and the link's, for a link command),
  // by their long names and a blank apart.
  const char* options;
  // Takes the command's words and options into `args`; else the usage error.
  std::optional<std::string> (*take)(const ParsedLine& line, CliArgs& args);
  CliOutcome (*run)(CommandRun& run);
};

// "2026-12-08 10:30:00" with `separator` ' ', or "2026-12-08T10:30:00" with 'T'.
std::string ClockText(const ClockRecord& clock, char separator);
// {"year", "month", "date", "hour", "minute", "second", "text"}.
QJsonObject ClockJson(const ClockRecord& clock);
// The clock `time` shows, to the second, as "Get System Time" takes it.
ClockRecord ClockAt(const QDateTime& time);

// clock get --all and clock set --all (site_clocks.cpp): the printers a discovery finds, each
// over TCP port 9100, at most this many at once.
inline constexpr std::size_t SiteClockConnections = 16;
// --all with the discovery's options, and no link; without --all none of those.
std::optional<std::string> TakeAllPrinters(const ParsedLine& line, CliArgs& args);
CliOutcome RunSiteClocks(CommandRun& run);

// Each file under commands/ adds its own, in the order the general help lists them.
void AddLinkCommands(std::vector<CommandSpec>& commands);
void AddDiscover(std::vector<CommandSpec>& commands);
void AddRemoteSet(std::vector<CommandSpec>& commands);
void AddWeb(std::vector<CommandSpec>& commands);
void AddUsbList(std::vector<CommandSpec>& commands);
void AddExport(std::vector<CommandSpec>& commands);
void AddApply(std::vector<CommandSpec>& commands);
