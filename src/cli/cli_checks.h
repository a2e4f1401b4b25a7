#pragma once

#include <QString>
#include <optional>
#include <string>

#include "cli/cli_request.h"

// The command line's checks of what is typed, in its own words; the rules themselves are the
// rule book's (common/printer_rules.h). Each returns the usage error, or nothing when it passes.

std::string Quoted(const QString& text);
// Latin-1 bytes of a text that passed the rule book's checks.
std::string Latin1(const QString& text);

// `what` as the printer takes a text between quotes: Latin-1, no '"', no control character.
std::optional<std::string> PrinterTextProblem(const QString& text, const std::string& what);
std::optional<std::string> PrinterNameProblem(const QString& name);
std::optional<std::string> DottedQuadProblem(const QString& text, const std::string& what);
// Digits only (one to six of them), from `low` to `high`.
std::optional<int> NumberIn(const QString& text, int low, int high);

// --dhcp or --static IP MASK GATEWAY, for `command`.
std::optional<std::string> TakeAddressChoice(const ParsedLine& line, const std::string& command,
                                             AddressOptions& options);
// --timeout, --to, --udp-port and --interface.
std::optional<std::string> TakeUdpOptions(const ParsedLine& line, CliArgs& options);
