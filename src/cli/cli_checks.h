#pragma once

#include <QString>
#include <optional>
#include <string>

#include "cli/cli_request.h"

// The command line's checks of what is typed, in its own words; the rules themselves are the
// rule book's (common/printer_rules.h). Each returns the usage error, or nothing when it passes.

inline std::string Quoted(const QString& text) {
  return "'" + text.toStdString() + "'";
}
// Latin-1 bytes of a text that passed the rule book's checks.
inline std::string Latin1(const QString& text) {
  return text.toLatin1().toStdString();
}

// `what` as the printer takes a text between quotes: Latin-1, no '"', no control character.
std::optional<std::string> PrinterTextProblem(const QString& text, const std::string& what);
std::optional<std::string> PrinterNameProblem(const QString& name);

// --dhcp or --static IP MASK GATEWAY, for `command`.
std::optional<std::string> TakeAddressChoice(const ParsedLine& line, const std::string& command,
                                             CliArgs& args);
// --timeout, --to, --udp-port and --interface.
std::optional<std::string> TakeUdpOptions(const ParsedLine& line, CliArgs& args);
