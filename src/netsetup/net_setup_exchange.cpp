#include "netsetup/net_setup_exchange.h"

#include <QCoreApplication>
#include <QElapsedTimer>
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
          runEvents_, onReply);
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
  const qint64 sent = socket.writeDatagram(reinterpret_cast<const char*>(request),
                                           static_cast<qint64>(size), destination_, port_);
  qCDebug(TraceUdp, "to %s:%u: %s%s%s", qPrintable(destination_.toString()), port_,
          HeaderText(request, size, true).c_str(), sent < 0 ? "; not sent: " : "",
          sent < 0 ? TraceEscaped(socket.errorString().toStdString()).c_str() : "");
}

void NetSetupExchange::Collect(QUdpSocket& socket, const CollectRule& rule, bool runEvents,
                               const DatagramHandler& onDatagram) {
  QElapsedTimer total;
  total.start();
  QElapsedTimer quiet;
  quiet.start();
  QElapsedTimer events;
  events.start();
  std::array<char, MaxDatagram> buffer{};
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
    // A longer datagram is cut at the buffer's size.
    QHostAddress from;
    quint16 fromPort = 0;
    const qint64 got =
        socket.readDatagram(buffer.data(), static_cast<qint64>(buffer.size()), &from, &fromPort);
    if (got < 0) {
      continue;
    }
    quiet.restart();
    const auto* data = reinterpret_cast<const std::uint8_t*>(buffer.data());
    const bool taken = static_cast<std::size_t>(got) >= rule.minLength;
    qCDebug(TraceUdp, "from %s:%u after %lld ms: %s%s", qPrintable(from.toString()), fromPort,
            total.elapsed(), HeaderText(data, static_cast<std::size_t>(got), false).c_str(),
            taken ? "" : "; dropped");
    if (!taken) {
      continue;
    }
    ++delivered;
    onDatagram(data, static_cast<std::size_t>(got));
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
                                   std::unique_ptr<QUdpSocket> socket)
    : destination_(std::move(destination)),
      port_(port),
      runEvents_(runEvents),
      socket_(std::move(socket)) {}

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
  NetSetupExchange(destination_, port_).Send(*socket_, request, size);
}

std::vector<std::uint8_t> NetSetupExchange::Session::Request(const std::uint8_t* request,
                                                             std::size_t size, int waitMs) {
  Send(request, size);
  std::vector<std::uint8_t> answer;
  // As in a discovery, a datagram too short for a header is no answer; the wait goes on.
  Collect(*socket_, CollectRule{waitMs, waitMs, 1, NetSetupHeaderSize}, runEvents_,
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
  Collect(*socket_, CollectRule{waitMs, waitMs, 1, 0}, runEvents_,
          [&acknowledged](const std::uint8_t*, std::size_t) { acknowledged = true; });
  return acknowledged;
}

std::unique_ptr<NetSetupExchange::Session> NetSetupExchange::OpenSession() const {
  std::unique_ptr<QUdpSocket> socket = OpenSocket();
  if (!socket) {
    return nullptr;
  }
  return std::unique_ptr<Session>(new Session(destination_, port_, runEvents_, std::move(socket)));
}
