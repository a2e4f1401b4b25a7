#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/printer_rules.h"  // IsQuotableText
#include "link/link_facade.h"
#include "protocol/command_result.h"
#include "protocol/printer_records.h"

// "NET DHCP\r\n" when dhcp is 1, else NET IP with the three quoted addresses. Nothing when an
// address cannot be quoted.
std::optional<std::string> FormatSetNetworkCommand(const NetConfigRecord& config);

// NET NAME with the quoted name; nothing when the name cannot be quoted.
std::optional<std::string> FormatSetPrinterNameCommand(const NetConfigRecord& config);

// Reads the configured address, gateway, mask, last used address, name and MAC address on an
// open link. The first four reports are required; a missing name or MAC address leaves that
// text empty and the read still succeeds.
CommandResult ReadNetworkOnLink(LinkFacade& link, LinkHandle handle, LinkKind kind,
                                NetConfigRecord& config);
