#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "protocol/address_text.h"

// The printers' own UDP protocol for finding them and setting their address.
inline constexpr std::uint16_t NetSetupPort = 22368;
inline constexpr std::size_t NetSetupHeaderSize = 32;
// Receive buffer; anything longer is cut here.
inline constexpr std::size_t MaxDatagram = 2048;

enum class NetSetupCommand : std::uint16_t { CmdDiscover = 2, CmdReadBlock = 3, CmdWriteBlock = 4 };

// The 32-byte header at the start of every request.
struct NetSetupHeader {
  NetSetupCommand command = NetSetupCommand::CmdDiscover;
  std::uint16_t dataLength = 0;  // bytes after the header
  std::uint32_t sequence = 0;    // only its low 16 bits travel
  MacBytes target{};             // the printer meant, or FF x 6 for every printer
  bool toOnePrinter = false;     // a request that only `target` should act on

  // Writes the header at the start of `request`; numbers are big-endian.
  void WriteTo(std::uint8_t* request) const;
};

// The complete discovery request: a header for every printer and no data.
std::array<std::uint8_t, NetSetupHeaderSize> BuildDiscoveryRequest(std::uint32_t sequence);

// One discovery reply as the printer list shows it. Texts are single-byte (Latin-1); a field
// that the reply was too short to hold stays empty.
struct DiscoveryReply {
  std::string name, mac, ip, model, status;
};

// Reads only the `length` bytes that arrived. Nothing when the reply is shorter than a header.
std::optional<DiscoveryReply> ParseDiscoveryReply(const std::uint8_t* data, std::size_t length);

// The Status column for a reply's state and error flag bytes.
std::string StatusText(std::uint8_t state, std::uint8_t errorFlags);
