#include "protocol/network_commands.h"

#include <array>

#include "protocol/printer_operations.h"
#include "protocol/reply_frame.h"

std::optional<std::string> FormatSetNetworkCommand(const NetConfigRecord& config) {
  if (config.dhcp == 1) {
    return std::string("NET DHCP\r\n");
  }
  const std::string_view ip = config.ip.View();
  const std::string_view mask = config.mask.View();
  const std::string_view gateway = config.gateway.View();
  if (!IsQuotableText(ip) || !IsQuotableText(mask) || !IsQuotableText(gateway)) {
    return std::nullopt;
  }
  std::string command = "NET IP \"";
  command.append(ip).append("\",\"").append(mask).append("\",\"").append(gateway).append("\"\r\n");
  return command;
}

std::optional<std::string> FormatSetPrinterNameCommand(const NetConfigRecord& config) {
  const std::string_view name = config.netName.View();
  if (!IsQuotableText(name)) {
    return std::nullopt;
  }
  std::string command = "NET NAME \"";
  command.append(name).append("\"\r\n");
  return command;
}

CommandResult ReadNetworkOnLink(LinkFacade& link, LinkHandle handle, LinkKind kind,
                                NetConfigRecord& config) {
  ReplyBuffer data{};
  std::uint32_t length = 0;
  auto exchange = [&](std::string_view command) {
    return ExchangeCommand(link, handle, kind, command, data, length);
  };

  CommandResult result = exchange(InterfaceCommandFor(kind));
  if (result != CommandResult::Ok) {
    return result;
  }

  // The required reports, in the printer's order (gateway before mask).
  struct Report {
    std::string_view command;
    NetConfigRecord::Text NetConfigRecord::*field;
  };
  static constexpr std::array<Report, 4> Required = {{
      {"DIAGNOSTIC REPORT CONFIGIP\r\n", &NetConfigRecord::ip},
      {"DIAGNOSTIC REPORT GATEWAY\r\n", &NetConfigRecord::gateway},
      {"DIAGNOSTIC REPORT IPMASK\r\n", &NetConfigRecord::mask},
      {"DIAGNOSTIC REPORT LASTUSEDIP\r\n", &NetConfigRecord::lastUsedIp},
  }};
  for (const Report& report : Required) {
    result = exchange(report.command);
    if (result != CommandResult::Ok) {
      return result;
    }
    // Longer replies are cut to the field; nothing is written past it.
    (config.*report.field).Assign(ReplyText(data, length));
    if (report.field == &NetConfigRecord::ip) {
      config.dhcp = config.ip == "0.0.0.0" ? 1 : 0;
    }
  }

  // Printers that know no name or MAC address still give a good read.
  if (exchange("DIAGNOSTIC REPORT NETNAME\r\n") != CommandResult::Ok) {
    config.netName.Clear();
    return CommandResult::Ok;
  }
  config.netName.Assign(ReplyText(data, length));
  if (exchange("DIAGNOSTIC REPORT MACADDR\r\n") != CommandResult::Ok) {
    config.macAddr.Clear();
    return CommandResult::Ok;
  }
  config.macAddr.Assign(ReplyText(data, length));
  return CommandResult::Ok;
}
