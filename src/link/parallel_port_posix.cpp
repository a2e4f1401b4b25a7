#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <charconv>

#include "link/parallel_port.h"

QString ParallelDevicePath(std::string_view portName) {
  int number = 0;
  if (portName.size() > 3 && portName.substr(0, 3) == "LPT") {
    const char* end = portName.data() + portName.size();
    const auto [stop, error] = std::from_chars(portName.data() + 3, end, number);
    if (error == std::errc() && stop == end && number >= 1) {
      return QStringLiteral("/dev/lp%1").arg(number - 1);
    }
  }
  return QString::fromLatin1(portName.data(), static_cast<qsizetype>(portName.size()));
}

LinkHandle ParallelPort::Open(const LinkTargets& targets) {
  if (targets.lptDevice == nullptr || targets.lptDevice->Empty()) {
    return FailOpen({OpenFailureCause::NoSettings, "no parallel port named"});
  }
  const QString device = ParallelDevicePath(targets.lptDevice->View());
  const QByteArray path = device.toLocal8Bit();
  const auto fail = [&device](int error) {
    return OpenFailureFromErrno(error, device.toStdString(), "lp");
  };
  // Not blocking while opening: a FIFO with no reader fails at once instead of hanging.
  const int fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    const int error = errno;
    // A FIFO says ENXIO when nobody reads it, which would read as a missing device.
    struct stat status {};
    if (error == ENXIO && ::stat(path.constData(), &status) == 0 && S_ISFIFO(status.st_mode)) {
      return FailOpen({OpenFailureCause::NotFound, device.toStdString() + ": nobody reads it"});
    }
    return FailOpen(fail(error));
  }
  // One program at a time: a second opener that respects the lock is refused.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 ||
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    const int error = errno;
    ::close(fd);
    return FailOpen(fail(error));
  }
  return fd;
}

std::uint32_t ParallelPort::WriteChunk(LinkHandle handle, const std::uint8_t* data,
                                       std::uint32_t count) {
  // A device that went away must fail the write, not end the program with SIGPIPE.
  sigset_t pipeSignal;
  sigset_t previous;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);

  ssize_t written;
  do {
    written = ::write(handle, data, count);
  } while (written < 0 && errno == EINTR);

  if (written < 0 && errno == EPIPE) {
    const timespec none{0, 0};
    while (sigtimedwait(&pipeSignal, nullptr, &none) == SIGPIPE) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return written < 0 ? 0 : static_cast<std::uint32_t>(written);
}

void ParallelPort::Close(LinkHandle handle) {
  if (handle >= 0) {
    ::close(handle);
  }
}
