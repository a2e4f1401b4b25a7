#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/serial.h>
#endif

#include <QSerialPort>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "link/serial_line_posix.h"

namespace {

constexpr cc_t Xon = 0x11;
constexpr cc_t Xoff = 0x13;

speed_t SpeedOf(std::int32_t baudRate) {
  switch (baudRate) {
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    default:
      return B0;
  }
}

bool Has(tcflag_t flags, tcflag_t bits) {
  return (flags & bits) == bits;
}

// "a, b" from the parts that are not empty.
void Join(std::string& list, const std::string& part) {
  if (!part.empty()) {
    list += (list.empty() ? "" : ", ") + part;
  }
}

std::string ParityName(SerialParity parity) {
  switch (parity) {
    case SerialParity::Odd:
      return "odd parity";
    case SerialParity::Even:
      return "even parity";
    case SerialParity::None:
      break;
  }
  return "no parity";
}

}  // namespace

namespace serial_line {

LineKept CompareKept(const termios& kept, const SerialLineSettings& line) {
  LineKept result;
  result.applied = true;

  const speed_t speed = SpeedOf(line.baudRate);
  const speed_t inSpeed = cfgetispeed(&kept);
  if (cfgetospeed(&kept) != speed || (inSpeed != speed && inSpeed != B0)) {
    Join(result.framing, std::to_string(line.baudRate) + " baud");
  }
  if ((kept.c_cflag & CSIZE) != (line.dataBits == 7 ? CS7 : CS8)) {
    Join(result.framing, std::to_string(line.dataBits) + " data bits");
  }
  const bool parity = line.parity != SerialParity::None;
  if (Has(kept.c_cflag, PARENB) != parity ||
      (parity && Has(kept.c_cflag, PARODD) != (line.parity == SerialParity::Odd))) {
    Join(result.framing, ParityName(line.parity));
  }
  if (Has(kept.c_cflag, CSTOPB) != (line.stopBits == SerialStopBits::Two)) {
    Join(result.framing, line.stopBits == SerialStopBits::Two ? "2 stop bits" : "1 stop bit");
  }

  std::string flow;
  if (Has(kept.c_cflag, CRTSCTS) != line.ctsOutputFlow) {
    flow = line.ctsOutputFlow ? "hardware handshake (CRTSCTS) refused by the driver"
                              : "hardware handshake (CRTSCTS) left on by the driver";
  }
  const tcflag_t software = kept.c_iflag & (IXON | IXOFF);
  if (line.xonXoff ? software != (IXON | IXOFF) : software != 0) {
    Join(flow, line.xonXoff ? "Xon/Xoff refused by the driver" : "Xon/Xoff left on by the driver");
  }
  if (!flow.empty()) {
    result.letGo = "flow control not kept: " + flow;
  }

  result.parityMarks = line.checkParity && Has(kept.c_iflag, INPCK | PARMRK) &&
                       (kept.c_iflag & (IGNPAR | ISTRIP)) == 0;
  if (line.checkParity && !result.parityMarks) {
    result.letGo += (result.letGo.empty() ? "" : "; ") +
                    std::string(
                        "input checking not kept: damaged bytes go unreported (INPCK, "
                        "PARMRK refused by the driver)");
  }
  return result;
}

OpenFailure ExplainOpenError(const QSerialPort& port, const QString& device) {
  const std::string name = device.toStdString();
  switch (port.error()) {
    case QSerialPort::DeviceNotFoundError:
      return OpenFailureFromErrno(ENOENT, name);
    case QSerialPort::PermissionError: {
      // Qt says this of a device it may not open, of one opened exclusively (TIOCEXCL) and of
      // one whose lock file another program holds: only the first is the user's rights.
      const QByteArray path = device.toLocal8Bit();
      if (::access(path.constData(), R_OK | W_OK) != 0) {
        return OpenFailureFromErrno(errno, name, "dialout");
      }
      return OpenFailureFromErrno(EBUSY, name);
    }
    default:
      break;
  }
  return {OpenFailureCause::Other, name + ": " + port.errorString().toStdString()};
}

// Linux has no 1.5 stop bits: Qt takes them and quietly sends one.
std::string Unrealisable(const SerialLineSettings& line) {
  if (line.stopBits == SerialStopBits::OneAndHalf) {
    return "1.5 stop bits";
  }
  if (SpeedOf(line.baudRate) == B0) {
    return std::to_string(line.baudRate) + " baud";
  }
  return {};
}

// DSR output flow and DTR handshaking have no termios counterpart: CTS flow (CRTSCTS) stands in.
LineKept ApplyRest(QSerialPort& port, const SerialLineSettings& line) {
  const int fd = port.handle();
  termios tio{};
  if (fd < 0 || tcgetattr(fd, &tio) != 0) {
    return {};
  }
  // Qt never checks parity. Where it is asked, the driver marks a byte that fails (0xFF 0x00
  // and the byte) and the port fails the reply it belongs to; a real 0xFF comes doubled. A
  // byte that only read as NUL could land inside a value and pass as a good reply.
  tio.c_iflag &= ~(INPCK | PARMRK);
  if (line.checkParity) {
    tio.c_iflag |= INPCK | PARMRK;
    tio.c_iflag &= ~(IGNPAR | ISTRIP);
  }
#ifdef CMSPAR
  tio.c_cflag &= ~CMSPAR;  // a mark or space parity left by another program
#endif
  // Qt drops Xon/Xoff under hardware flow control; both together are set here.
  tio.c_iflag &= ~(IXON | IXOFF | IXANY);
  if (line.xonXoff) {
    tio.c_iflag |= IXON | IXOFF;
    tio.c_cc[VSTART] = Xon;
    tio.c_cc[VSTOP] = Xoff;
  }
  if (tcsetattr(fd, TCSANOW, &tio) != 0) {
    return {};
  }
  // tcsetattr succeeds when any part took effect: read back what the driver kept.
  termios kept{};
  if (tcgetattr(fd, &kept) != 0) {
    return {};
  }
  return CompareKept(kept, line);
}

std::int64_t PendingOutput(QSerialPort& port) {
  int pending = 0;
  if (port.handle() < 0 || ioctl(port.handle(), TIOCOUTQ, &pending) != 0) {
    return 0;
  }
  return pending;
}

void FinishSending(QSerialPort& port, const SerialLineSettings& line, std::int64_t written) {
#ifdef __linux__
  const int fd = port.handle();
  serial_struct info{};
  // Only a UART holds bytes the driver has let go of; a pseudo-terminal has none.
  if (fd < 0 || written <= 0 || line.baudRate <= 0 || ioctl(fd, TIOCGSERIAL, &info) != 0) {
    return;
  }
  const int bitsPerChar = 1 + line.dataBits + (line.parity != SerialParity::None ? 1 : 0) +
                          (line.stopBits == SerialStopBits::Two ? 2 : 1);
  const std::chrono::microseconds charTime(bitsPerChar * 1000000LL / line.baudRate + 1);
  const std::int64_t held = std::min<std::int64_t>(
      {written, info.xmit_fifo_size > 0 ? info.xmit_fifo_size : written, 4096});
  const auto end = std::chrono::steady_clock::now() + charTime * held;
  unsigned int status = 0;
  while (ioctl(fd, TIOCSERGETLSR, &status) == 0) {
    if ((status & TIOCSER_TEMT) != 0 || std::chrono::steady_clock::now() >= end) {
      return;
    }
    std::this_thread::sleep_for(charTime);
  }
  // The driver cannot tell when its UART is empty: allow the time the held bytes take.
  std::this_thread::sleep_until(end);
#else
  (void)port;
  (void)line;
  (void)written;
#endif
}

}  // namespace serial_line
