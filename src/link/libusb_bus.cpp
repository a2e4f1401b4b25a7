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

// The one place where a libusb error becomes a cause.
OpenFailure FailureOf(int error) {
  switch (error) {
    case LIBUSB_ERROR_ACCESS:
      return {OpenFailureCause::PermissionDenied, "permission denied"};
    case LIBUSB_ERROR_BUSY:
      return {OpenFailureCause::Busy, "in use by another program"};
    case LIBUSB_ERROR_NO_DEVICE:
    case LIBUSB_ERROR_NOT_FOUND:
      return {OpenFailureCause::NotFound, "no longer there (unplugged?)"};
    default:
      break;
  }
  return {OpenFailureCause::Other, libusb_strerror(error)};
}

bool HasPrinterClass(const libusb_config_descriptor& config) {
  for (int i = 0; i < config.bNumInterfaces; ++i) {
    const libusb_interface& interface = config.interface[i];
    for (int a = 0; a < interface.num_altsetting; ++a) {
      if (interface.altsetting[a].bInterfaceClass == LIBUSB_CLASS_PRINTER) {
        return true;
      }
    }
  }
  return false;
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
  OpenFailure failure;

  bool Start() {
    if (context == nullptr) {
      if (const int rc = libusb_init(&context); rc != LIBUSB_SUCCESS) {
        context = nullptr;  // no USB here; the next listing tries again
        Fail(rc, "USB devices cannot be listed: ");
      }
    }
    return context != nullptr;
  }

  void Fail(int error, const char* what = "") {
    failure = FailureOf(error);
    failure.detail.insert(0, what);
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
  impl_->failure = {};
  if (!impl_->Start()) {
    return entries;
  }
  impl_->DropListing();
  libusb_device** list = nullptr;
  const ssize_t count = libusb_get_device_list(impl_->context, &list);
  if (count < 0) {
    impl_->Fail(static_cast<int>(count), "USB devices cannot be listed: ");
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
                                     impl_->listed.size(),
                                     {}});
    impl_->listed.push_back(libusb_ref_device(device));
  }
  libusb_free_device_list(list, 1);
  return entries;
}

bool LibusbBus::HasPrinterInterface(const UsbDeviceEntry& device) {
  if (device.slot >= impl_->listed.size()) {
    return false;
  }
  libusb_device* listed = impl_->listed[device.slot];
  libusb_config_descriptor* config = nullptr;
  // An unconfigured device has no active configuration; its first one says what it offers.
  if (libusb_get_active_config_descriptor(listed, &config) != LIBUSB_SUCCESS &&
      libusb_get_config_descriptor(listed, 0, &config) != LIBUSB_SUCCESS) {
    return false;
  }
  const bool printer = HasPrinterClass(*config);
  libusb_free_config_descriptor(config);
  return printer;
}

bool LibusbBus::OpenDevice(const UsbDeviceEntry& device) {
  impl_->Close();
  impl_->failure = {};
  if (device.slot >= impl_->listed.size()) {
    impl_->Fail(LIBUSB_ERROR_NOT_FOUND);
    return false;
  }
  libusb_device_handle* handle = nullptr;
  if (const int rc = libusb_open(impl_->listed[device.slot], &handle); rc != LIBUSB_SUCCESS) {
    impl_->Fail(rc);
    return false;
  }
  // The system's own printer driver lets go of the interface while we hold it, and gets it
  // back at release. Not every platform has one to detach, hence no check.
  libusb_set_auto_detach_kernel_driver(handle, 1);
  impl_->handle = handle;
  return true;
}

std::optional<UsbPrinterEndpoints> LibusbBus::ClaimPrinterInterface() {
  impl_->failure = {};
  if (impl_->handle == nullptr) {
    impl_->Fail(LIBUSB_ERROR_NOT_FOUND);
    return std::nullopt;
  }
  libusb_config_descriptor* config = nullptr;
  if (const int rc = libusb_get_active_config_descriptor(libusb_get_device(impl_->handle), &config);
      rc != LIBUSB_SUCCESS) {
    impl_->Fail(rc);
    return std::nullopt;
  }
  const std::optional<FoundInterface> found = FindPrinterInterface(*config);
  libusb_free_config_descriptor(config);
  if (!found) {
    impl_->failure = {OpenFailureCause::Other,
                      "no printer interface with a bulk OUT and a bulk IN endpoint"};
    return std::nullopt;
  }
  if (const int rc = libusb_claim_interface(impl_->handle, found->number); rc != LIBUSB_SUCCESS) {
    impl_->Fail(rc);
    return std::nullopt;
  }
  impl_->claimed = found->number;
  if (found->alternate != 0) {
    if (const int rc =
            libusb_set_interface_alt_setting(impl_->handle, found->number, found->alternate);
        rc != LIBUSB_SUCCESS) {
      impl_->Release();
      impl_->Fail(rc);
      return std::nullopt;
    }
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

OpenFailure LibusbBus::LastFailure() const {
  return impl_->failure;
}

std::unique_ptr<UsbBus> MakeSystemUsbBus() {
  return std::make_unique<LibusbBus>();
}
