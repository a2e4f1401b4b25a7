#pragma once

#include <QStringList>
#include <string>
#include <variant>

#include "cli/cli_request.h"

struct CliUsageError {
  std::string message;  // what is wrong, without the program's name
};

// Parses the arguments after the program's name. Never exits and prints nothing.
std::variant<CliArgs, CliUsageError> ParseCliArgs(const QStringList& words);

// The usage text for one command, or the general one for CliCommand::Help.
std::string CliUsageText(CliCommand topic);
