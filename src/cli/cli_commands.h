#pragma once

#include <string>
#include <vector>

#include "cli/commands/commands.h"

// Every command, in the order the general help lists them.
const std::vector<CommandSpec>& CliCommands();
// The command's entry; nullptr for Help and Version.
const CommandSpec* FindCommand(CliCommand command);

// "clock get", "net set", ...: the command's name as the user types it and the JSON shows it.
std::string CliCommandName(CliCommand command);

// Runs one parsed command (not Help). Prints nothing itself.
CliOutcome RunCliCommand(const CliArgs& args, CliServices& services);
