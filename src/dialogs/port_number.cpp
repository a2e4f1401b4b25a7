#include "dialogs/port_number.h"

int PortNumberOf(std::string_view portName) {
  std::size_t pos = 3;
  while (pos < portName.size() && portName[pos] == ' ') {
    ++pos;
  }
  bool negative = false;
  if (pos < portName.size() && (portName[pos] == '+' || portName[pos] == '-')) {
    negative = portName[pos] == '-';
    ++pos;
  }
  long long number = 0;
  while (pos < portName.size() && portName[pos] >= '0' && portName[pos] <= '9' &&
         number < 1'000'000) {
    number = number * 10 + (portName[pos] - '0');
    ++pos;
  }
  return static_cast<int>(negative ? -number : number);
}
