#pragma once

#include <QString>
#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/printer_records.h"

// How q73580-cli shows what printers send: texts, lists and tables for a person to read.

inline QString FromLatin1(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// A text the printer sent, as a person reads it: Latin-1 in UTF-8, and every control character
// (C0, DEL, C1) written as \xNN, so that a name cannot move the cursor or clear the terminal.
inline std::string ShownText(std::string_view latin1) {
  std::string shown;
  shown.reserve(latin1.size());
  for (const char c : latin1) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || (byte >= 0x7F && byte < 0xA0)) {
      static constexpr char Hex[] = "0123456789ABCDEF";
      shown += "\\x";
      shown += Hex[byte >> 4];
      shown += Hex[byte & 0x0F];
    } else if (byte < 0x80) {
      shown += c;
    } else {
      shown += static_cast<char>(0xC0 | (byte >> 6));
      shown += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return shown;
}

// "0, 4, 5 and 7".
inline std::string Listed(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
  }
  return text;
}

// Columns as wide as their widest cell, two blanks apart; no line ends in blanks.
template <std::size_t Columns>
std::string TableText(const std::vector<std::array<std::string, Columns>>& rows) {
  std::array<std::size_t, Columns> widths{};
  auto width = [](const std::string& utf8) {
    return static_cast<std::size_t>(QString::fromStdString(utf8).size());
  };
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) {
      widths[i] = std::max(widths[i], width(row[i]));
    }
  }
  std::string text;
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) {
        line.append(widths[i] - width(row[i]) + 2, ' ');
      }
    }
    // An empty last cell leaves no blanks at the end of the line.
    line.erase(line.find_last_not_of(' ') + 1);
    text += line + "\n";
  }
  return text;
}

// "DHCP", or "static 192.168.1.50, mask 255.255.255.0, gateway 192.168.1.1".
inline std::string AddressText(const NetConfigRecord& config) {
  if (config.dhcp != 0) {
    return "DHCP";
  }
  return "static " + ShownText(config.ip.View()) + ", mask " + ShownText(config.mask.View()) +
         ", gateway " + ShownText(config.gateway.View());
}
