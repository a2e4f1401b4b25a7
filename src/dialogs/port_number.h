#pragma once

#include <string_view>

// The port number in a port name ("COM12", "LPT3"): read from its fourth character on, leading
// blanks and one sign allowed, up to the first non-digit; 0 when there is none.
int PortNumberOf(std::string_view portName);
