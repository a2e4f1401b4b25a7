#pragma once

#include <QStringList>
#include <string>
#include <utility>
#include <variant>

#include "cli/cli_request.h"

struct CliUsageError {
  explicit CliUsageError(std::string what) : message(std::move(what)) {}

  std::string message;  // what is wrong, without the program's name
  bool json = false;    // --json was on the line: the error is wanted as JSON too
  std::string command;  // "clock get", ...; empty when no command was recognised
};

// Parses the arguments after the program's name. Never exits and prints nothing.
std::variant<CliArgs, CliUsageError> ParseCliArgs(const QStringList& words);

// The usage text for one command, or the general one for CliCommand::Help.
std::string CliUsageText(CliCommand topic);
