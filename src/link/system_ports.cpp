#include "link/link_facade.h"
#include "link/network_stream.h"
#include "link/parallel_port.h"
#include "link/serial_port.h"
#include "link/usb_bus.h"
#include "link/usb_printer_port.h"

// The real port of every link kind on this platform.
LinkPorts MakeSystemPorts(std::string_view usbVendorId) {
  LinkPorts ports;
  ports.usb = std::make_unique<UsbPrinterPort>(
      MakeSystemUsbBus(), std::string(usbVendorId.empty() ? PrinterVendorId : usbVendorId));
  ports.com = std::make_unique<SerialPort>();
  ports.lpt = std::make_unique<ParallelPort>();
  ports.ethernet = std::make_unique<NetworkStream>();
  return ports;
}
