#include "cli/udp_commands.h"

#include <QStringList>

#include "cli/cli_text.h"
#include "common/printer_rules.h"
#include "protocol/address_text.h"

namespace {

std::string NoAnswerHint(const DiscoverySent& sent, const CliArgs& args) {
  if (sent.broadcast && sent.interfaces.empty()) {
    return "No network interface is up that can broadcast: nothing was sent.";
  }
  std::string where = "at " + args.to;
  if (sent.broadcast) {
    QStringList names;
    for (const NetInterface& interface : sent.interfaces) {
      names << interface.name;
    }
    where = "on " + names.join(QStringLiteral(", ")).toStdString();
  }
  return "No printer answered " + where +
         ". A firewall that drops incoming UDP hides printers: allow UDP port " +
         std::to_string(NetSetupLocalPort) + " (see \"Firewalls\").";
}

// What speaks against a remote change having taken: writes nobody acknowledged, blocks that did
// not answer when read back (`read` is empty when none could be asked for), and settings that
// differ from `written`. Empty when the printer confirms the change.
std::vector<std::string> RemoteChangeDoubts(const std::optional<AddressBlocks>& read,
                                            const NetConfigRecord& written,
                                            const std::vector<std::uint8_t>& unanswered) {
  // An acknowledgement says only that something arrived; the blocks read back say what the
  // printer now holds. The name cannot be read back this way.
  std::vector<std::string> doubts;
  if (!unanswered.empty()) {
    std::vector<std::string> blocks;
    for (const std::uint8_t block : unanswered) {
      blocks.push_back(std::to_string(block));
    }
    doubts.push_back(unanswered.size() == 1 ? "no reply to the write of block " + blocks[0]
                                            : "no reply to the writes of blocks " + Listed(blocks));
  }
  if (const std::string unread = UnreadBlocks(read.value_or(AddressBlocks{})); !unread.empty()) {
    doubts.push_back(unread + " back");
  }
  const bool addresses = read && read->addressesRead;
  const bool mode = read && read->modeRead;
  if (!addresses && !mode) {
    return doubts;
  }
  const NetConfigRecord& reported = read->config;
  // Under DHCP the addresses are the server's to choose; only the mode can be compared.
  const bool modeDiffers = mode && reported.dhcp != written.dhcp;
  const bool addressesDiffer = written.dhcp == 0 && addresses &&
                               (!SameAddress(reported.ip.View(), written.ip.View()) ||
                                !SameAddress(reported.mask.View(), written.mask.View()) ||
                                !SameAddress(reported.gateway.View(), written.gateway.View()));
  if (modeDiffers || addressesDiffer) {
    std::string now;
    if (mode && addresses) {
      now = AddressText(reported);
    } else if (mode) {
      now = reported.dhcp != 0 ? "DHCP" : "a static address";
    } else {
      now = "IP " + ShownText(reported.ip.View()) + ", mask " + ShownText(reported.mask.View()) +
            ", gateway " + ShownText(reported.gateway.View());
    }
    doubts.push_back("it reports " + now + " instead of " + AddressText(written));
  }
  return doubts;
}

}  // namespace

std::variant<NetSetupExchange, std::string> UdpExchange(const CommandRun& run) {
  const CliArgs& args = run.args;
  NetSetupExchange exchange =
      run.services.exchange(QHostAddress(QString::fromStdString(args.to)), args.udpPort);
  if (args.interfaceName.empty()) {
    return exchange;
  }
  QStringList names;
  for (const NetInterface& interface : BroadcastInterfaces().used) {
    if (interface.name == QString::fromStdString(args.interfaceName)) {
      return exchange.Through(interface.index);
    }
    names << interface.name;
  }
  return "no network interface " + args.interfaceName + " that can broadcast; there are " +
         (names.isEmpty() ? std::string("none") : names.join(QStringLiteral(", ")).toStdString());
}

bool Discover(CommandRun& run, const NetSetupExchange& exchange, std::uint32_t sequence,
              int quietMs, StatusWait& wait, const std::string& doing, NoAnswer noAnswer,
              const std::function<bool(DiscoveryReply, const NetInterface&)>& found) {
  int count = 0;
  const auto waiting = [&] { return doing + " " + std::to_string(count) + " found"; };
  wait.Show(waiting());
  DiscoverySent sent;
  const bool ran = exchange.Discover(
      sequence,
      [&](const std::uint8_t* data, std::size_t length, const NetInterface& arrivedOn) {
        std::optional<DiscoveryReply> reply = ParseDiscoveryReply(data, length);
        if (reply && found(std::move(*reply), arrivedOn)) {
          ++count;
          wait.Show(waiting());
        }
      },
      DiscoveryLimits{quietMs, DiscoveryMaxTotalMs, DiscoveryMaxReplies}, &sent);
  if (ran && sent.replies == 0 && noAnswer != NoAnswer::Quiet) {
    const std::string hint = NoAnswerHint(sent, run.args);
    run.outcome.notice += (run.outcome.notice.empty() ? "" : "\n") + hint;
    if (noAnswer == NoAnswer::NoticeAndJson) {
      run.Json("hint", QString::fromStdString(hint));
    }
  }
  return ran;
}

std::optional<std::map<MacBytes, FoundPrinter>> DiscoverByMac(
    CommandRun& run, const NetSetupExchange& exchange, std::uint32_t sequence, int quietMs,
    StatusWait& wait, const std::string& doing, NoAnswer noAnswer) {
  std::map<MacBytes, FoundPrinter> found;
  const bool ran = Discover(
      run, exchange, sequence, quietMs, wait, doing, noAnswer,
      [&](DiscoveryReply reply, const NetInterface& arrivedOn) {
        const std::optional<MacBytes> mac = TextToMac(reply.mac);
        return mac && found.emplace(*mac, FoundPrinter{std::move(reply), arrivedOn}).second;
      });
  if (!ran) {
    return std::nullopt;
  }
  return found;
}

std::string NoPrinterAnswered(const std::string& mac, const char* what) {
  return "no printer with MAC " + mac + " answered " + what;
}

std::optional<std::map<MacBytes, NameCheck>> CheckNewNames(
    CommandRun& run, const NetSetupExchange& exchange, std::uint32_t sequence,
    const std::map<MacBytes, std::string>& wanted, const std::string& doing) {
  StatusWait wait(run.services.status, "");
  const auto found = DiscoverByMac(run, exchange, sequence, run.args.quietMs, wait, doing);
  if (!found) {
    return std::nullopt;
  }
  std::map<MacBytes, NameCheck> checks;
  for (const auto& [mac, name] : wanted) {
    const auto printer = found->find(mac);
    if (printer == found->end()) {
      checks[mac].doubt = "it did not answer the discovery that checks its new name";
    } else if (const std::string& reported = printer->second.reply.name; reported != name) {
      checks[mac] = {reported, "it reports the name '" + ShownText(reported) + "' instead of '" +
                                   ShownText(name) + "'"};
    }
  }
  return checks;
}

std::string UnreadBlocks(const AddressBlocks& read) {
  if (read.addressesRead && read.modeRead) {
    return {};
  }
  if (!read.addressesRead && !read.modeRead) {
    return "no reply when blocks 4 and 5 were read";
  }
  return std::string("no reply when block ") + (read.addressesRead ? "5" : "4") + " was read";
}

FleetRow RowOf(const MacBytes& mac, const std::string& name, const NetConfigRecord& config) {
  FleetRow row;
  row.mac = MacToText(mac);
  row.name = name;
  row.dhcp = config.dhcp != 0;
  row.ip = config.ip.View();
  row.mask = config.mask.View();
  row.gateway = config.gateway.View();
  return row;
}

std::string Joined(const std::vector<std::string>& parts, const char* separator) {
  std::string text;
  for (const std::string& part : parts) {
    text += (text.empty() ? "" : separator) + part;
  }
  return text;
}

bool SameAddress(std::string_view a, std::string_view b) {
  if (IsDottedQuad(a) && IsDottedQuad(b)) {
    return TextToIp(a) == TextToIp(b);
  }
  return a == b;
}

RemoteWrite WriteAddressSettings(const NetSetupExchange& exchange, std::uint32_t& sequence,
                                 const RemoteChangeTarget& target, int waitMs,
                                 const std::function<void(NetConfigRecord&)>& edit,
                                 const std::function<void(const std::string&)>& progress) {
  RemoteWrite write;
  bool edited = false;
  const RemoteChangeResult change = RunRemoteIpChange(
      exchange, sequence++, target,
      [&](NetConfigRecord& record) {
        edited = true;
        // Without the address block the printer's addresses are unknown; nothing is written.
        if (record.ip.Empty()) {
          return;
        }
        write.read = true;
        edit(record);
        record.accepted = 1;
        write.written = record;
      },
      waitMs,
      [&](int block, int blocks) {
        progress("block " + std::to_string(block) + " of " + std::to_string(blocks));
      });
  write.socket = edited;
  if (!edited || !write.read) {
    return write;
  }
  write.unanswered = change.unanswered;
  progress("reading back");
  write.readBack = ReadAddressBlocks(exchange, sequence++, target.macText, waitMs);
  write.doubts = RemoteChangeDoubts(write.readBack, write.written, write.unanswered);
  return write;
}
