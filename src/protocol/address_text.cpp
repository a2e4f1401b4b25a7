#include "protocol/address_text.h"

#include <cstddef>

namespace {

constexpr IpBytes NoAddress = {0xFF, 0xFF, 0xFF, 0xFF};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The value of one hex digit, or -1.
int HexValue(char c) {
  if (IsDigit(c)) {
    return c - '0';
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  return -1;
}

}  // namespace

std::string IpToText(const IpBytes& address) {
  std::string text;
  for (std::size_t i = 0; i < address.size(); ++i) {
    if (i > 0) {
      text += '.';
    }
    text += std::to_string(address[i]);
  }
  return text;
}

IpBytes TextToIp(std::string_view text) {
  IpBytes address{};
  std::size_t pos = 0;
  for (std::size_t taken = 0; taken < address.size(); ++taken) {
    if (pos >= text.size() || !IsDigit(text[pos])) {
      return NoAddress;
    }
    unsigned value = 0;
    while (pos < text.size() && IsDigit(text[pos])) {
      // Stops at once above 255, so any run of digits is safe.
      value = value * 10 + static_cast<unsigned>(text[pos] - '0');
      if (value > 255) {
        return NoAddress;
      }
      ++pos;
    }
    address[taken] = static_cast<std::uint8_t>(value);
    const bool dot = pos < text.size() && text[pos] == '.';
    if (taken + 1 == address.size()) {
      // A fifth number is refused, but any other text after the fourth is not looked at.
      return dot ? NoAddress : address;
    }
    if (!dot) {
      return NoAddress;
    }
    ++pos;
  }
  return NoAddress;
}

namespace {

// Six pairs of hex digits, each but the last followed by `separator` unless that is '\0'.
std::optional<MacBytes> SixHexPairs(std::string_view text, char separator) {
  MacBytes mac{};
  const std::size_t step = separator != '\0' ? 3 : 2;
  if (text.size() != mac.size() * step - (step - 2)) {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < mac.size(); ++i) {
    const std::size_t at = i * step;
    const int high = HexValue(text[at]);
    const int low = HexValue(text[at + 1]);
    if (high < 0 || low < 0 || (step == 3 && i + 1 < mac.size() && text[at + 2] != separator)) {
      return std::nullopt;
    }
    mac[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return mac;
}

}  // namespace

std::optional<MacBytes> TextToMac(std::string_view text) {
  return SixHexPairs(text, ':');
}

std::optional<MacBytes> TypedTextToMac(std::string_view text) {
  if (text.size() == 12) {
    return SixHexPairs(text, '\0');
  }
  return SixHexPairs(text, text.size() > 2 && text[2] == '-' ? '-' : ':');
}

std::string MacToText(const MacBytes& mac) {
  static constexpr char Digits[] = "0123456789ABCDEF";
  std::string text;
  for (std::size_t i = 0; i < mac.size(); ++i) {
    if (i > 0) {
      text += ':';
    }
    text += Digits[mac[i] >> 4];
    text += Digits[mac[i] & 0x0F];
  }
  return text;
}
