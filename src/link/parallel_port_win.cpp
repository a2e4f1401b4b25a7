#include <windows.h>

#include <algorithm>

#include "link/overlapped_io_win.h"
#include "link/parallel_port.h"
#include "link/port_number.h"

namespace {

HANDLE HandleOf(LinkHandle handle) {
  return LongToHandle(handle);
}

}  // namespace

// "LPTn" in the device namespace, so that the name cannot be taken for a file.
QString ParallelDevicePath(std::string_view portName) {
  if (const int number = PortNumber(portName, "LPT"); number != 0) {
    return QStringLiteral("\\\\.\\LPT%1").arg(number);
  }
  return QString::fromLatin1(portName.data(), static_cast<qsizetype>(portName.size()));
}

LinkHandle ParallelPort::Open(const LinkTargets& targets) {
  if (targets.lptDevice == nullptr || targets.lptDevice->Empty()) {
    return FailOpen({OpenFailureCause::NoSettings, "no parallel port named"});
  }
  const QString device = ParallelDevicePath(targets.lptDevice->View());
  const QByteArray path = device.toLocal8Bit();
  // One program at a time (no sharing), and overlapped so that every write is bounded.
  const HANDLE handle = CreateFileA(path.constData(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return FailOpen(OpenFailureFromWin32(GetLastError(), device.toStdString()));
  }
  // Kernel handles fit 32 bits on 64-bit Windows too (HandleToLong is how they are shared).
  const LinkHandle link = HandleToLong(handle);
  if (link == InvalidLink) {
    CloseHandle(handle);
    return FailOpen({OpenFailureCause::Other, device.toStdString() + ": unusable handle"});
  }
  return link;
}

std::uint32_t ParallelPort::WriteChunk(LinkHandle handle, const std::uint8_t* data,
                                       std::uint32_t count) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + perByte_ * count + allowance_;
  // The whole text goes out, however many writes the device wants, or the write fails. A
  // printer that takes nothing (off line, out of paper) has its request cancelled at the bound.
  std::uint32_t sent = 0;
  do {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    const win32::IoResult result = win32::Write(HandleOf(handle), data + sent, count - sent,
                                                std::max(left, std::chrono::milliseconds::zero()));
    sent += std::min<std::uint32_t>(result.moved, count - sent);
    if (result.error != ERROR_SUCCESS || result.timedOut || result.moved == 0) {
      break;
    }
  } while (sent < count && Clock::now() < deadline);
  return sent;
}

void ParallelPort::Close(LinkHandle handle) {
  if (handle != InvalidLink) {
    CloseHandle(HandleOf(handle));
  }
}
