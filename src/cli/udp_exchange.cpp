#include "cli/udp_exchange.h"

#include <QJsonObject>
#include <QStringList>

#include "cli/cli_commands.h"

std::variant<NetSetupExchange, std::string> UdpExchange(const CliArgs& args,
                                                        const CliServices& services) {
  NetSetupExchange exchange =
      services.exchange(QHostAddress(QString::fromStdString(args.to)), args.udpPort);
  if (args.interfaceName.empty()) {
    return exchange;
  }
  const BroadcastChoice choice = BroadcastInterfaces();
  QStringList names;
  for (const NetInterface& interface : choice.used) {
    if (interface.name == QString::fromStdString(args.interfaceName)) {
      return exchange.Through(interface.index);
    }
    names << interface.name;
  }
  return "no network interface " + args.interfaceName + " that can broadcast; there are " +
         (names.isEmpty() ? std::string("none") : names.join(QStringLiteral(", ")).toStdString());
}

std::optional<std::map<MacBytes, FoundPrinter>> DiscoverByMac(const NetSetupExchange& exchange,
                                                              std::uint32_t sequence, int quietMs,
                                                              StatusWait& wait,
                                                              const std::string& doing,
                                                              DiscoverySent* sent) {
  std::map<MacBytes, FoundPrinter> found;
  const auto waiting = [&] { return doing + " " + std::to_string(found.size()) + " found"; };
  wait.Show(waiting());
  const bool ran = exchange.Discover(
      sequence,
      [&](const std::uint8_t* data, std::size_t length, const NetInterface& arrivedOn) {
        std::optional<DiscoveryReply> reply = ParseDiscoveryReply(data, length);
        std::optional<MacBytes> mac = reply ? TextToMac(reply->mac) : std::nullopt;
        if (mac && found.emplace(*mac, FoundPrinter{std::move(*reply), arrivedOn}).second) {
          wait.Show(waiting());
        }
      },
      DiscoveryLimits{quietMs, DiscoveryMaxTotalMs, DiscoveryMaxReplies}, sent);
  if (!ran) {
    return std::nullopt;
  }
  return found;
}

std::string NoAnswerHint(const DiscoverySent& sent, const CliArgs& args) {
  if (sent.broadcast && sent.interfaces.empty()) {
    return "No network interface is up that can broadcast: nothing was sent.";
  }
  std::string where;
  if (sent.broadcast) {
    QStringList names;
    for (const NetInterface& interface : sent.interfaces) {
      names << interface.name;
    }
    where = "on " + names.join(QStringLiteral(", ")).toStdString();
  } else {
    where = "at " + args.to;
  }
  return "No printer answered " + where +
         ". A firewall that drops incoming UDP hides printers: allow UDP port " +
         std::to_string(NetSetupLocalPort) + " (see \"Firewalls\").";
}

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
