// clock get --all and clock set --all: every printer that a discovery finds, over TCP at the
// address its reply carries, several at a time.
#include <QJsonArray>
#include <QThread>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "cli/cli_checks.h"
#include "cli/cli_text.h"
#include "cli/commands/commands.h"
#include "cli/link_options.h"
#include "cli/udp_commands.h"
#include "link/network_stream.h"
#include "protocol/address_text.h"
#include "protocol/printer_operations.h"

namespace {

static_assert(SiteClockConnections == 16, "the help of --all names the bound");

// One printer of the site and what became of it.
struct SiteClock {
  std::string mac, name, ip;
  std::optional<ClockRecord> before = {}, after = {};
  std::string failure = {};  // empty when it was read (and set)
};

// An address a connection can go to: not 0.0.0.0 (a printer still waiting for DHCP), not a
// broadcast or multicast address.
bool Reachable(const std::string& ip) {
  if (!IsDottedQuad(ip)) {
    return false;
  }
  const IpBytes bytes = TextToIp(ip);
  const bool any = bytes == IpBytes{};
  const bool broadcast = bytes == IpBytes{255, 255, 255, 255};
  return !any && !broadcast && (bytes[0] & 0xF0) != 0xE0;
}

// As the single-printer commands word a result: the message, and its cause.
std::string ResultText(CommandResult result, const LinkFacade& link) {
  const std::optional<ResultCause> cause = CauseOf(result, link);
  return std::string(ResultMessage(result)) + (cause ? ": " + cause->detail.toStdString() : "");
}

QDateTime DateTimeOf(const ClockRecord& clock) {
  return QDateTime(QDate(clock.year, clock.month, clock.date),
                   QTime(clock.hour, clock.minute, clock.second));
}

// Reads the printer's clock, and with `toSend` sets it and reads it back. Runs on a thread of its
// own, so the facade and its socket are made and ended here; every wait is the network
// stream's, so it ends by itself.
void TalkTo(SiteClock& printer, const std::function<ClockRecord()>* toSend) {
  LinkPorts ports;
  ports.ethernet = std::make_unique<NetworkStream>();
  LinkFacade link(std::move(ports));
  SerialSettings serial;
  LptDeviceName lpt = DefaultLptDeviceName;
  NetTarget net;
  net.Host.Assign(printer.ip);
  link.SetLinkTargets(serial, lpt, net);
  const auto step = [&](PrinterOperation operation, ClockRecord& clock, const char* doing) {
    const CommandResult result = RunPrinterOperation(link, operation, LinkKind::Ethernet, &clock);
    if (result != CommandResult::Ok) {
      printer.failure = doing + ResultText(result, link);
    }
    return result == CommandResult::Ok;
  };
  ClockRecord clock;
  if (!step(PrinterOperation::ReadClock, clock, toSend != nullptr ? "reading the clock: " : "")) {
    return;
  }
  printer.before = clock;
  if (toSend == nullptr) {
    return;
  }
  ClockRecord sent = (*toSend)();
  const auto sentAt = std::chrono::steady_clock::now();
  if (!step(PrinterOperation::SetClock, sent, "setting the clock: ") ||
      !step(PrinterOperation::ReadClock, clock, "reading the clock back: ")) {
    return;
  }
  printer.after = clock;
  // The set gets no answer; only the clock read back shows that the printer took it.
  const auto took =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - sentAt)
          .count();
  const QDateTime shown = DateTimeOf(clock);
  if (!shown.isValid() || std::abs(DateTimeOf(sent).secsTo(shown)) > took + 2) {
    printer.failure =
        "it reports " + ClockText(clock, ' ') + " after " + ClockText(sent, ' ') + " was sent";
  }
}

// Talks to every printer that has an address, at most SiteClockConnections at once, and shows
// how far it got meanwhile.
void TalkToAll(std::vector<SiteClock>& printers, CommandRun& run, bool set) {
  std::vector<SiteClock*> queue;
  for (SiteClock& printer : printers) {
    if (Reachable(printer.ip)) {
      queue.push_back(&printer);
    } else {
      printer.failure =
          "its discovery reply carries no address to connect to (" + ShownText(printer.ip) + ")";
    }
  }
  // With --from-pc the PC's time as it is when each printer's set goes out, not when the
  // command started. The seam may be called from every worker at once.
  std::mutex clockMutex;
  const std::function<ClockRecord()> toSend = [&] {
    if (!run.args.clockFromPc) {
      return run.args.clock;
    }
    const std::lock_guard lock(clockMutex);
    return ClockAt(run.services.now());
  };
  std::atomic<std::size_t> next{0};
  std::mutex doneMutex;
  std::condition_variable doneChanged;
  std::size_t done = 0;
  std::vector<std::unique_ptr<QThread>> workers;
  const std::size_t count = std::min<std::size_t>(queue.size(), SiteClockConnections);
  for (std::size_t w = 0; w < count; ++w) {
    workers.emplace_back(QThread::create([&] {
      for (std::size_t i = next++; i < queue.size(); i = next++) {
        TalkTo(*queue[i], set ? &toSend : nullptr);
        {
          const std::lock_guard lock(doneMutex);
          ++done;
        }
        doneChanged.notify_one();
      }
    }));
    workers.back()->start();
  }
  StatusWait wait(run.services.status, "");
  std::unique_lock lock(doneMutex);
  while (done < queue.size()) {
    wait.Show(std::string(set ? "Setting" : "Reading") + " the clocks: " + std::to_string(done) +
              " of " + std::to_string(queue.size()) + " done…");
    doneChanged.wait_for(lock, std::chrono::milliseconds(250));
  }
  lock.unlock();
  for (const auto& worker : workers) {
    worker->wait();
  }
}

QJsonValue ClockOrNull(const std::optional<ClockRecord>& clock) {
  return clock ? QJsonValue(ClockJson(*clock)) : QJsonValue();
}

CliOutcome Report(CommandRun& run, const std::vector<SiteClock>& printers, bool set) {
  const char* done = set ? "set" : "read";
  QJsonArray json;
  std::vector<std::array<std::string, 5>> table = {{"MAC", "Name", "Address", "Result", "Clock"}};
  std::size_t failed = 0;
  for (const SiteClock& printer : printers) {
    failed += !printer.failure.empty();
    QJsonObject entry{
        {QStringLiteral("mac"), QString::fromStdString(printer.mac)},
        {QStringLiteral("name"), FromLatin1(printer.name)},
        {QStringLiteral("ip"), FromLatin1(printer.ip)},
        {QStringLiteral("result"), QLatin1String(printer.failure.empty() ? done : "failed")}};
    std::string clock;
    if (set) {
      entry.insert(QStringLiteral("before"), ClockOrNull(printer.before));
      entry.insert(QStringLiteral("after"), ClockOrNull(printer.after));
      clock = printer.after
                  ? ClockText(*printer.before, ' ') + " → " + ClockText(*printer.after, ' ')
                  : std::string();
    } else {
      entry.insert(QStringLiteral("clock"), ClockOrNull(printer.before));
      clock = printer.before ? ClockText(*printer.before, ' ') : std::string();
    }
    if (!printer.failure.empty()) {
      entry.insert(QStringLiteral("reason"), QString::fromStdString(printer.failure));
      clock = printer.after ? clock + "; " + printer.failure : printer.failure;
    }
    json.append(entry);
    table.push_back({printer.mac, ShownText(printer.name), ShownText(printer.ip),
                     printer.failure.empty() ? done : "failed", clock});
  }
  run.Json("printers", json);
  const std::string of = std::to_string(printers.size() - failed) + " of " +
                         std::to_string(printers.size()) + " printers";
  run.outcome.text = (printers.empty() ? std::string() : TableText(table)) +
                     (set ? "Clock set on " : "Clock read from ") + of + ".\n";
  if (failed == 0) {
    return run.Finish(0);
  }
  return run.Finish(
      CliFleetIncompleteExit,
      std::to_string(failed) + " of " + std::to_string(printers.size()) +
          (set ? " printers did not get the clock set" : " printers' clocks could not be read"));
}

}  // namespace

std::optional<std::string> TakeAllPrinters(const ParsedLine& line, CliArgs& args) {
  if (!line.Has("--all")) {
    for (const char* option : {"--timeout", "--to", "--udp-port", "--interface"}) {
      if (line.Has(option)) {
        return std::string("option ") + option + " goes only with --all";
      }
    }
    return std::nullopt;
  }
  for (const OptionRule& rule : LinkOptionRules()) {
    if (line.Has(rule.name)) {
      return "option " + rule.name +
             " does not go with --all, which reaches each printer at the address discovery finds";
    }
  }
  args.all = true;
  return TakeUdpOptions(line, args);
}

CliOutcome RunSiteClocks(CommandRun& run) {
  std::variant<NetSetupExchange, std::string> udp = UdpExchange(run);
  if (const std::string* bad = std::get_if<std::string>(&udp)) {
    return run.Usage(*bad);
  }
  std::optional<std::map<MacBytes, FoundPrinter>> found;
  {
    StatusWait wait(run.services.status, "");
    found = DiscoverByMac(run, std::get<NetSetupExchange>(udp), 1, run.args.quietMs, wait,
                          "Looking for printers…", NoAnswer::NoticeAndJson);
  }
  if (!found) {
    return run.NoSocket();
  }
  // In MAC order, as export lists them.
  std::vector<SiteClock> printers;
  for (const auto& [mac, printer] : *found) {
    printers.push_back({MacToText(mac), printer.reply.name, printer.reply.ip});
  }
  const bool set = run.args.command == CliCommand::ClockSet;
  TalkToAll(printers, run, set);
  return Report(run, printers, set);
}
