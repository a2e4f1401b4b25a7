// The libusb bus against a mocked sysfs and /dev: listing, port paths and the search for the
// printer interface in real descriptors. Runs under umockdev-wrapper; skipped elsewhere.

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "link/libusb_bus.h"
#include "link/usb_printer_port.h"  // PrinterVendorId

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t Lo(std::uint16_t v) {
  return static_cast<std::uint8_t>(v);
}
constexpr std::uint8_t Hi(std::uint16_t v) {
  return static_cast<std::uint8_t>(v >> 8);
}

Bytes DeviceDescriptor(std::uint16_t vendor, std::uint16_t product, std::uint8_t deviceClass) {
  return {18,         1,           0,           2, deviceClass, 0, 0, 64, Lo(vendor),
          Hi(vendor), Lo(product), Hi(product), 0, 1,           0, 0, 0,  1};
}

Bytes Interface(std::uint8_t number, std::uint8_t alternate, std::uint8_t endpoints,
                std::uint8_t interfaceClass) {
  return {9, 4, number, alternate, endpoints, interfaceClass, 1, 2, 0};
}

Bytes Endpoint(std::uint8_t address, std::uint8_t attributes, std::uint16_t maxPacket) {
  return {7, 5, address, attributes, Lo(maxPacket), Hi(maxPacket), 0};
}

constexpr std::uint8_t Bulk = 2;
constexpr std::uint8_t Interrupt = 3;
constexpr std::uint8_t PrinterClass = 7;
constexpr std::uint8_t VendorClass = 0xFF;

// One configuration holding `body` (interfaces and endpoints), after the device descriptor.
Bytes Descriptors(Bytes device, const std::vector<Bytes>& body, std::uint8_t interfaces) {
  Bytes config = {9, 2, 0, 0, interfaces, 1, 0, 0xC0, 50};
  for (const Bytes& part : body) {
    config.insert(config.end(), part.begin(), part.end());
  }
  config[2] = Lo(static_cast<std::uint16_t>(config.size()));
  config[3] = Hi(static_cast<std::uint16_t>(config.size()));
  device.insert(device.end(), config.begin(), config.end());
  return device;
}

Bytes Hub(std::uint16_t vendor) {
  return Descriptors(DeviceDescriptor(vendor, 0x0002, 9), {}, 0);
}

std::uint16_t OurVendor() {
  return static_cast<std::uint16_t>(std::stoul(std::string(PrinterVendorId), nullptr, 16));
}
std::uint16_t OtherVendor() {
  return OurVendor() ^ 0x0101;
}

bool UnderUmockdev() {
  const char* preload = std::getenv("LD_PRELOAD");
  return preload != nullptr && std::strstr(preload, "umockdev") != nullptr;
}

// A mocked bus whose usbfs nodes accept every ioctl and record its request number.
class MockBusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!UnderUmockdev()) {
      GTEST_SKIP() << "needs umockdev-wrapper";
    }
    testbed_ = umockdev_testbed_new();
    handler_ = umockdev_ioctl_base_new();
    g_signal_connect(handler_, "handle-ioctl",
                     reinterpret_cast<GCallback>(reinterpret_cast<void (*)()>(&HandleIoctl)), this);
  }

  void TearDown() override {
    g_clear_object(&handler_);
    g_clear_object(&testbed_);
  }

  // Adds the device at sysfs name `name` ("usb1", "1-2", "1-2.3") below `parent`.
  void Add(const std::string& parent, const std::string& name, int bus, int address,
           const Bytes& descriptors) {
    char node[32];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", bus, address);
    const std::string busText = std::to_string(bus), addressText = std::to_string(address);
    std::string record =
        "P: " + parent + "/" + name + "\nN: " + std::string(node + 5) + "\nE: DEVNAME=" + node +
        "\nE: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\nE: BUSNUM=" + busText +
        "\nE: DEVNUM=" + addressText + "\nA: busnum=" + busText + "\nA: devnum=" + addressText +
        "\nA: speed=480\nA: bConfigurationValue=1\nH: descriptors=";
    for (std::uint8_t byte : descriptors) {
      record += "0123456789ABCDEF"[byte >> 4];
      record += "0123456789ABCDEF"[byte & 15];
    }
    record += '\n';
    GError* error = nullptr;
    ASSERT_TRUE(umockdev_testbed_add_from_string(testbed_, record.c_str(), &error))
        << (error != nullptr ? error->message : "");
    ASSERT_TRUE(umockdev_testbed_attach_ioctl(testbed_, node, handler_, &error))
        << (error != nullptr ? error->message : "");
  }

  // A root hub on bus 1 with our printer at 1-1 described by `descriptors`.
  void AddPrinter(const Bytes& descriptors) {
    Add("/devices", "usb1", 1, 1, Hub(OtherVendor()));
    Add("/devices/usb1", "1-1", 1, 2, descriptors);
  }

  std::vector<unsigned long> Requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }

  static gboolean HandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    auto* test = static_cast<MockBusTest*>(self);
    {
      std::lock_guard lock(test->mutex_);
      test->requests_.push_back(umockdev_ioctl_client_get_request(client));
    }
    umockdev_ioctl_client_complete(client, 0, 0);
    return TRUE;
  }

  UMockdevTestbed* testbed_ = nullptr;
  UMockdevIoctlBase* handler_ = nullptr;
  std::mutex mutex_;
  std::vector<unsigned long> requests_;
};

TEST_F(MockBusTest, ListsDevicesWithTheirPortPathsButNoRootHubs) {
  const Bytes printer = Descriptors(
      DeviceDescriptor(OurVendor(), 0x0042, 0),
      {Interface(0, 0, 2, PrinterClass), Endpoint(0x01, Bulk, 512), Endpoint(0x82, Bulk, 512)}, 1);
  Add("/devices", "usb1", 1, 1, Hub(OtherVendor()));
  Add("/devices/usb1", "1-2", 1, 2, Hub(0x0a0b));
  Add("/devices/usb1/1-2", "1-2.3", 1, 3, printer);
  Add("/devices", "usb2", 2, 1, Hub(OtherVendor()));
  Add("/devices/usb2", "2-4", 2, 5, Descriptors(DeviceDescriptor(0x0c0d, 0x0e0f, 0), {}, 0));

  LibusbBus bus;
  std::vector<UsbDeviceEntry> devices = bus.ListDevices();
  for (UsbDeviceEntry& device : devices) {
    device.slot = 0;  // the bus's own business
  }
  std::sort(devices.begin(), devices.end(), [](const auto& a, const auto& b) {
    return std::tie(a.bus, a.ports) < std::tie(b.bus, b.ports);
  });
  const std::vector<UsbDeviceEntry> expected = {
      {1, {2}, 0x0a0b, 0x0002, 0},
      {1, {2, 3}, OurVendor(), 0x0042, 0},
      {2, {4}, 0x0c0d, 0x0e0f, 0},
  };
  EXPECT_EQ(devices, expected);
}

// What `usb list` shows: only devices with a printer-class interface, in whichever setting it is.
TEST_F(MockBusTest, TellsWhichDevicesHaveAPrinterInterface) {
  Add("/devices", "usb1", 1, 1, Hub(OtherVendor()));
  Add("/devices/usb1", "1-1", 1, 2,
      Descriptors(
          DeviceDescriptor(OurVendor(), 0x0042, 0),
          {Interface(0, 0, 2, VendorClass), Endpoint(0x01, Bulk, 64), Endpoint(0x81, Bulk, 64),
           Interface(0, 1, 1, PrinterClass), Endpoint(0x02, Bulk, 64)},
          1));
  Add("/devices/usb1", "1-2", 1, 3,
      Descriptors(
          DeviceDescriptor(OurVendor(), 0x0043, 0),
          {Interface(0, 0, 2, VendorClass), Endpoint(0x01, Bulk, 64), Endpoint(0x81, Bulk, 64)},
          1));
  LibusbBus bus;
  std::vector<std::uint16_t> printers;
  for (const UsbDeviceEntry& device : bus.ListDevices()) {
    if (bus.HasPrinterInterface(device)) {
      printers.push_back(device.productId);
    }
  }
  EXPECT_EQ(printers, std::vector<std::uint16_t>{0x0042});
  EXPECT_FALSE(bus.LastFailure().Failed());
}

struct InterfaceCase {
  const char* name;
  std::vector<Bytes> body;
  std::uint8_t interfaces;
  std::optional<UsbPrinterEndpoints> found;
  bool switchesSetting;
};

class PrinterInterfaceTest : public MockBusTest,
                             public ::testing::WithParamInterface<InterfaceCase> {};

TEST_P(PrinterInterfaceTest, ClaimsThePrinterSettingWithBulkOutAndIn) {
  const InterfaceCase& c = GetParam();
  AddPrinter(Descriptors(DeviceDescriptor(OurVendor(), 0x0042, 0), c.body, c.interfaces));
  LibusbBus bus;
  const std::vector<UsbDeviceEntry> devices = bus.ListDevices();
  ASSERT_EQ(devices.size(), 1u);
  ASSERT_TRUE(bus.OpenDevice(devices[0]));
  const std::optional<UsbPrinterEndpoints> found = bus.ClaimPrinterInterface();
  ASSERT_EQ(found.has_value(), c.found.has_value());
  if (found) {
    EXPECT_EQ(found->out, c.found->out);
    EXPECT_EQ(found->in, c.found->in);
    EXPECT_EQ(found->inMaxPacket, c.found->inMaxPacket);
  }
  const std::vector<unsigned long> requests = Requests();
  const auto count = [&](unsigned long request) {
    return std::count(requests.begin(), requests.end(), request);
  };
  EXPECT_EQ(count(USBDEVFS_DISCONNECT_CLAIM), found ? 1 : 0);
  EXPECT_EQ(count(USBDEVFS_SETINTERFACE), c.switchesSetting ? 1 : 0);
  bus.ReleaseInterface();
  bus.CloseDevice();
  const std::vector<unsigned long> after = Requests();
  EXPECT_EQ(std::count(after.begin(), after.end(), USBDEVFS_RELEASEINTERFACE), found ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PrinterInterfaceTest,
    ::testing::Values(InterfaceCase{"Bidirectional",
                                    {Interface(0, 0, 2, PrinterClass), Endpoint(0x01, Bulk, 512),
                                     Endpoint(0x82, Bulk, 512)},
                                    1,
                                    UsbPrinterEndpoints{0x01, 0x82, 512},
                                    false},
                      InterfaceCase{"AfterAVendorInterfaceInItsSecondSetting",
                                    {Interface(0, 0, 2, VendorClass), Endpoint(0x01, Bulk, 64),
                                     Endpoint(0x81, Bulk, 64), Interface(1, 0, 1, PrinterClass),
                                     Endpoint(0x03, Bulk, 64), Interface(1, 1, 2, PrinterClass),
                                     Endpoint(0x03, Bulk, 64), Endpoint(0x84, Bulk, 64)},
                                    2,
                                    UsbPrinterEndpoints{0x03, 0x84, 64},
                                    true},
                      InterfaceCase{"InterruptInOnly",
                                    {Interface(0, 0, 2, PrinterClass), Endpoint(0x01, Bulk, 512),
                                     Endpoint(0x82, Interrupt, 8)},
                                    1,
                                    std::nullopt,
                                    false},
                      InterfaceCase{"NoPrinterInterface",
                                    {Interface(0, 0, 2, VendorClass), Endpoint(0x01, Bulk, 512),
                                     Endpoint(0x82, Bulk, 512)},
                                    1,
                                    std::nullopt,
                                    false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
