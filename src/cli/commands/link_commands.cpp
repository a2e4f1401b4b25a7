// The commands over a link: probe, clock get and set, net get and set, name set, factory-reset.
#include <QDate>
#include <QRegularExpression>
#include <QTime>
#include <array>

#include "cli/cli_checks.h"
#include "cli/cli_commands.h"
#include "cli/cli_text.h"
#include "cli/commands/commands.h"
#include "protocol/printer_operations.h"

namespace {

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

CommandResult Operate(CommandRun& run, PrinterOperation operation, OperationRecord record = {}) {
  // The facade reads the targets at open; they live as long as this call.
  CliLink link = *run.args.link;
  LinkFacade& facade = *run.services.link;
  facade.SetLinkTargets(link.serial, link.lptDevice, link.net);
  const CommandResult result = [&] {
    const StatusWait wait(run.services.status, "Waiting for the printer…");
    return RunPrinterOperation(facade, operation, link.kind, record);
  }();
  // What the port had to go without, e.g. a hardware handshake the driver refused.
  if (const std::string& note = facade.LastOpenNote(); !note.empty()) {
    run.Say(note);
  }
  return result;
}

// A set command: the operation, and on success what -v says.
CliOutcome Set(CommandRun& run, PrinterOperation operation, OperationRecord record,
               const std::string& done) {
  const CommandResult result = Operate(run, operation, record);
  if (result == CommandResult::Ok) {
    run.Say(done);
  }
  return run.Finish(result);
}

CliOutcome RunProbe(CommandRun& run) {
  return run.Finish(Operate(run, PrinterOperation::ProbeLink));
}

// A read waits for replies, which a parallel port cannot carry: refused before anything is sent.
std::optional<std::string> TakeRead(const ParsedLine&, CliArgs& args) {
  if (args.link && args.link->kind == LinkKind::Lpt) {
    return "the parallel port is write-only: '" + CliCommandName(args.command) +
           "' needs the printer's reply; use --usb, --com or --net";
  }
  return std::nullopt;
}

std::optional<std::string> TakeClockGet(const ParsedLine& line, CliArgs& args) {
  if (std::optional<std::string> problem = TakeAllPrinters(line, args)) {
    return problem;
  }
  return TakeRead(line, args);
}

CliOutcome RunClockGet(CommandRun& run) {
  if (run.args.all) {
    return RunSiteClocks(run);
  }
  ClockRecord clock;
  const CommandResult result = Operate(run, PrinterOperation::ReadClock, &clock);
  if (result == CommandResult::Ok) {
    run.Json("clock", ClockJson(clock));
    run.outcome.text += ClockText(clock, ' ') + "\n";
  }
  return run.Finish(result);
}

std::optional<std::string> TakeClock(const ParsedLine& line, CliArgs& args) {
  if (std::optional<std::string> problem = TakeAllPrinters(line, args)) {
    return problem;
  }
  if (line.Has("--from-pc")) {
    // The date and the time as 'clock get' prints them may come as two words, not with it.
    if (!line.words.isEmpty()) {
      return "unexpected argument " + Quoted(line.words.front());
    }
    args.clockFromPc = true;
    return std::nullopt;
  }
  if (line.words.isEmpty()) {
    return "'clock set' needs --from-pc or a date and time YYYY-MM-DDTHH:MM:SS";
  }
  const QString text = line.words.join(QLatin1Char(' '));
  static const QRegularExpression form(
      QStringLiteral("^([0-9]{4})-([0-9]{2})-([0-9]{2})[T ]([0-9]{2}):([0-9]{2}):([0-9]{2})$"));
  if (const QRegularExpressionMatch match = form.match(text); match.hasMatch()) {
    const auto n = [&](int field) { return match.captured(field).toInt(); };
    if (QDate::isValid(n(1), n(2), n(3)) && QTime::isValid(n(4), n(5), n(6))) {
      args.clock = ClockRecord{n(1), n(2), n(3), n(4), n(5), n(6)};
      return std::nullopt;
    }
  }
  return Quoted(text) +
         " is not a date and time of the form YYYY-MM-DD HH:MM:SS or YYYY-MM-DDTHH:MM:SS";
}

CliOutcome RunClockSet(CommandRun& run) {
  if (run.args.all) {
    return RunSiteClocks(run);
  }
  // As "Get System Time": the PC's local time, to the second.
  ClockRecord clock = run.args.clockFromPc ? ClockAt(run.services.now()) : run.args.clock;
  run.Json("clock", ClockJson(clock));
  return Set(run, PrinterOperation::SetClock, &clock,
             "Clock set to " + ClockText(clock, ' ') + ".");
}

CliOutcome RunNetGet(CommandRun& run) {
  NetConfigRecord config;
  const CommandResult result = Operate(run, PrinterOperation::ReadNetwork, &config);
  if (result == CommandResult::Ok) {
    run.Json("network", NetworkJson(config));
    run.outcome.text += NetworkText(config);
  }
  return run.Finish(result);
}

CliOutcome RunNetSet(CommandRun& run) {
  const CliArgs& args = run.args;
  NetConfigRecord config;
  SetAddresses(config, args.dhcp, args.ip, args.mask, args.gateway);
  return Set(run, PrinterOperation::SetNetwork, &config,
             args.dhcp ? std::string("Address by DHCP.")
                       : "Static address " + args.ip + ", mask " + args.mask + ", gateway " +
                             args.gateway + ".");
}

std::optional<std::string> TakeNetSet(const ParsedLine& line, CliArgs& args) {
  return TakeAddressChoice(line, "net set", args);
}

std::optional<std::string> TakeName(const ParsedLine& line, CliArgs& args) {
  if (line.words.isEmpty()) {
    return "'name set' needs the printer name";
  }
  if (std::optional<std::string> problem = PrinterNameProblem(line.words.front())) {
    return problem;
  }
  args.name = Latin1(line.words.front());
  return std::nullopt;
}

CliOutcome RunNameSet(CommandRun& run) {
  NetConfigRecord config;
  config.netName.Assign(run.args.name.value_or(std::string()));
  return Set(run, PrinterOperation::SetPrinterName, &config,
             "Printer name set to '" + ShownText(config.netName.View()) + "'.");
}

CliOutcome RunFactoryReset(CommandRun& run) {
  // The link as "USB", "COM1" or "192.168.0.20:9100".
  const CliLink& link = *run.args.link;
  const std::string on = link.kind == LinkKind::Usb ? std::string("USB") : ShownText(link.target);
  if (std::optional<CliOutcome> stop =
          run.Confirm("Restore the factory defaults of the printer on " + on + "? [y/N] ",
                      "factory-reset needs --yes when not run from a terminal")) {
    return *stop;
  }
  return Set(run, PrinterOperation::FactoryReset, {}, "Factory defaults restored.");
}

constexpr const char* SiteClockOptions = "--all --timeout --to --udp-port --interface";

constexpr const char* ClockGetHelp =
    R"(Prints the printer's clock as YYYY-MM-DD HH:MM:SS, which 'clock set' takes back, quoted
or not; with --json its "text" is YYYY-MM-DDTHH:MM:SS.
With --all instead of a link: finds the printers as 'discover' does (--timeout, --to,
--udp-port, --interface) and reads each one's clock over TCP port 9100 at the address its
answer carries, 16 printers at a time. One line per printer, ordered by MAC address (MAC,
name, address, read or failed, the clock or why not), then how many were read; with --json
"printers": [{"mac", "name", "ip", "result", "clock", "reason"}, ...]. Exit status 0 only
when every printer was read, else 75.
Examples: q73580-cli --com COM1 --baud 19200 clock get
          q73580-cli clock get --all)";

constexpr const char* ClockSetHelp =
    R"(Sets the printer's clock to this PC's local time (--from-pc) or to the date and time given.
With --all instead of a link: finds the printers as 'discover' does (--timeout, --to,
--udp-port, --interface) and, over TCP port 9100 at the address each answer carries, 16
printers at a time, reads each clock, sets it (with --from-pc to the PC's time at the moment
that printer's set goes out) and reads it back. One line per printer, ordered by MAC
address (MAC, name, address, set or failed, clock before -> after or why not), then how many
were set; with --json "printers": [{"mac", "name", "ip", "result", "before", "after",
"reason"}, ...]. Exit status 0 only when every printer was set, else 75.
Examples: q73580-cli --net 192.168.0.20 clock set --from-pc
          q73580-cli --usb clock set 2026-12-08T10:30:00
          q73580-cli clock set --all --from-pc)";

constexpr const char* NetSetHelp =
    R"(Switches the printer to DHCP, or to a static address; each address is four numbers from 0
to 255 joined by dots.
Example: q73580-cli --usb net set --static 192.168.1.50 255.255.255.0 192.168.1.1)";

constexpr const char* NameSetHelp =
    R"(Sets the printer's network name: at most 15 Latin-1 characters, no quotation marks or
control characters.
Example: q73580-cli --net 192.168.0.20 name set Office-2)";

constexpr const char* FactoryResetHelp =
    R"(Restores the printer's factory defaults. Asks first when run from a terminal; without a
terminal --yes is required.
Example: q73580-cli --lpt LPT1 factory-reset --yes)";

}  // namespace

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

ClockRecord ClockAt(const QDateTime& time) {
  return ClockRecord{time.date().year(), time.date().month(),  time.date().day(),
                     time.time().hour(), time.time().minute(), time.time().second()};
}

std::string ClockText(const ClockRecord& clock, char separator) {
  return QString::asprintf("%04d-%02d-%02d%c%02d:%02d:%02d", clock.year, clock.month, clock.date,
                           separator, clock.hour, clock.minute, clock.second)
      .toStdString();
}

void AddLinkCommands(std::vector<CommandSpec>& commands) {
  using enum CliCommand;
  commands.push_back(
      {Probe, "probe", nullptr, nullptr, nullptr, 0, "open and close the link",
       "Opens the link to the printer and closes it again: exit status 0 when it opens.\n"
       "Example: q73580-cli --net 192.168.0.20 probe",
       true, "", nullptr, RunProbe});
  commands.push_back({ClockGet, "clock", "get", nullptr, nullptr, 0, "read the printer's clock",
                      ClockGetHelp, true, SiteClockOptions, TakeClockGet, RunClockGet});
  commands.push_back(
      {ClockSet, "clock", "set", "TIME",
       "YYYY-MM-DD HH:MM:SS (as 'clock get' prints it) or YYYY-MM-DDTHH:MM:SS, unless --from-pc", 2,
       "set the printer's clock: --from-pc | YYYY-MM-DD HH:MM:SS", ClockSetHelp, true,
       "--from-pc --all --timeout --to --udp-port --interface", TakeClock, RunClockSet});
  commands.push_back({NetGet, "net", "get", nullptr, nullptr, 0,
                      "read address settings, name and MAC address",
                      "Reads the printer's address mode, addresses, name and MAC address.\n"
                      "Example: q73580-cli --net 192.168.0.20:9100 net get --json",
                      true, "", TakeRead, RunNetGet});
  commands.push_back({NetSet, "net", "set", nullptr, nullptr, 0,
                      "set the address settings: --dhcp | --static IP MASK GATEWAY", NetSetHelp,
                      true, "--dhcp --static", TakeNetSet, RunNetSet});
  commands.push_back({NameSet, "name", "set", "NAME", "the new name", 1,
                      "set the printer name (at most 15 characters)", NameSetHelp, true, "",
                      TakeName, RunNameSet});
  commands.push_back({FactoryReset, "factory-reset", nullptr, nullptr, nullptr, 0,
                      "restore the factory defaults", FactoryResetHelp, true, "--yes", nullptr,
                      RunFactoryReset});
}
