#pragma once

#include <termios.h>

#include "link/serial_port.h"

namespace serial_line {

// Compares what the driver kept (`kept`, read back after `line` was applied) with what was
// asked: the framing it did not keep, the flow control and input checking it let go, and
// whether damaged bytes arrive marked.
LineKept CompareKept(const termios& kept, const SerialLineSettings& line);

}  // namespace serial_line
