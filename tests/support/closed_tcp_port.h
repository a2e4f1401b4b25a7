#pragma once

#include <QHostAddress>
#include <QTcpServer>

// A port on 127.0.0.1 that was free a moment ago and that nothing listens on now; 0 when none
// could be had.
inline quint16 ClosedTcpPort() {
  QTcpServer server;
  return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
}
