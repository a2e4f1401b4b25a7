#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "printer-sim/printer_state.h"

// The printer's side of the UDP setup protocol, without any I/O.
namespace printer_sim {

constexpr std::uint16_t kUdpSetupPort = 22368;
constexpr std::size_t kUdpHeaderSize = 32;
constexpr std::uint16_t kUdpCmdDiscover = 2;
constexpr int kMaxPrinters = 1000;
// The utility receives into 2048 bytes; a longer reply would be cut.
constexpr std::size_t kMaxUdpReply = 2048;
constexpr std::size_t kMinDiscoveryReply = 128;

namespace reply_offset {
constexpr std::size_t kMac = 22;
constexpr std::size_t kState = 40;
constexpr std::size_t kErrorFlags = 41;
constexpr std::size_t kIp = 44;
constexpr std::size_t kModel = 52;
constexpr std::size_t kModelField = 32;
constexpr std::size_t kName = 84;
}  // namespace reply_offset

// Addresses are in host byte order.
using Ipv4 = std::uint32_t;

std::optional<Ipv4> ParseIpv4(std::string_view text);  // numeric only
std::string Ipv4Text(Ipv4 address);
std::optional<std::array<std::uint8_t, 6>> ParseMac(std::string_view text);

// Whether a request from `source` may be answered: loopback, one of `hostAddresses`, or anything
// when `answerAny`.
bool MayAnswer(Ipv4 source, const std::vector<Ipv4>& hostAddresses, bool answerAny);

// The IPv4 addresses of this host's interfaces.
std::vector<Ipv4> LocalIpv4Addresses();

// The command code of a request, or nothing when it is too short to carry a header.
std::optional<std::uint16_t> RequestCommand(std::string_view datagram);
bool IsDiscoveryRequest(std::string_view datagram);

// 0 ready, 1 printing, 2 paused, 3 error; `udpState` overrides the status text.
std::uint8_t UdpStateByte(const PrinterState& state);

// Printer i (from 1) of a fleet has this address plus i, unless the fleet is given another.
constexpr Ipv4 kDerivedAddressBase = 0xC0A80014;  // 192.168.0.20

// Printer `index` of `count`: the first is `first` itself; the others take their MAC from it,
// offset by `index`, and the address `addressBase` + `index`. With more than one printer every
// name gets "-<index+1>".
PrinterState DerivedPrinter(const PrinterState& first, int index, int count,
                            Ipv4 addressBase = kDerivedAddressBase);

// The answer of `printer` to the discovery `request`.
std::string BuildDiscoveryReply(std::string_view request, const PrinterState& printer);

}  // namespace printer_sim
