#include "printer-sim/udp_config_blocks.h"

#include <algorithm>
#include <cstring>

#include "printer-sim/udp_discovery.h"

namespace printer_sim {
namespace {

std::uint8_t Byte(std::string_view bytes, std::size_t offset) {
  return static_cast<std::uint8_t>(bytes[offset]);
}

void PutIpv4(std::string& out, std::size_t offset, std::string_view text) {
  // An unparsable address goes out as 0.0.0.0.
  Ipv4 address = ParseIpv4(text).value_or(0);
  for (std::size_t i = 0; i < 4; ++i) {
    out[offset + i] = static_cast<char>(address >> (24 - 8 * i));
  }
}

std::string Ipv4At(std::string_view bytes, std::size_t offset) {
  Ipv4 address = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    address = address << 8 | Byte(bytes, offset + i);
  }
  return Ipv4Text(address);
}

std::string ReplyHeader(std::string_view request, std::size_t size) {
  std::string reply(size, '\0');
  std::copy_n(request.begin(), std::min(request.size(), kUdpHeaderSize), reply.begin());
  reply[7] = '\x02';  // from one printer
  std::size_t dataLength = size - kUdpHeaderSize;
  reply[10] = static_cast<char>(dataLength >> 8);
  reply[11] = static_cast<char>(dataLength & 0xFF);
  return reply;
}

}  // namespace

std::optional<BlockRequest> ParseBlockRequest(std::string_view datagram) {
  auto command = RequestCommand(datagram);
  BlockRequest request;
  std::size_t blockAt = 0;
  if (command == kUdpCmdReadBlock) {
    blockAt = block_offset::kReadBlockNumber;
  } else if (command == kUdpCmdWriteBlock) {
    request.write = true;
    blockAt = block_offset::kWriteBlockNumber;
  } else {
    return std::nullopt;
  }
  if (datagram.size() <= blockAt) {
    return std::nullopt;
  }
  request.block = Byte(datagram, blockAt);
  for (std::size_t i = 0; i < request.target.size(); ++i) {
    request.target[i] = Byte(datagram, block_offset::kMac + i);
  }
  return request;
}

std::optional<int> FindPrinter(const PrinterState& first, int count, const Mac& mac) {
  count = std::clamp(count, 1, kMaxPrinters);
  for (int i = 0; i < count; ++i) {
    if (ParseMac(DerivedPrinter(first, i, count).mac) == mac) {
      return i;
    }
  }
  return std::nullopt;
}

std::string BuildBlockReadReply(std::string_view request, const PrinterState& printer) {
  namespace at = block_offset;
  std::string reply = ReplyHeader(request, kBlockReplySize);
  auto block = request.size() > at::kReadBlockNumber ? Byte(request, at::kReadBlockNumber) : 0;
  reply[at::kReadBlockNumber] = static_cast<char>(block);
  auto mac = ParseMac(printer.mac).value_or(Mac{});
  std::copy(mac.begin(), mac.end(), reply.begin() + at::kMac);
  if (block == 4) {
    // With DHCP the configured address is unused; the one in use is what a technician expects.
    PutIpv4(reply, at::kIp, printer.dhcp ? printer.lastUsedIp : printer.ip);
    PutIpv4(reply, at::kMask, printer.mask);
    PutIpv4(reply, at::kGateway, printer.gateway);
  } else if (block == 5) {
    reply[at::kAddressMode] =
        static_cast<char>(printer.dhcp ? kAddressModeDhcp : kAddressModeStatic);
    reply[at::kAddressModeEcho] =
        static_cast<char>(printer.dhcp ? kAddressModeEchoDhcp : kAddressModeEchoStatic);
  }
  return reply;
}

std::string BuildBlockWriteAck(std::string_view request) {
  return ReplyHeader(request, kUdpHeaderSize);
}

bool ApplyBlockWrite(std::string_view request, PrinterState& state) {
  namespace at = block_offset;
  auto parsed = ParseBlockRequest(request);
  if (!parsed || !parsed->write) {
    return false;
  }
  switch (parsed->block) {
    case 0: {
      if (request.size() <= at::kName) {
        return false;
      }
      // Up to the NUL, or to the end of the datagram when there is none.
      std::string_view text = request.substr(at::kName);
      state.name = std::string(text.substr(0, text.find('\0')));
      return true;
    }
    case 4:
      if (request.size() < at::kGateway + 4) {
        return false;
      }
      state.ip = Ipv4At(request, at::kIp);
      state.mask = Ipv4At(request, at::kMask);
      state.gateway = Ipv4At(request, at::kGateway);
      if (!state.dhcp) {
        state.lastUsedIp = state.ip;
      }
      return true;
    case 5:
      if (request.size() <= at::kAddressMode) {
        return false;
      }
      if (Byte(request, at::kAddressMode) == kAddressModeDhcp) {
        ApplyDhcp(state);
      } else {
        // Leaving DHCP without a written address keeps the one in use.
        std::string ip = state.ip == "0.0.0.0" ? state.lastUsedIp : state.ip;
        ApplyStaticAddress(state, std::move(ip), state.mask, state.gateway);
      }
      return true;
    default:
      return true;
  }
}

}  // namespace printer_sim
