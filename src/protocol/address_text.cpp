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

std::optional<MacBytes> TextToMac(std::string_view text) {
  MacBytes mac{};
  // "XX:" five times and a final "XX".
  if (text.size() != mac.size() * 3 - 1) {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < mac.size(); ++i) {
    const std::size_t at = i * 3;
    const int high = HexValue(text[at]);
    const int low = HexValue(text[at + 1]);
    if (high < 0 || low < 0 || (i + 1 < mac.size() && text[at + 2] != ':')) {
      return std::nullopt;
    }
    mac[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return mac;
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
