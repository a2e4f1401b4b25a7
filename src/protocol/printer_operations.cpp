#include "protocol/printer_operations.h"

#include <optional>
#include <string>

#include "protocol/clock_commands.h"
#include "protocol/network_commands.h"
#include "protocol/reply_frame.h"

std::string_view InterfaceCommandFor(LinkKind kind) {
  const auto index = static_cast<std::int32_t>(kind);
  if (index < 0 || index >= static_cast<std::int32_t>(InterfaceCommands.size())) {
    return {};
  }
  return InterfaceCommands[static_cast<std::size_t>(index)];
}

namespace {

// What one operation does once its link is open.
using LinkSteps = std::function<CommandResult(LinkFacade&, LinkHandle, LinkKind)>;

std::optional<LinkSteps> WriteOnly(std::optional<std::string> command) {
  if (!command) {
    return std::nullopt;
  }
  return [text = std::move(*command)](LinkFacade& link, LinkHandle handle, LinkKind kind) {
    return WriteCommand(link, handle, kind, text);
  };
}

// Builds the steps of an operation, or nothing when the request itself cannot be carried out.
std::optional<LinkSteps> PrepareSteps(PrinterOperation operation, OperationRecord record) {
  auto* clock = std::get_if<ClockRecord*>(&record);
  auto* config = std::get_if<NetConfigRecord*>(&record);
  const bool hasClock = clock != nullptr && *clock != nullptr;
  const bool hasConfig = config != nullptr && *config != nullptr;

  switch (operation) {
    case PrinterOperation::SetClock:
      if (!hasClock) {
        break;
      }
      return WriteOnly(FormatSetClockCommand(**clock));
    case PrinterOperation::ReadClock:
      if (!hasClock) {
        break;
      }
      return [target = *clock](LinkFacade& link, LinkHandle handle, LinkKind kind) {
        return ReadClockOnLink(link, handle, kind, *target);
      };
    case PrinterOperation::FactoryReset:
      return WriteOnly(std::string(FactoryResetCommand));
    case PrinterOperation::SetNetwork:
      if (!hasConfig) {
        break;
      }
      return WriteOnly(FormatSetNetworkCommand(**config));
    case PrinterOperation::SetPrinterName:
      if (!hasConfig) {
        break;
      }
      return WriteOnly(FormatSetPrinterNameCommand(**config));
    case PrinterOperation::ReadNetwork:
      if (!hasConfig) {
        break;
      }
      return [target = *config](LinkFacade& link, LinkHandle handle, LinkKind kind) {
        return ReadNetworkOnLink(link, handle, kind, *target);
      };
    case PrinterOperation::ProbeLink:
      return [](LinkFacade&, LinkHandle, LinkKind) { return CommandResult::Ok; };
  }
  return std::nullopt;
}

}  // namespace

CommandResult RunPrinterOperation(LinkFacade& link, PrinterOperation operation, LinkKind kind,
                                  OperationRecord record) {
  const std::optional<LinkSteps> steps = PrepareSteps(operation, record);
  if (!steps) {
    return CommandResult::InvalidOperation;
  }
  const LinkHandle handle = link.OpenLink(kind);
  if (handle == InvalidLink) {
    return CommandResult::OpenPortError;
  }
  const CommandResult result = (*steps)(link, handle, kind);
  link.CloseLink(kind, handle);
  return result;
}
