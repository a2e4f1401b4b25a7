#include <windows.h>

#include "link/port_number.h"
#include "link/serial_port_names.h"

namespace {

constexpr std::string_view DevicePrefix = "\\\\.\\";

}  // namespace

// COMn is the device itself; only its device-namespace form opens COM10 and up.
QString SerialDevicePath(std::string_view portName) {
  const QString name =
      QString::fromLatin1(portName.data(), static_cast<qsizetype>(portName.size()));
  return PortNumber(portName, "COM") != 0
             ? QString::fromLatin1(DevicePrefix.data(), DevicePrefix.size()) + name
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
