#pragma once

#include <string>
#include <string_view>

#include "link/link_facade.h"
#include "protocol/command_result.h"
#include "protocol/printer_records.h"

// "TSmm,dd,yy,hh,mm,ss\r\n": the wire order is month, day, two-digit year, hour, minute, second.
std::string FormatSetClockCommand(const ClockRecord& clock);

// A report's number: leading white space, an optional sign, then digits up to the first
// non-digit; no digits give 0. Values beyond 32 bits saturate.
std::int32_t ParseReportNumber(std::string_view text);

// The clock steps on an open link.
CommandResult SetClockOnLink(LinkFacade& link, LinkHandle handle, LinkKind kind,
                             const ClockRecord& clock);
CommandResult ReadClockOnLink(LinkFacade& link, LinkHandle handle, LinkKind kind,
                              ClockRecord& clock);
