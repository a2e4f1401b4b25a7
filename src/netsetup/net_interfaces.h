#pragma once

#include <QHostAddress>
#include <QNetworkInterface>
#include <QString>
#include <map>
#include <optional>
#include <vector>

// A network interface of this PC, as a request goes out of it or a reply comes in on it.
struct NetInterface {
  int index = 0;         // the system's interface index; 0 when not known
  QString name;          // "eth1"
  QHostAddress address;  // this PC's IPv4 address there; null when it has none
};

// "eth1, 10.77.2.1", or "eth1" when it has no IPv4 address; empty when not known.
QString InterfaceText(const NetInterface& interface);

// An interface the limited broadcast is sent out of, or one left out and why.
struct BroadcastChoice {
  std::vector<NetInterface> used;  // up, running, can broadcast, not loopback; the system's order
  std::vector<QString> leftOut;    // "lo (loopback)", "wlan1 (down)"
};

// Looks at this PC's interfaces now. Interfaces that are up but have no IPv4 address are used
// too: the system picks the source address, where it lets the datagram go at all.
BroadcastChoice BroadcastInterfaces();

// The interfaces of this PC by index, read once on first use: a reply says by index which
// interface it came in on, and a flood of replies must not read the system's list for each.
class InterfaceDirectory {
 public:
  // The interface with `index`, with the address the datagram was sent to when that is one of
  // the interface's own, else its first IPv4 address. An unknown index gives just the index.
  NetInterface Find(int index, const QHostAddress& arrivedAt);

 private:
  std::optional<std::map<int, QNetworkInterface>> known_;
};
