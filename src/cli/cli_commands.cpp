#include "cli/cli_commands.h"

#include "cli/cli_text.h"
#include "cli/fleet_commands.h"
#include "cli/remote_check.h"
#include "cli/udp_exchange.h"

#include <QJsonArray>
#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "common/printer_rules.h"
#include "link/usb_printer_port.h"
#include "netsetup/discovery_protocol.h"
#include "netsetup/remote_ip_change.h"
#include "protocol/address_text.h"
#include "protocol/command_result.h"
#include "protocol/printer_operations.h"

namespace {

// How the question and messages name the link: "USB", "COM1", "192.168.0.20:9100".
std::string LinkCaption(const CliLink& link) {
  return link.kind == LinkKind::Usb ? std::string("USB") : ShownText(link.target);
}

QJsonObject ClockJson(const ClockRecord& clock) {
  return QJsonObject{
      {QStringLiteral("year"), clock.year},
      {QStringLiteral("month"), clock.month},
      {QStringLiteral("date"), clock.date},
      {QStringLiteral("hour"), clock.hour},
      {QStringLiteral("minute"), clock.minute},
      {QStringLiteral("second"), clock.second},
      {QStringLiteral("text"), QString::fromStdString(ClockText(clock, 'T'))},
  };
}

QJsonObject NetworkJson(const NetConfigRecord& config) {
  return QJsonObject{
      {QStringLiteral("dhcp"), config.dhcp != 0},
      {QStringLiteral("ip"), FromLatin1(config.ip.View())},
      {QStringLiteral("mask"), FromLatin1(config.mask.View())},
      {QStringLiteral("gateway"), FromLatin1(config.gateway.View())},
      {QStringLiteral("lastUsedIp"), FromLatin1(config.lastUsedIp.View())},
      {QStringLiteral("name"), FromLatin1(config.netName.View())},
      {QStringLiteral("mac"), FromLatin1(config.macAddr.View())},
  };
}

std::string NetworkText(const NetConfigRecord& config) {
  const std::array<std::pair<const char*, std::string>, 7> lines = {{
      {"DHCP:", config.dhcp != 0 ? "on" : "off"},
      {"IP:", ShownText(config.ip.View())},
      {"Mask:", ShownText(config.mask.View())},
      {"Gateway:", ShownText(config.gateway.View())},
      {"Address in use:", ShownText(config.lastUsedIp.View())},
      {"Name:", ShownText(config.netName.View())},
      {"MAC:", ShownText(config.macAddr.View())},
  }};
  std::string text;
  for (const auto& [key, value] : lines) {
    std::string line = key;
    line.resize(16, ' ');
    text += line + value + "\n";
  }
  return text;
}

class Runner {
 public:
  Runner(const CliArgs& args, CliServices& services) : args_(args), services_(services) {
    outcome_.json.insert(QStringLiteral("command"),
                         QString::fromStdString(CliCommandName(args.command)));
    if (args.link) {
      outcome_.json.insert(QStringLiteral("link"),
                           QJsonObject{{QStringLiteral("kind"), LinkKindName(args.link->kind)},
                                       {QStringLiteral("target"), FromLatin1(args.link->target)}});
    }
  }

  CliOutcome Run();

 private:
  CliOutcome Finish(int code, const std::string& message) {
    outcome_.exitCode = code;
    outcome_.json.insert(QStringLiteral("result"),
                         QString::fromStdString(code == 0 ? std::string("OK") : message));
    outcome_.json.insert(QStringLiteral("code"), code);
    if (code != 0) {
      outcome_.error = message;
    }
    return outcome_;
  }
  CliOutcome Finish(CommandResult result) {
    Finish(static_cast<int>(result), std::string(ResultMessage(result)));
    // The message stays as the windows show it; why the port did not open follows it.
    if (result == CommandResult::OpenPortError && services_.link != nullptr &&
        services_.link->LastOpenFailure().Failed()) {
      const OpenFailure& failure = services_.link->LastOpenFailure();
      outcome_.json.insert(
          QStringLiteral("cause"),
          QJsonObject{{QStringLiteral("kind"), QLatin1String(OpenFailureCauseName(failure.cause))},
                      {QStringLiteral("detail"), QString::fromStdString(failure.detail)}});
      outcome_.error += ": " + failure.detail;
    }
    return outcome_;
  }
  CliOutcome Usage(const std::string& message) {
    outcome_.usageError = true;
    return Finish(CliUsageExit, message);
  }
  CliOutcome NoSocket() { return Finish(CliUnavailableExit, "no UDP socket could be made"); }
  // Nothing when the user agreed (or --yes), else how the command ends.
  std::optional<CliOutcome> Confirm(const std::string& question);
  void Say(const std::string& line) {
    if (args_.verbose) {
      outcome_.text += line + "\n";
    }
  }
  CommandResult Operate(PrinterOperation operation, OperationRecord record = {}) {
    // The facade reads the targets at open; they live as long as this call.
    CliLink link = *args_.link;
    services_.link->SetLinkTargets(link.serial, link.lptDevice, link.net);
    const CommandResult result = [&] {
      const StatusWait wait(services_.status, "Waiting for the printer…");
      return RunPrinterOperation(*services_.link, operation, link.kind, record);
    }();
    // What the port had to go without, e.g. a hardware handshake the driver refused.
    if (const std::string& note = services_.link->LastOpenNote(); !note.empty()) {
      Say(note);
    }
    return result;
  }

  CliOutcome RunLinkCommand();
  CliOutcome RunDiscover();
  CliOutcome RunRemoteSet();
  // Nothing when the printer confirms what `written` holds, else what speaks against it.
  std::optional<std::string> ConfirmRemoteChange(const NetSetupExchange& exchange,
                                                 std::uint32_t sequence,
                                                 const NetConfigRecord& written,
                                                 const std::vector<std::uint8_t>& unanswered);
  CliOutcome RunWeb();
  CliOutcome RunUsbList();

  const CliArgs& args_;
  CliServices& services_;
  CliOutcome outcome_;
};

std::optional<CliOutcome> Runner::Confirm(const std::string& question) {
  if (args_.yes) {
    return std::nullopt;
  }
  if (!services_.terminal || !services_.confirm) {
    return Usage(CliCommandName(args_.command) + " needs --yes when not run from a terminal");
  }
  if (!services_.confirm(question)) {
    return Finish(1, "cancelled");
  }
  return std::nullopt;
}

CliOutcome Runner::RunLinkCommand() {
  switch (args_.command) {
    case CliCommand::Probe:
      return Finish(Operate(PrinterOperation::ProbeLink));
    case CliCommand::ClockGet: {
      ClockRecord clock;
      const CommandResult result = Operate(PrinterOperation::ReadClock, &clock);
      if (result == CommandResult::Ok) {
        outcome_.json.insert(QStringLiteral("clock"), ClockJson(clock));
        outcome_.text += ClockText(clock, ' ') + "\n";
      }
      return Finish(result);
    }
    case CliCommand::ClockSet: {
      ClockRecord clock = args_.clock;
      if (args_.clockFromPc) {
        // As "Get System Time": the PC's local time, to the second.
        const QDateTime now = services_.now();
        clock = ClockRecord{now.date().year(), now.date().month(),  now.date().day(),
                            now.time().hour(), now.time().minute(), now.time().second()};
      }
      outcome_.json.insert(QStringLiteral("clock"), ClockJson(clock));
      const CommandResult result = Operate(PrinterOperation::SetClock, &clock);
      if (result == CommandResult::Ok) {
        Say("Clock set to " + ClockText(clock, ' ') + ".");
      }
      return Finish(result);
    }
    case CliCommand::NetGet: {
      NetConfigRecord config;
      const CommandResult result = Operate(PrinterOperation::ReadNetwork, &config);
      if (result == CommandResult::Ok) {
        outcome_.json.insert(QStringLiteral("network"), NetworkJson(config));
        outcome_.text += NetworkText(config);
      }
      return Finish(result);
    }
    case CliCommand::NetSet: {
      NetConfigRecord config;
      config.dhcp = args_.dhcp ? 1 : 0;
      if (!args_.dhcp) {
        config.ip.Assign(args_.ip);
        config.mask.Assign(args_.mask);
        config.gateway.Assign(args_.gateway);
      }
      const CommandResult result = Operate(PrinterOperation::SetNetwork, &config);
      if (result == CommandResult::Ok) {
        Say(args_.dhcp ? std::string("Address by DHCP.")
                       : "Static address " + args_.ip + ", mask " + args_.mask + ", gateway " +
                             args_.gateway + ".");
      }
      return Finish(result);
    }
    case CliCommand::NameSet: {
      NetConfigRecord config;
      config.netName.Assign(args_.name.value_or(std::string()));
      const CommandResult result = Operate(PrinterOperation::SetPrinterName, &config);
      if (result == CommandResult::Ok) {
        Say("Printer name set to '" + ShownText(config.netName.View()) + "'.");
      }
      return Finish(result);
    }
    case CliCommand::FactoryReset: {
      if (std::optional<CliOutcome> stop =
              Confirm("Restore the factory defaults of the printer on " + LinkCaption(*args_.link) +
                      "? [y/N] ")) {
        return *stop;
      }
      const CommandResult result = Operate(PrinterOperation::FactoryReset);
      if (result == CommandResult::Ok) {
        Say("Factory defaults restored.");
      }
      return Finish(result);
    }
    default:
      return Finish(CommandResult::InvalidOperation);
  }
}

CliOutcome Runner::RunDiscover() {
  std::variant<NetSetupExchange, std::string> exchange = UdpExchange(args_, services_);
  if (const std::string* bad = std::get_if<std::string>(&exchange)) {
    return Usage(*bad);
  }
  std::vector<FoundPrinter> found;
  const auto waiting = [&found] {
    return "Waiting for printers… " + std::to_string(found.size()) + " found";
  };
  StatusWait wait(services_.status, waiting());
  DiscoverySent sent;
  const bool ran = std::get<NetSetupExchange>(exchange).Discover(
      1,
      [&](const std::uint8_t* data, std::size_t length, const NetInterface& arrivedOn) {
        if (std::optional<DiscoveryReply> reply = ParseDiscoveryReply(data, length)) {
          found.push_back(FoundPrinter{std::move(*reply), arrivedOn});
          wait.Show(waiting());
        }
      },
      DiscoveryLimits{args_.quietMs, DiscoveryMaxTotalMs, DiscoveryMaxReplies}, &sent);
  if (!ran) {
    return NoSocket();
  }
  QJsonArray printers;
  std::vector<std::array<std::string, 6>> rows = {
      {"Name", "MAC", "IP address", "Model", "Status", "Interface"}};
  for (const auto& [reply, interface] : found) {
    printers.append(QJsonObject{
        {QStringLiteral("name"), FromLatin1(reply.name)},
        {QStringLiteral("mac"), FromLatin1(reply.mac)},
        {QStringLiteral("ip"), FromLatin1(reply.ip)},
        {QStringLiteral("model"), FromLatin1(reply.model)},
        {QStringLiteral("status"), FromLatin1(reply.status)},
        {QStringLiteral("interface"), InterfaceJson(interface)},
    });
    rows.push_back({ShownText(reply.name), ShownText(reply.mac), ShownText(reply.ip),
                    ShownText(reply.model), ShownText(reply.status),
                    InterfaceText(interface).toStdString()});
  }
  outcome_.json.insert(QStringLiteral("printers"), printers);
  outcome_.text = TableText(rows);
  if (sent.replies == 0) {
    outcome_.notice = NoAnswerHint(sent, args_);
    outcome_.json.insert(QStringLiteral("hint"), QString::fromStdString(outcome_.notice));
  }
  return Finish(CommandResult::Ok);
}

CliOutcome Runner::RunRemoteSet() {
  outcome_.json.insert(QStringLiteral("mac"), QString::fromStdString(args_.mac));
  std::variant<NetSetupExchange, std::string> udp = UdpExchange(args_, services_);
  if (const std::string* bad = std::get_if<std::string>(&udp)) {
    return Usage(*bad);
  }
  if (std::optional<CliOutcome> stop =
          Confirm("Change the network settings of the printer " + args_.mac + "? [y/N] ")) {
    return *stop;
  }
  NetSetupExchange exchange = std::get<NetSetupExchange>(udp);
  const std::optional<MacBytes> mac = TextToMac(args_.mac);
  StatusWait wait(services_.status, "Looking for the printer…");

  // The change writes the name too; the address blocks do not carry it, so a printer that is to
  // keep its name is asked for it first, by a discovery, as the window lists it before a change.
  // A broadcast asks too, for the interface the printer answers on: the change goes out of that
  // one only, as the window sends it out of its row's.
  std::uint32_t sequence = 1;
  RemoteChangeTarget target{args_.mac, args_.name.value_or(std::string())};
  if (!args_.name || exchange.Broadcasts()) {
    const auto found = DiscoverByMac(exchange, sequence, 1000, wait, "Looking for the printer…");
    if (!found) {
      return NoSocket();
    }
    const auto printer = found->find(*mac);
    if (printer != found->end()) {
      exchange = exchange.Through(printer->second.interface.index);
      if (!args_.name) {
        target.caption = printer->second.reply.name;
      }
    } else if (!args_.name) {
      return Finish(CommandResult::ReceiveDataError);
    }
    ++sequence;
  }
  wait.Show("Reading the printer's settings…");

  bool edited = false;
  bool answered = false;
  NetConfigRecord written;
  const RemoteChangeResult change = RunRemoteIpChange(
      exchange, sequence, target,
      [&](NetConfigRecord& record) {
        edited = true;
        // Without the address block the printer's addresses are unknown; nothing is written.
        if (record.ip.Empty()) {
          return;
        }
        answered = true;
        if (args_.dhcp) {
          record.dhcp = 1;
        } else {
          record.dhcp = 0;
          record.ip.Assign(args_.ip);
          record.mask.Assign(args_.mask);
          record.gateway.Assign(args_.gateway);
        }
        record.accepted = 1;
        written = record;
        written.macAddr.Assign(args_.mac);
      },
      services_.remoteWaitMs,
      [&wait](int write, int writes) {
        wait.Show("Writing block " + std::to_string(write) + " of " + std::to_string(writes) + "…");
      });
  if (!edited) {
    return NoSocket();
  }
  if (!answered) {
    return Finish(CommandResult::ReceiveDataError);
  }
  outcome_.json.insert(QStringLiteral("network"), NetworkJson(written));
  wait.Show("Reading back…");
  if (std::optional<std::string> doubt =
          ConfirmRemoteChange(exchange, sequence + 1, written, change.unanswered)) {
    return Finish(CliUnconfirmedExit, "the printer did not confirm the change: " + *doubt);
  }
  Say("Wrote to " + args_.mac + ": " + AddressText(written) + ", name '" +
      ShownText(written.netName.View()) + "'.");
  return Finish(CommandResult::Ok);
}

std::optional<std::string> Runner::ConfirmRemoteChange(
    const NetSetupExchange& exchange, std::uint32_t sequence, const NetConfigRecord& written,
    const std::vector<std::uint8_t>& unanswered) {
  QJsonArray unansweredJson;
  for (const std::uint8_t block : unanswered) {
    unansweredJson.append(block);
  }
  outcome_.json.insert(QStringLiteral("unanswered"), unansweredJson);
  const std::optional<AddressBlocks> read =
      ReadAddressBlocks(exchange, sequence, args_.mac, services_.remoteWaitMs);
  if (read && (read->addressesRead || read->modeRead)) {
    const NetConfigRecord& reported = read->config;
    QJsonObject json;
    if (read->modeRead) {
      json.insert(QStringLiteral("dhcp"), reported.dhcp != 0);
    }
    if (read->addressesRead) {
      json.insert(QStringLiteral("ip"), FromLatin1(reported.ip.View()));
      json.insert(QStringLiteral("mask"), FromLatin1(reported.mask.View()));
      json.insert(QStringLiteral("gateway"), FromLatin1(reported.gateway.View()));
    }
    outcome_.json.insert(QStringLiteral("reported"), json);
  }
  const std::vector<std::string> doubts = RemoteChangeDoubts(read, written, unanswered);
  if (doubts.empty()) {
    return std::nullopt;
  }
  std::string text = doubts.front();
  for (std::size_t i = 1; i < doubts.size(); ++i) {
    text += "; " + doubts[i];
  }
  return text;
}

CliOutcome Runner::RunWeb() {
  const QString url = QStringLiteral("http://") + FromLatin1(args_.host);
  outcome_.json.insert(QStringLiteral("url"), url);
  outcome_.text = url.toStdString() + "\n";
  if (!services_.openUrl || !services_.openUrl(url)) {
    return Finish(1, "no browser could be started; open the address above by hand");
  }
  return Finish(CommandResult::Ok);
}

CliOutcome Runner::RunUsbList() {
  const UsbVendorChoice& vendor = services_.usbVendor;
  outcome_.json.insert(QStringLiteral("vendorId"), QString::fromStdString(vendor.id));
  outcome_.json.insert(QStringLiteral("vendorSource"),
                       QLatin1String(UsbVendorSourceName(vendor.source)));
  if (services_.usbBus == nullptr) {
    return Finish(CliUnavailableExit, "this build cannot list USB devices");
  }
  UsbBus& bus = *services_.usbBus;
  const std::vector<UsbDeviceEntry> devices = UsbDevicesInBusOrder(bus);
  if (const OpenFailure failure = bus.LastFailure(); failure.Failed()) {
    return Finish(CliUnavailableExit, failure.detail);
  }
  QJsonArray printers;
  std::vector<std::array<std::string, 4>> rows = {{"Vendor", "Product", "Path", "Match"}};
  for (const UsbDeviceEntry& device : devices) {
    if (!bus.HasPrinterInterface(device)) {
      continue;
    }
    char vendorId[8];
    char productId[8];
    std::snprintf(vendorId, sizeof vendorId, "%04x", static_cast<unsigned>(device.vendorId));
    std::snprintf(productId, sizeof productId, "%04x", static_cast<unsigned>(device.productId));
    const std::string path = UsbPathText(device);
    // The port's own rule, so that "yes" means --usb would take it.
    const bool matches = ChooseUsbPrinter({path}, vendor.id) == 0;
    printers.append(QJsonObject{
        {QStringLiteral("vendorId"), QLatin1String(vendorId)},
        {QStringLiteral("productId"), QLatin1String(productId)},
        {QStringLiteral("path"), QString::fromStdString(path)},
        {QStringLiteral("matches"), matches},
    });
    rows.push_back({vendorId, productId, path, matches ? "yes" : "no"});
  }
  outcome_.json.insert(QStringLiteral("printers"), printers);
  outcome_.text = TableText(rows) + "--usb looks for vendor id " + vendor.id + " (from the " +
                  UsbVendorSourceName(vendor.source) + ").\n";
  return Finish(CommandResult::Ok);
}

CliOutcome Runner::Run() {
  if (args_.link) {
    return RunLinkCommand();
  }
  switch (args_.command) {
    case CliCommand::Discover:
      return RunDiscover();
    case CliCommand::RemoteSet:
      return RunRemoteSet();
    case CliCommand::Web:
      return RunWeb();
    case CliCommand::UsbList:
      return RunUsbList();
    case CliCommand::Export:
      return RunExport(args_, services_, outcome_);
    case CliCommand::Apply:
      return RunApply(args_, services_, outcome_);
    default:
      return Finish(CommandResult::InvalidOperation);
  }
}

}  // namespace

std::string ClockText(const ClockRecord& clock, char separator) {
  std::array<char, 96> text{};
  std::snprintf(text.data(), text.size(), "%04d-%02d-%02d%c%02d:%02d:%02d", clock.year, clock.month,
                clock.date, separator, clock.hour, clock.minute, clock.second);
  return text.data();
}

CliOutcome RunCliCommand(const CliArgs& args, CliServices& services) {
  return Runner(args, services).Run();
}
