#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/open_failure.h"

// One device on the USB bus as the last listing saw it.
struct UsbDeviceEntry {
  std::uint8_t bus = 0;
  std::vector<std::uint8_t> ports;  // the hub ports from the root hub down
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::size_t slot = 0;  // the bus's own index into its last listing
  std::string path;      // the system's own path text of the device; empty where it has none

  bool operator==(const UsbDeviceEntry&) const = default;
};

// The claimed printer interface: where bytes go out and come back.
struct UsbPrinterEndpoints {
  std::uint8_t out = 0;
  std::uint8_t in = 0;
  std::uint16_t inMaxPacket = 0;
};

struct UsbTransfer {
  std::uint32_t moved = 0;
  bool error = false;  // a timeout included; `moved` still counts what did move
};

// What the USB printer port needs of the system's USB stack. At most one device is open at a
// time; a failed open or claim leaves nothing for the caller to undo beyond what it states.
class UsbBus {
 public:
  virtual ~UsbBus() = default;

  // Devices present now, in no particular order. Entries are good until the next listing.
  virtual std::vector<UsbDeviceEntry> ListDevices() = 0;

  // True when a listed device has a printer-class interface (class 07); the device stays closed.
  virtual bool HasPrinterInterface(const UsbDeviceEntry& device) = 0;

  // Opens the device; on failure nothing is open.
  virtual bool OpenDevice(const UsbDeviceEntry& device) = 0;

  // Claims the open device's printer-class interface that has a bulk OUT and a bulk IN
  // endpoint; on failure nothing is claimed and the device stays open.
  virtual std::optional<UsbPrinterEndpoints> ClaimPrinterInterface() = 0;

  virtual UsbTransfer BulkOut(const std::uint8_t* data, std::uint32_t count,
                              std::chrono::milliseconds timeout) = 0;
  // Asks for up to `capacity` bytes; the device ends the transfer early with a short packet.
  virtual UsbTransfer BulkIn(std::uint8_t* data, std::uint32_t capacity,
                             std::chrono::milliseconds timeout) = 0;

  virtual void ReleaseInterface() = 0;
  virtual void CloseDevice() = 0;

  // Why the last ListDevices, OpenDevice or ClaimPrinterInterface failed; cause None when it did
  // not, or when the bus cannot tell. The detail names no device: the caller knows which it was.
  virtual OpenFailure LastFailure() const { return {}; }
};

// The system's USB stack: libusb on POSIX systems, the USB device interfaces of SetupAPI on
// Windows.
std::unique_ptr<UsbBus> MakeSystemUsbBus();
