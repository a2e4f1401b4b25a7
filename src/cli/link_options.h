#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/cli_request.h"

// --usb, --usb-vendor, --com with the serial choices, --lpt and --net.
std::vector<OptionRule> LinkOptionRules();

// --usb-vendor, for the link commands and `usb list`.
std::optional<std::string> TakeUsbVendor(const ParsedLine& line, CliArgs& args);
// Exactly one link, for a link command named `command`, with its serial choices.
std::optional<std::string> TakeLink(const ParsedLine& line, const std::string& command,
                                    CliArgs& args);
