#pragma once

// The lines the printer must receive for each operation, line endings included. They are spelled
// out here, apart from the product's own command texts, so that a change there fails a test.

#include <string>
#include <string_view>
#include <vector>

namespace expected {

using Lines = std::vector<std::string>;

inline std::string Line(std::string_view command) {
  return std::string(command) + "\r\n";
}

// The line every query begins with; `link` is "NET", "COM", "LPT" or "USB".
inline std::string Interface(std::string_view link) {
  return Line("DIAGNOSTIC INTERFACE " + std::string(link));
}
inline std::string Report(std::string_view item) {
  return Line("DIAGNOSTIC REPORT " + std::string(item));
}

// ReadClock and ReadNetwork after `interfaceLine`, one report per field, in this order.
inline Lines ReadClock(const std::string& interfaceLine) {
  return {interfaceLine,  Report("YEAR"),   Report("MONTH"), Report("DATE"),
          Report("HOUR"), Report("MINUTE"), Report("SECOND")};
}
inline Lines ReadNetwork(const std::string& interfaceLine) {
  return {interfaceLine,        Report("CONFIGIP"), Report("GATEWAY"), Report("IPMASK"),
          Report("LASTUSEDIP"), Report("NETNAME"),  Report("MACADDR")};
}

// SetClock with its fields as they go out: "MM,DD,YY,hh,mm,ss".
inline std::string SetClock(std::string_view fields) {
  return Line("TS" + std::string(fields));
}
inline std::string SetDhcp() {
  return Line("NET DHCP");
}
inline std::string SetStatic(const std::string& ip, const std::string& mask,
                             const std::string& gateway) {
  return Line("NET IP \"" + ip + "\",\"" + mask + "\",\"" + gateway + "\"");
}
inline std::string SetName(const std::string& name) {
  return Line("NET NAME \"" + name + "\"");
}
inline std::string FactoryDefaults() {
  return Line("INITIALPRINTER");
}

}  // namespace expected
