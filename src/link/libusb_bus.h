#pragma once

#include <memory>

#include "link/usb_bus.h"

// The system's USB stack through libusb. The library starts at the first listing, not at
// construction, so building the ports costs nothing; it then stays up for this object's life.
class LibusbBus final : public UsbBus {
 public:
  LibusbBus();
  ~LibusbBus() override;
  LibusbBus(const LibusbBus&) = delete;
  LibusbBus& operator=(const LibusbBus&) = delete;

  std::vector<UsbDeviceEntry> ListDevices() override;
  bool HasPrinterInterface(const UsbDeviceEntry& device) override;
  bool OpenDevice(const UsbDeviceEntry& device) override;
  std::optional<UsbPrinterEndpoints> ClaimPrinterInterface() override;
  UsbTransfer BulkOut(const std::uint8_t* data, std::uint32_t count,
                      std::chrono::milliseconds timeout) override;
  UsbTransfer BulkIn(std::uint8_t* data, std::uint32_t capacity,
                     std::chrono::milliseconds timeout) override;
  void ReleaseInterface() override;
  void CloseDevice() override;
  OpenFailure LastFailure() const override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
