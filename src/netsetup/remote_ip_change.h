#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "netsetup/net_setup_exchange.h"
#include "protocol/printer_records.h"

// The printer a change is for, as its list row shows it.
struct RemoteChangeTarget {
  std::string macText;  // "00:1A:2B:3C:4D:5E"
  std::string caption;  // the printer's name
};

// What became of a remote change.
struct RemoteChangeResult {
  bool written = false;                  // "Set" was chosen and the four writes went out
  std::vector<std::uint8_t> unanswered;  // the blocks whose write nobody acknowledged, in order
};

// Changes one printer's address settings and name over UDP: reads blocks 4 and 5, lets `edit`
// change the record (it sets `accepted` when the user chose "Set"), then writes blocks 0, 4, 5
// and 7. Every request of the change goes out on one socket with one sequence number.
// `beforeWrite`, when given, learns which of the writes (1 to `writes`) goes out next.
using RemoteWriteProgress = std::function<void(int write, int writes)>;
RemoteChangeResult RunRemoteIpChange(const NetSetupExchange& exchange, std::uint32_t sequence,
                                     const RemoteChangeTarget& target,
                                     const std::function<void(NetConfigRecord&)>& edit,
                                     int waitMs = 3000,
                                     const RemoteWriteProgress& beforeWrite = {});

// One printer's address settings as blocks 4 and 5 report them.
struct AddressBlocks {
  bool addressesRead = false;  // block 4 answered: ip, lastUsedIp, mask and gateway are set
  bool modeRead = false;       // block 5 answered: dhcp is set
  NetConfigRecord config;
};

// Reads blocks 4 and 5 of the printer with `macText`, as a change reads them, on a socket of its
// own. Nothing when the MAC text does not convert or no socket could be made.
std::optional<AddressBlocks> ReadAddressBlocks(const NetSetupExchange& exchange,
                                               std::uint32_t sequence, const std::string& macText,
                                               int waitMs = 3000);

// Takes what the reply to a read of `block` (4 or 5) says into `config`. Only bytes that arrived
// are read: a field the reply is too short for keeps its value, and so does every field for
// another block. True when the block's fields were taken.
bool TakeBlockReadReply(std::uint8_t block, const std::vector<std::uint8_t>& reply,
                        NetConfigRecord& config);

// The datagram offsets of the configuration blocks.
namespace config_block {
inline constexpr std::size_t Name = 176;
inline constexpr std::size_t Address = 69;
inline constexpr std::size_t Mask = 73;
inline constexpr std::size_t Gateway = 77;
inline constexpr std::size_t AddressMode = 942;
inline constexpr std::size_t AddressSource = 948;
inline constexpr std::size_t WriteRequestSize = 1064;
inline constexpr std::size_t ReadRequestSize = 34;
}  // namespace config_block
