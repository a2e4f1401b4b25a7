#include "printer-sim/udp_discovery.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <algorithm>
#include <charconv>

namespace printer_sim {
namespace {

std::uint8_t Byte(std::string_view bytes, std::size_t offset) {
  return static_cast<std::uint8_t>(bytes[offset]);
}

void PutText(std::string& out, std::size_t offset, std::string_view text, std::size_t maxChars) {
  text = text.substr(0, std::min(text.size(), maxChars));
  std::copy(text.begin(), text.end(), out.begin() + static_cast<std::ptrdiff_t>(offset));
  out[offset + text.size()] = '\0';
}

}  // namespace

std::optional<Ipv4> ParseIpv4(std::string_view text) {
  in_addr address{};
  if (inet_pton(AF_INET, std::string(text).c_str(), &address) != 1) {
    return std::nullopt;
  }
  return ntohl(address.s_addr);
}

std::string Ipv4Text(Ipv4 address) {
  return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
         std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

std::optional<std::array<std::uint8_t, 6>> ParseMac(std::string_view text) {
  std::array<std::uint8_t, 6> mac{};
  if (text.size() != 17) {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < mac.size(); ++i) {
    const char* begin = text.data() + i * 3;
    auto [end, ec] = std::from_chars(begin, begin + 2, mac[i], 16);
    if (ec != std::errc{} || end != begin + 2 || (i < 5 && text[i * 3 + 2] != ':')) {
      return std::nullopt;
    }
  }
  return mac;
}

bool MayAnswer(Ipv4 source, const std::vector<Ipv4>& hostAddresses, bool answerAny) {
  return answerAny || (source >> 24) == 127 ||
         std::find(hostAddresses.begin(), hostAddresses.end(), source) != hostAddresses.end();
}

std::vector<Ipv4> LocalIpv4Addresses() {
  std::vector<Ipv4> addresses;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) {
    return addresses;
  }
  for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
    if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET) {
      addresses.push_back(ntohl(reinterpret_cast<sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr));
    }
  }
  freeifaddrs(list);
  return addresses;
}

std::optional<std::uint16_t> RequestCommand(std::string_view datagram) {
  if (datagram.size() < kUdpHeaderSize) {
    return std::nullopt;
  }
  return static_cast<std::uint16_t>(Byte(datagram, 8) << 8 | Byte(datagram, 9));
}

bool IsDiscoveryRequest(std::string_view datagram) {
  return RequestCommand(datagram) == kUdpCmdDiscover &&
         datagram.substr(22, 6) == std::string_view("\xFF\xFF\xFF\xFF\xFF\xFF", 6);
}

std::uint8_t UdpStateByte(const PrinterState& state) {
  if (state.udpState) {
    return *state.udpState;
  }
  if (state.status == "Ready") {
    return 0;
  }
  if (state.status == "Printing") {
    return 1;
  }
  return state.status == "Pause" ? 2 : 3;
}

PrinterState DerivedPrinter(const PrinterState& first, int index, int count, Ipv4 addressBase) {
  PrinterState printer = first;
  if (count > 1) {
    printer.name += "-" + std::to_string(index + 1);
  }
  if (index == 0) {
    return printer;
  }
  if (auto mac = ParseMac(first.mac)) {
    // Added with carry, so that a thousand printers stay distinct.
    std::uint64_t value = 0;
    for (std::uint8_t byte : *mac) {
      value = value << 8 | byte;
    }
    value += static_cast<std::uint64_t>(index);
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (int shift = 40; shift >= 0; shift -= 8) {
      auto byte = static_cast<unsigned>(value >> shift) & 0xFF;
      text += kHex[byte >> 4];
      text += kHex[byte & 0xF];
      text += shift > 0 ? ":" : "";
    }
    printer.mac = text;
  }
  std::string address = Ipv4Text(addressBase + static_cast<Ipv4>(index));
  printer.ip = address;
  printer.lastUsedIp = address;
  printer.dhcpLeaseIp = address;
  return printer;
}

std::string BuildDiscoveryReply(std::string_view request, const PrinterState& printer) {
  namespace at = reply_offset;
  std::size_t nameRoom = kMaxUdpReply - at::kName - 1;
  std::size_t nameLength = std::min(printer.name.size(), nameRoom);
  std::string reply(std::max(kMinDiscoveryReply, at::kName + nameLength + 1), '\0');
  std::copy_n(request.begin(), std::min(request.size(), kUdpHeaderSize), reply.begin());
  reply[7] = '\x02';  // from one printer
  std::size_t dataLength = reply.size() - kUdpHeaderSize;
  reply[10] = static_cast<char>(dataLength >> 8);
  reply[11] = static_cast<char>(dataLength & 0xFF);
  auto mac = ParseMac(printer.mac).value_or(std::array<std::uint8_t, 6>{});
  std::copy(mac.begin(), mac.end(), reply.begin() + at::kMac);
  reply[at::kState] = static_cast<char>(UdpStateByte(printer));
  reply[at::kErrorFlags] = static_cast<char>(printer.udpErrorFlags);
  // An unparsable address goes out as 0.0.0.0, as a printer without one would send.
  Ipv4 ip = ParseIpv4(printer.lastUsedIp).value_or(0);
  for (int i = 0; i < 4; ++i) {
    reply[at::kIp + static_cast<std::size_t>(i)] = static_cast<char>(ip >> (24 - 8 * i));
  }
  PutText(reply, at::kModel, printer.model, at::kModelField - 1);
  PutText(reply, at::kName, printer.name, nameLength);
  return reply;
}

}  // namespace printer_sim
