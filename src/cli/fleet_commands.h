#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "cli/cli_args.h"

struct CliServices;
struct CliOutcome;

// export and apply: every printer of a site at once, by MAC, over the UDP exchanges the remote
// change uses. `outcome` comes in with what every command's JSON carries.
CliOutcome RunExport(const CliArgs& args, CliServices& services, CliOutcome outcome);
CliOutcome RunApply(const CliArgs& args, CliServices& services, CliOutcome outcome);

// The whole of the file at `path`, or of standard input for "-", but never more than `maxBytes`;
// nothing, with the reason in `error`, when it cannot be read.
std::optional<std::string> ReadInputFile(const std::string& path, std::size_t maxBytes,
                                         std::string& error);
