#include "netsetup/net_interfaces.h"

namespace {

QHostAddress FirstIpv4(const QNetworkInterface& interface) {
  const QList<QNetworkAddressEntry> entries = interface.addressEntries();
  for (const QNetworkAddressEntry& entry : entries) {
    if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol) {
      return entry.ip();
    }
  }
  return {};
}

bool HasAddress(const QNetworkInterface& interface, const QHostAddress& address) {
  const QList<QNetworkAddressEntry> entries = interface.addressEntries();
  for (const QNetworkAddressEntry& entry : entries) {
    if (entry.ip().isEqual(address, QHostAddress::ConvertV4MappedToIPv4)) {
      return true;
    }
  }
  return false;
}

}  // namespace

QString InterfaceText(const NetInterface& interface) {
  if (interface.address.isNull()) {
    return interface.name;
  }
  return interface.name + QStringLiteral(", ") + interface.address.toString();
}

BroadcastChoice BroadcastInterfaces() {
  BroadcastChoice choice;
  const QList<QNetworkInterface> all = QNetworkInterface::allInterfaces();
  for (const QNetworkInterface& interface : all) {
    const QNetworkInterface::InterfaceFlags flags = interface.flags();
    const char* why = flags.testFlag(QNetworkInterface::IsLoopBack)      ? "loopback"
                      : !flags.testFlag(QNetworkInterface::IsUp)         ? "down"
                      : !flags.testFlag(QNetworkInterface::IsRunning)    ? "not running"
                      : !flags.testFlag(QNetworkInterface::CanBroadcast) ? "cannot broadcast"
                                                                         : nullptr;
    if (why != nullptr) {
      choice.leftOut.push_back(interface.name() + QStringLiteral(" (") + QLatin1String(why) +
                               QStringLiteral(")"));
      continue;
    }
    choice.used.push_back(NetInterface{interface.index(), interface.name(), FirstIpv4(interface)});
  }
  return choice;
}

NetInterface InterfaceDirectory::Find(int index, const QHostAddress& arrivedAt) {
  if (index <= 0) {
    return {};
  }
  if (!known_) {
    known_.emplace();
    const QList<QNetworkInterface> all = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& interface : all) {
      known_->emplace(interface.index(), interface);
    }
  }
  const auto found = known_->find(index);
  if (found == known_->end()) {
    return NetInterface{index, {}, {}};
  }
  const QNetworkInterface& interface = found->second;
  const QHostAddress address =
      HasAddress(interface, arrivedAt) && arrivedAt.protocol() == QAbstractSocket::IPv4Protocol
          ? arrivedAt
          : FirstIpv4(interface);
  return NetInterface{index, interface.name(), address};
}
