#include "cli/cli_checks.h"
#include "cli/cli_text.h"
#include "cli/commands/commands.h"
#include "cli/fleet_file.h"
#include "cli/udp_commands.h"
#include "protocol/address_text.h"

namespace {

CliOutcome RunExport(CommandRun& run) {
  std::variant<NetSetupExchange, std::string> udp = UdpExchange(run);
  if (const std::string* bad = std::get_if<std::string>(&udp)) {
    return run.Usage(*bad);
  }
  const NetSetupExchange& exchange = std::get<NetSetupExchange>(udp);
  // An export that cannot look for printers still prints a file, an empty one.
  run.outcome.jsonText = "[]\n";
  StatusWait wait(run.services.status, "");
  const auto found = DiscoverByMac(run, exchange, 1, run.args.quietMs, wait,
                                   "Looking for printers…", NoAnswer::Notice);
  if (!found) {
    return run.NoSocket();
  }
  std::vector<FleetRow> rows;
  std::vector<std::string> unread;
  std::uint32_t sequence = 2;
  for (const auto& [mac, printer] : *found) {
    wait.Show("Reading printer " + std::to_string(rows.size() + unread.size() + 1) + " of " +
              std::to_string(found->size()) + "…");
    const std::optional<AddressBlocks> read =
        ReadAddressBlocks(exchange.Through(printer.interface.index), sequence++, MacToText(mac),
                          run.services.remoteWaitMs);
    if (!read) {
      return run.NoSocket();
    }
    if (const std::string problem = UnreadBlocks(*read); !problem.empty()) {
      unread.push_back(MacToText(mac) + " (" + ShownText(printer.reply.name) + "): " + problem);
      continue;
    }
    rows.push_back(RowOf(mac, printer.reply.name, read->config));
  }
  run.outcome.text = FleetCsv(rows);
  run.outcome.jsonText = FleetJson(rows);
  if (unread.empty()) {
    return run.Finish(0);
  }
  return run.Finish(CliFleetIncompleteExit,
                    std::to_string(unread.size()) + " of " + std::to_string(found->size()) +
                        " printers could not be read and are left out:\n  " +
                        Joined(unread, "\n  "));
}

constexpr const char* ExportHelp =
    R"(Finds the printers as 'discover' does, reads each one's address blocks over UDP and prints
one row per printer, ordered by MAC address, as CSV with the header
mac,name,mode,ip,mask,gateway (mode is dhcp or static), or with --json as a JSON array of
objects with those keys. A printer whose blocks cannot be read is named on standard error
and left out; the exit status is then 75. 'apply' takes the file back.
Example: q73580-cli export > site.csv)";

}  // namespace

void AddExport(std::vector<CommandSpec>& commands) {
  commands.push_back({CliCommand::Export, "export", nullptr, nullptr, nullptr, 0,
                      "print every printer's name and address settings as CSV", ExportHelp, false,
                      "--timeout --to --udp-port --interface", TakeUdpOptions, RunExport});
}
