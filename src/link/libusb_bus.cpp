#include "link/libusb_bus.h"

#include <libusb.h>

#include <algorithm>
#include <array>
#include <climits>

namespace {

// libusb reads a timeout of 0 as "wait for ever".
unsigned int TimeoutMs(std::chrono::milliseconds timeout) {
  return static_cast<unsigned int>(std::clamp<std::chrono::milliseconds::rep>(
      timeout.count(), 1, std::chrono::milliseconds::rep{UINT_MAX}));
}

int TransferLength(std::uint32_t count) {
  return static_cast<int>(std::min<std::uint32_t>(count, INT_MAX));
}

UsbTransfer BulkTransfer(libusb_device_handle* handle, std::uint8_t endpoint, std::uint8_t* data,
                         std::uint32_t count, std::chrono::milliseconds timeout) {
  int moved = 0;
  const int rc = libusb_bulk_transfer(handle, endpoint, data, TransferLength(count), &moved,
                                      TimeoutMs(timeout));
  if (rc == LIBUSB_ERROR_PIPE) {
    // A stalled endpoint stays halted until it is cleared: every later transfer on it, this
    // link's and the next one's, would fail at once.
    libusb_clear_halt(handle, endpoint);
  }
  return {static_cast<std::uint32_t>(std::max(moved, 0)), rc != LIBUSB_SUCCESS};
}

struct FoundInterface {
  int number = -1;
  int alternate = 0;
  UsbPrinterEndpoints endpoints;
};

// The first printer-class setting with both a bulk OUT and a bulk IN endpoint.
std::optional<FoundInterface> FindPrinterInterface(const libusb_config_descriptor& config) {
  for (int i = 0; i < config.bNumInterfaces; ++i) {
    const libusb_interface& interface = config.interface[i];
    for (int a = 0; a < interface.num_altsetting; ++a) {
      const libusb_interface_descriptor& setting = interface.altsetting[a];
      if (setting.bInterfaceClass != LIBUSB_CLASS_PRINTER) {
        continue;
      }
      std::optional<std::uint8_t> out;
      std::optional<std::uint8_t> in;
      std::uint16_t inMaxPacket = 0;
      for (int e = 0; e < setting.bNumEndpoints; ++e) {
        const libusb_endpoint_descriptor& endpoint = setting.endpoint[e];
        if ((endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK) {
          continue;
        }
        if ((endpoint.bEndpointAddress & LIBUSB_ENDPOINT_IN) != 0) {
          if (!in) {
            in = endpoint.bEndpointAddress;
            inMaxPacket = endpoint.wMaxPacketSize & 0x7FF;
          }
        } else if (!out) {
          out = endpoint.bEndpointAddress;
        }
      }
      if (out && in) {
        return FoundInterface{setting.bInterfaceNumber, setting.bAlternateSetting,
                              UsbPrinterEndpoints{*out, *in, inMaxPacket}};
      }
    }
  }
  return std::nullopt;
}

}  // namespace

struct LibusbBus::Impl {
  libusb_context* context = nullptr;
  std::vector<libusb_device*> listed;  // one reference held on each
  libusb_device_handle* handle = nullptr;
  int claimed = -1;
  UsbPrinterEndpoints endpoints;

  bool Start() {
    if (context == nullptr && libusb_init(&context) != LIBUSB_SUCCESS) {
      context = nullptr;  // no USB here; the next listing tries again
    }
    return context != nullptr;
  }

  void DropListing() {
    for (libusb_device* device : listed) {
      libusb_unref_device(device);
    }
    listed.clear();
  }

  void Release() {
    if (claimed >= 0) {
      libusb_release_interface(handle, claimed);
      claimed = -1;
    }
  }

  void Close() {
    Release();
    if (handle != nullptr) {
      libusb_close(handle);
      handle = nullptr;
    }
  }

  ~Impl() {
    Close();
    DropListing();
    if (context != nullptr) {
      libusb_exit(context);
    }
  }
};

LibusbBus::LibusbBus() : impl_(std::make_unique<Impl>()) {}

LibusbBus::~LibusbBus() = default;

std::vector<UsbDeviceEntry> LibusbBus::ListDevices() {
  std::vector<UsbDeviceEntry> entries;
  if (!impl_->Start()) {
    return entries;
  }
  impl_->DropListing();
  libusb_device** list = nullptr;
  const ssize_t count = libusb_get_device_list(impl_->context, &list);
  if (count < 0) {
    return entries;
  }
  for (ssize_t i = 0; i < count; ++i) {
    libusb_device* device = list[i];
    std::array<std::uint8_t, 8> ports{};
    const int depth = libusb_get_port_numbers(device, ports.data(), static_cast<int>(ports.size()));
    libusb_device_descriptor descriptor{};
    // A root hub has no port path and is never a printer.
    if (depth <= 0 || libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS) {
      continue;
    }
    entries.push_back(UsbDeviceEntry{libusb_get_bus_number(device),
                                     {ports.begin(), ports.begin() + depth},
                                     descriptor.idVendor,
                                     descriptor.idProduct,
                                     impl_->listed.size()});
    impl_->listed.push_back(libusb_ref_device(device));
  }
  libusb_free_device_list(list, 1);
  return entries;
}

bool LibusbBus::OpenDevice(const UsbDeviceEntry& device) {
  impl_->Close();
  if (device.slot >= impl_->listed.size()) {
    return false;
  }
  libusb_device_handle* handle = nullptr;
  if (libusb_open(impl_->listed[device.slot], &handle) != LIBUSB_SUCCESS) {
    return false;
  }
  // The system's own printer driver lets go of the interface while we hold it, and gets it
  // back at release. Not every platform has one to detach, hence no check.
  libusb_set_auto_detach_kernel_driver(handle, 1);
  impl_->handle = handle;
  return true;
}

std::optional<UsbPrinterEndpoints> LibusbBus::ClaimPrinterInterface() {
  if (impl_->handle == nullptr) {
    return std::nullopt;
  }
  libusb_config_descriptor* config = nullptr;
  if (libusb_get_active_config_descriptor(libusb_get_device(impl_->handle), &config) !=
      LIBUSB_SUCCESS) {
    return std::nullopt;
  }
  const std::optional<FoundInterface> found = FindPrinterInterface(*config);
  libusb_free_config_descriptor(config);
  if (!found || libusb_claim_interface(impl_->handle, found->number) != LIBUSB_SUCCESS) {
    return std::nullopt;
  }
  impl_->claimed = found->number;
  if (found->alternate != 0 &&
      libusb_set_interface_alt_setting(impl_->handle, found->number, found->alternate) != 0) {
    impl_->Release();
    return std::nullopt;
  }
  impl_->endpoints = found->endpoints;
  return found->endpoints;
}

UsbTransfer LibusbBus::BulkOut(const std::uint8_t* data, std::uint32_t count,
                               std::chrono::milliseconds timeout) {
  if (impl_->claimed < 0) {
    return {0, true};
  }
  // libusb takes the buffer as writable for both directions; an OUT transfer only reads it.
  return BulkTransfer(impl_->handle, impl_->endpoints.out, const_cast<std::uint8_t*>(data), count,
                      timeout);
}

UsbTransfer LibusbBus::BulkIn(std::uint8_t* data, std::uint32_t capacity,
                              std::chrono::milliseconds timeout) {
  if (impl_->claimed < 0) {
    return {0, true};
  }
  return BulkTransfer(impl_->handle, impl_->endpoints.in, data, capacity, timeout);
}

void LibusbBus::ReleaseInterface() {
  impl_->Release();
}

void LibusbBus::CloseDevice() {
  impl_->Close();
}
