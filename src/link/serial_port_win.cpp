#include <windows.h>

#include <algorithm>
#include <string>
#include <thread>

#include "link/overlapped_io_win.h"
#include "link/serial_port.h"
#include "link/serial_port_names.h"

// Win32 directly, not QSerialPort: Qt waits for received data through a completion port that
// some systems (Wine among them) never signal, so it writes but never reads there.
class SerialPort::Device {
 public:
  explicit Device(HANDLE handle) : handle(handle) {}
  ~Device() { CloseHandle(handle); }
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  const HANDLE handle;
};

namespace {

// The serial link has one open port at a time; its handle is only a token.
constexpr LinkHandle OpenHandle = 1;

constexpr DWORD QueueSize = SerialPort::ReadBufferSize;
constexpr char Xon = 0x11;
constexpr char Xoff = 0x13;
// How often a wait looks at the driver's queues.
constexpr std::chrono::milliseconds QueuePoll{2};
// A read returns at once (see the time-outs at open); this only bounds a driver that waits.
constexpr std::chrono::milliseconds ReadBound{5000};

BYTE ParityOf(SerialParity parity) {
  switch (parity) {
    case SerialParity::Odd:
      return ODDPARITY;
    case SerialParity::Even:
      return EVENPARITY;
    case SerialParity::None:
      break;
  }
  return NOPARITY;
}

BYTE StopBitsOf(SerialStopBits stopBits) {
  switch (stopBits) {
    case SerialStopBits::OneAndHalf:
      return ONE5STOPBITS;
    case SerialStopBits::Two:
      return TWOSTOPBITS;
    case SerialStopBits::One:
      break;
  }
  return ONESTOPBIT;
}

DWORD DtrOf(LineControl control) {
  switch (control) {
    case LineControl::On:
      return DTR_CONTROL_ENABLE;
    case LineControl::Handshake:
      return DTR_CONTROL_HANDSHAKE;
    case LineControl::Off:
      break;
  }
  return DTR_CONTROL_DISABLE;
}

DWORD RtsOf(LineControl control) {
  switch (control) {
    case LineControl::On:
      return RTS_CONTROL_ENABLE;
    case LineControl::Handshake:
      return RTS_CONTROL_HANDSHAKE;
    case LineControl::Off:
      break;
  }
  return RTS_CONTROL_DISABLE;
}

// Every field the line settings speak of; the rest keep what the port reported.
void ApplyTo(DCB& dcb, const SerialLineSettings& line) {
  dcb.fBinary = TRUE;
  dcb.BaudRate = static_cast<DWORD>(line.baudRate);
  dcb.ByteSize = static_cast<BYTE>(line.dataBits);
  dcb.Parity = ParityOf(line.parity);
  dcb.fParity = line.checkParity ? TRUE : FALSE;
  dcb.StopBits = StopBitsOf(line.stopBits);
  dcb.fOutxCtsFlow = line.ctsOutputFlow ? TRUE : FALSE;
  dcb.fOutxDsrFlow = line.dsrOutputFlow ? TRUE : FALSE;
  dcb.fDtrControl = DtrOf(line.dtr);
  dcb.fRtsControl = RtsOf(line.rts);
  dcb.fDsrSensitivity = FALSE;
  dcb.fOutX = line.xonXoff ? TRUE : FALSE;
  dcb.fInX = line.xonXoff ? TRUE : FALSE;
  dcb.XonChar = Xon;
  dcb.XoffChar = Xoff;
  if (line.xonXoff) {
    // The driver refuses Xon/Xoff without limits it can use.
    dcb.XonLim = static_cast<WORD>(QueueSize / 4);
    dcb.XoffLim = static_cast<WORD>(QueueSize / 4);
  }
  // Damaged bytes are neither replaced nor dropped: the receive asks the driver after each one.
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;
  dcb.fAbortOnError = FALSE;
}

void Join(std::string& list, const std::string& part) {
  list += (list.empty() ? "" : ", ") + part;
}

// What the driver kept of `line`, read back after it was applied.
LineKept CompareKept(const DCB& kept, const SerialLineSettings& line) {
  LineKept result;
  result.applied = true;
  if (kept.BaudRate != static_cast<DWORD>(line.baudRate)) {
    Join(result.framing, std::to_string(line.baudRate) + " baud");
  }
  if (kept.ByteSize != line.dataBits) {
    Join(result.framing, std::to_string(line.dataBits) + " data bits");
  }
  if (kept.Parity != ParityOf(line.parity)) {
    Join(result.framing, line.parity == SerialParity::Odd    ? "odd parity"
                         : line.parity == SerialParity::Even ? "even parity"
                                                             : "no parity");
  }
  if (kept.StopBits != StopBitsOf(line.stopBits)) {
    Join(result.framing, line.stopBits == SerialStopBits::Two          ? "2 stop bits"
                         : line.stopBits == SerialStopBits::OneAndHalf ? "1.5 stop bits"
                                                                       : "1 stop bit");
  }
  std::string flow;
  if ((kept.fOutxCtsFlow != 0) != line.ctsOutputFlow ||
      (kept.fOutxDsrFlow != 0) != line.dsrOutputFlow) {
    flow = line.ctsOutputFlow ? "hardware handshake (CTS, DSR) refused by the driver"
                              : "hardware handshake (CTS, DSR) left on by the driver";
  }
  if ((kept.fOutX != 0) != line.xonXoff || (kept.fInX != 0) != line.xonXoff) {
    Join(flow, line.xonXoff ? "Xon/Xoff refused by the driver" : "Xon/Xoff left on by the driver");
  }
  if (!flow.empty()) {
    result.letGo = "flow control not kept: " + flow;
  }
  // Checked parity is the driver's report after each byte (ClearCommError), not a mark in the
  // data.
  if (line.checkParity && kept.fParity == 0) {
    result.letGo += (result.letGo.empty() ? "" : "; ") +
                    std::string("input checking not kept: damaged bytes go unreported");
  }
  return result;
}

// Bytes the driver holds: received (`in`) or still to send; -1 when it cannot tell.
long QueuedBytes(HANDLE handle, bool in, DWORD* errors = nullptr) {
  DWORD found = 0;
  COMSTAT status{};
  if (!ClearCommError(handle, &found, &status)) {
    return -1;
  }
  if (errors != nullptr) {
    *errors = found;
  }
  return static_cast<long>(in ? status.cbInQue : status.cbOutQue);
}

}  // namespace

SerialPort::SerialPort() = default;

SerialPort::~SerialPort() {
  Close(OpenHandle);
}

LinkHandle SerialPort::Open(const LinkTargets& targets) {
  Close(OpenHandle);
  if (targets.serial == nullptr || targets.serial->PortName.Empty()) {
    return FailOpen({OpenFailureCause::NoSettings, "no serial port named"});
  }
  const SerialLineSettings line = MapSerialSettings(*targets.serial);
  const std::string name(targets.serial->PortName.View());
  // "\\.\COMn": without it the system knows COM1 to COM9 only.
  const QByteArray path = SerialDevicePath(name).toLocal8Bit();
  // Serial ports are for one opener at a time; another program holding it is ERROR_ACCESS_DENIED.
  const HANDLE handle =
      CreateFileA(path.constData(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                  FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return FailOpen(OpenFailureFromWin32(GetLastError(), name));
  }
  auto port = std::make_unique<Device>(handle);
  if (!SetupComm(handle, QueueSize, QueueSize)) {
    return FailOpen(OpenFailureFromWin32(GetLastError(), name));
  }
  // Whatever arrived before this open (a reply nobody read) is not an answer to us.
  PurgeComm(handle, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(handle, &dcb)) {
    return FailOpen({OpenFailureCause::Other, name + ": the line settings could not be read"});
  }
  ApplyTo(dcb, line);
  // A driver that refuses part of it keeps its own: what it kept, read back, decides.
  SetCommState(handle, &dcb);
  DCB kept{};
  kept.DCBlength = sizeof kept;
  if (!GetCommState(handle, &kept)) {
    return FailOpen({OpenFailureCause::Other, name + ": the line settings could not be read back"});
  }
  const LineKept result = CompareKept(kept, line);
  if (!result.framing.empty()) {
    return FailOpen(
        {OpenFailureCause::LineNotSupported, name + ": the driver did not keep " + result.framing});
  }
  if (!result.letGo.empty()) {
    NoteOpen(name + ": " + result.letGo);
  }
  // Under handshake control the driver holds these lines itself and ignores the request.
  EscapeCommFunction(handle, SETDTR);
  EscapeCommFunction(handle, SETRTS);
  // A read returns at once with what has arrived; a write may take 10 ms a byte plus 5 s.
  COMMTIMEOUTS timeouts{};
  GetCommTimeouts(handle, &timeouts);
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 0;
  timeouts.WriteTotalTimeoutMultiplier = static_cast<DWORD>(WritePerByte.count());
  timeouts.WriteTotalTimeoutConstant = static_cast<DWORD>(WriteAllowance.count());
  SetCommTimeouts(handle, &timeouts);
  port_ = std::move(port);
  line_ = line;
  parityMarks_ = false;
  marks_.Reset();
  unsent_ = false;
  unanswered_ = 0;
  return OpenHandle;
}

std::uint32_t SerialPort::WriteChunk(LinkHandle, const std::uint8_t* data, std::uint32_t count) {
  if (!port_ || count == 0) {
    return 0;
  }
  // The port's write time-out ends the request first; this bound is for a driver without one.
  const win32::IoResult result =
      win32::Write(port_->handle, data, count, WritePerByte * count + WriteAllowance);
  const std::uint32_t taken = std::min<std::uint32_t>(result.moved, count);
  unsent_ = unsent_ || taken < count;
  unanswered_ += taken;
  return taken;
}

bool SerialPort::Fill(LinkHandle, ReceiveBuffer& buffer) {
  if (!port_) {
    return false;
  }
  // Only a byte the driver holds is read. With these time-outs a read of an empty queue returns
  // at once on Windows, but Wine's waits for a byte until the bound: a silent printer would
  // hold every fill for seconds.
  if (QueuedBytes(port_->handle, true) == 0) {
    return false;
  }
  std::uint8_t byte = 0;
  const win32::IoResult result = win32::Read(port_->handle, &byte, 1, ReadBound);
  if (result.moved != 1) {
    return false;
  }
  unanswered_ = 0;  // the printer answered, so what it answered has left
  DWORD errors = 0;
  QueuedBytes(port_->handle, true, &errors);
  // The driver says a byte came damaged, not which: the reply it belongs to fails whole
  // rather than pass with a wrong byte in it.
  if (line_.checkParity && (errors & (CE_RXPARITY | CE_FRAME)) != 0) {
    buffer.MarkDamaged();
    return true;
  }
  buffer.Append(&byte, 1);
  return true;
}

void SerialPort::WaitForData(LinkHandle handle, std::chrono::milliseconds timeout) {
  if (!port_) {
    LinkPort::WaitForData(handle, timeout);
    return;
  }
  // The driver's queue is asked, not WaitCommEvent, which not every system signals.
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (QueuedBytes(port_->handle, true) == 0 && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(QueuePoll);
  }
}

void SerialPort::Close(LinkHandle) {
  if (!port_) {
    return;
  }
  // Bytes a blocked line did not send in time already failed their write; left in the driver
  // they would go out late.
  if (unsent_) {
    PurgeComm(port_->handle, PURGE_TXABORT | PURGE_TXCLEAR);
  } else if (unanswered_ > 0 && line_.baudRate > 0) {
    // The last bytes still leave at their speed; the wait is bounded by the time they take.
    const int bitsPerChar = 1 + line_.dataBits + (line_.parity != SerialParity::None ? 1 : 0) +
                            (line_.stopBits == SerialStopBits::Two ? 2 : 1);
    const std::chrono::microseconds charTime(bitsPerChar * 1000000LL / line_.baudRate + 1);
    const auto end = std::chrono::steady_clock::now() +
                     charTime * std::min<std::int64_t>(unanswered_, QueueSize) + QueuePoll;
    while (QueuedBytes(port_->handle, false) > 0 && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(QueuePoll);
    }
  }
  port_.reset();
}
