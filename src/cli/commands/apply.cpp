#include <QJsonArray>
#include <algorithm>
#include <array>
#include <map>

#include "cli/cli_checks.h"
#include "cli/cli_text.h"
#include "cli/commands/commands.h"
#include "cli/fleet_file.h"
#include "cli/udp_commands.h"
#include "protocol/address_text.h"

namespace {

std::optional<std::string> TakeApply(const ParsedLine& line, CliArgs& args) {
  if (line.words.isEmpty()) {
    return "'apply' needs a file: a path, or - for standard input";
  }
  args.file = line.words.front().toStdString();
  args.dryRun = line.Has("--dry-run");
  return TakeUdpOptions(line, args);
}

// Null when the settings are not known.
QJsonValue SettingsJson(const std::optional<FleetRow>& settings) {
  if (!settings) {
    return QJsonValue();
  }
  return QJsonObject{
      {QStringLiteral("name"), FromLatin1(settings->name)},
      {QStringLiteral("mode"), settings->dhcp ? QStringLiteral("dhcp") : QStringLiteral("static")},
      {QStringLiteral("ip"), FromLatin1(settings->ip)},
      {QStringLiteral("mask"), FromLatin1(settings->mask)},
      {QStringLiteral("gateway"), FromLatin1(settings->gateway)},
  };
}

// What a write of `wanted` would change on a printer that holds `now`, field by field as
// "ip 192.168.0.21 → 10.0.0.21". Under DHCP the addresses are the server's: only the mode and
// the name count.
std::vector<std::string> Differences(const FleetRow& now, const FleetRow& wanted) {
  std::vector<std::string> changes;
  if (now.name != wanted.name) {
    changes.push_back("name '" + ShownText(now.name) + "' → '" + ShownText(wanted.name) + "'");
  }
  if (now.dhcp != wanted.dhcp) {
    changes.push_back(std::string("mode ") + (now.dhcp ? "dhcp → static" : "static → dhcp"));
  }
  if (!wanted.dhcp) {
    const std::array<std::pair<const char*, std::string FleetRow::*>, 3> fields = {{
        {"ip", &FleetRow::ip},
        {"mask", &FleetRow::mask},
        {"gateway", &FleetRow::gateway},
    }};
    for (const auto& [label, field] : fields) {
      if (!SameAddress(now.*field, wanted.*field)) {
        changes.push_back(std::string(label) + " " + ShownText(now.*field) + " → " + wanted.*field);
      }
    }
  }
  return changes;
}

enum class Result { NotFound, Failed, Unchanged, WouldChange, Changed };
constexpr std::array<const char*, 5> ResultNames = {"not found", "failed", "unchanged",
                                                    "would change", "changed"};

// One row of the file and what became of it.
struct Entry {
  FleetRow row;
  std::optional<FleetRow> before, after;
  std::vector<std::string> changes;
  Result result = Result::NotFound;
  std::string reason;                        // why it failed
  std::optional<NetSetupExchange> exchange;  // towards its printer, once found

  void Fail(std::string why) {
    result = Result::Failed;
    reason = std::move(why);
  }
};

// One run of apply: the exchange towards the printers, the next sequence number, and the rows.
struct Fleet {
  CommandRun& run;
  NetSetupExchange exchange;
  std::uint32_t sequence = 1;
  std::vector<Entry> entries = {};
};

// Reads each listed printer's blocks and works out what its row would change. False when no
// socket could be made.
bool Plan(Fleet& fleet, const std::map<MacBytes, FoundPrinter>& found) {
  StatusWait wait(fleet.run.services.status, "Reading the printers' settings…");
  const auto listed = std::count_if(
      fleet.entries.begin(), fleet.entries.end(),
      [&](const Entry& entry) { return found.count(*TextToMac(entry.row.mac)) != 0; });
  int index = 0;
  for (Entry& entry : fleet.entries) {
    const auto printer = found.find(*TextToMac(entry.row.mac));
    if (printer == found.end()) {
      continue;
    }
    wait.Show("Reading printer " + std::to_string(++index) + " of " + std::to_string(listed) + "…");
    // Its requests go out of the interface it answered on.
    entry.exchange = fleet.exchange.Through(printer->second.interface.index);
    const std::optional<AddressBlocks> read = ReadAddressBlocks(
        *entry.exchange, fleet.sequence++, entry.row.mac, fleet.run.services.remoteWaitMs);
    if (!read) {
      return false;
    }
    if (const std::string unread = UnreadBlocks(*read); !unread.empty()) {
      entry.Fail(unread);
      continue;
    }
    entry.before = RowOf(printer->first, printer->second.reply.name, read->config);
    entry.changes = Differences(*entry.before, entry.row);
    entry.result = entry.changes.empty() ? Result::Unchanged : Result::WouldChange;
    entry.after = entry.changes.empty() ? *entry.before : entry.row;
    entry.after->line = 0;
  }
  return true;
}

// Writes one printer's row and reads its blocks back. False when no socket could be made.
bool Write(Fleet& fleet, Entry& entry, int index, int count) {
  const FleetRow& row = entry.row;
  const std::string which =
      "Writing printer " + std::to_string(index) + " of " + std::to_string(count) + ": ";
  StatusWait wait(fleet.run.services.status, which + "reading its settings…");
  const RemoteWrite write = WriteAddressSettings(
      *entry.exchange, fleet.sequence, {row.mac, entry.before->name},
      fleet.run.services.remoteWaitMs,
      [&](NetConfigRecord& record) {
        record.netName.Assign(row.name);
        SetAddresses(record, row.dhcp, row.ip, row.mask, row.gateway);
      },
      [&](const std::string& step) { wait.Show(which + step + "…"); });
  if (!write.socket) {
    return false;
  }
  if (!write.read) {
    entry.Fail("no reply when block 4 was read before writing");
    return true;
  }
  if (write.readBack) {
    entry.after = RowOf(*TextToMac(row.mac), row.name, write.readBack->config);
  }
  entry.result = Result::Changed;
  if (!write.doubts.empty()) {
    entry.Fail("the printer did not confirm the change: " + Joined(write.doubts, "; "));
  }
  return true;
}

// One more discovery, for the new names: the blocks cannot be read back for them.
bool CheckNames(Fleet& fleet) {
  std::map<MacBytes, std::string> wanted;
  std::map<MacBytes, Entry*> renamed;
  for (Entry& entry : fleet.entries) {
    if (entry.result == Result::Changed && entry.before->name != entry.row.name) {
      const MacBytes mac = *TextToMac(entry.row.mac);
      wanted[mac] = entry.row.name;
      renamed[mac] = &entry;
    }
  }
  if (wanted.empty()) {
    return true;
  }
  const auto checks =
      CheckNewNames(fleet.run, fleet.exchange, fleet.sequence++, wanted, "Checking the new names…");
  if (!checks) {
    return false;
  }
  for (const auto& [mac, check] : *checks) {
    Entry& entry = *renamed[mac];
    if (check.reported) {
      entry.after->name = *check.reported;
    }
    entry.Fail(check.doubt);
  }
  return true;
}

CliOutcome Report(Fleet& fleet) {
  QJsonArray printers;
  std::vector<std::array<std::string, 4>> table = {{"MAC", "Name", "Result", "Details"}};
  std::map<Result, int> tally;
  for (const Entry& entry : fleet.entries) {
    ++tally[entry.result];
    const char* result = ResultNames[static_cast<std::size_t>(entry.result)];
    QJsonArray changes;
    for (const std::string& change : entry.changes) {
      changes.append(QString::fromStdString(change));
    }
    QJsonObject json{{QStringLiteral("mac"), QString::fromStdString(entry.row.mac)},
                     {QStringLiteral("result"), QLatin1String(result)},
                     {QStringLiteral("before"), SettingsJson(entry.before)},
                     {QStringLiteral("after"), SettingsJson(entry.after)},
                     {QStringLiteral("changes"), changes}};
    if (!entry.reason.empty()) {
      json.insert(QStringLiteral("reason"), QString::fromStdString(entry.reason));
    }
    printers.append(json);
    const std::string details = entry.result == Result::Failed ? entry.reason
                                : entry.result == Result::NotFound
                                    ? NoPrinterAnswered(entry.row.mac)
                                    : Joined(entry.changes, ", ");
    table.push_back({entry.row.mac, ShownText(entry.row.name), result, details});
  }
  fleet.run.Json("dryRun", fleet.run.args.dryRun);
  fleet.run.Json("printers", printers);
  fleet.run.outcome.text = TableText(table);
  const int missed = tally[Result::NotFound] + tally[Result::Failed];
  if (missed == 0) {
    return fleet.run.Finish(0);
  }
  std::vector<std::string> counts;
  for (const Result result : {Result::Failed, Result::NotFound}) {
    if (tally[result] > 0) {
      counts.push_back(std::to_string(tally[result]) + " " +
                       ResultNames[static_cast<std::size_t>(result)]);
    }
  }
  return fleet.run.Finish(
      CliFleetIncompleteExit,
      std::to_string(missed) + " of " + std::to_string(fleet.entries.size()) +
          (fleet.run.args.dryRun ? " printers could not be set as the file says ("
                                 : " printers did not end as the file says (") +
          Joined(counts, ", ") + ")");
}

CliOutcome RunApply(CommandRun& run) {
  std::variant<NetSetupExchange, std::string> udp = UdpExchange(run);
  if (const std::string* bad = std::get_if<std::string>(&udp)) {
    return run.Usage(*bad);
  }
  Fleet fleet{run, std::get<NetSetupExchange>(udp)};
  const CliArgs& args = run.args;
  run.Json("file", QString::fromStdString(args.file));
  // Asked before anything is read or sent, as remote-set does.
  const CliServices& services = run.services;
  if (!args.dryRun && !args.yes && (!services.terminal || !services.confirm || args.file == "-")) {
    return run.Usage(args.file == "-" ? "apply needs --yes when the file comes from standard input"
                                      : "apply needs --yes when not run from a terminal");
  }
  const std::string fileName = args.file == "-" ? "standard input" : args.file;
  std::string error;
  const std::optional<std::string> bytes =
      services.readInput(args.file, FleetFileMaxBytes + 1, error);
  if (!bytes) {
    return run.Finish(CliNoInputExit, "cannot read " + fileName + ": " + error);
  }
  auto parsed = ReadFleetFile(*bytes);
  if (const FleetFileError* bad = std::get_if<FleetFileError>(&parsed)) {
    return run.Finish(CliBadFileExit, fileName + ": " + bad->message + "; nothing was sent");
  }
  FleetFile& file = std::get<FleetFile>(parsed);
  if (file.windows1252) {
    run.outcome.notice = fileName + " is not UTF-8; read as Windows-1252";
  }
  for (FleetRow& row : file.rows) {
    fleet.entries.emplace_back().row = std::move(row);
  }
  std::optional<std::map<MacBytes, FoundPrinter>> found;
  {
    StatusWait wait(services.status, "");
    found = DiscoverByMac(run, fleet.exchange, fleet.sequence++, args.quietMs, wait,
                          "Looking for printers…", NoAnswer::NoticeAndJson);
  }
  if (!found || !Plan(fleet, *found)) {
    return run.NoSocket();
  }
  std::vector<Entry*> toWrite;
  for (Entry& entry : fleet.entries) {
    if (entry.result == Result::WouldChange) {
      toWrite.push_back(&entry);
    }
  }
  if (args.dryRun || toWrite.empty()) {
    return Report(fleet);
  }
  if (!args.yes) {
    std::string question;
    for (const Entry* entry : toWrite) {
      question += entry->row.mac + ": " + Joined(entry->changes, ", ") + "\n";
    }
    question += "Change " + std::to_string(toWrite.size()) +
                (toWrite.size() == 1 ? " printer" : " printers") + " as above? [y/N] ";
    if (!services.confirm(question)) {
      return run.Finish(1, "cancelled; nothing was written");
    }
  }
  int index = 0;
  for (Entry* entry : toWrite) {
    if (!Write(fleet, *entry, ++index, static_cast<int>(toWrite.size()))) {
      return run.NoSocket();
    }
  }
  if (!CheckNames(fleet)) {
    return run.NoSocket();
  }
  return Report(fleet);
}

constexpr const char* ApplyHelp =
    R"(Checks every row of FILE first (MAC, name, mode, addresses, no MAC twice): a bad row stops
it with exit status 65 before anything is sent. Then it finds the printers, reads each
listed one's settings and changes those that differ from their row, as remote-set does. A
printer is 'changed' only when its address blocks read back, and a closing discovery for
a new name, show the row's values; one already as its row says is 'unchanged' and gets no
write. Rows whose printer does not answer are 'not found'. --dry-run shows what would
change (old -> new) and writes nothing. Asks first when run from a terminal; without a
terminal, or with FILE -, --yes is required. Exit status 0 only when every row ended
changed or unchanged, else 75.
Example: q73580-cli apply site.csv --dry-run)";

}  // namespace

void AddApply(std::vector<CommandSpec>& commands) {
  commands.push_back({CliCommand::Apply, "apply", nullptr, "FILE",
                      "a file as 'export' writes it, CSV or JSON; - for standard input", 1,
                      "set every printer listed in a file, by MAC, over UDP", ApplyHelp, false,
                      "--yes --dry-run --timeout --to --udp-port --interface", TakeApply,
                      RunApply});
}
