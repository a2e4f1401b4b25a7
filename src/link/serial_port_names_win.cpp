#include <windows.h>

#include <charconv>

#include "link/serial_port_names.h"

namespace {

constexpr std::string_view DevicePrefix = "\\\\.\\";

// "COMn" with n from 1 up: the system's own name of the n-th serial port.
bool IsComName(std::string_view name) {
  int number = 0;
  if (name.size() <= 3 || name.substr(0, 3) != "COM") {
    return false;
  }
  const char* end = name.data() + name.size();
  const auto [stop, error] = std::from_chars(name.data() + 3, end, number);
  return error == std::errc() && stop == end && number >= 1;
}

}  // namespace

// COMn is the device itself; only its device-namespace form opens COM10 and up.
QString SerialDevicePath(std::string_view portName) {
  const QString name =
      QString::fromLatin1(portName.data(), static_cast<qsizetype>(portName.size()));
  return IsComName(portName) ? QString::fromLatin1(DevicePrefix.data(), DevicePrefix.size()) + name
                             : name;
}

bool SerialDevicePresent(std::string_view portName) {
  if (portName.substr(0, DevicePrefix.size()) == DevicePrefix) {
    portName.remove_prefix(DevicePrefix.size());
  }
  if (portName.empty()) {
    return false;
  }
  const std::string name(portName);
  char target[512];
  return QueryDosDeviceA(name.c_str(), target, sizeof target) != 0 ||
         GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}
