#pragma once

#include <QJsonValue>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>

#include "cli/cli_args.h"
#include "cli/status_line.h"
#include "netsetup/discovery_protocol.h"
#include "netsetup/net_interfaces.h"
#include "netsetup/net_setup_exchange.h"

struct CliServices;

// What the UDP commands (discover, remote-set, export, apply) share: the exchange they talk
// through, the printers one discovery finds, and what is said when nobody answered.

// The exchange towards --to and --udp-port, its broadcasts out of --interface only when that is
// given; else the usage error for an --interface that names no interface able to broadcast.
std::variant<NetSetupExchange, std::string> UdpExchange(const CliArgs& args,
                                                        const CliServices& services);

// One printer a discovery found, and the interface its answer came in on.
struct FoundPrinter {
  DiscoveryReply reply;
  NetInterface interface;
};

// The printers that answer one discovery, by MAC: the first answer of each. Nothing when no
// socket could be made. `wait` shows "`doing` N found" while it runs.
std::optional<std::map<MacBytes, FoundPrinter>> DiscoverByMac(const NetSetupExchange& exchange,
                                                              std::uint32_t sequence, int quietMs,
                                                              StatusWait& wait,
                                                              const std::string& doing,
                                                              DiscoverySent* sent = nullptr);

// The line for standard error (and "hint" in JSON) after a discovery nobody answered: where it
// went, and the firewall as the likely cause.
std::string NoAnswerHint(const DiscoverySent& sent, const CliArgs& args);

// {"name": "eth1", "address": "10.77.2.1"}, the address null where the interface has none; null
// when the interface is not known.
QJsonValue InterfaceJson(const NetInterface& interface);
