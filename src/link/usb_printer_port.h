#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/link_port.h"
#include "link/usb_bus.h"

#ifndef Q73580_PRINTER_VENDOR_ID
#error "Q73580_PRINTER_VENDOR_ID comes from the build: cmake -DQ73580_PRINTER_VENDOR_ID=xxxx"
#endif

// The printer's USB vendor number as four lower-case hex digits, as it appears in a path text.
inline constexpr std::string_view PrinterVendorId = Q73580_PRINTER_VENDOR_ID;
static_assert(PrinterVendorId.size() == 4);

// The system's own path of the device where it has one (Windows), else
// "usb#vid_xxxx&pid_yyyy#<bus>-<port.port...>", hex in lower case.
std::string UsbPathText(const UsbDeviceEntry& device);

// What the bus lists now, in bus order (bus number, then the hub ports from the root down), so
// that the same printer comes first whatever order the system lists devices in.
std::vector<UsbDeviceEntry> UsbDevicesInBusOrder(UsbBus& bus);

// Index of the first path whose first "vid" is followed, after one separator, by `vendorId`;
// -1 when none is.
int ChooseUsbPrinter(const std::vector<std::string>& paths, std::string_view vendorId);

// The USB kind: the first printer of our vendor in bus order, its printer interface claimed
// from open to close.
class UsbPrinterPort final : public LinkPort {
 public:
  // Devices past this many in bus order are not looked at.
  static constexpr std::size_t MaxPaths = 256;
  static constexpr std::chrono::milliseconds WriteTimeout{5000};
  static constexpr std::chrono::milliseconds ReadTimeout{5000};
  // An IN request aims at this size, in whole packets.
  static constexpr std::uint32_t ReceiveTarget = 4096;
  // At open, what the printer still holds from a reply nobody read is fetched and dropped: one
  // short wait when there is none, and never more than this many bytes.
  static constexpr std::chrono::milliseconds StaleReplyWait{10};
  static constexpr std::size_t MaxStaleReplyBytes = 256 * 1024;

  explicit UsbPrinterPort(std::unique_ptr<UsbBus> bus,
                          std::string vendorId = std::string(PrinterVendorId));
  ~UsbPrinterPort() override;

  LinkHandle Open(const LinkTargets& targets) override;
  std::uint32_t WriteChunk(LinkHandle handle, const std::uint8_t* data,
                           std::uint32_t count) override;
  bool Fill(LinkHandle handle, ReceiveBuffer& buffer) override;
  void Close(LinkHandle handle) override;

  // Bytes asked for by one IN request: whole packets, never fewer than 64 bytes, so that no
  // packet the device sends can overflow it.
  static std::uint32_t ReceiveRequestSize(std::uint16_t maxPacket);

  const std::string& VendorId() const { return vendorId_; }

 private:
  void DiscardStaleReply();
  // The bus's failure, told of the device at `path`.
  LinkHandle FailOnDevice(const std::string& path, OpenFailure failure);

  std::unique_ptr<UsbBus> bus_;
  std::string vendorId_;
  std::optional<UsbPrinterEndpoints> claimed_;  // set while a link is open
  std::vector<std::uint8_t> receive_;
};
