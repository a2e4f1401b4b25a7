#include "link/usb_printer_port.h"

#include <algorithm>
#include <cstdio>
#include <tuple>
#include <utility>

namespace {

constexpr LinkHandle OpenHandle = 1;

}  // namespace

std::string UsbPathText(const UsbDeviceEntry& device) {
  if (!device.path.empty()) {
    return device.path;
  }
  char ids[32];
  std::snprintf(ids, sizeof ids, "usb#vid_%04x&pid_%04x#", static_cast<unsigned>(device.vendorId),
                static_cast<unsigned>(device.productId));
  std::string text = ids;
  text += std::to_string(device.bus);
  text += '-';
  for (std::size_t i = 0; i < device.ports.size(); ++i) {
    if (i != 0) {
      text += '.';
    }
    text += std::to_string(device.ports[i]);
  }
  return text;
}

std::vector<UsbDeviceEntry> UsbDevicesInBusOrder(UsbBus& bus) {
  std::vector<UsbDeviceEntry> devices = bus.ListDevices();
  std::stable_sort(devices.begin(), devices.end(),
                   [](const UsbDeviceEntry& a, const UsbDeviceEntry& b) {
                     return std::tie(a.bus, a.ports) < std::tie(b.bus, b.ports);
                   });
  return devices;
}

int ChooseUsbPrinter(const std::vector<std::string>& paths, std::string_view vendorId) {
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const std::string_view path = paths[i];
    const std::size_t vid = path.find("vid");
    if (vid == std::string_view::npos || path.size() < vid + 8) {
      continue;
    }
    if (path.substr(vid + 4, 4) == vendorId) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

std::uint32_t UsbPrinterPort::ReceiveRequestSize(std::uint16_t maxPacket) {
  // A descriptor that names no size is taken as 64, the largest full-speed bulk packet.
  const std::uint32_t packet = maxPacket != 0 ? maxPacket : 64;
  return packet * std::max<std::uint32_t>(1, ReceiveTarget / packet);
}

UsbPrinterPort::UsbPrinterPort(std::unique_ptr<UsbBus> bus, std::string vendorId)
    : bus_(std::move(bus)), vendorId_(std::move(vendorId)) {}

UsbPrinterPort::~UsbPrinterPort() {
  Close(OpenHandle);
}

LinkHandle UsbPrinterPort::Open(const LinkTargets&) {
  Close(OpenHandle);
  std::vector<UsbDeviceEntry> devices = UsbDevicesInBusOrder(*bus_);
  const OpenFailure listing = bus_->LastFailure();
  if (devices.size() > MaxPaths) {
    devices.resize(MaxPaths);
  }
  std::vector<std::string> paths;
  paths.reserve(devices.size());
  for (const UsbDeviceEntry& device : devices) {
    paths.push_back(UsbPathText(device));
  }
  const int chosen = ChooseUsbPrinter(paths, vendorId_);
  if (chosen < 0) {
    std::string detail = "no USB printer with vendor id " + vendorId_;
    if (listing.Failed()) {
      detail += " (" + listing.detail + ")";
    }
    return FailOpen({OpenFailureCause::NoDevice, detail});
  }
  const auto index = static_cast<std::size_t>(chosen);
  if (!bus_->OpenDevice(devices[index])) {
    return FailOnDevice(paths[index], bus_->LastFailure());
  }
  claimed_ = bus_->ClaimPrinterInterface();
  if (!claimed_) {
    OpenFailure failure = bus_->LastFailure();
    bus_->CloseDevice();
    return FailOnDevice(paths[index], std::move(failure));
  }
  receive_.resize(ReceiveRequestSize(claimed_->inMaxPacket));
  DiscardStaleReply();
  return OpenHandle;
}

LinkHandle UsbPrinterPort::FailOnDevice(const std::string& path, OpenFailure failure) {
  if (!failure.Failed()) {
    failure = {OpenFailureCause::Other, "could not be opened"};
  }
  failure.detail.insert(0, path + ": ");
  // The udev rule installed with the program covers the build's vendor id only.
  if (failure.cause == OpenFailureCause::PermissionDenied) {
    failure.detail += vendorId_ == PrinterVendorId
                          ? " \u2014 install the udev rule 70-q73580-printer.rules, then plug "
                            "the printer in again"
                          : " \u2014 the installed udev rule covers vendor id " +
                                std::string(PrinterVendorId) + " only; add one for " + vendorId_ +
                                ", then plug the printer in again";
  }
  return FailOpen(std::move(failure));
}

void UsbPrinterPort::DiscardStaleReply() {
  // The printer keeps a reply that an earlier operation gave up on (after a bad frame, say);
  // read first, it would be taken for the answer to the next command and shift every answer
  // after it by one.
  const auto size = static_cast<std::uint32_t>(receive_.size());
  for (std::size_t dropped = 0; dropped < MaxStaleReplyBytes;) {
    const UsbTransfer transfer = bus_->BulkIn(receive_.data(), size, StaleReplyWait);
    if (transfer.moved == 0) {
      break;
    }
    dropped += transfer.moved;
  }
}

std::uint32_t UsbPrinterPort::WriteChunk(LinkHandle, const std::uint8_t* data,
                                         std::uint32_t count) {
  if (!claimed_) {
    return 0;
  }
  const UsbTransfer transfer = bus_->BulkOut(data, count, WriteTimeout);
  return std::min(transfer.moved, count);
}

bool UsbPrinterPort::Fill(LinkHandle, ReceiveBuffer& buffer) {
  if (!claimed_) {
    return false;
  }
  const auto size = static_cast<std::uint32_t>(receive_.size());
  const UsbTransfer transfer = bus_->BulkIn(receive_.data(), size, ReadTimeout);
  // A timeout may still have brought part of a reply; it is kept.
  const std::uint32_t moved = std::min(transfer.moved, size);
  buffer.Append(receive_.data(), moved);
  return moved != 0;
}

void UsbPrinterPort::Close(LinkHandle) {
  if (!claimed_) {
    return;
  }
  claimed_.reset();
  bus_->ReleaseInterface();
  bus_->CloseDevice();
}
