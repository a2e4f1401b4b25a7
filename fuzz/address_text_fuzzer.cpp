// TextToIp and TextToMac against a plain reading of their rules, and the round trips through
// IpToText and MacToText that must always hold.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/address_text.h"

namespace {

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "address_text: %s\n", what);
    std::abort();
  }
}

constexpr IpBytes NoAddress = {0xFF, 0xFF, 0xFF, 0xFF};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Numbers of at most 255 joined by '.', exactly four of them; the text after the fourth
// is not looked at unless it starts another number.
IpBytes ReferenceTextToIp(std::string_view text) {
  IpBytes address{};
  std::size_t taken = 0;
  std::size_t pos = 0;
  for (;;) {
    if (pos >= text.size() || !IsDigit(text[pos])) {
      return NoAddress;
    }
    int value = 0;
    while (pos < text.size() && IsDigit(text[pos])) {
      value = value * 10 + (text[pos] - '0');
      if (value > 255) {
        return NoAddress;
      }
      ++pos;
    }
    address[taken++] = static_cast<std::uint8_t>(value);
    if (pos >= text.size() || text[pos] != '.') {
      return taken == 4 ? address : NoAddress;
    }
    ++pos;
    if (taken == 4) {
      return NoAddress;
    }
  }
}

int ReferenceHex(char c) {
  if (IsDigit(c)) {
    return c - '0';
  }
  const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  return (upper >= 'A' && upper <= 'F') ? upper - 55 : -1;
}

std::optional<MacBytes> ReferenceTextToMac(std::string_view text) {
  MacBytes mac{};
  std::size_t pos = 0;
  for (std::size_t group = 0; group < 6; ++group) {
    if (group > 0) {
      if (pos >= text.size() || text[pos] != ':') {
        return std::nullopt;
      }
      ++pos;
    }
    if (pos + 2 > text.size()) {
      return std::nullopt;
    }
    const int high = ReferenceHex(text[pos]);
    const int low = ReferenceHex(text[pos + 1]);
    if (high < 0 || low < 0) {
      return std::nullopt;
    }
    mac[group] = static_cast<std::uint8_t>(high << 4 | low);
    pos += 2;
  }
  if (pos != text.size()) {
    return std::nullopt;
  }
  return mac;
}

std::string Upper(std::string_view text) {
  std::string upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; });
  return upper;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const IpBytes ip = TextToIp(text);
  Require(ip == ReferenceTextToIp(text), "TextToIp differs from its rules");
  if (ip != NoAddress) {
    Require(TextToIp(IpToText(ip)) == ip, "a parsed address does not survive IpToText");
  }

  const std::optional<MacBytes> mac = TextToMac(text);
  Require(mac == ReferenceTextToMac(text), "TextToMac differs from its rules");
  if (mac) {
    Require(MacToText(*mac) == Upper(text), "MacToText is not the upper-case form of its text");
  }

  // Any bytes make a text that reads back to them.
  IpBytes anyIp{};
  std::copy_n(data, std::min(size, anyIp.size()), anyIp.begin());
  const std::string ipText = IpToText(anyIp);
  Require(ipText.size() >= 7 && ipText.size() <= 15, "IpToText outside 16 bytes with its NUL");
  Require(std::all_of(ipText.begin(), ipText.end(), [](char c) { return IsDigit(c) || c == '.'; }),
          "IpToText wrote something other than digits and dots");
  Require(TextToIp(ipText) == anyIp, "IpToText does not read back");

  MacBytes anyMac{};
  std::copy_n(data, std::min(size, anyMac.size()), anyMac.begin());
  const std::string macText = MacToText(anyMac);
  Require(macText.size() == 17, "MacToText is not 17 characters");
  Require(TextToMac(macText) == anyMac, "MacToText does not read back");
  return 0;
}
