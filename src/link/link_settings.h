#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>

#include "common/fixed_text.h"
#include "common/printer_rules.h"

// Room for a device name, its NUL included. Windows names its ports "COM1" to "COM30" (and
// "LPT1" or a short device name); elsewhere a port is any device path the system can open,
// such as a stable /dev/serial/by-id/... name of 50 to 90 characters.
#ifdef _WIN32
inline constexpr std::size_t SerialPortNameSize = 24;
inline constexpr std::size_t LptDeviceNameSize = 256;
#else
inline constexpr std::size_t SerialPortNameSize = PATH_MAX;
inline constexpr std::size_t LptDeviceNameSize = PATH_MAX;
#endif

// Which serial port to open and how to drive it. The indices are list positions of the serial
// settings dialog, stored as they are; the serial port maps out-of-range values to fallbacks.
struct SerialSettings {
  FixedText<SerialPortNameSize> PortName{"COM1"};
  std::int32_t BaudIndex = 2;          // 2400, 4800, 9600, 19200, 38400, 57600, 115200
  std::int32_t DataBitsIndex = 1;      // 0 = 7 bits, otherwise 8
  std::int32_t ParityIndex = 0;        // none, odd, even
  std::int32_t StopBitsIndex = 0;      // 1, 1.5, 2
  std::int32_t HardwareHandshake = 1;  // "None", "RTS", "RTS/CTS"
  std::int32_t SoftwareHandshake = 0;  // "None", "Xon/Xoff"
};

// The parallel device name, "LPT1" to "LPT4" or a path.
using LptDeviceName = FixedText<LptDeviceNameSize>;
inline const LptDeviceName DefaultLptDeviceName{"LPT1"};

// Where the network link connects. Only the low 16 bits of Port are used.
struct NetTarget {
  FixedText<RecordTextRoom + 1> Host;
  std::int32_t Port = DefaultPrinterPort;
};

// The facade's references to the main window's records; read afresh at every open.
struct LinkTargets {
  SerialSettings* serial = nullptr;
  LptDeviceName* lptDevice = nullptr;
  NetTarget* net = nullptr;

  bool IsSet() const { return serial != nullptr && lptDevice != nullptr && net != nullptr; }
};

static_assert(sizeof(LptDeviceName) == LptDeviceNameSize);
static_assert(sizeof(NetTarget::Host) == 64);
static_assert(sizeof(SerialSettings::PortName) == SerialPortNameSize);
#ifndef _WIN32
static_assert(SerialPortNameSize >= 4096 && LptDeviceNameSize >= 4096);
#endif
