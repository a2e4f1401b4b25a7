#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <time.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/lp.h>
#include <linux/major.h>
#endif

#include <algorithm>
#include <thread>

#include "link/parallel_port.h"
#include "link/port_number.h"

QString ParallelDevicePath(std::string_view portName) {
  if (const int number = PortNumber(portName, "LPT"); number != 0) {
    return QStringLiteral("/dev/lp%1").arg(number - 1);
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
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    return FailOpen(fail(error));
  }
  // The descriptor stays non-blocking: every write is bounded by poll() (see WriteChunk).
#ifdef __linux__
  // The kernel's printer driver retries an off-line or out-of-paper printer for ever unless
  // told to give up and report the error. Only its own devices know this request.
  struct stat status {};
  if (::fstat(fd, &status) == 0 && S_ISCHR(status.st_mode) && major(status.st_rdev) == LP_MAJOR) {
    ::ioctl(fd, LPABORT, 1);
  }
#endif
  return fd;
}

namespace {

// A device that says it is ready and then takes nothing (the printer driver has no readiness
// of its own) is asked again after this pause.
constexpr std::chrono::milliseconds RetryPause{10};

}  // namespace

std::uint32_t ParallelPort::WriteChunk(LinkHandle handle, const std::uint8_t* data,
                                       std::uint32_t count) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + perByte_ * count + allowance_;

  // A device that went away must fail the write, not end the program with SIGPIPE.
  sigset_t pipeSignal;
  sigset_t previous;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);

  // The whole text goes out, however many writes the device wants, or the write fails.
  std::uint32_t sent = 0;
  bool saidReady = false;
  int error = 0;
  while (sent < count) {
    const ssize_t written = ::write(handle, data + sent, count - sent);
    if (written > 0) {
      sent += static_cast<std::uint32_t>(written);
      saidReady = false;
      continue;
    }
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      error = errno;  // EPIPE: nobody reads any more; EIO: the printer reported an error
      break;
    }
    const Clock::duration left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) {
      break;
    }
    const auto leftMs = std::chrono::ceil<std::chrono::milliseconds>(left);
    if (saidReady) {
      std::this_thread::sleep_for(std::min(RetryPause, leftMs));
      saidReady = false;
      continue;
    }
    pollfd ready{handle, POLLOUT, 0};
    const int polled = ::poll(&ready, 1, static_cast<int>(leftMs.count()));
    if (polled < 0 && errno != EINTR) {
      break;
    }
    saidReady = polled > 0;
  }

  if (error == EPIPE) {
    const timespec none{0, 0};
    while (sigtimedwait(&pipeSignal, nullptr, &none) == SIGPIPE) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return sent;
}

void ParallelPort::Close(LinkHandle handle) {
  if (handle >= 0) {
    ::close(handle);
  }
}
