#include "link/serial_choices.h"
#include "link/serial_port.h"

SerialLineSettings MapSerialSettings(const SerialSettings& settings) {
  SerialLineSettings line;
  line.baudRate = serial_choices::Baud.In(settings).value;
  line.dataBits = serial_choices::DataBits.In(settings).value;
  switch (settings.ParityIndex) {
    case 1:
      line.parity = SerialParity::Odd;
      line.checkParity = true;
      break;
    case 2:
      line.parity = SerialParity::Even;
      break;
    default:
      break;
  }
  switch (settings.StopBitsIndex) {
    case 1:
      line.stopBits = SerialStopBits::OneAndHalf;
      break;
    case 2:
      line.stopBits = SerialStopBits::Two;
      break;
    default:
      break;
  }
  if (settings.HardwareHandshake != 0) {
    line.ctsOutputFlow = true;
    line.dsrOutputFlow = true;
    const LineControl control =
        settings.HardwareHandshake == 1 ? LineControl::On : LineControl::Handshake;
    line.dtr = control;
    line.rts = control;
  }
  line.xonXoff = settings.SoftwareHandshake == 1;
  return line;
}
