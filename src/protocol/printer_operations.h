#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <variant>

#include "link/link_facade.h"
#include "protocol/command_result.h"
#include "protocol/printer_records.h"

// The operations a window can ask of the printer, by code.
enum class PrinterOperation : std::int32_t {
  SetClock = 0,
  ReadClock = 1,
  FactoryReset = 2,
  SetNetwork = 3,
  SetPrinterName = 4,
  ReadNetwork = 5,
  ProbeLink = 6,
};

// Sent first by every query, naming the link it arrives on; indexed by LinkKind.
inline constexpr std::array<std::string_view, 4> InterfaceCommands = {
    "DIAGNOSTIC INTERFACE USB\r\n",
    "DIAGNOSTIC INTERFACE COM\r\n",
    "DIAGNOSTIC INTERFACE LPT\r\n",
    "DIAGNOSTIC INTERFACE NET\r\n",
};

// The interface command for a link kind; empty for a value that is no link.
std::string_view InterfaceCommandFor(LinkKind kind);

inline constexpr std::string_view FactoryResetCommand = "INITIALPRINTER\r\n";

// The record an operation reads or fills: none for FactoryReset and ProbeLink.
using OperationRecord = std::variant<std::monostate, ClockRecord*, NetConfigRecord*>;

// The single way from the windows to the printer: opens the link of `kind`, exchanges the
// operation's commands, closes the link and returns the result. An operation code outside the
// table, a record of the wrong type, or a text that would break a quoted command is refused with
// InvalidOperation before anything is opened.
CommandResult RunPrinterOperation(LinkFacade& link, PrinterOperation operation, LinkKind kind,
                                  OperationRecord record = {});
