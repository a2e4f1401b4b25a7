// The libusb bus against a mocked sysfs and /dev: listing, port paths and the search for the
// printer interface in real descriptors, then the USB port's bulk transfers through libusb and
// usbfs to a printer that answers them. Runs under umockdev-wrapper; skipped elsewhere.

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "link/libusb_bus.h"
#include "link/link_facade.h"
#include "link/usb_printer_port.h"
#include "protocol/printer_operations.h"
#include "support/fake_usb_bus.h"

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

std::uint16_t OtherVendor() {
  return PrinterVendorNumber() ^ 0x0101;
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

  // Called on umockdev's own thread while the caller waits in its ioctl; every request is
  // accepted unless a fixture answers it.
  virtual void Answer(UMockdevIoctlClient* client, unsigned long) {
    umockdev_ioctl_client_complete(client, 0, 0);
  }

  static gboolean HandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    auto* test = static_cast<MockBusTest*>(self);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    {
      std::lock_guard lock(test->mutex_);
      test->requests_.push_back(request);
    }
    test->Answer(client, request);
    return TRUE;
  }

  UMockdevTestbed* testbed_ = nullptr;
  UMockdevIoctlBase* handler_ = nullptr;
  std::mutex mutex_;
  std::vector<unsigned long> requests_;
};

TEST_F(MockBusTest, ListsDevicesWithTheirPortPathsButNoRootHubs) {
  const Bytes printer = Descriptors(
      DeviceDescriptor(PrinterVendorNumber(), 0x0042, 0),
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
      {1, {2}, 0x0a0b, 0x0002, 0, {}},
      {1, {2, 3}, PrinterVendorNumber(), 0x0042, 0, {}},
      {2, {4}, 0x0c0d, 0x0e0f, 0, {}},
  };
  EXPECT_EQ(devices, expected);
}

// What `usb list` shows: only devices with a printer-class interface, in whichever setting it is.
TEST_F(MockBusTest, TellsWhichDevicesHaveAPrinterInterface) {
  Add("/devices", "usb1", 1, 1, Hub(OtherVendor()));
  Add("/devices/usb1", "1-1", 1, 2,
      Descriptors(
          DeviceDescriptor(PrinterVendorNumber(), 0x0042, 0),
          {Interface(0, 0, 2, VendorClass), Endpoint(0x01, Bulk, 64), Endpoint(0x81, Bulk, 64),
           Interface(0, 1, 1, PrinterClass), Endpoint(0x02, Bulk, 64)},
          1));
  Add("/devices/usb1", "1-2", 1, 3,
      Descriptors(
          DeviceDescriptor(PrinterVendorNumber(), 0x0043, 0),
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
  AddPrinter(Descriptors(DeviceDescriptor(PrinterVendorNumber(), 0x0042, 0), c.body, c.interfaces));
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

// --- Bulk transfers through libusb and usbfs ---

// How the printer below misbehaves on the reply to one command, or on the OUT endpoint.
enum class UsbFault {
  None,
  NoZeroLengthPacket,  // a reply of whole packets is not ended by an empty one
  StallIn,             // the IN endpoint halts instead of sending the reply
  UnplugMidReply,      // the device is gone after the reply's first few bytes
  StallOut,            // the OUT endpoint halts once `outBudget` bytes went in
  StopsTakingData,     // the OUT endpoint answers NAK once `outBudget` bytes went in
};

// Our printer behind its usbfs node as a full-speed device: the URBs libusb submits reach the
// virtual printer's command interpreter, and its replies go back in 64-byte packets, a transfer
// ending at a short or empty packet. All of it runs on umockdev's thread while the caller waits
// in its ioctl; a URB that completed waits to be reaped, an IN one with no packets waits for them
// or for libusb to discard it at its time-out.
class UsbfsPrinterTest : public MockBusTest {
 protected:
  static constexpr std::uint8_t OutEndpoint = 0x01;
  static constexpr std::uint8_t InEndpoint = 0x82;
  static constexpr std::size_t MaxPacket = 64;

  void SetUp() override {
    MockBusTest::SetUp();
    if (IsSkipped()) {
      return;
    }
    AddPrinter(
        Descriptors(DeviceDescriptor(PrinterVendorNumber(), 0x0042, 0),
                    {Interface(0, 0, 2, PrinterClass), Endpoint(OutEndpoint, Bulk, MaxPacket),
                     Endpoint(InEndpoint, Bulk, MaxPacket)},
                    1));
    LinkPorts ports;
    ports.usb = std::make_unique<UsbPrinterPort>(std::make_unique<LibusbBus>());
    link_ = std::make_unique<LinkFacade>(std::move(ports));
    link_->SetLinkTargets(serial_, lptDevice_, net_);
  }

  void TearDown() override {
    link_.reset();
    for (std::deque<Urb>* urbs : {&pendingIn_, &pendingOut_, &completed_}) {
      for (Urb& urb : *urbs) {
        urb.Drop();
      }
      urbs->clear();
    }
    MockBusTest::TearDown();
  }

  CommandResult Run(PrinterOperation operation, OperationRecord record) {
    return RunPrinterOperation(*link_, operation, LinkKind::Usb, record);
  }

  void Arm(UsbFault fault, std::string on = {}, std::size_t outBudget = 0) {
    std::lock_guard lock(device_);
    fault_ = fault;
    faultOn_ = std::move(on);
    outBudget_ = outBudget;
  }

  std::string Received() {
    std::lock_guard lock(device_);
    return received_;
  }

  printer_sim::PrinterState state_;
  printer_sim::FaultSwitches faults_;
  std::unique_ptr<LinkFacade> link_;

 private:
  struct Urb {
    UMockdevIoctlData* urb = nullptr;     // a reference of ours
    UMockdevIoctlData* buffer = nullptr;  // a reference of ours, resolved from `urb`

    usbdevfs_urb& Fields() const { return *reinterpret_cast<usbdevfs_urb*>(urb->data); }
    void Drop() {
      g_clear_object(&buffer);
      g_clear_object(&urb);
    }
  };

  struct Packet {
    std::string bytes;
    bool unplug = false;  // the device is gone instead
  };

  static UMockdevIoctlData* Resolve(UMockdevIoctlData* data, std::size_t offset,
                                    std::size_t length) {
    GError* error = nullptr;
    UMockdevIoctlData* resolved = umockdev_ioctl_data_resolve(data, offset, length, &error);
    if (resolved == nullptr) {
      ADD_FAILURE() << error->message;
      g_error_free(error);
    }
    return resolved;
  }

  void Answer(UMockdevIoctlClient* client, unsigned long request) override {
    std::lock_guard lock(device_);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    const bool reap = request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY;
    // A device that is gone still gives back the URBs it held, then fails everything.
    if (unplugged_ && !(reap && !completed_.empty())) {
      umockdev_ioctl_client_complete(client, -1, ENODEV);
      return;
    }
    std::optional<Urb> reaped;
    switch (request) {
      case USBDEVFS_GET_CAPABILITIES: {
        UMockdevIoctlData* caps = Resolve(arg, 0, sizeof(std::uint32_t));
        const std::uint32_t value = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
                                    USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                    USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
        std::memcpy(caps->data, &value, sizeof value);
        g_object_unref(caps);
        break;
      }
      case USBDEVFS_SUBMITURB:
        Submit(arg);
        break;
      case USBDEVFS_REAPURB:
      case USBDEVFS_REAPURBNDELAY: {
        if (completed_.empty()) {
          umockdev_ioctl_client_complete(client, -1, EAGAIN);
          return;
        }
        reaped = completed_.front();
        completed_.pop_front();
        UMockdevIoctlData* slot = Resolve(arg, 0, sizeof(void*));
        umockdev_ioctl_data_set_ptr(slot, 0, reaped->urb);
        g_object_unref(slot);
        break;
      }
      case USBDEVFS_DISCARDURB:
        if (!Discard(arg)) {
          umockdev_ioctl_client_complete(client, -1, EINVAL);
          return;
        }
        break;
      case USBDEVFS_CLEAR_HALT: {
        UMockdevIoctlData* endpoint = Resolve(arg, 0, sizeof(unsigned int));
        unsigned int address = 0;
        std::memcpy(&address, endpoint->data, sizeof address);
        g_object_unref(endpoint);
        (address == InEndpoint ? inHalted_ : outHalted_) = false;
        break;
      }
      default:
        break;
    }
    umockdev_ioctl_client_complete(client, 0, 0);
    if (reaped) {
      reaped->Drop();
    }
  }

  void Submit(UMockdevIoctlData* arg) {
    Urb urb;
    urb.urb = Resolve(arg, 0, sizeof(usbdevfs_urb));
    usbdevfs_urb& fields = urb.Fields();
    urb.buffer = Resolve(urb.urb, offsetof(usbdevfs_urb, buffer),
                         static_cast<std::size_t>(fields.buffer_length));
    fields.actual_length = 0;
    fields.status = 0;
    if (fields.endpoint == InEndpoint) {
      if (inHalted_) {
        Finish(urb, -EPIPE);
        return;
      }
      pendingIn_.push_back(urb);
    } else {
      Take(urb);
    }
    ServeIn();
  }

  void Take(Urb urb) {
    usbdevfs_urb& fields = urb.Fields();
    if (outHalted_) {
      Finish(urb, -EPIPE);
      return;
    }
    const auto length = static_cast<std::size_t>(fields.buffer_length);
    std::size_t taken = length;
    if (fault_ == UsbFault::StallOut || fault_ == UsbFault::StopsTakingData) {
      // Whole packets only.
      taken = std::min(length, outBudget_ / MaxPacket * MaxPacket);
      outBudget_ -= taken;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(urb.buffer->data), taken);
    received_ += bytes;
    for (const printer_sim::CommandOutcome& outcome : interpreter_.Feed(bytes, state_, faults_)) {
      if (outcome.reply) {
        QueueReply(outcome.command, outcome.reply->bytes, outcome.reply->byteDelay.count() > 0);
      }
    }
    fields.actual_length = static_cast<int>(taken);
    if (taken == length) {
      Finish(urb, 0);
    } else if (fault_ == UsbFault::StallOut) {
      outHalted_ = true;
      Finish(urb, -EPIPE);
    } else {
      pendingOut_.push_back(urb);
    }
  }

  void QueueReply(const std::string& command, const std::string& bytes, bool bytewise) {
    const UsbFault fault = command == faultOn_ ? fault_ : UsbFault::None;
    if (fault == UsbFault::StallIn) {
      inHalted_ = true;
      return;
    }
    if (fault == UsbFault::UnplugMidReply) {
      packets_.push_back({bytes.substr(0, 4)});
      packets_.push_back({{}, true});
      return;
    }
    const std::size_t size = bytewise ? 1 : MaxPacket;
    for (std::size_t at = 0; at < bytes.size(); at += size) {
      packets_.push_back({bytes.substr(at, size)});
    }
    if (bytes.size() % size == 0 && size == MaxPacket && fault != UsbFault::NoZeroLengthPacket) {
      packets_.push_back({});
    }
  }

  // Hands packets to the waiting IN transfer; a short packet or a full buffer completes it.
  void ServeIn() {
    while (!pendingIn_.empty() && !packets_.empty()) {
      Urb urb = pendingIn_.front();
      usbdevfs_urb& fields = urb.Fields();
      const Packet packet = packets_.front();
      packets_.pop_front();
      if (packet.unplug) {
        unplugged_ = true;
        packets_.clear();
        for (std::deque<Urb>* urbs : {&pendingIn_, &pendingOut_}) {
          for (Urb& held : *urbs) {
            Finish(held, -ENODEV);
          }
          urbs->clear();
        }
        return;
      }
      const auto room = static_cast<std::size_t>(fields.buffer_length - fields.actual_length);
      if (packet.bytes.size() > room) {
        pendingIn_.pop_front();
        Finish(urb, -EOVERFLOW);
        continue;
      }
      std::memcpy(urb.buffer->data + fields.actual_length, packet.bytes.data(),
                  packet.bytes.size());
      fields.actual_length += static_cast<int>(packet.bytes.size());
      if (packet.bytes.size() < MaxPacket || fields.actual_length == fields.buffer_length) {
        pendingIn_.pop_front();
        Finish(urb, 0);
      }
    }
  }

  // A discarded URB comes back with what it moved so far.
  bool Discard(UMockdevIoctlData* arg) {
    gulong address = 0;
    std::memcpy(&address, arg->data, sizeof address);
    for (std::deque<Urb>* urbs : {&pendingIn_, &pendingOut_}) {
      const auto found = std::find_if(urbs->begin(), urbs->end(), [&](const Urb& urb) {
        return urb.urb->client_addr == address;
      });
      if (found != urbs->end()) {
        const Urb urb = *found;
        urbs->erase(found);
        Finish(urb, -ENOENT);
        return true;
      }
    }
    return false;
  }

  void Finish(Urb urb, int status) {
    urb.Fields().status = status;
    completed_.push_back(urb);
  }

  SerialSettings serial_;
  LptDeviceName lptDevice_{DefaultLptDeviceName};
  NetTarget net_;

  std::mutex device_;
  printer_sim::CommandInterpreter interpreter_{printer_sim::PrinterState{},
                                               [] { return FakeUsbBus::PrinterNow; }};
  UsbFault fault_ = UsbFault::None;
  std::string faultOn_;
  std::size_t outBudget_ = 0;
  std::string received_;
  std::deque<Urb> pendingIn_;
  std::deque<Urb> pendingOut_;  // OUT transfers the printer no longer takes
  std::deque<Urb> completed_;   // waiting to be reaped
  std::deque<Packet> packets_;
  bool inHalted_ = false;
  bool outHalted_ = false;
  bool unplugged_ = false;
};

TEST_F(UsbfsPrinterTest, SetThenReadClock_OverBulkTransfers) {
  ClockRecord set{2027, 11, 30, 23, 58, 7};
  ASSERT_EQ(Run(PrinterOperation::SetClock, &set), CommandResult::Ok);
  ClockRecord read;
  EXPECT_EQ(Run(PrinterOperation::ReadClock, &read), CommandResult::Ok);
  EXPECT_EQ(read, set);
  EXPECT_EQ(Received(),
            "TS11,30,27,23,58,07\r\nDIAGNOSTIC INTERFACE USB\r\nDIAGNOSTIC REPORT YEAR\r\n"
            "DIAGNOSTIC REPORT MONTH\r\nDIAGNOSTIC REPORT DATE\r\nDIAGNOSTIC REPORT HOUR\r\n"
            "DIAGNOSTIC REPORT MINUTE\r\nDIAGNOSTIC REPORT SECOND\r\n");
}

// However the reply comes back in packets, it is read whole.
struct ReplyShapeCase {
  const char* name;
  std::size_t nameLength;  // the NETNAME reply is this plus 5
  bool bytewise;           // every reply byte a packet, and so a transfer, of its own
  bool zeroLengthPacket;   // a reply of whole packets is ended by an empty one
};

class ReplyShapeTest : public UsbfsPrinterTest,
                       public ::testing::WithParamInterface<ReplyShapeCase> {};

TEST_P(ReplyShapeTest, ReadNetwork_GetsTheWholeName) {
  const ReplyShapeCase& c = GetParam();
  state_.name = std::string(c.nameLength, 'n');
  faults_.slowByteDelayMs.value = c.bytewise ? 1 : 0;
  if (!c.zeroLengthPacket) {
    Arm(UsbFault::NoZeroLengthPacket, "DIAGNOSTIC REPORT NETNAME");
  }
  NetConfigRecord config;
  EXPECT_EQ(Run(PrinterOperation::ReadNetwork, &config), CommandResult::Ok);
  EXPECT_EQ(config.netName.View(), state_.name);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReplyShapeTest,
    ::testing::Values(ReplyShapeCase{"TwoPackets", 63, false, true},
                      ReplyShapeCase{"OneBytePerTransfer", 20, true, true},
                      // Nothing ends the transfer: what came is kept when it times out.
                      ReplyShapeCase{"OnePacketThenTimeout", 59, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

// A transfer that fails fails the operation, having sent what it sent, and a halted endpoint
// does not outlive it.
struct BulkFailureCase {
  const char* name;
  UsbFault fault;
  const char* faultOn;
  std::size_t outBudget;
  PrinterOperation operation;
  CommandResult result;
  std::string received;               // by the printer, all told
  bool waitsForTimeout;               // otherwise it fails at once
  std::optional<CommandResult> next;  // of a ReadClock once the fault is off
};

class BulkFailureTest : public UsbfsPrinterTest,
                        public ::testing::WithParamInterface<BulkFailureCase> {};

TEST_P(BulkFailureTest, FailsTheOperationThenTheNextOneRuns) {
  const BulkFailureCase& c = GetParam();
  Arm(c.fault, c.faultOn, c.outBudget);
  ClockRecord clock;
  NetConfigRecord config;
  config.netName.Assign(std::string(63, 'n'));
  const bool readsClock = c.operation == PrinterOperation::ReadClock;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Run(c.operation, readsClock ? OperationRecord{&clock} : OperationRecord{&config}),
            c.result);
  if (!c.waitsForTimeout) {
    EXPECT_LT(std::chrono::steady_clock::now() - start, UsbPrinterPort::ReadTimeout);
  }
  EXPECT_EQ(Received(), c.received);
  if (c.next) {
    Arm(UsbFault::None);
    EXPECT_EQ(Run(PrinterOperation::ReadClock, &clock), *c.next);
  }
}

constexpr const char* InterfaceAndYear = "DIAGNOSTIC INTERFACE USB\r\nDIAGNOSTIC REPORT YEAR\r\n";

INSTANTIATE_TEST_SUITE_P(
    Table, BulkFailureTest,
    ::testing::Values(
        BulkFailureCase{"OutStalls", UsbFault::StallOut, "", 0, PrinterOperation::ReadClock,
                        CommandResult::TransmitDataError, "", false, CommandResult::Ok},
        BulkFailureCase{"InStalls", UsbFault::StallIn, "DIAGNOSTIC REPORT YEAR", 0,
                        PrinterOperation::ReadClock, CommandResult::ReceiveDataError,
                        InterfaceAndYear, false, CommandResult::Ok},
        // A short write. The printer keeps the cut line, so what follows is not looked at.
        BulkFailureCase{"PrinterStopsTakingData", UsbFault::StopsTakingData, "", 64,
                        PrinterOperation::SetPrinterName, CommandResult::TransmitDataError,
                        "NET NAME \"" + std::string(54, 'n'), true, std::nullopt},
        BulkFailureCase{"UnpluggedMidReply", UsbFault::UnplugMidReply, "DIAGNOSTIC REPORT YEAR", 0,
                        PrinterOperation::ReadClock, CommandResult::ReceiveDataError,
                        InterfaceAndYear, false, CommandResult::OpenPortError}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
