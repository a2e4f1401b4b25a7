#pragma once

#include <cstdint>

// The link to the printer, in the order of the main window's interface list.
// Any other value is no link; it is kept as a plain 32-bit number so that such values survive.
enum class LinkKind : std::int32_t {
  Usb = 0,
  Com = 1,
  Lpt = 2,
  Ethernet = 3,
};

// The kind as the command line and the trace name it: "usb", "com", "lpt", "net"; empty for a
// value that is no link.
constexpr const char* LinkKindName(LinkKind kind) {
  switch (kind) {
    case LinkKind::Usb:
      return "usb";
    case LinkKind::Com:
      return "com";
    case LinkKind::Lpt:
      return "lpt";
    case LinkKind::Ethernet:
      return "net";
  }
  return "";
}

// What OpenLink hands back; the port that opened it is the only one that looks inside.
using LinkHandle = std::int32_t;
inline constexpr LinkHandle InvalidLink = -1;
