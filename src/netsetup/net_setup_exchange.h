#pragma once

#include <QHostAddress>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "common/printer_rules.h"
#include "netsetup/discovery_protocol.h"

class QUdpSocket;

// How long a discovery listens. Every datagram restarts the quiet wait; the other two limits
// keep a device that never stops answering from freezing the window.
struct DiscoveryLimits {
  int quietMs = 1000;
  int maxTotalMs = DiscoveryMaxTotalMs;
  int maxReplies = DiscoveryMaxReplies;
};

// The UDP exchanges with the printers. Each call blocks, uses a socket of its own and closes it
// before returning; no event loop is needed.
class NetSetupExchange {
 public:
  using DatagramHandler = std::function<void(const std::uint8_t* data, std::size_t length)>;

  explicit NetSetupExchange(QHostAddress destination = QHostAddress(QHostAddress::Broadcast),
                            quint16 port = NetSetupPort);

  // While a call waits for datagrams, the thread's other events run every 50 ms or so, all but
  // user input (which waits until the call returns): a window keeps painting and its timers fire.
  // Whatever those events do (the caller's window closed or even deleted) the caller must be
  // ready for.
  void SetRunEventsWhileWaiting(bool run) { runEvents_ = run; }

  // Sends one discovery request and hands every reply of a header's length or more to `onReply`
  // in arrival order; duplicates included. False when no socket could be made (nothing sent).
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
            std::unique_ptr<QUdpSocket> socket);
    QHostAddress destination_;
    quint16 port_;
    bool runEvents_;
    std::unique_ptr<QUdpSocket> socket_;
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
  };

  static std::unique_ptr<QUdpSocket> OpenSocket();
  void Send(QUdpSocket& socket, const std::uint8_t* request, std::size_t size) const;
  static void Collect(QUdpSocket& socket, const CollectRule& rule, bool runEvents,
                      const DatagramHandler& onDatagram);

  QHostAddress destination_;
  quint16 port_;
  bool runEvents_ = false;
};
