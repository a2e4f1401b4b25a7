#include <QJsonArray>
#include <array>

#include "cli/cli_checks.h"
#include "cli/cli_text.h"
#include "cli/commands/commands.h"
#include "cli/udp_commands.h"

namespace {

// {"name": "eth1", "address": "10.77.2.1"}, the address null where the interface has none; null
// when the interface is not known.
QJsonValue InterfaceJson(const NetInterface& interface) {
  if (interface.name.isEmpty()) {
    return QJsonValue();
  }
  return QJsonObject{
      {QStringLiteral("name"), interface.name},
      {QStringLiteral("address"),
       interface.address.isNull() ? QJsonValue() : QJsonValue(interface.address.toString())},
  };
}

CliOutcome RunDiscover(CommandRun& run) {
  std::variant<NetSetupExchange, std::string> exchange = UdpExchange(run);
  if (const std::string* bad = std::get_if<std::string>(&exchange)) {
    return run.Usage(*bad);
  }
  QJsonArray printers;
  std::vector<std::array<std::string, 6>> rows = {
      {"Name", "MAC", "IP address", "Model", "Status", "Interface"}};
  StatusWait wait(run.services.status, "Waiting for printers… 0 found");
  const bool ran = Discover(
      run, std::get<NetSetupExchange>(exchange), 1, run.args.quietMs, wait, "Waiting for printers…",
      NoAnswer::NoticeAndJson, [&](const DiscoveryReply& reply, const NetInterface& interface) {
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
        return true;
      });
  if (!ran) {
    return run.NoSocket();
  }
  run.Json("printers", printers);
  run.outcome.text = TableText(rows);
  return run.Finish(0);
}

constexpr const char* DiscoverHelp =
    R"(Sends one discovery request over UDP to 255.255.255.255 port 22368, out of every network
interface that can broadcast (only --interface's when given), or to --to and --udp-port,
and lists every printer that answers, in arrival order, with the interface its answer came
in on. It stops SECONDS (default 1, at most 10) after the last answer, and after 10 s or
1000 answers at the latest. No printer found is no failure; standard error then says where
it looked. The answers come to UDP port %REPLYPORT%, which a firewall has to let in.
Example: q73580-cli discover --to 192.168.0.255)";

}  // namespace

void AddDiscover(std::vector<CommandSpec>& commands) {
  commands.push_back({CliCommand::Discover, "discover", nullptr, nullptr, nullptr, 0,
                      "list the printers that answer over UDP", DiscoverHelp, false,
                      "--timeout --to --udp-port --interface", TakeUdpOptions, RunDiscover});
}
