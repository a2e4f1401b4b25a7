#pragma once

#include <cstdint>

#include "common/fixed_text.h"

// Which serial port to open and how to drive it. The indices are list positions of the serial
// settings dialog, stored as they are; the serial port maps out-of-range values to fallbacks.
struct SerialSettings {
  FixedText<24> PortName{"COM1"};
  std::int32_t BaudIndex = 2;          // 2400, 4800, 9600, 19200, 38400, 57600, 115200
  std::int32_t DataBitsIndex = 1;      // 0 = 7 bits, otherwise 8
  std::int32_t ParityIndex = 0;        // none, odd, even
  std::int32_t StopBitsIndex = 0;      // 1, 1.5, 2
  std::int32_t HardwareHandshake = 1;  // "None", "RTS", "RTS/CTS"
  std::int32_t SoftwareHandshake = 0;  // "None", "Xon/Xoff"
};

// The parallel device name, "LPT1" to "LPT4" or a path.
using LptDeviceName = FixedText<256>;
inline const LptDeviceName DefaultLptDeviceName{"LPT1"};

// Where the network link connects. Only the low 16 bits of Port are used.
struct NetTarget {
  FixedText<64> Host;
  std::int32_t Port = 9100;
};

// The facade's references to the main window's records; read afresh at every open.
struct LinkTargets {
  SerialSettings* serial = nullptr;
  LptDeviceName* lptDevice = nullptr;
  NetTarget* net = nullptr;

  bool IsSet() const { return serial != nullptr && lptDevice != nullptr && net != nullptr; }
};

static_assert(sizeof(LptDeviceName) == 256);
static_assert(sizeof(NetTarget::Host) == 64);
static_assert(sizeof(SerialSettings::PortName) == 24);
