#include <QFileInfo>
#include <charconv>

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
  int number = 0;
  if (portName.size() > 3 && portName.substr(0, 3) == "COM") {
    const char* begin = portName.data() + 3;
    const char* end = portName.data() + portName.size();
    const auto [stop, error] = std::from_chars(begin, end, number);
    if (error != std::errc() || stop != end || number < 1 || number > LastCom) {
      number = 0;
    }
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
