#include "netsetup/discovery_protocol.h"

#include <algorithm>
#include <cstring>

namespace {

// Where a discovery reply keeps what the list shows.
constexpr std::size_t MacOffset = 22;
constexpr std::size_t StateOffset = 40;
constexpr std::size_t ErrorFlagsOffset = 41;
constexpr std::size_t IpOffset = 44;
constexpr std::size_t ModelOffset = 52;
constexpr std::size_t ModelSize = 32;
constexpr std::size_t NameOffset = 84;

constexpr MacBytes EveryPrinter = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

void PutBigEndian16(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value >> 8);
  at[1] = static_cast<std::uint8_t>(value & 0xFF);
}

// The text from `offset` up to its NUL, the end of its field or the end of the datagram.
std::string TextAt(const std::uint8_t* data, std::size_t length, std::size_t offset,
                   std::size_t fieldSize) {
  if (offset >= length) {
    return {};
  }
  const std::uint8_t* begin = data + offset;
  const std::uint8_t* end = begin + std::min(length - offset, fieldSize);
  const std::uint8_t* nul = std::find(begin, end, std::uint8_t{0});
  return std::string(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(nul - begin));
}

}  // namespace

void NetSetupHeader::WriteTo(std::uint8_t* request) const {
  std::memset(request, 0, NetSetupHeaderSize);
  PutBigEndian16(request + 0, static_cast<std::uint16_t>(NetSetupHeaderSize));
  PutBigEndian16(request + 2, 1);
  PutBigEndian16(request + 4, 1);
  request[6] = 0x08;
  request[7] = toOnePrinter ? 0x02 : 0x00;
  PutBigEndian16(request + 8, static_cast<std::uint16_t>(command));
  PutBigEndian16(request + 10, dataLength);
  PutBigEndian16(request + 12, static_cast<std::uint16_t>(sequence & 0xFFFF));
  request[16] = 0x01;
  std::copy(target.begin(), target.end(), request + MacOffset);
}

std::array<std::uint8_t, NetSetupHeaderSize> BuildDiscoveryRequest(std::uint32_t sequence) {
  std::array<std::uint8_t, NetSetupHeaderSize> request{};
  NetSetupHeader{NetSetupCommand::CmdDiscover, 0, sequence, EveryPrinter, false}.WriteTo(
      request.data());
  return request;
}

std::optional<DiscoveryReply> ParseDiscoveryReply(const std::uint8_t* data, std::size_t length) {
  if (length < NetSetupHeaderSize) {
    return std::nullopt;
  }
  DiscoveryReply reply;
  // The header covers the MAC address; the later fixed fields need a longer reply.
  MacBytes mac{};
  std::copy_n(data + MacOffset, mac.size(), mac.begin());
  reply.mac = MacToText(mac);
  if (length > ErrorFlagsOffset) {
    reply.status = StatusText(data[StateOffset], data[ErrorFlagsOffset]);
  }
  IpBytes ip{};
  if (length >= IpOffset + ip.size()) {
    std::copy_n(data + IpOffset, ip.size(), ip.begin());
    reply.ip = IpToText(ip);
  }
  reply.model = TextAt(data, length, ModelOffset, ModelSize);
  reply.name = TextAt(data, length, NameOffset, length);
  return reply;
}

std::string StatusText(std::uint8_t state, std::uint8_t errorFlags) {
  switch (state) {
    case 1:
      return "Printing";
    case 2:
      return "Pause";
    case 3:
      break;
    default:
      return "Ready";
  }
  // Several flags can be set at once; the first cause in this order is the one shown.
  if (errorFlags & 0x01) {
    return "Carriage Open";
  }
  if (errorFlags & (0x40 | 0x80)) {
    return "Over Heat";
  }
  if (errorFlags & 0x02) {
    return "Paper Jam";
  }
  if (errorFlags & 0x04) {
    return "Paper Empty";
  }
  if (errorFlags & (0x08 | 0x10)) {
    return "Ribbon Error";
  }
  if (errorFlags & 0x20) {
    return "Cutter Error";
  }
  return "Error";
}
