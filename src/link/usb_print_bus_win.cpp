#include <windows.h>
// setupapi.h needs windows.h first.
#include <setupapi.h>

#include <algorithm>
#include <cctype>
#include <charconv>

#include "link/open_failure.h"
#include "link/overlapped_io_win.h"
#include "link/usb_bus.h"

namespace {

// The class of device interfaces every present USB device publishes (GUID_DEVINTERFACE_USB_DEVICE):
// the printer's is opened with CreateFile and moved with ReadFile and WriteFile through the
// driver the system gave it, no driver of ours. The printer among them is told by its vendor id.
constexpr GUID UsbDeviceInterfaces = {
    0xa5dcbf10, 0x6530, 0x11d2, {0x90, 0x1f, 0x00, 0xc0, 0x4f, 0xb9, 0x51, 0xed}};

// More interfaces than any machine has; the port looks at far fewer.
constexpr DWORD MaxInterfaces = 1024;

// The printer driver moves whole transfers; reads ask for this much at a time.
constexpr std::uint16_t ReadPacket = 64;

// The four hex digits after "vid_" or "pid_" in a path such as
// "\\?\usb#vid_1a2b&pid_0003#serial#{a5dcbf10-...}"; 0 when there are none.
std::uint16_t IdAfter(const std::string& path, std::string_view key) {
  std::string lower = path;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const std::size_t at = lower.find(key);
  if (at == std::string::npos || lower.size() < at + key.size() + 5) {
    return 0;
  }
  const char* digits = lower.data() + at + key.size() + 1;
  std::uint16_t id = 0;
  const auto [stop, error] = std::from_chars(digits, digits + 4, id, 16);
  return error == std::errc() && stop == digits + 4 ? id : 0;
}

class SetupApiUsbBus final : public UsbBus {
 public:
  SetupApiUsbBus() = default;
  ~SetupApiUsbBus() override { CloseDevice(); }
  SetupApiUsbBus(const SetupApiUsbBus&) = delete;
  SetupApiUsbBus& operator=(const SetupApiUsbBus&) = delete;

  std::vector<UsbDeviceEntry> ListDevices() override;
  // The vendor id alone tells the printer: whatever device carries it is taken as the printer.
  bool HasPrinterInterface(const UsbDeviceEntry&) override { return true; }
  bool OpenDevice(const UsbDeviceEntry& device) override;
  std::optional<UsbPrinterEndpoints> ClaimPrinterInterface() override;
  UsbTransfer BulkOut(const std::uint8_t* data, std::uint32_t count,
                      std::chrono::milliseconds timeout) override;
  UsbTransfer BulkIn(std::uint8_t* data, std::uint32_t capacity,
                     std::chrono::milliseconds timeout) override;
  // The driver owns the interface: there is nothing to release.
  void ReleaseInterface() override {}
  void CloseDevice() override;
  OpenFailure LastFailure() const override { return failure_; }

 private:
  HANDLE device_ = INVALID_HANDLE_VALUE;
  OpenFailure failure_;
};

std::vector<UsbDeviceEntry> SetupApiUsbBus::ListDevices() {
  failure_ = {};
  std::vector<UsbDeviceEntry> devices;
  const HDEVINFO set = SetupDiGetClassDevsA(&UsbDeviceInterfaces, nullptr, nullptr,
                                            DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) {
    failure_ = {OpenFailureCause::Other,
                "the system's device list is unavailable: " + win32::ErrorText(GetLastError())};
    return devices;
  }
  for (DWORD index = 0; index < MaxInterfaces; ++index) {
    SP_DEVICE_INTERFACE_DATA listed{};
    listed.cbSize = sizeof listed;
    if (!SetupDiEnumDeviceInterfaces(set, nullptr, &UsbDeviceInterfaces, index, &listed)) {
      break;  // ERROR_NO_MORE_ITEMS
    }
    DWORD size = 0;
    SetupDiGetDeviceInterfaceDetailA(set, &listed, nullptr, 0, &size, nullptr);
    if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
      continue;
    }
    // Whole DWORDs keep the record aligned as the system expects.
    std::vector<DWORD> storage((size + sizeof(DWORD) - 1) / sizeof(DWORD));
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set, &listed, detail, size, nullptr, nullptr)) {
      continue;
    }
    UsbDeviceEntry entry;
    entry.path = detail->DevicePath;
    entry.vendorId = IdAfter(entry.path, "vid");
    entry.productId = IdAfter(entry.path, "pid");
    entry.slot = devices.size();
    // No bus or hub ports: the port keeps the system's order of enumeration.
    devices.push_back(std::move(entry));
  }
  SetupDiDestroyDeviceInfoList(set);
  return devices;
}

bool SetupApiUsbBus::OpenDevice(const UsbDeviceEntry& device) {
  CloseDevice();
  failure_ = {};
  device_ = CreateFileA(device.path.c_str(), GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                        FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
  if (device_ == INVALID_HANDLE_VALUE) {
    failure_ = OpenFailureFromWin32(GetLastError(), {});
    return false;
  }
  return true;
}

std::optional<UsbPrinterEndpoints> SetupApiUsbBus::ClaimPrinterInterface() {
  if (device_ == INVALID_HANDLE_VALUE) {
    failure_ = {OpenFailureCause::Other, "not open"};
    return std::nullopt;
  }
  return UsbPrinterEndpoints{0, 0, ReadPacket};
}

UsbTransfer SetupApiUsbBus::BulkOut(const std::uint8_t* data, std::uint32_t count,
                                    std::chrono::milliseconds timeout) {
  if (device_ == INVALID_HANDLE_VALUE) {
    return {0, true};
  }
  const win32::IoResult result = win32::Write(device_, data, count, timeout);
  return {result.moved, result.error != ERROR_SUCCESS || result.timedOut};
}

UsbTransfer SetupApiUsbBus::BulkIn(std::uint8_t* data, std::uint32_t capacity,
                                   std::chrono::milliseconds timeout) {
  if (device_ == INVALID_HANDLE_VALUE) {
    return {0, true};
  }
  const win32::IoResult result = win32::Read(device_, data, capacity, timeout);
  return {result.moved, result.error != ERROR_SUCCESS || result.timedOut};
}

void SetupApiUsbBus::CloseDevice() {
  if (device_ != INVALID_HANDLE_VALUE) {
    CloseHandle(device_);
    device_ = INVALID_HANDLE_VALUE;
  }
}

}  // namespace

std::unique_ptr<UsbBus> MakeSystemUsbBus() {
  return std::make_unique<SetupApiUsbBus>();
}
