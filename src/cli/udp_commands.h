#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "cli/cli_context.h"
#include "cli/fleet_file.h"
#include "netsetup/discovery_protocol.h"
#include "netsetup/net_interfaces.h"
#include "netsetup/net_setup_exchange.h"
#include "netsetup/remote_ip_change.h"

// What the UDP commands (discover, remote-set, export, apply) share: the exchange they talk
// through, the printers one discovery finds, a change's writes and what its read-back says.

// The exchange towards --to and --udp-port, its broadcasts out of --interface only when that is
// given; else the usage error for an --interface that names no interface able to broadcast.
std::variant<NetSetupExchange, std::string> UdpExchange(const CommandRun& run);

// One printer a discovery found, and the interface its answer came in on.
struct FoundPrinter {
  DiscoveryReply reply;
  NetInterface interface;
};

// Where the line that says nobody answered goes: where it looked, and the firewall as the likely
// cause.
enum class NoAnswer { Quiet, Notice, NoticeAndJson };

// Every answer of one discovery, in arrival order, to `found`, which says whether it counts;
// false when no socket could be made. `wait` shows "`doing` N found" meanwhile.
bool Discover(CommandRun& run, const NetSetupExchange& exchange, std::uint32_t sequence,
              int quietMs, StatusWait& wait, const std::string& doing, NoAnswer noAnswer,
              const std::function<bool(DiscoveryReply, const NetInterface&)>& found);
// The printers that answer by MAC: the first answer of each. Nothing when no socket could be
// made.
std::optional<std::map<MacBytes, FoundPrinter>> DiscoverByMac(
    CommandRun& run, const NetSetupExchange& exchange, std::uint32_t sequence, int quietMs,
    StatusWait& wait, const std::string& doing, NoAnswer noAnswer = NoAnswer::Quiet);

// "no printer with MAC 00:1A:2B:3C:4D:5E answered the discovery", `what` in place of "the
// discovery".
std::string NoPrinterAnswered(const std::string& mac, const char* what = "the discovery");

// What a closing discovery says against a printer having taken its new name.
struct NameCheck {
  std::optional<std::string> reported;  // the name it reports instead; none when it did not answer
  std::string doubt;
};
// The address blocks do not carry the name, so only a discovery after the writes shows it: one
// discovery for the printers by MAC in `wanted`, each with the name it should now have. Those
// that report it are left out; nothing when no socket could be made.
std::optional<std::map<MacBytes, NameCheck>> CheckNewNames(
    CommandRun& run, const NetSetupExchange& exchange, std::uint32_t sequence,
    const std::map<MacBytes, std::string>& wanted, const std::string& doing);

// "no reply when block 4 was read"; empty when both blocks answered.
std::string UnreadBlocks(const AddressBlocks& read);

// A printer's row of a fleet file, from its discovery name and its address blocks.
FleetRow RowOf(const MacBytes& mac, const std::string& name, const NetConfigRecord& config);
// The parts with `separator` between them.
std::string Joined(const std::vector<std::string>& parts, const char* separator);

// Two addresses are the same when they name the same four numbers ("010.0.0.1" is "10.0.0.1");
// a text that is no dotted quad is the same only as itself.
bool SameAddress(std::string_view a, std::string_view b);

// One remote change: the blocks read, `edit` applied to the record, the four writes, and the
// blocks read back.
struct RemoteWrite {
  bool socket = true;  // false: no socket could be made
  bool read = false;   // block 4 answered before the writes
  NetConfigRecord written;
  std::optional<AddressBlocks> readBack;
  std::vector<std::uint8_t> unanswered;  // the writes nobody acknowledged
  std::vector<std::string> doubts;       // what speaks against the change; empty when confirmed
};
// `progress` hears "block 2 of 4" before each write and "reading back" before the read-back.
RemoteWrite WriteAddressSettings(const NetSetupExchange& exchange, std::uint32_t& sequence,
                                 const RemoteChangeTarget& target, int waitMs,
                                 const std::function<void(NetConfigRecord&)>& edit,
                                 const std::function<void(const std::string&)>& progress);
