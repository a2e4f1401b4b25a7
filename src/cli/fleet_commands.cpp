#include "cli/fleet_commands.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <cstdio>
#include <map>
#include <variant>
#include <vector>

#include "cli/cli_commands.h"
#include "cli/cli_text.h"
#include "cli/fleet_file.h"
#include "cli/remote_check.h"
#include "cli/udp_exchange.h"
#include "netsetup/discovery_protocol.h"
#include "netsetup/remote_ip_change.h"
#include "protocol/address_text.h"

namespace {

CliOutcome Finish(CliOutcome outcome, int code, const std::string& message) {
  outcome.exitCode = code;
  outcome.json.insert(QStringLiteral("result"), QString::fromStdString(code == 0 ? "OK" : message));
  outcome.json.insert(QStringLiteral("code"), code);
  if (code != 0) {
    outcome.error = message;
  }
  return outcome;
}

CliOutcome NoSocket(CliOutcome outcome) {
  return Finish(std::move(outcome), CliUnavailableExit, "no UDP socket could be made");
}

// "no reply when block 4 was read"; empty when both blocks answered.
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

QJsonObject SettingsJson(const FleetRow& settings) {
  return QJsonObject{
      {QStringLiteral("name"), FromLatin1(settings.name)},
      {QStringLiteral("mode"), settings.dhcp ? QStringLiteral("dhcp") : QStringLiteral("static")},
      {QStringLiteral("ip"), FromLatin1(settings.ip)},
      {QStringLiteral("mask"), FromLatin1(settings.mask)},
      {QStringLiteral("gateway"), FromLatin1(settings.gateway)},
  };
}

bool SameAddress(const std::string& a, const std::string& b) {
  return TextToIp(a) == TextToIp(b);
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

std::string Joined(const std::vector<std::string>& parts, const char* separator) {
  std::string text;
  for (const std::string& part : parts) {
    text += (text.empty() ? "" : separator) + part;
  }
  return text;
}

// One row of the file and what became of it.
struct Entry {
  const FleetRow* row = nullptr;
  std::optional<FleetRow> before, after;
  std::vector<std::string> changes;
  std::string result;  // "changed", "unchanged", "would change", "not found", "failed"
  std::string reason;  // why it failed
  std::optional<NetSetupExchange> exchange;  // towards its printer, once found

  void Fail(std::string why) {
    result = "failed";
    reason = std::move(why);
  }
};

class FleetApply {
 public:
  FleetApply(const CliArgs& args, CliServices& services, CliOutcome outcome,
             NetSetupExchange exchange)
      : args_(args),
        services_(services),
        outcome_(std::move(outcome)),
        exchange_(std::move(exchange)) {}

  CliOutcome Run();

 private:
  std::string FileName() const { return args_.file == "-" ? "standard input" : args_.file; }
  // Reads each listed printer's blocks and works out what its row would change. False when no
  // socket could be made.
  bool Plan(const std::map<MacBytes, FoundPrinter>& found);
  // Writes one printer's row and reads its blocks back. False when no socket could be made.
  bool Write(Entry& entry, int index, int count);
  // One more discovery, for the new names: the blocks cannot be read back for them.
  bool CheckNames();
  CliOutcome Report();

  const CliArgs& args_;
  CliServices& services_;
  CliOutcome outcome_;
  NetSetupExchange exchange_;
  std::uint32_t sequence_ = 1;
  std::vector<FleetRow> rows_;
  std::vector<Entry> entries_;
};

bool FleetApply::Plan(const std::map<MacBytes, FoundPrinter>& found) {
  StatusWait wait(services_.status, "Reading the printers' settings…");
  int listed = 0;
  for (const Entry& entry : entries_) {
    listed += found.count(*TextToMac(entry.row->mac)) != 0 ? 1 : 0;
  }
  int index = 0;
  for (Entry& entry : entries_) {
    const auto printer = found.find(*TextToMac(entry.row->mac));
    if (printer == found.end()) {
      entry.result = "not found";
      continue;
    }
    wait.Show("Reading printer " + std::to_string(++index) + " of " + std::to_string(listed) + "…");
    // Its requests go out of the interface it answered on.
    entry.exchange = exchange_.Through(printer->second.interface.index);
    const std::optional<AddressBlocks> read =
        ReadAddressBlocks(*entry.exchange, sequence_++, entry.row->mac, services_.remoteWaitMs);
    if (!read) {
      return false;
    }
    if (const std::string unread = UnreadBlocks(*read); !unread.empty()) {
      entry.Fail(unread);
      continue;
    }
    entry.before = RowOf(printer->first, printer->second.reply.name, read->config);
    entry.changes = Differences(*entry.before, *entry.row);
    if (entry.changes.empty()) {
      entry.result = "unchanged";
      entry.after = entry.before;
    } else {
      entry.result = "would change";
      entry.after = *entry.row;
      entry.after->line = 0;
    }
  }
  return true;
}

bool FleetApply::Write(Entry& entry, int index, int count) {
  const FleetRow& row = *entry.row;
  const std::string which =
      "printer " + std::to_string(index) + " of " + std::to_string(count) + ": ";
  StatusWait wait(services_.status, "Writing " + which + "reading its settings…");
  bool edited = false;
  bool answered = false;
  NetConfigRecord written;
  const RemoteChangeResult change = RunRemoteIpChange(
      *entry.exchange, sequence_++, {row.mac, entry.before->name},
      [&](NetConfigRecord& record) {
        edited = true;
        // Without the address block the addresses it would write are unknown.
        if (record.ip.Empty()) {
          return;
        }
        answered = true;
        record.netName.Assign(row.name);
        record.dhcp = row.dhcp ? 1 : 0;
        if (!row.dhcp) {
          record.ip.Assign(row.ip);
          record.mask.Assign(row.mask);
          record.gateway.Assign(row.gateway);
        }
        record.accepted = 1;
        written = record;
      },
      services_.remoteWaitMs,
      [&](int write, int writes) {
        wait.Show("Writing " + which + "block " + std::to_string(write) + " of " +
                  std::to_string(writes) + "…");
      });
  if (!edited) {
    return false;
  }
  if (!answered) {
    entry.Fail("no reply when block 4 was read before writing");
    return true;
  }
  wait.Show("Writing " + which + "reading back…");
  const std::optional<AddressBlocks> read =
      ReadAddressBlocks(*entry.exchange, sequence_++, row.mac, services_.remoteWaitMs);
  if (read) {
    entry.after = RowOf(*TextToMac(row.mac), row.name, read->config);
  }
  if (const std::vector<std::string> doubts = RemoteChangeDoubts(read, written, change.unanswered);
      !doubts.empty()) {
    entry.Fail("the printer did not confirm the change: " + Joined(doubts, "; "));
    return true;
  }
  entry.result = "changed";
  return true;
}

bool FleetApply::CheckNames() {
  std::vector<Entry*> renamed;
  for (Entry& entry : entries_) {
    if (entry.result == "changed" && entry.before->name != entry.row->name) {
      renamed.push_back(&entry);
    }
  }
  if (renamed.empty()) {
    return true;
  }
  StatusWait wait(services_.status, "");
  const auto found =
      DiscoverByMac(exchange_, sequence_++, args_.quietMs, wait, "Checking the new names…");
  if (!found) {
    return false;
  }
  for (Entry* entry : renamed) {
    const auto printer = found->find(*TextToMac(entry->row->mac));
    if (printer == found->end()) {
      entry->Fail("it did not answer the discovery that checks its new name");
    } else if (printer->second.reply.name != entry->row->name) {
      entry->after->name = printer->second.reply.name;
      entry->Fail("it reports the name '" + ShownText(printer->second.reply.name) +
                  "' instead of '" + ShownText(entry->row->name) + "'");
    }
  }
  return true;
}

CliOutcome FleetApply::Report() {
  QJsonArray printers;
  std::vector<std::array<std::string, 4>> table = {{"MAC", "Name", "Result", "Details"}};
  std::map<std::string, int> tally;
  for (const Entry& entry : entries_) {
    ++tally[entry.result];
    QJsonObject json{{QStringLiteral("mac"), QString::fromStdString(entry.row->mac)},
                     {QStringLiteral("result"), QString::fromStdString(entry.result)}};
    json.insert(QStringLiteral("before"),
                entry.before ? QJsonValue(SettingsJson(*entry.before)) : QJsonValue());
    json.insert(QStringLiteral("after"),
                entry.after ? QJsonValue(SettingsJson(*entry.after)) : QJsonValue());
    QJsonArray changes;
    for (const std::string& change : entry.changes) {
      changes.append(QString::fromStdString(change));
    }
    json.insert(QStringLiteral("changes"), changes);
    if (!entry.reason.empty()) {
      json.insert(QStringLiteral("reason"), QString::fromStdString(entry.reason));
    }
    printers.append(json);
    const std::string details = entry.result == "failed"      ? entry.reason
                                : entry.result == "not found" ? "no answer to the discovery"
                                                              : Joined(entry.changes, ", ");
    table.push_back({entry.row->mac, ShownText(entry.row->name), entry.result, details});
  }
  outcome_.json.insert(QStringLiteral("dryRun"), args_.dryRun);
  outcome_.json.insert(QStringLiteral("printers"), printers);
  outcome_.text = TableText(table);
  const int missed = tally["not found"] + tally["failed"];
  if (missed == 0) {
    return Finish(std::move(outcome_), 0, {});
  }
  std::vector<std::string> counts;
  for (const char* result : {"failed", "not found"}) {
    if (tally[result] > 0) {
      counts.push_back(std::to_string(tally[result]) + " " + result);
    }
  }
  return Finish(std::move(outcome_), CliFleetIncompleteExit,
                std::to_string(missed) + " of " + std::to_string(entries_.size()) +
                    (args_.dryRun ? " printers could not be set as the file says ("
                                  : " printers did not end as the file says (") +
                    Joined(counts, ", ") + ")");
}

CliOutcome FleetApply::Run() {
  outcome_.json.insert(QStringLiteral("file"), QString::fromStdString(args_.file));
  // Asked before anything is read or sent, as remote-set does.
  if (!args_.dryRun && !args_.yes &&
      (!services_.terminal || !services_.confirm || args_.file == "-")) {
    outcome_.usageError = true;
    return Finish(std::move(outcome_), CliUsageExit,
                  args_.file == "-" ? "apply needs --yes when the file comes from standard input"
                                    : "apply needs --yes when not run from a terminal");
  }
  std::string error;
  const std::optional<std::string> bytes =
      services_.readInput(args_.file, FleetFileMaxBytes + 1, error);
  if (!bytes) {
    return Finish(std::move(outcome_), CliNoInputExit, "cannot read " + FileName() + ": " + error);
  }
  auto parsed = ReadFleetFile(*bytes);
  if (const FleetFileError* bad = std::get_if<FleetFileError>(&parsed)) {
    return Finish(std::move(outcome_), CliBadFileExit,
                  FileName() + ": " + bad->message + "; nothing was sent");
  }
  rows_ = std::move(std::get<std::vector<FleetRow>>(parsed));
  entries_.resize(rows_.size());
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    entries_[i].row = &rows_[i];
  }

  std::optional<std::map<MacBytes, FoundPrinter>> found;
  DiscoverySent sent;
  {
    StatusWait wait(services_.status, "");
    found =
        DiscoverByMac(exchange_, sequence_++, args_.quietMs, wait, "Looking for printers…", &sent);
  }
  if (!found) {
    return NoSocket(std::move(outcome_));
  }
  if (sent.replies == 0) {
    outcome_.notice = NoAnswerHint(sent, args_);
    outcome_.json.insert(QStringLiteral("hint"), QString::fromStdString(outcome_.notice));
  }
  if (!Plan(*found)) {
    return NoSocket(std::move(outcome_));
  }
  std::vector<Entry*> toWrite;
  for (Entry& entry : entries_) {
    if (entry.result == "would change") {
      toWrite.push_back(&entry);
    }
  }
  if (args_.dryRun || toWrite.empty()) {
    return Report();
  }
  if (!args_.yes) {
    std::string question;
    for (const Entry* entry : toWrite) {
      question += entry->row->mac + ": " + Joined(entry->changes, ", ") + "\n";
    }
    question += "Change " + std::to_string(toWrite.size()) +
                (toWrite.size() == 1 ? " printer" : " printers") + " as above? [y/N] ";
    if (!services_.confirm(question)) {
      return Finish(std::move(outcome_), 1, "cancelled; nothing was written");
    }
  }
  int index = 0;
  for (Entry* entry : toWrite) {
    if (!Write(*entry, ++index, static_cast<int>(toWrite.size()))) {
      return NoSocket(std::move(outcome_));
    }
  }
  if (!CheckNames()) {
    return NoSocket(std::move(outcome_));
  }
  return Report();
}

}  // namespace

CliOutcome RunExport(const CliArgs& args, CliServices& services, CliOutcome outcome) {
  std::variant<NetSetupExchange, std::string> udp = UdpExchange(args, services);
  if (const std::string* bad = std::get_if<std::string>(&udp)) {
    outcome.usageError = true;
    return Finish(std::move(outcome), CliUsageExit, *bad);
  }
  const NetSetupExchange& exchange = std::get<NetSetupExchange>(udp);
  StatusWait wait(services.status, "");
  DiscoverySent sent;
  const auto found = DiscoverByMac(exchange, 1, args.quietMs, wait, "Looking for printers…", &sent);
  if (!found) {
    outcome.jsonText = "[]\n";
    return NoSocket(std::move(outcome));
  }
  if (sent.replies == 0) {
    outcome.notice = NoAnswerHint(sent, args);
  }
  std::vector<FleetRow> rows;
  std::vector<std::string> unread;
  std::uint32_t sequence = 2;
  for (const auto& [mac, printer] : *found) {
    wait.Show("Reading printer " + std::to_string(rows.size() + unread.size() + 1) + " of " +
              std::to_string(found->size()) + "…");
    const std::optional<AddressBlocks> read =
        ReadAddressBlocks(exchange.Through(printer.interface.index), sequence++, MacToText(mac),
                          services.remoteWaitMs);
    if (!read) {
      outcome.jsonText = "[]\n";
      return NoSocket(std::move(outcome));
    }
    if (const std::string problem = UnreadBlocks(*read); !problem.empty()) {
      unread.push_back(MacToText(mac) + " (" + ShownText(printer.reply.name) + "): " + problem);
      continue;
    }
    rows.push_back(RowOf(mac, printer.reply.name, read->config));
  }
  outcome.text = FleetCsv(rows);
  outcome.jsonText = FleetJson(rows);
  if (unread.empty()) {
    return Finish(std::move(outcome), 0, {});
  }
  return Finish(std::move(outcome), CliFleetIncompleteExit,
                std::to_string(unread.size()) + " of " + std::to_string(found->size()) +
                    " printers could not be read and are left out:\n  " + Joined(unread, "\n  "));
}

CliOutcome RunApply(const CliArgs& args, CliServices& services, CliOutcome outcome) {
  std::variant<NetSetupExchange, std::string> udp = UdpExchange(args, services);
  if (const std::string* bad = std::get_if<std::string>(&udp)) {
    outcome.usageError = true;
    return Finish(std::move(outcome), CliUsageExit, *bad);
  }
  return FleetApply(args, services, std::move(outcome), std::get<NetSetupExchange>(udp)).Run();
}

std::optional<std::string> ReadInputFile(const std::string& path, std::size_t maxBytes,
                                         std::string& error) {
  QFile file;
  const bool open = path == "-" ? file.open(stdin, QIODevice::ReadOnly)
                                : (file.setFileName(QString::fromStdString(path)),
                                   file.open(QIODevice::ReadOnly));
  if (!open) {
    error = file.errorString().toStdString();
    return std::nullopt;
  }
  // A pipe gives what it holds at the moment; read on until its end or the limit.
  std::string bytes;
  while (bytes.size() < maxBytes) {
    const QByteArray chunk = file.read(static_cast<qint64>(maxBytes - bytes.size()));
    if (chunk.isEmpty()) {
      break;
    }
    bytes.append(chunk.constData(), static_cast<std::size_t>(chunk.size()));
  }
  if (file.error() != QFileDevice::NoError) {
    error = file.errorString().toStdString();
    return std::nullopt;
  }
  return bytes;
}
