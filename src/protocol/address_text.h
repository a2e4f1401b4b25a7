#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/printer_rules.h"  // IsDottedQuad, the strict form a typed address must have

// Addresses as the discovery datagrams carry them, and their text forms in the printer list.
using IpBytes = std::array<std::uint8_t, 4>;  // first octet first
using MacBytes = std::array<std::uint8_t, 6>;

// Dotted decimal without leading zeros: "192.168.0.5".
std::string IpToText(const IpBytes& address);

// Four decimal numbers of at most 255 joined by '.'; leading zeros are fine and whatever follows
// the fourth number is ignored. FF FF FF FF when the text does not parse, so 255.255.255.255
// cannot be told from a failure.
IpBytes TextToIp(std::string_view text);

// Exactly six groups of two hex digits (either case) joined by ':', nothing before or after.
std::optional<MacBytes> TextToMac(std::string_view text);

// A MAC as people type or copy it: TextToMac's form, the same with '-' (as Windows prints it),
// or twelve hex digits with no separator; either case, one separator throughout.
std::optional<MacBytes> TypedTextToMac(std::string_view text);

// Two upper-case hex digits per byte, joined by ':'.
std::string MacToText(const MacBytes& mac);
