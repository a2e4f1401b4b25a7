#include "link/serial_port.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QSerialPort>
#include <algorithm>
#include <thread>

#include "link/serial_port_names.h"

namespace {

// The serial link has one open port at a time; its handle is only a token.
constexpr LinkHandle OpenHandle = 1;

// How often a write looks again whether the driver has sent what it holds.
constexpr std::chrono::milliseconds DrainPoll{2};

QSerialPort::Parity QtParity(SerialParity parity) {
  switch (parity) {
    case SerialParity::Odd:
      return QSerialPort::OddParity;
    case SerialParity::Even:
      return QSerialPort::EvenParity;
    case SerialParity::None:
      break;
  }
  return QSerialPort::NoParity;
}

QSerialPort::StopBits QtStopBits(SerialStopBits stopBits) {
  switch (stopBits) {
    case SerialStopBits::OneAndHalf:
      return QSerialPort::OneAndHalfStop;
    case SerialStopBits::Two:
      return QSerialPort::TwoStop;
    case SerialStopBits::One:
      break;
  }
  return QSerialPort::OneStop;
}

// Qt has one flow control at a time; Xon/Xoff beside hardware flow is left to the platform.
QSerialPort::FlowControl QtFlowControl(const SerialLineSettings& line) {
  if (line.ctsOutputFlow) {
    return QSerialPort::HardwareControl;
  }
  return line.xonXoff ? QSerialPort::SoftwareControl : QSerialPort::NoFlowControl;
}

// Qt names its lock file after the whole path it opens, so a long link name (a stable
// /dev/serial/by-id/... name, or any path) would not fit a file name, and two names of one
// device would not keep each other out. The device a link leads to has one short name.
QString DeviceToOpen(const QString& device) {
  const QString target = QFileInfo(device).canonicalFilePath();
  return target.isEmpty() ? device : target;
}

// The C library fails a setter where the driver kept less than asked, and checks only part of
// the line: every setter runs, and what the driver kept, read back at the end, decides.
LineKept ApplyLine(QSerialPort& port, const SerialLineSettings& line) {
  port.setBaudRate(line.baudRate);
  port.setDataBits(line.dataBits == 7 ? QSerialPort::Data7 : QSerialPort::Data8);
  port.setParity(QtParity(line.parity));
  port.setStopBits(QtStopBits(line.stopBits));
  port.setFlowControl(QtFlowControl(line));
  return serial_line::ApplyRest(port, line);
}

}  // namespace

// The open port; a class of its own so that the header names no Qt SerialPort type.
class SerialPort::Device final : public QSerialPort {};

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
  const QString device = SerialDevicePath(targets.serial->PortName.View());
  // Refused before the device is touched, so its lines do not even move.
  if (const std::string missing = serial_line::Unrealisable(line); !missing.empty()) {
    return FailOpen({OpenFailureCause::LineNotSupported,
                     device.toStdString() + ": this system cannot drive " + missing});
  }
  auto port = std::make_unique<Device>();
  port->setPortName(DeviceToOpen(device));
  port->setReadBufferSize(ReadBufferSize);
  if (!port->open(QIODevice::ReadWrite)) {
    return FailOpen(serial_line::ExplainOpenError(*port, device));
  }
  // Whatever arrived before this open (a reply nobody read) is not an answer to us.
  port->clear(QSerialPort::AllDirections);
  const LineKept kept = ApplyLine(*port, line);
  if (!kept.applied) {
    port->close();
    return FailOpen({OpenFailureCause::Other,
                     device.toStdString() + ": the line settings could not be read back"});
  }
  // Without the framing asked for, nothing the printer says could be understood; flow control
  // and input checking the driver let go only protect the line less, so the open goes on.
  if (!kept.framing.empty()) {
    port->close();
    return FailOpen({OpenFailureCause::LineNotSupported,
                     device.toStdString() + ": the driver did not keep " + kept.framing});
  }
  if (!kept.letGo.empty()) {
    NoteOpen(device.toStdString() + ": " + kept.letGo);
  }
  // Pseudo-terminals refuse these, and Qt refuses RTS under hardware flow control, where the
  // driver already holds it on.
  port->setDataTerminalReady(true);
  port->setRequestToSend(true);
  port_ = std::move(port);
  line_ = line;
  parityMarks_ = kept.parityMarks;
  marks_.Reset();
  unsent_ = false;
  unanswered_ = 0;
  return OpenHandle;
}

std::uint32_t SerialPort::WriteChunk(LinkHandle, const std::uint8_t* data, std::uint32_t count) {
  if (!port_ || count == 0) {
    return 0;
  }
  const QDeadlineTimer deadline(WritePerByte * count + WriteAllowance);
  const qint64 queued = port_->write(reinterpret_cast<const char*>(data), count);
  if (queued <= 0) {
    return 0;
  }
  // Qt hands bytes to the driver only inside a wait; each wait returns after one hand-over.
  while (port_->bytesToWrite() > 0 && !deadline.hasExpired()) {
    if (!port_->waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
      break;
    }
  }
  std::int64_t taken = queued - port_->bytesToWrite();
  // The driver may still hold them, e.g. while CTS is off: a byte counts once it has left.
  std::int64_t pending = serial_line::PendingOutput(*port_);
  while (pending > 0 && !deadline.hasExpired()) {
    std::this_thread::sleep_for(
        std::min(DrainPoll, std::chrono::milliseconds(deadline.remainingTime())));
    pending = serial_line::PendingOutput(*port_);
  }
  taken -= std::clamp<std::int64_t>(pending, 0, taken);
  unsent_ = unsent_ || taken < count;
  unanswered_ += std::max<std::int64_t>(taken, 0);
  return static_cast<std::uint32_t>(std::clamp<std::int64_t>(taken, 0, count));
}

bool SerialPort::Fill(LinkHandle, ReceiveBuffer& buffer) {
  if (!port_) {
    return false;
  }
  // One byte per receive. A marked byte takes more than one raw byte, and the driver hands
  // them over together, so a mark begun is read to its end while the driver has more.
  const std::uint32_t before = buffer.Unread();
  bool received = false;
  do {
    if (port_->bytesAvailable() == 0) {
      port_->waitForReadyRead(0);  // pulls in what the driver has, without waiting
    }
    std::uint8_t byte = 0;
    if (port_->read(reinterpret_cast<char*>(&byte), 1) != 1) {
      break;
    }
    received = true;
    unanswered_ = 0;  // the printer answered, so what it answered has left
    if (parityMarks_) {
      marks_.Feed(&byte, 1, buffer);
    } else {
      buffer.Append(&byte, 1);
    }
  } while (parityMarks_ && buffer.Unread() == before && !buffer.Damaged() && !buffer.Dropped());
  return received;
}

void SerialPort::WaitForData(LinkHandle handle, std::chrono::milliseconds timeout) {
  if (!port_) {
    LinkPort::WaitForData(handle, timeout);
    return;
  }
  if (port_->bytesAvailable() == 0) {
    port_->waitForReadyRead(static_cast<int>(timeout.count()));
  }
}

void SerialPort::Close(LinkHandle) {
  if (!port_) {
    return;
  }
  // Bytes a blocked line did not send in time already failed their write; left in the driver
  // they would go out late and hold the close for its closing wait (30 s on Linux).
  if (unsent_) {
    port_->clear(QSerialPort::Output);
  } else if (unanswered_ > 0) {
    serial_line::FinishSending(*port_, line_, unanswered_);
  }
  port_->close();
  port_.reset();
}
