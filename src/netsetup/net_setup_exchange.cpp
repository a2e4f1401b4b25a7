#include "netsetup/net_setup_exchange.h"

#include <QElapsedTimer>
#include <QUdpSocket>
#include <algorithm>
#include <array>
#include <utility>

NetSetupExchange::NetSetupExchange(QHostAddress destination, quint16 port)
    : destination_(std::move(destination)), port_(port) {}

bool NetSetupExchange::Discover(std::uint32_t sequence, const DatagramHandler& onReply,
                                DiscoveryLimits limits) const {
  const std::unique_ptr<QUdpSocket> socket = OpenSocket();
  if (!socket) {
    return false;
  }
  const auto request = BuildDiscoveryRequest(sequence);
  Send(*socket, request.data(), request.size());
  Collect(*socket,
          CollectRule{limits.quietMs, limits.maxTotalMs, limits.maxReplies, NetSetupHeaderSize},
          onReply);
  return true;
}

std::unique_ptr<QUdpSocket> NetSetupExchange::OpenSocket() {
  auto socket = std::make_unique<QUdpSocket>();
  // Qt turns on SO_BROADCAST for every UDP socket it creates, so the limited broadcast address
  // needs nothing more here.
  if (!socket->bind(QHostAddress(QHostAddress::AnyIPv4), 0)) {
    return nullptr;
  }
  return socket;
}

void NetSetupExchange::Send(QUdpSocket& socket, const std::uint8_t* request,
                            std::size_t size) const {
  // A lost request looks like a silent network; the collection that follows tells the same.
  socket.writeDatagram(reinterpret_cast<const char*>(request), static_cast<qint64>(size),
                       destination_, port_);
}

void NetSetupExchange::Collect(QUdpSocket& socket, const CollectRule& rule,
                               const DatagramHandler& onDatagram) {
  QElapsedTimer total;
  total.start();
  QElapsedTimer quiet;
  quiet.start();
  std::array<char, MaxDatagram> buffer{};
  int delivered = 0;
  while (delivered < rule.maxDatagrams) {
    // Deadlines rather than a fresh wait per round, so that a wake-up without a datagram cannot
    // stretch the silence.
    const qint64 left =
        std::min<qint64>(rule.quietMs - quiet.elapsed(), rule.maxTotalMs - total.elapsed());
    if (left <= 0) {
      break;
    }
    if (!socket.hasPendingDatagrams() && !socket.waitForReadyRead(static_cast<int>(left))) {
      break;
    }
    if (!socket.hasPendingDatagrams()) {
      continue;
    }
    // A longer datagram is cut at the buffer's size.
    const qint64 got = socket.readDatagram(buffer.data(), static_cast<qint64>(buffer.size()));
    if (got < 0) {
      continue;
    }
    quiet.restart();
    if (static_cast<std::size_t>(got) < rule.minLength) {
      continue;
    }
    ++delivered;
    onDatagram(reinterpret_cast<const std::uint8_t*>(buffer.data()), static_cast<std::size_t>(got));
  }
}

NetSetupExchange::Session::Session(QHostAddress destination, quint16 port,
                                   std::unique_ptr<QUdpSocket> socket)
    : destination_(std::move(destination)), port_(port), socket_(std::move(socket)) {}

NetSetupExchange::Session::~Session() = default;

void NetSetupExchange::Session::Send(const std::uint8_t* request, std::size_t size) {
  // What is still waiting answered an earlier request (a printer that answers twice, or an
  // answer that came after its wait); taken now, it would pass for this request's answer.
  // Bounded, so that a device that never stops sending cannot hold the window here.
  std::array<char, MaxDatagram> stale{};
  for (int dropped = 0; dropped < 1000 && socket_->hasPendingDatagrams(); ++dropped) {
    if (socket_->readDatagram(stale.data(), static_cast<qint64>(stale.size())) < 0) {
      break;
    }
  }
  NetSetupExchange(destination_, port_).Send(*socket_, request, size);
}

std::vector<std::uint8_t> NetSetupExchange::Session::Request(const std::uint8_t* request,
                                                             std::size_t size, int waitMs) {
  Send(request, size);
  std::vector<std::uint8_t> answer;
  // As in a discovery, a datagram too short for a header is no answer; the wait goes on.
  Collect(*socket_, CollectRule{waitMs, waitMs, 1, NetSetupHeaderSize},
          [&answer](const std::uint8_t* data, std::size_t length) {
            answer.assign(data, data + length);
          });
  return answer;
}

bool NetSetupExchange::Session::Write(const std::uint8_t* request, std::size_t size, int waitMs) {
  Send(request, size);
  // A printer may acknowledge with less than a header; waiting on for more would cost the whole
  // wait for every write.
  bool acknowledged = false;
  Collect(*socket_, CollectRule{waitMs, waitMs, 1, 0},
          [&acknowledged](const std::uint8_t*, std::size_t) { acknowledged = true; });
  return acknowledged;
}

std::unique_ptr<NetSetupExchange::Session> NetSetupExchange::OpenSession() const {
  std::unique_ptr<QUdpSocket> socket = OpenSocket();
  if (!socket) {
    return nullptr;
  }
  return std::unique_ptr<Session>(new Session(destination_, port_, std::move(socket)));
}
