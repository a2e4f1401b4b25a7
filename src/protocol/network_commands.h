#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "link/link_facade.h"
#include "protocol/command_result.h"
#include "protocol/printer_records.h"

// True when a text can stand between the double quotes of a command: no '"' and no control
// character, either of which would end the quoted text or the command line early.
bool IsQuotableText(std::string_view text);

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
