#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "printer-sim/sim_server.h"

namespace printer_sim {

// The tool answers discovery on its usual port unless told otherwise.
inline SimServerConfig ToolServerConfig() {
  SimServerConfig config;
  config.udp = true;
  return config;
}

struct SimOptions {
  SimServerConfig server = ToolServerConfig();
  std::string logPath;   // empty = no text log, "-" = standard output
  bool help = false;     // --help: show SimUsage and exit
  bool version = false;  // --version: show SimVersion and exit
};

// Parses the command line (without the program name). False with a reason on bad input.
bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& options, std::string* error);

std::string SimUsage(std::string_view program);
std::string SimVersion();  // "q73580-printer-sim <version>"

}  // namespace printer_sim
