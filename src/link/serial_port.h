#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "link/link_port.h"
#include "link/link_settings.h"
#include "link/open_failure.h"
#include "link/parity_marks.h"

class QSerialPort;
class QString;

enum class SerialParity { None, Odd, Even };
enum class SerialStopBits { One, OneAndHalf, Two };

// Who drives an output line (DTR or RTS) while the port is open.
enum class LineControl {
  Off,        // not driven by the driver
  On,         // held on
  Handshake,  // the driver's flow control drives it
};

// What the serial settings record asks of the line, before any platform had a say.
struct SerialLineSettings {
  std::int32_t baudRate = 9600;
  int dataBits = 8;
  SerialParity parity = SerialParity::None;
  bool checkParity = false;  // received bytes with a parity error are marked bad
  SerialStopBits stopBits = SerialStopBits::One;
  bool ctsOutputFlow = false;  // output waits for CTS
  bool dsrOutputFlow = false;  // output waits for DSR
  LineControl dtr = LineControl::Off;
  LineControl rts = LineControl::Off;
  bool xonXoff = false;  // both directions

  bool operator==(const SerialLineSettings&) const = default;
};

// The dialog's indices as line settings; an index out of range falls back to the default
// (9600 baud, 8 data bits, no parity, one stop bit, no handshake).
SerialLineSettings MapSerialSettings(const SerialSettings& settings);

// What the driver made of the line settings after they were applied.
struct LineKept {
  bool applied = false;  // false: the system refused to apply them at all
  // Rate, data bits, parity or stop bits the driver did not keep ("9600 baud, odd parity");
  // empty when it kept them all. The printer cannot be understood without them.
  std::string framing;
  // Flow control or input checking the driver let go ("flow control not kept: ..."); empty
  // when it kept them. The line still works, with less protection.
  std::string letGo;
  bool parityMarks = false;  // damaged bytes arrive marked (see ParityMarkDecoder)
};

// What Qt SerialPort leaves to the POSIX side (serial_line_posix.cpp); Windows drives its ports
// through Win32 itself (serial_port_win.cpp).
namespace serial_line {

// What of `line` this platform cannot drive at all ("1.5 stop bits"); empty when it can.
std::string Unrealisable(const SerialLineSettings& line);

// Why QSerialPort failed to open `device`, from its error and what the system says of the device.
OpenFailure ExplainOpenError(const QSerialPort& port, const QString& device);

// Runs after Qt's setters on the open port: applies what Qt cannot express, then reads back
// what the driver kept.
LineKept ApplyRest(QSerialPort& port, const SerialLineSettings& line);

// Bytes the driver still holds for sending; 0 when it cannot tell.
std::int64_t PendingOutput(QSerialPort& port);

// Qt puts back the line it found at open as it closes: waits, bounded, until the UART has sent
// the last of `written` bytes so that they do not leave at another speed.
void FinishSending(QSerialPort& port, const SerialLineSettings& line, std::int64_t written);

}  // namespace serial_line

// The COM kind: a serial device opened at every open and closed at every close. Blocking calls
// only, so it needs no running event loop (a QCoreApplication must exist).
class SerialPort final : public LinkPort {
 public:
  static constexpr std::int64_t ReadBufferSize = 32768;
  // A chunk may take this long per byte, plus a fixed allowance, before it counts as short.
  static constexpr std::chrono::milliseconds WritePerByte{10};
  static constexpr std::chrono::milliseconds WriteAllowance{5000};

  SerialPort();
  ~SerialPort() override;

  LinkHandle Open(const LinkTargets& targets) override;
  std::uint32_t WriteChunk(LinkHandle handle, const std::uint8_t* data,
                           std::uint32_t count) override;
  bool Fill(LinkHandle handle, ReceiveBuffer& buffer) override;
  void Close(LinkHandle handle) override;
  void WaitForData(LinkHandle handle, std::chrono::milliseconds timeout) override;

 private:
  class Device;                   // the platform's open port
  std::unique_ptr<Device> port_;  // empty while no link is open
  SerialLineSettings line_;
  bool parityMarks_ = false;  // received bytes pass through marks_
  ParityMarkDecoder marks_;
  bool unsent_ = false;          // a write came up short on this link
  std::int64_t unanswered_ = 0;  // bytes written since the last byte received
};
