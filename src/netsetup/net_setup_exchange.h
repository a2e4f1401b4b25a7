#pragma once

#include <QHostAddress>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "common/printer_rules.h"
#include "netsetup/discovery_protocol.h"
#include "netsetup/net_interfaces.h"

class QUdpSocket;

// How long a discovery listens. Every datagram restarts the quiet wait; the other two limits
// keep a device that never stops answering from freezing the window.
struct DiscoveryLimits {
  int quietMs = 1000;
  int maxTotalMs = DiscoveryMaxTotalMs;
  int maxReplies = DiscoveryMaxReplies;
};

// The local UDP port the exchanges send from, so that a firewall rule can let the printers'
// answers in: they come from the printers' own addresses, which a stateful firewall does not
// take for answers to a broadcast. When another program holds it, the system chooses one.
inline constexpr quint16 NetSetupLocalPort = Q73580_REPLY_UDP_PORT;

// What a discovery went out of, for saying why nothing answered.
struct DiscoverySent {
  bool broadcast = false;                // to the limited broadcast, out of `interfaces`
  std::vector<NetInterface> interfaces;  // empty: none could broadcast, nothing was sent
  int replies = 0;                       // datagrams of a header's length or more
};

// The UDP exchanges with the printers. Each call blocks, uses a socket of its own and closes it
// before returning; no event loop is needed.
//
// A request to the limited broadcast address 255.255.255.255 goes out of every interface that
// can broadcast (BroadcastInterfaces), the same bytes on each: sent from an unbound socket it
// would leave by the default route's interface only, and a printer on a second network would
// never hear it. Any other destination gets the one datagram the system routes.
class NetSetupExchange {
 public:
  using DatagramHandler = std::function<void(const std::uint8_t* data, std::size_t length)>;
  // A reply with the interface it came in on.
  using ReplyHandler = std::function<void(const std::uint8_t* data, std::size_t length,
                                          const NetInterface& arrivedOn)>;

  explicit NetSetupExchange(QHostAddress destination = QHostAddress(QHostAddress::Broadcast),
                            quint16 port = NetSetupPort);

  // True when requests go to the limited broadcast address, out of every interface.
  bool Broadcasts() const { return destination_ == QHostAddress(QHostAddress::Broadcast); }
  // The same exchange with its broadcasts sent out of the interface with `index` only (the one
  // a printer was found on); 0, or an interface that is gone by the time of sending, keeps
  // every interface. A request to any other destination is not affected.
  NetSetupExchange Through(int interfaceIndex) const;
  int InterfaceIndex() const { return interfaceIndex_; }

  // While a call waits for datagrams, the thread's other events run every 50 ms or so, all but
  // user input (which waits until the call returns): a window keeps painting and its timers fire.
  // Whatever those events do (the caller's window closed or even deleted) the caller must be
  // ready for.
  void SetRunEventsWhileWaiting(bool run) { runEvents_ = run; }

  // Sends one discovery request and hands every reply of a header's length or more to `onReply`
  // in arrival order, from every interface under the one quiet wait; duplicates included. False
  // when no socket could be made (nothing sent). `sent`, when given, learns where it went.
  bool Discover(std::uint32_t sequence, const ReplyHandler& onReply,
                DiscoveryLimits limits = DiscoveryLimits(), DiscoverySent* sent = nullptr) const;
  bool Discover(std::uint32_t sequence, const DatagramHandler& onReply,
                DiscoveryLimits limits = DiscoveryLimits()) const;

  // One socket for the requests of a remote address change; closed when the session goes.
  class Session {
   public:
    ~Session();
    // Sends `size` bytes and waits up to `waitMs` for one datagram of a header's length or more;
    // empty when none came. Datagrams that were already waiting are dropped unread.
    std::vector<std::uint8_t> Request(const std::uint8_t* request, std::size_t size, int waitMs);
    // Sends a block write and waits up to `waitMs` for its acknowledgement: the first datagram of
    // any length, which is not examined. True when one came.
    bool Write(const std::uint8_t* request, std::size_t size, int waitMs);

   private:
    friend class NetSetupExchange;
    void Send(const std::uint8_t* request, std::size_t size);
    Session(QHostAddress destination, quint16 port, bool runEvents,
            std::unique_ptr<QUdpSocket> socket, std::vector<NetInterface> via);
    QHostAddress destination_;
    quint16 port_;
    bool runEvents_;
    std::unique_ptr<QUdpSocket> socket_;
    std::vector<NetInterface> via_;  // a broadcast's interfaces, chosen when the session opened
  };
  // Nothing when no socket could be made.
  std::unique_ptr<Session> OpenSession() const;

 private:
  // What ends a collection: silence, the whole time, or enough datagrams of `minLength` or more.
  // Shorter ones are dropped but still count as activity.
  struct CollectRule {
    int quietMs;
    int maxTotalMs;
    int maxDatagrams;
    std::size_t minLength;
    // Look up the interface each datagram came in on by name; costs a read of the system's
    // list once per collection, which only a discovery needs.
    bool nameInterfaces = false;
  };

  std::unique_ptr<QUdpSocket> OpenSocket() const;
  // The interfaces a broadcast goes out of now; empty for any other destination.
  std::vector<NetInterface> SendingInterfaces() const;
  void Send(QUdpSocket& socket, const std::vector<NetInterface>& via, const std::uint8_t* request,
            std::size_t size) const;
  static void Collect(QUdpSocket& socket, const CollectRule& rule, bool runEvents,
                      const ReplyHandler& onDatagram);

  QHostAddress destination_;
  quint16 port_;
  bool runEvents_ = false;
  int interfaceIndex_ = 0;
};
