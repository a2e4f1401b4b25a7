#include "printer-sim/posix_endpoints.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>

#include <array>
#include <functional>

namespace printer_sim {
namespace {

bool Fail(std::string* error, const std::string& what, int code = errno) {
  if (error) {
    *error = what + ": " + strerror(code);
  }
  return false;
}

bool SetNonBlockingCloseOnExec(int fd) {
  int flags = fcntl(fd, F_GETFL);
  return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0 &&
         fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

// A non-blocking IPv4 socket of `type` bound to host:port; the port it got goes to boundPort.
// `prepare` runs between creation and bind, `afterBind` (listen, say) before the port is read.
UniqueFd BindIpv4Socket(int type, const std::string& host, std::uint16_t port,
                        const std::string& where, std::uint16_t* boundPort, std::string* error,
                        const std::function<bool(int)>& afterBind = {},
                        const std::function<void(int)>& prepare = {}) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
    Fail(error, "not a numeric IPv4 address '" + host + "'", EINVAL);
    return {};
  }
  UniqueFd fd(socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd.Valid()) {
    Fail(error, "socket");
    return {};
  }
  if (prepare) {
    prepare(fd.Get());
  }
  if (bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    Fail(error, "bind " + where);
    return {};
  }
  if (afterBind && !afterBind(fd.Get())) {
    return {};
  }
  socklen_t length = sizeof address;
  if (getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    Fail(error, "getsockname");
    return {};
  }
  if (boundPort) {
    *boundPort = ntohs(address.sin_port);
  }
  return fd;
}

}  // namespace

UniqueFd OpenTcpListener(const std::string& host, std::uint16_t port, int receiveBuffer,
                         std::uint16_t* boundPort, std::string* error) {
  const std::string where = host + ":" + std::to_string(port);
  return BindIpv4Socket(
      SOCK_STREAM, host, port, where, boundPort, error,
      [&](int fd) {
        if (listen(fd, SOMAXCONN) != 0) {
          Fail(error, "listen " + where);
          return false;
        }
        return true;
      },
      [receiveBuffer](int fd) {
        int one = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (receiveBuffer > 0) {
          SetReceiveBuffer(fd, receiveBuffer);  // inherited by accepted sockets
        }
      });
}

UniqueFd AcceptConnection(int listener, std::string* peer) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  int fd;
  do {
    fd = accept4(listener, reinterpret_cast<sockaddr*>(&address), &length,
                 SOCK_NONBLOCK | SOCK_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd >= 0) {
    // Replies go out at once, as a printer's would; do not wait to coalesce them.
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  }
  if (fd >= 0 && peer) {
    std::array<char, INET_ADDRSTRLEN> text{};
    inet_ntop(AF_INET, &address.sin_addr, text.data(), text.size());
    *peer = std::string(text.data()) + ":" + std::to_string(ntohs(address.sin_port));
  }
  return UniqueFd(fd);
}

void SetReceiveBuffer(int socket, int bytes) {
  setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

UniqueFd OpenUdpSocket(const std::string& host, std::uint16_t port, std::uint16_t* boundPort,
                       std::string* error) {
  return BindIpv4Socket(SOCK_DGRAM, host, port, "udp " + host + ":" + std::to_string(port),
                        boundPort, error);
}

bool OpenPty(PtyEndpoint& pty, std::string* error) {
  UniqueFd master(posix_openpt(O_RDWR | O_NOCTTY));
  if (!master.Valid()) {
    return Fail(error, "posix_openpt");
  }
  if (grantpt(master.Get()) != 0 || unlockpt(master.Get()) != 0) {
    return Fail(error, "grantpt/unlockpt");
  }
  std::array<char, 128> name{};
  if (int code = ptsname_r(master.Get(), name.data(), name.size()); code != 0) {
    return Fail(error, "ptsname_r", code);
  }
  if (!SetNonBlockingCloseOnExec(master.Get())) {
    return Fail(error, "fcntl on pty master");
  }
  UniqueFd slave(open(name.data(), O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!slave.Valid()) {
    return Fail(error, std::string("open ") + name.data());
  }
  termios settings{};
  if (tcgetattr(slave.Get(), &settings) != 0) {
    return Fail(error, "tcgetattr");
  }
  cfmakeraw(&settings);
  if (tcsetattr(slave.Get(), TCSANOW, &settings) != 0) {
    return Fail(error, "tcsetattr");
  }
  pty.master = std::move(master);
  pty.slave = std::move(slave);
  pty.slavePath = name.data();
  return true;
}

bool OpenFifo(const std::string& path, FifoEndpoint& fifo, std::string* error) {
  struct stat info {};
  bool created = false;
  if (stat(path.c_str(), &info) != 0) {
    if (errno != ENOENT || mkfifo(path.c_str(), 0600) != 0) {
      return Fail(error, "mkfifo " + path);
    }
    created = true;
  } else if (!S_ISFIFO(info.st_mode)) {
    return Fail(error, path + " exists and is not a FIFO", EEXIST);
  }
  UniqueFd readEnd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  // Opening for writing without blocking needs the reader above.
  UniqueFd writeEnd(readEnd.Valid() ? open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC) : -1);
  if (!readEnd.Valid() || !writeEnd.Valid()) {
    int code = errno;
    if (created) {
      unlink(path.c_str());
    }
    return Fail(error, "open " + path, code);
  }
  fifo.readEnd = std::move(readEnd);
  fifo.writeEnd = std::move(writeEnd);
  fifo.created = created;
  return true;
}

bool ReplaceSymlink(const std::string& target, const std::string& link, std::string* error) {
  struct stat info {};
  if (lstat(link.c_str(), &info) == 0) {
    if (!S_ISLNK(info.st_mode)) {
      return Fail(error, link + " exists and is not a symbolic link", EEXIST);
    }
    unlink(link.c_str());
  }
  if (symlink(target.c_str(), link.c_str()) != 0) {
    return Fail(error, "symlink " + link);
  }
  return true;
}

void RemoveSymlinkTo(const std::string& target, const std::string& link) {
  std::array<char, 4096> current{};
  ssize_t n = readlink(link.c_str(), current.data(), current.size() - 1);
  if (n >= 0 && std::string(current.data(), static_cast<std::size_t>(n)) == target) {
    unlink(link.c_str());
  }
}

}  // namespace printer_sim
