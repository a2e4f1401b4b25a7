#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "printer-sim/printer_state.h"

// The printer's side of the configuration block reads and writes of the UDP setup protocol,
// without any I/O.
namespace printer_sim {

constexpr std::uint16_t kUdpCmdReadBlock = 3;
constexpr std::uint16_t kUdpCmdWriteBlock = 4;
// What a block read is answered with: as long as a block write, so every block offset fits.
constexpr std::size_t kBlockReplySize = 1064;

namespace block_offset {
constexpr std::size_t kMac = 22;
constexpr std::size_t kReadBlockNumber = 32;
constexpr std::size_t kWriteBlockNumber = 34;
constexpr std::size_t kName = 176;  // block 0
constexpr std::size_t kIp = 69;     // block 4
constexpr std::size_t kMask = 73;
constexpr std::size_t kGateway = 77;
constexpr std::size_t kAddressMode = 942;  // block 5
constexpr std::size_t kAddressModeEcho = 948;
}  // namespace block_offset

constexpr std::uint8_t kAddressModeDhcp = 8;
constexpr std::uint8_t kAddressModeStatic = 1;
constexpr std::uint8_t kAddressModeEchoDhcp = 4;
constexpr std::uint8_t kAddressModeEchoStatic = 1;

using Mac = std::array<std::uint8_t, 6>;

struct BlockRequest {
  bool write = false;
  std::uint8_t block = 0;
  Mac target{};
};

// A block read or write, or nothing when `datagram` is neither or is too short to name its block.
std::optional<BlockRequest> ParseBlockRequest(std::string_view datagram);

// Which of the `count` printers derived from `first` (DerivedPrinter) has `mac`.
std::optional<int> FindPrinter(const PrinterState& first, int count, const Mac& mac);

// The answer of `printer` to the block read `request`: the request's header, then the block's
// content at its offsets; blocks other than 4 and 5 read as zeros.
std::string BuildBlockReadReply(std::string_view request, const PrinterState& printer);

// The acknowledgement of a block write: its header, marked as coming from one printer.
std::string BuildBlockWriteAck(std::string_view request);

// Applies the block write `request` to `state` at once. Blocks without content of their own
// (7 among them) change nothing. False, with `state` untouched, when the datagram ends before the
// block's content.
bool ApplyBlockWrite(std::string_view request, PrinterState& state);

}  // namespace printer_sim
