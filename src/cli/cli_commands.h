#pragma once

#include <string>
#include <vector>

#include "cli/cli_context.h"
#include "cli/cli_request.h"
#include "cli/commands/commands.h"

// Every command, in the order the general help lists them.
const std::vector<CommandSpec>& CliCommands();
// The command's entry; nullptr for Help and Version.
const CommandSpec* FindCommand(CliCommand command);

// "clock get", "net set", ...: the command's name as the user types it and the JSON shows it.
std::string CliCommandName(CliCommand command);
// True for the commands that talk over a link (and so need exactly one link option).
bool IsLinkCommand(CliCommand command);

// Runs one parsed command (not Help). Prints nothing itself.
CliOutcome RunCliCommand(const CliArgs& args, CliServices& services);

// "2026-12-08 10:30:00" with `separator` ' ', or "2026-12-08T10:30:00" with 'T'.
std::string ClockText(const ClockRecord& clock, char separator);
