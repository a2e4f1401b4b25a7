#include "common/trace.h"

Q_LOGGING_CATEGORY(TraceLink, "q73580.link", QtWarningMsg)
Q_LOGGING_CATEGORY(TraceWire, "q73580.wire", QtWarningMsg)
Q_LOGGING_CATEGORY(TraceUdp, "q73580.udp", QtWarningMsg)

std::string TraceEscaped(std::string_view bytes) {
  static constexpr char Hex[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') {
      text += "\\\\";
    } else if (c == '\r') {
      text += "\\r";
    } else if (c == '\n') {
      text += "\\n";
    } else if (byte >= 0x20 && byte < 0x7F) {
      text += c;
    } else {
      text += "\\x";
      text += Hex[byte >> 4];
      text += Hex[byte & 0x0F];
    }
  }
  return text;
}
