#include "link/network_stream.h"

#include <QAbstractSocket>
#include <QHostInfo>
#include <QTcpSocket>
#include <algorithm>
#include <array>
#include <utility>

#include "common/printer_rules.h"

namespace {

constexpr LinkHandle ConnectedHandle = 1;

}  // namespace

std::optional<QHostAddress> ResolveHostIPv4(const QString& host) {
  QHostAddress literal;
  if (literal.setAddress(host)) {
    if (literal.protocol() == QAbstractSocket::IPv4Protocol) {
      return literal;
    }
    return std::nullopt;
  }
  const QHostInfo info = QHostInfo::fromName(host);
  if (info.error() != QHostInfo::NoError) {
    return std::nullopt;
  }
  const QList<QHostAddress> addresses = info.addresses();
  for (const QHostAddress& address : addresses) {
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
      return address;
    }
  }
  return std::nullopt;
}

NetworkStream::NetworkStream(HostResolver resolver, Timing timing)
    : resolver_(std::move(resolver)), timing_(timing) {}

NetworkStream::~NetworkStream() = default;

LinkHandle NetworkStream::Open(const LinkTargets& targets) {
  socket_.reset();
  if (targets.net == nullptr || targets.net->Host.Empty()) {
    return FailOpen(
        {OpenFailureCause::NoSettings, "no printer host set (TCP/IP Setup chooses one)"});
  }
  const QString host = QString::fromLatin1(targets.net->Host.View());
  const quint16 port = static_cast<quint16>(targets.net->Port & 0xFFFF);
  const std::string where = QStringLiteral("%1:%2").arg(host).arg(port).toStdString();
  // Whoever set the host should have refused it already; a lookup would leave the machine.
  if (IsMistypedAddress(host)) {
    return FailOpen(
        {OpenFailureCause::HostUnresolved,
         host.toStdString() + ": not an IP address (four numbers from 0 to 255 joined by dots)"});
  }
  const std::optional<QHostAddress> address = resolver_(host);
  if (!address || address->isNull()) {
    return FailOpen({OpenFailureCause::HostUnresolved,
                     host.toStdString() + ": does not resolve to an IPv4 address"});
  }
  // 0.0.0.0 would reach this very machine on Linux, never a printer.
  if (*address == QHostAddress(QHostAddress::AnyIPv4)) {
    return FailOpen({OpenFailureCause::HostRefused,
                     where + ": not a printer's address (0.0.0.0 is this machine)"});
  }
  auto socket = std::make_unique<QTcpSocket>();
  socket->connectToHost(*address, port);
  if (!socket->waitForConnected(timing_.connectMs)) {
    OpenFailure failure;
    switch (socket->error()) {
      case QAbstractSocket::ConnectionRefusedError:
        failure = {OpenFailureCause::ConnectionRefused,
                   where + ": connection refused (nothing listens there)"};
        break;
      case QAbstractSocket::SocketTimeoutError:
        failure = {OpenFailureCause::TimedOut,
                   where + ": no answer within " + std::to_string(timing_.connectMs) + " ms"};
        break;
      default:
        failure = {OpenFailureCause::Other, where + ": " + socket->errorString().toStdString()};
        break;
    }
    socket->abort();
    return FailOpen(std::move(failure));
  }
  // Commands are small and each one waits for its reply: do not hold them back.
  socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  socket_ = std::move(socket);
  return ConnectedHandle;
}

std::uint32_t NetworkStream::WriteChunk(LinkHandle, const std::uint8_t* data, std::uint32_t count) {
  if (!socket_ || socket_->state() != QAbstractSocket::ConnectedState) {
    return 0;
  }
  if (socket_->write(reinterpret_cast<const char*>(data), count) != static_cast<qint64>(count)) {
    return 0;
  }
  // The system may take a chunk in parts; it counts as sent only when every byte is gone.
  // A wait returns as soon as the system took something, and fails only when it took nothing
  // within the offer's time or the connection broke; each such failure uses up one offer.
  int offersLeft = timing_.sendOffers;
  while (socket_->bytesToWrite() > 0) {
    if (!socket_->waitForBytesWritten(timing_.sendMs)) {
      if (socket_->state() != QAbstractSocket::ConnectedState || --offersLeft <= 0) {
        break;
      }
    }
  }
  const qint64 unsent = socket_->bytesToWrite();
  return count - static_cast<std::uint32_t>(std::min<qint64>(unsent, count));
}

bool NetworkStream::Fill(LinkHandle, ReceiveBuffer& buffer) {
  if (!socket_) {
    return false;
  }
  if (socket_->bytesAvailable() == 0 && !socket_->waitForReadyRead(timing_.readyMs)) {
    return false;
  }
  std::array<char, MaxReceive> block{};
  const qint64 want = std::min<qint64>(block.size(), buffer.Free());
  const qint64 got = socket_->read(block.data(), want);
  if (got <= 0) {
    return true;  // ready but nothing came: the printer closed the connection
  }
  buffer.Append(reinterpret_cast<const std::uint8_t*>(block.data()),
                static_cast<std::uint32_t>(got));
  return true;
}

void NetworkStream::Close(LinkHandle) {
  if (socket_) {
    socket_->abort();
    socket_.reset();
  }
}
