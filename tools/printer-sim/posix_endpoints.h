#pragma once

#include <cstdint>
#include <string>

#include "printer-sim/unique_fd.h"

// Opening the descriptors the simulator listens on. All are non-blocking and close-on-exec.
namespace printer_sim {

// `host` must be a numeric IPv4 address; names are never looked up. Port 0 picks a free port,
// reported in `boundPort`. `receiveBuffer` > 0 shrinks SO_RCVBUF of accepted sockets.
UniqueFd OpenTcpListener(const std::string& host, std::uint16_t port, int receiveBuffer,
                         std::uint16_t* boundPort, std::string* error);

// Accepts one pending connection; invalid when none is waiting.
UniqueFd AcceptConnection(int listener, std::string* peer);

void SetReceiveBuffer(int socket, int bytes);

// A datagram socket bound to `host` (numeric IPv4) and `port`. Broadcast stays off, so that a
// reply can never go out as one.
UniqueFd OpenUdpSocket(const std::string& host, std::uint16_t port, std::uint16_t* boundPort,
                       std::string* error);

struct PtyEndpoint {
  UniqueFd master;
  // Held open by the simulator so that the master does not report a hang-up whenever the
  // client closes its side.
  UniqueFd slave;
  std::string slavePath;
};

// A pseudo-terminal whose slave side is in raw mode.
bool OpenPty(PtyEndpoint& pty, std::string* error);

struct FifoEndpoint {
  UniqueFd readEnd;
  // Our own writer, so the read end never sees end-of-file when the client closes.
  UniqueFd writeEnd;
  bool created = false;  // we made the FIFO and remove it again
};

// Creates the FIFO at `path` unless one is there.
bool OpenFifo(const std::string& path, FifoEndpoint& fifo, std::string* error);

// Points `link` at `target`, replacing an existing symbolic link but never another file.
bool ReplaceSymlink(const std::string& target, const std::string& link, std::string* error);

// Removes `link` if it is still a symbolic link to `target`.
void RemoveSymlinkTo(const std::string& target, const std::string& link);

}  // namespace printer_sim
