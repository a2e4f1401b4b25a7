#include "netsetup/net_setup_exchange.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QStringList>
#include <QUdpSocket>
#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "common/trace.h"

namespace {

// How often a wait that runs the thread's events runs them: often enough to paint and to keep
// timers on time, seldom enough that a flood of answers does not lay out the list for each one.
constexpr qint64 EventsEveryMs = 50;

// A datagram's header as the trace shows it: "read block 4, sequence 2, 34 bytes". The block of
// a request follows its header; replies are shown without it.
std::string HeaderText(const std::uint8_t* data, std::size_t size, bool request) {
  if (size < NetSetupHeaderSize) {
    return std::to_string(size) + " bytes, shorter than a header";
  }
  const unsigned command = static_cast<unsigned>(data[8] << 8 | data[9]);
  const unsigned sequence = static_cast<unsigned>(data[12] << 8 | data[13]);
  std::string text;
  switch (static_cast<NetSetupCommand>(command)) {
    case NetSetupCommand::CmdDiscover:
      text = "discover";
      break;
    case NetSetupCommand::CmdReadBlock:
      text = "read block";
      if (request && size > NetSetupHeaderSize) {
        text += " " + std::to_string(data[NetSetupHeaderSize]);
      }
      break;
    case NetSetupCommand::CmdWriteBlock:
      text = "write block";
      if (request && size > NetSetupHeaderSize + 2) {
        text += " " + std::to_string(data[NetSetupHeaderSize + 2]);
      }
      break;
    default:
      text = "command " + std::to_string(command);
      break;
  }
  return text + ", sequence " + std::to_string(sequence) + ", " + std::to_string(size) + " bytes";
}

}  // namespace

NetSetupExchange::NetSetupExchange(QHostAddress destination, quint16 port)
    : destination_(std::move(destination)), port_(port) {}

NetSetupExchange NetSetupExchange::Through(int interfaceIndex) const {
  NetSetupExchange through = *this;
  through.interfaceIndex_ = interfaceIndex;
  return through;
}

bool NetSetupExchange::Discover(std::uint32_t sequence, const ReplyHandler& onReply,
                                DiscoveryLimits limits, DiscoverySent* sent) const {
  const std::unique_ptr<QUdpSocket> socket = OpenSocket();
  if (!socket) {
    return false;
  }
  const std::vector<NetInterface> via = SendingInterfaces();
  int replies = 0;
  if (sent != nullptr) {
    *sent = DiscoverySent{Broadcasts(), via, 0};
  }
  // With no interface to broadcast on nothing went out, and nothing can answer.
  if (Broadcasts() && via.empty()) {
    return true;
  }
  const auto request = BuildDiscoveryRequest(sequence);
  Send(*socket, via, request.data(), request.size());
  Collect(
      *socket,
      CollectRule{limits.quietMs, limits.maxTotalMs, limits.maxReplies, NetSetupHeaderSize, true},
      runEvents_, [&](const std::uint8_t* data, std::size_t length, const NetInterface& arrivedOn) {
        ++replies;
        onReply(data, length, arrivedOn);
      });
  if (sent != nullptr) {
    sent->replies = replies;
  }
  return true;
}

bool NetSetupExchange::Discover(std::uint32_t sequence, const DatagramHandler& onReply,
                                DiscoveryLimits limits) const {
  return Discover(
      sequence,
      [&onReply](const std::uint8_t* data, std::size_t length, const NetInterface&) {
        onReply(data, length);
      },
      limits);
}

std::unique_ptr<QUdpSocket> NetSetupExchange::OpenSocket() const {
  auto socket = std::make_unique<QUdpSocket>();
  // Qt turns on SO_BROADCAST for every UDP socket it creates, so the limited broadcast address
  // needs nothing more here. The fixed port is bound exclusively: shared, the answers meant for
  // one program could reach another one holding it too. No firewall stands between this PC and
  // its own loopback, and the fixed port is left to the exchanges that need it.
  const bool loopback = destination_.isLoopback();
  if (!loopback && socket->bind(QHostAddress(QHostAddress::AnyIPv4), NetSetupLocalPort,
                                QAbstractSocket::DontShareAddress)) {
    qCDebug(TraceUdp, "sending from port %u", NetSetupLocalPort);
    return socket;
  }
  if (!loopback) {
    qCDebug(TraceUdp, "port %u is taken (%s): sending from a port the system chooses",
            NetSetupLocalPort, qPrintable(socket->errorString()));
  }
  if (!socket->bind(QHostAddress(QHostAddress::AnyIPv4), 0)) {
    return nullptr;
  }
  return socket;
}

std::vector<NetInterface> NetSetupExchange::SendingInterfaces() const {
  if (!Broadcasts()) {
    return {};
  }
  const BroadcastChoice choice = BroadcastInterfaces();
  std::vector<NetInterface> via;
  if (interfaceIndex_ != 0) {
    for (const NetInterface& interface : choice.used) {
      if (interface.index == interfaceIndex_) {
        via.push_back(interface);
      }
    }
    if (via.empty()) {
      qCDebug(TraceUdp, "interface %d cannot broadcast now: every interface is used",
              interfaceIndex_);
    }
  }
  if (via.empty()) {
    via = choice.used;
  }
  QStringList used;
  for (const NetInterface& interface : via) {
    used << interface.name + QStringLiteral(" (") +
                (interface.address.isNull() ? QStringLiteral("no IPv4 address")
                                            : interface.address.toString()) +
                QStringLiteral(")");
  }
  qCDebug(
      TraceUdp, "broadcasting on %s%s%s",
      via.empty() ? "no interface" : qPrintable(used.join(QStringLiteral(", "))),
      choice.leftOut.empty() ? "" : "; left out: ",
      qPrintable(
          QStringList(choice.leftOut.begin(), choice.leftOut.end()).join(QStringLiteral(", "))));
  return via;
}

void NetSetupExchange::Send(QUdpSocket& socket, const std::vector<NetInterface>& via,
                            const std::uint8_t* request, std::size_t size) const {
  // A lost request looks like a silent network; the collection that follows tells the same.
  auto sendOne = [&](const NetInterface* interface) {
    QNetworkDatagram datagram(
        QByteArray(reinterpret_cast<const char*>(request), static_cast<qsizetype>(size)),
        destination_, port_);
    if (interface != nullptr) {
      datagram.setInterfaceIndex(static_cast<uint>(interface->index));
      if (!interface->address.isNull()) {
        datagram.setSender(interface->address);
      }
    }
    const qint64 sent = socket.writeDatagram(datagram);
    qCDebug(TraceUdp, "to %s:%u%s%s: %s%s%s", qPrintable(destination_.toString()), port_,
            interface != nullptr ? " on " : "",
            interface != nullptr ? qPrintable(interface->name) : "",
            HeaderText(request, size, true).c_str(), sent < 0 ? "; not sent: " : "",
            sent < 0 ? TraceEscaped(socket.errorString().toStdString()).c_str() : "");
  };
  if (!Broadcasts()) {
    sendOne(nullptr);
    return;
  }
  for (const NetInterface& interface : via) {
    sendOne(&interface);
  }
}

void NetSetupExchange::Collect(QUdpSocket& socket, const CollectRule& rule, bool runEvents,
                               const ReplyHandler& onDatagram) {
  QElapsedTimer total;
  total.start();
  QElapsedTimer quiet;
  quiet.start();
  QElapsedTimer events;
  events.start();
  InterfaceDirectory interfaces;
  int delivered = 0;
  while (delivered < rule.maxDatagrams) {
    // Deadlines rather than a fresh wait per round, so that a wake-up without a datagram cannot
    // stretch the silence; a datagram already waiting breaks it, even when the thread was kept
    // busy (running events, say) past its end.
    const qint64 totalLeft = rule.maxTotalMs - total.elapsed();
    const qint64 left = socket.hasPendingDatagrams()
                            ? totalLeft
                            : std::min<qint64>(rule.quietMs - quiet.elapsed(), totalLeft);
    if (left <= 0) {
      break;
    }
    if (runEvents && events.elapsed() >= EventsEveryMs) {
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
      events.restart();
      continue;  // the time left is counted again
    }
    // With events to run, the wait goes in slices; a datagram ends it at once.
    const qint64 wait = runEvents ? std::min(left, EventsEveryMs - events.elapsed()) : left;
    if (!socket.hasPendingDatagrams() && !socket.waitForReadyRead(static_cast<int>(wait))) {
      if (runEvents && socket.error() == QAbstractSocket::SocketTimeoutError) {
        continue;  // only the slice ran out
      }
      break;
    }
    if (!socket.hasPendingDatagrams()) {
      continue;
    }
    // A longer datagram is cut at the receive buffer's size.
    const QNetworkDatagram datagram = socket.receiveDatagram(static_cast<qint64>(MaxDatagram));
    if (!datagram.isValid()) {
      continue;
    }
    quiet.restart();
    const QByteArray bytes = datagram.data();
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    const auto got = static_cast<std::size_t>(bytes.size());
    const bool taken = got >= rule.minLength;
    const NetInterface arrivedOn =
        rule.nameInterfaces ? interfaces.Find(static_cast<int>(datagram.interfaceIndex()),
                                              datagram.destinationAddress())
                            : NetInterface{static_cast<int>(datagram.interfaceIndex()), {}, {}};
    qCDebug(TraceUdp, "from %s:%d%s%s after %lld ms: %s%s",
            qPrintable(datagram.senderAddress().toString()), datagram.senderPort(),
            arrivedOn.name.isEmpty() ? "" : " on ", qPrintable(arrivedOn.name), total.elapsed(),
            HeaderText(data, got, false).c_str(), taken ? "" : "; dropped");
    if (!taken) {
      continue;
    }
    ++delivered;
    onDatagram(data, got, arrivedOn);
  }
  const bool timeUp = total.elapsed() >= rule.maxTotalMs;
  const char* ended = delivered >= rule.maxDatagrams              ? "answered"
                      : !timeUp && quiet.elapsed() < rule.quietMs ? "socket error"
                      : delivered == 0                            ? "timed out"
                      : timeUp                                    ? "time limit reached"
                                                                  : "quiet";
  qCDebug(TraceUdp, "wait ended after %lld ms: %s, %d datagram(s) taken", total.elapsed(), ended,
          delivered);
}

NetSetupExchange::Session::Session(QHostAddress destination, quint16 port, bool runEvents,
                                   std::unique_ptr<QUdpSocket> socket,
                                   std::vector<NetInterface> via)
    : destination_(std::move(destination)),
      port_(port),
      runEvents_(runEvents),
      socket_(std::move(socket)),
      via_(std::move(via)) {}

NetSetupExchange::Session::~Session() = default;

void NetSetupExchange::Session::Send(const std::uint8_t* request, std::size_t size) {
  // What is still waiting answered an earlier request (a printer that answers twice, or an
  // answer that came after its wait); taken now, it would pass for this request's answer.
  // Bounded, so that a device that never stops sending cannot hold the window here.
  std::array<char, MaxDatagram> stale{};
  int dropped = 0;
  for (; dropped < 1000 && socket_->hasPendingDatagrams(); ++dropped) {
    if (socket_->readDatagram(stale.data(), static_cast<qint64>(stale.size())) < 0) {
      break;
    }
  }
  if (dropped != 0) {
    qCDebug(TraceUdp, "%d late datagram(s) dropped unread", dropped);
  }
  NetSetupExchange(destination_, port_).Send(*socket_, via_, request, size);
}

std::vector<std::uint8_t> NetSetupExchange::Session::Request(const std::uint8_t* request,
                                                             std::size_t size, int waitMs) {
  Send(request, size);
  std::vector<std::uint8_t> answer;
  // As in a discovery, a datagram too short for a header is no answer; the wait goes on.
  Collect(*socket_, CollectRule{waitMs, waitMs, 1, NetSetupHeaderSize}, runEvents_,
          [&answer](const std::uint8_t* data, std::size_t length, const NetInterface&) {
            answer.assign(data, data + length);
          });
  return answer;
}

bool NetSetupExchange::Session::Write(const std::uint8_t* request, std::size_t size, int waitMs) {
  Send(request, size);
  // A printer may acknowledge with less than a header; waiting on for more would cost the whole
  // wait for every write.
  bool acknowledged = false;
  Collect(*socket_, CollectRule{waitMs, waitMs, 1, 0}, runEvents_,
          [&acknowledged](const std::uint8_t*, std::size_t, const NetInterface&) {
            acknowledged = true;
          });
  return acknowledged;
}

std::unique_ptr<NetSetupExchange::Session> NetSetupExchange::OpenSession() const {
  std::unique_ptr<QUdpSocket> socket = OpenSocket();
  if (!socket) {
    return nullptr;
  }
  return std::unique_ptr<Session>(
      new Session(destination_, port_, runEvents_, std::move(socket), SendingInterfaces()));
}
