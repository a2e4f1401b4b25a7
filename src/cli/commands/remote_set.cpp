#include <QJsonArray>

#include "cli/cli_checks.h"
#include "cli/cli_text.h"
#include "cli/commands/commands.h"
#include "cli/udp_commands.h"
#include "protocol/address_text.h"

namespace {

std::optional<std::string> TakeRemoteSet(const ParsedLine& line, CliArgs& args) {
  if (line.words.isEmpty()) {
    return "'remote-set' needs the printer's MAC address";
  }
  const std::optional<MacBytes> mac = TypedTextToMac(Latin1(line.words.front()));
  if (!mac) {
    return Quoted(line.words.front()) +
           " is not a MAC address like 00:1A:2B:3C:4D:5E, 00-1A-2B-3C-4D-5E or 001A2B3C4D5E";
  }
  args.mac = MacToText(*mac);
  if (const std::optional<QString> name = line.Value("--name")) {
    if (std::optional<std::string> problem = PrinterNameProblem(*name)) {
      return problem;
    }
    args.name = Latin1(*name);
  }
  if (auto problem = TakeAddressChoice(line, "remote-set", args)) {
    return problem;
  }
  return TakeUdpOptions(line, args);
}

// What the printer reported when read back, for the JSON of an unconfirmed change.
QJsonObject ReportedJson(const AddressBlocks& read) {
  QJsonObject json;
  if (read.modeRead) {
    json.insert(QStringLiteral("dhcp"), read.config.dhcp != 0);
  }
  if (read.addressesRead) {
    json.insert(QStringLiteral("ip"), FromLatin1(read.config.ip.View()));
    json.insert(QStringLiteral("mask"), FromLatin1(read.config.mask.View()));
    json.insert(QStringLiteral("gateway"), FromLatin1(read.config.gateway.View()));
  }
  return json;
}

// Exit 3, as the window's "Receive Data Error", with the MAC nobody answered for.
CliOutcome NotAnswered(CommandRun& run, const char* what) {
  return run.Finish(static_cast<int>(CommandResult::ReceiveDataError),
                    std::string(ResultMessage(CommandResult::ReceiveDataError)) + ": " +
                        NoPrinterAnswered(run.args.mac, what));
}

CliOutcome RunRemoteSet(CommandRun& run) {
  const CliArgs& args = run.args;
  run.Json("mac", QString::fromStdString(args.mac));
  std::variant<NetSetupExchange, std::string> udp = UdpExchange(run);
  if (const std::string* bad = std::get_if<std::string>(&udp)) {
    return run.Usage(*bad);
  }
  if (std::optional<CliOutcome> stop =
          run.Confirm("Change the network settings of the printer " + args.mac + "? [y/N] ",
                      "remote-set needs --yes when not run from a terminal")) {
    return *stop;
  }
  NetSetupExchange exchange = std::get<NetSetupExchange>(udp);
  StatusWait wait(run.services.status, "Looking for the printer…");

  // The change writes the name too; the address blocks do not carry it, so a printer that is to
  // keep its name is asked for it first, by a discovery, as the window lists it before a change.
  // A broadcast asks too, for the interface the printer answers on: the change goes out of that
  // one only, as the window sends it out of its row's.
  std::uint32_t sequence = 1;
  RemoteChangeTarget target{args.mac, args.name.value_or(std::string())};
  // What the MAC left unanswered, should its address blocks not answer either.
  const char* missed = "the read of its settings";
  if (!args.name || exchange.Broadcasts()) {
    const auto found =
        DiscoverByMac(run, exchange, sequence++, 1000, wait, "Looking for the printer…");
    if (!found) {
      return run.NoSocket();
    }
    const auto printer = found->find(*TextToMac(args.mac));
    if (printer != found->end()) {
      exchange = exchange.Through(printer->second.interface.index);
      if (!args.name) {
        target.caption = printer->second.reply.name;
      }
    } else if (!args.name) {
      return NotAnswered(run, "the discovery");
    } else {
      missed = "the discovery";
    }
  }
  wait.Show("Reading the printer's settings…");
  RemoteWrite write = WriteAddressSettings(
      exchange, sequence, target, run.services.remoteWaitMs,
      [&](NetConfigRecord& record) {
        SetAddresses(record, args.dhcp, args.ip, args.mask, args.gateway);
      },
      [&](const std::string& step) {
        wait.Show(step == "reading back" ? std::string("Reading back…") : "Writing " + step + "…");
      });
  if (!write.socket) {
    return run.NoSocket();
  }
  if (!write.read) {
    return NotAnswered(run, missed);
  }
  write.written.macAddr.Assign(args.mac);
  run.Json("network", NetworkJson(write.written));
  QJsonArray unanswered;
  for (const std::uint8_t block : write.unanswered) {
    unanswered.append(block);
  }
  run.Json("unanswered", unanswered);
  QJsonObject reported = write.readBack ? ReportedJson(*write.readBack) : QJsonObject();
  if (args.name) {
    const MacBytes mac = *TextToMac(args.mac);
    const auto checks =
        CheckNewNames(run, exchange, sequence++, {{mac, *args.name}}, "Checking the new name…");
    if (!checks) {
      return run.NoSocket();
    }
    if (const auto check = checks->find(mac); check != checks->end()) {
      write.doubts.push_back(check->second.doubt);
      if (check->second.reported) {
        reported.insert(QStringLiteral("name"), FromLatin1(*check->second.reported));
      }
    }
  }
  if (!reported.isEmpty()) {
    run.Json("reported", reported);
  }
  if (!write.doubts.empty()) {
    return run.Finish(CliUnconfirmedExit,
                      "the printer did not confirm the change: " + Joined(write.doubts, "; "));
  }
  run.Say("Wrote to " + args.mac + ": " + AddressText(write.written) + ", name '" +
          ShownText(write.written.netName.View()) + "'.");
  return run.Finish(CommandResult::Ok);
}

constexpr const char* RemoteSetHelp =
    R"(Changes the address settings of the printer with this MAC address over UDP, without a
connection to it: reads its address blocks (up to 3 s for each answer) and writes the name,
addresses and address mode. A discovery sent first finds the interface the printer answers
on, which the change goes out of, and, without --name, the name it keeps. Then it reads
the address blocks back, and with --name a closing discovery shows the name: a write nobody
answered, or a printer that reports other settings or another name than were written, ends
with exit status 76 and says which. A MAC no printer answers for is exit status 3. Asks
first when run from a terminal; without a terminal --yes is required.
Example: q73580-cli remote-set 00:1A:2B:3C:4D:5E --static 192.168.1.50 255.255.255.0 192.168.1.1 --yes)";

}  // namespace

void AddRemoteSet(std::vector<CommandSpec>& commands) {
  commands.push_back(
      {CliCommand::RemoteSet, "remote-set", nullptr, "MAC", "the printer's MAC address", 1,
       "change a printer's address settings by MAC over UDP", RemoteSetHelp, false,
       "--yes --dhcp --static --name --to --udp-port --interface", TakeRemoteSet, RunRemoteSet});
}
