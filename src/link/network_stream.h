#pragma once

#include <QHostAddress>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "link/link_port.h"

class QTcpSocket;

// Finds the IPv4 address to connect to for a host text; nothing when there is none. The stream
// never asks it about a mistyped address (IsMistypedAddress).
using HostResolver = std::function<std::optional<QHostAddress>(const QString& host)>;

// The system's resolver: a dotted-decimal text is taken as it is, a name is looked up and its
// first IPv4 address used.
std::optional<QHostAddress> ResolveHostIPv4(const QString& host);

// The waits of the network link.
struct NetworkTiming {
  int connectMs = 5000;  // the whole connect, so an unreachable host cannot hang the window
  int readyMs = 1000;    // readiness wait before a receive
  int sendMs = 3000;     // one offer of a chunk
  int sendOffers = 2;    // offers of one chunk before the send fails
};

// The Ethernet kind: a TCP client connection to NetTarget, made at every open and ended at every
// close. Blocking calls only, so it needs no running event loop (a QCoreApplication must exist).
class NetworkStream final : public LinkPort {
 public:
  using Timing = NetworkTiming;

  static constexpr std::uint32_t MaxReceive = 4096;

  explicit NetworkStream(HostResolver resolver = ResolveHostIPv4, Timing timing = Timing());
  ~NetworkStream() override;

  LinkHandle Open(const LinkTargets& targets) override;
  std::uint32_t WriteChunk(LinkHandle handle, const std::uint8_t* data,
                           std::uint32_t count) override;
  bool Fill(LinkHandle handle, ReceiveBuffer& buffer) override;
  void Close(LinkHandle handle) override;

 private:
  HostResolver resolver_;
  Timing timing_;
  std::unique_ptr<QTcpSocket> socket_;  // the connection slot; empty while no link is open
};
