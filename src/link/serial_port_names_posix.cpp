#include <QFileInfo>

#include "link/port_number.h"
#include "link/serial_port_names.h"

namespace {

// COM1-COM10: USB serial adapters, COM11-COM20: USB modems and CDC adapters,
// COM21-COM30: the machine's own serial ports.
struct ComRange {
  int first;
  const char* devicePrefix;
};
constexpr ComRange ComRanges[] = {
    {1, "/dev/ttyUSB"},
    {11, "/dev/ttyACM"},
    {21, "/dev/ttyS"},
};
constexpr int LastCom = 30;

}  // namespace

QString SerialDevicePath(std::string_view portName) {
  if (!portName.empty() && portName.front() == '/') {
    return QString::fromLatin1(portName.data(), static_cast<qsizetype>(portName.size()));
  }
  int number = PortNumber(portName, "COM");
  if (number > LastCom) {
    number = 0;
  }
  for (auto it = std::rbegin(ComRanges); number != 0 && it != std::rend(ComRanges); ++it) {
    if (number >= it->first) {
      return QStringLiteral("%1%2").arg(QLatin1String(it->devicePrefix)).arg(number - it->first);
    }
  }
  return QString::fromLatin1(portName.data(), static_cast<qsizetype>(portName.size()));
}

bool SerialDevicePresent(std::string_view portName) {
  return QFileInfo::exists(SerialDevicePath(portName));
}
