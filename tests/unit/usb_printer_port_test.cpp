#include "link/usb_printer_port.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "protocol/printer_operations.h"
#include "support/fake_usb_bus.h"

namespace {

using Lines = std::vector<std::string>;

// --- Choosing the printer among path texts ---

struct ChoiceCase {
  const char* name;
  Lines paths;
  int chosen;
};

class ChooseUsbPrinterTest : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(ChooseUsbPrinterTest, FindsTheFirstPathOfTheVendor) {
  EXPECT_EQ(ChooseUsbPrinter(GetParam().paths, "a1b2"), GetParam().chosen);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ChooseUsbPrinterTest,
    ::testing::Values(
        ChoiceCase{"Empty", {}, -1}, ChoiceCase{"Plain", {"usb#vid_a1b2&pid_0001#1-1"}, 0},
        ChoiceCase{"CapitalVid", {"usb#VID_a1b2&pid_0001#1-1"}, -1},
        ChoiceCase{"CapitalDigits", {"usb#vid_A1B2&pid_0001#1-1"}, -1},
        ChoiceCase{"LongerRunMatchesOnItsFirstFour", {"usb#vid_a1b2c3&pid_0001#1-1"}, 0},
        ChoiceCase{"AnySeparator", {"vid-a1b2"}, 0},
        ChoiceCase{"ExactlyFiveAfterVid", {"xxvid_a1b2"}, 0},
        ChoiceCase{"VidAtTheEndThenNext", {"usb#pid_0001#1-1 vid", "usb#vid_a1b2#1-2"}, 1},
        ChoiceCase{"FourAfterVidThenNext", {"usb#vid_a1b", "usb#vid_a1b2#1-2"}, 1},
        ChoiceCase{"OnlyTheFirstVidCounts", {"usb#vid_0000&vid_a1b2#1-1"}, -1},
        ChoiceCase{"OtherVendorThenOurs", {"usb#vid_0000#1-1", "usb#vid_a1b2#2-1"}, 1},
        ChoiceCase{
            "FirstOfTwoWins", {"usb#vid_a1b2&pid_0001#1-1", "usb#vid_a1b2&pid_0002#1-2"}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// The ports are given as text ("2.3") and turned into the device's list in the test: a table of
// entries holding vectors trips a false "may be used uninitialized" in g++ 12 at -O3.
struct PathCase {
  std::uint8_t bus;
  const char* ports;
  std::uint16_t vendorId;
  std::uint16_t productId;
  const char* text;
};

class UsbPathTextTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(UsbPathTextTest, IsLowerCaseHexIdsThenBusAndPorts) {
  const PathCase& c = GetParam();
  UsbDeviceEntry device;
  device.bus = c.bus;
  for (const char* p = c.ports; *p != '\0'; ++p) {
    if (*p != '.') {
      device.ports.push_back(static_cast<std::uint8_t>(*p - '0'));
    }
  }
  device.vendorId = c.vendorId;
  device.productId = c.productId;
  EXPECT_EQ(UsbPathText(device), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UsbPathTextTest,
    ::testing::Values(PathCase{1, "2.3", 0x0a1b, 0x0202, "usb#vid_0a1b&pid_0202#1-2.3"},
                      PathCase{12, "4", 0xBEEF, 0x00F0, "usb#vid_beef&pid_00f0#12-4"},
                      PathCase{255, "1.2.3.4.5.6.7", 0xffff, 0,
                               "usb#vid_ffff&pid_0000#255-1.2.3.4.5.6.7"}));

// --- The port over the fake bus ---

class UsbPortTest : public ::testing::Test {
 protected:
  UsbPortTest() {
    auto bus = std::make_unique<FakeUsbBus>();
    bus_ = bus.get();
    LinkPorts ports;
    ports.usb = std::make_unique<UsbPrinterPort>(std::move(bus));
    link_ = std::make_unique<LinkFacade>(std::move(ports));
    link_->SetLinkTargets(serial_, lptDevice_, net_);
  }

  CommandResult Run(PrinterOperation operation, OperationRecord record = {}) {
    return RunPrinterOperation(*link_, operation, LinkKind::Usb, record);
  }

  void ExpectAllReleased() {
    EXPECT_FALSE(bus_->Claimed());
    EXPECT_FALSE(bus_->Open());
  }

  FakeUsbBus* bus_ = nullptr;
  SerialSettings serial_;
  LptDeviceName lptDevice_{DefaultLptDeviceName};
  NetTarget net_;
  std::unique_ptr<LinkFacade> link_;
  ClockRecord clock_{2026, 12, 7, 11, 5, 9};
  NetConfigRecord config_;
};

// Every operation opens the device once and leaves nothing open or claimed; what each one sends
// is checked on the fake link (printer_operations_test, network_operations_test).
TEST_F(UsbPortTest, EveryOperation_OpensOnceAndReleasesTheDevice) {
  config_.ip.Assign("10.1.2.3");
  const std::pair<PrinterOperation, OperationRecord> runs[] = {
      {PrinterOperation::ProbeLink, {}},
      {PrinterOperation::SetClock, &clock_},
      {PrinterOperation::FactoryReset, {}},
      {PrinterOperation::SetNetwork, &config_},
      {PrinterOperation::SetPrinterName, &config_},
      {PrinterOperation::ReadClock, &clock_},
      {PrinterOperation::ReadNetwork, &config_}};
  for (std::size_t i = 0; i < std::size(runs); ++i) {
    EXPECT_EQ(Run(runs[i].first, runs[i].second), CommandResult::Ok) << i;
    EXPECT_EQ(bus_->openAttempts.size(), i + 1);
    ExpectAllReleased();
  }
  EXPECT_EQ(bus_->commands.front(), "TS12,07,26,11,05,09\r\n");
}

// A timeout that brought part of a reply still hands over every byte it brought.
TEST_F(UsbPortTest, InTimeoutWithData_KeepsTheData) {
  bus_->inAlwaysTimesOut = true;
  EXPECT_EQ(Run(PrinterOperation::ReadClock, &clock_), CommandResult::Ok);
  EXPECT_EQ(clock_, (ClockRecord{2026, 3, 4, 13, 7, 9}));
}

TEST_F(UsbPortTest, Write_GoesOutIn64ByteChunksInOrder) {
  const std::string command = "NET NAME \"" + std::string(117, 'n') + "\"\r\n";
  ASSERT_EQ(command.size(), 130u);
  const LinkHandle handle = link_->OpenLink(LinkKind::Usb);
  ASSERT_NE(handle, InvalidLink);
  EXPECT_TRUE(link_->WriteLink(handle, LinkKind::Usb, command.data(), 130));
  link_->CloseLink(LinkKind::Usb, handle);
  EXPECT_EQ(bus_->outSizes, (std::vector<std::uint32_t>{64, 64, 2}));
  EXPECT_EQ(bus_->commands, Lines{command});
  ExpectAllReleased();
}

TEST_F(UsbPortTest, OneInRequest_ServesEveryByteItBrought) {
  bus_->state.name = std::string(35, 'x');
  const std::string frame = "{35|" + bus_->state.name + "}";
  ASSERT_EQ(frame.size(), 40u);
  const LinkHandle handle = link_->OpenLink(LinkKind::Usb);
  ASSERT_NE(handle, InvalidLink);
  bus_->inRequests.clear();  // the open's look for a stale reply
  const std::string query = "DIAGNOSTIC REPORT NETNAME\r\n";
  ASSERT_TRUE(link_->WriteLink(handle, LinkKind::Usb, query.data(),
                               static_cast<std::uint32_t>(query.size())));
  std::string read;
  std::uint8_t byte = 0;
  for (int i = 0; i < 40 && link_->ReadLinkByte(handle, LinkKind::Usb, byte); ++i) {
    read += static_cast<char>(byte);
  }
  EXPECT_EQ(read, frame);
  EXPECT_EQ(bus_->inRequests.size(), 1u);
  EXPECT_FALSE(link_->ReadLinkByte(handle, LinkKind::Usb, byte));  // nothing more queued
  link_->CloseLink(LinkKind::Usb, handle);
}

// A read that gave up on a reply (too much lead-in here) leaves the rest of it in the printer;
// the next open drops it instead of taking it for the next answer.
TEST_F(UsbPortTest, ReplyLeftInThePrinter_IsNotTakenForTheNextAnswer) {
  bus_->faults.leadInGarbage = {70000, "DIAGNOSTIC REPORT YEAR"};
  EXPECT_EQ(Run(PrinterOperation::ReadClock, &clock_), CommandResult::ReceiveDataError);
  bus_->faults = {};
  EXPECT_EQ(Run(PrinterOperation::ReadClock, &clock_), CommandResult::Ok);
  EXPECT_EQ(clock_, (ClockRecord{2026, 3, 4, 13, 7, 9}));
  ExpectAllReleased();
}

TEST_F(UsbPortTest, ShortChunk_EndsTheWrite) {
  config_.netName.Assign(std::string(60, 'n'));
  bus_->shortOutAt = 0;
  EXPECT_EQ(Run(PrinterOperation::SetPrinterName, &config_), CommandResult::TransmitDataError);
  EXPECT_EQ(bus_->outSizes, std::vector<std::uint32_t>{64});
  ExpectAllReleased();
}

TEST_F(UsbPortTest, SilentPrinter_IsAReceiveError) {
  bus_->faults.silentOn.insert("DIAGNOSTIC INTERFACE USB");
  const ClockRecord before = clock_;
  EXPECT_EQ(Run(PrinterOperation::ReadClock, &clock_), CommandResult::ReceiveDataError);
  EXPECT_EQ(clock_, before);
  ExpectAllReleased();
}

// Whatever the packet size, one IN request takes whole packets and at least 64 bytes, so no
// packet overflows it.
class UsbPacketSizeTest : public UsbPortTest, public ::testing::WithParamInterface<int> {};

TEST_P(UsbPacketSizeTest, InRequestsAreWholePacketsOfAtLeast64Bytes) {
  bus_->inMaxPacket = static_cast<std::uint16_t>(GetParam());
  bus_->state.name = std::string(60, 'x');  // a reply of more than one small packet
  ASSERT_EQ(Run(PrinterOperation::ReadNetwork, &config_), CommandResult::Ok);
  EXPECT_EQ(config_.netName, bus_->state.name);
  ASSERT_FALSE(bus_->inRequests.empty());
  const std::uint32_t packet = GetParam() != 0 ? GetParam() : 64;
  for (std::uint32_t size : bus_->inRequests) {
    EXPECT_EQ(size % packet, 0u) << size;
    EXPECT_GE(size, 64u);
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, UsbPacketSizeTest, ::testing::Values(0, 8, 16, 64, 100, 512, 1024));

UsbDeviceEntry Ours(std::uint16_t product, std::uint8_t bus, std::vector<std::uint8_t> ports) {
  return FakeUsbBus::Device(PrinterVendorNumber(), product, bus, std::move(ports));
}

UsbDeviceEntry Other(std::uint8_t bus, std::vector<std::uint8_t> ports) {
  return FakeUsbBus::Device(PrinterVendorNumber() ^ 0x0101, 0x0009, bus, std::move(ports));
}

// Opens that fail report OpenPortError and leave nothing open or claimed.
struct OpenFailureCase {
  const char* name;
  std::function<void(FakeUsbBus&)> setUp;
};

class UsbOpenFailureTest : public UsbPortTest,
                           public ::testing::WithParamInterface<OpenFailureCase> {};

TEST_P(UsbOpenFailureTest, IsAnOpenErrorWithEverythingReleased) {
  GetParam().setUp(*bus_);
  EXPECT_EQ(Run(PrinterOperation::ReadClock, &clock_), CommandResult::OpenPortError);
  EXPECT_TRUE(bus_->outSizes.empty());
  ExpectAllReleased();
}

INSTANTIATE_TEST_SUITE_P(
    Table, UsbOpenFailureTest,
    ::testing::Values(
        OpenFailureCase{"NoDevice", [](FakeUsbBus& bus) { bus.devices.clear(); }},
        OpenFailureCase{"OtherVendorOnly", [](FakeUsbBus& bus) { bus.devices = {Other(1, {1})}; }},
        OpenFailureCase{"OpenFails", [](FakeUsbBus& bus) { bus.openFails = true; }},
        OpenFailureCase{"ClaimFails", [](FakeUsbBus& bus) { bus.claimFails = true; }}),
    [](const auto& info) { return std::string(info.param.name); });

// Which device is opened: the first of our vendor by bus number, then port path, as numbers.
struct DeviceChoiceCase {
  const char* name;
  std::function<std::vector<UsbDeviceEntry>()> devices;
  int openedProduct;  // -1: none is opened
};

class UsbDeviceChoiceTest : public UsbPortTest,
                            public ::testing::WithParamInterface<DeviceChoiceCase> {};

TEST_P(UsbDeviceChoiceTest, OpensTheFirstPrinterInBusOrder) {
  bus_->devices = GetParam().devices();
  const CommandResult result = Run(PrinterOperation::ProbeLink);
  if (GetParam().openedProduct < 0) {
    EXPECT_EQ(result, CommandResult::OpenPortError);
    EXPECT_TRUE(bus_->openAttempts.empty());
    return;
  }
  EXPECT_EQ(result, CommandResult::Ok);
  ASSERT_EQ(bus_->openAttempts.size(), 1u);
  EXPECT_EQ(bus_->devices.at(bus_->openAttempts[0]).productId, GetParam().openedProduct);
}

// `count` devices of another vendor on bus 1, then our printer on bus 2.
std::vector<UsbDeviceEntry> OthersThenOurs(int count) {
  std::vector<UsbDeviceEntry> devices;
  for (int i = 0; i < count; ++i) {
    devices.push_back(
        Other(1, {static_cast<std::uint8_t>(1 + i / 100), static_cast<std::uint8_t>(1 + i % 100)}));
  }
  devices.push_back(Ours(0x0007, 2, {1}));
  return devices;
}

INSTANTIATE_TEST_SUITE_P(
    Table, UsbDeviceChoiceTest,
    ::testing::Values(DeviceChoiceCase{"BusThenPath",
                                       [] {
                                         return std::vector{Ours(2, 2, {1}), Other(1, {1}),
                                                            Ours(3, 1, {3, 1}), Ours(4, 1, {3})};
                                       },
                                       4},
                      DeviceChoiceCase{"BusNumbersAsNumbers",
                                       [] {
                                         return std::vector{Ours(10, 10, {1}), Ours(2, 2, {1})};
                                       },
                                       2},
                      DeviceChoiceCase{"PortsAsNumbers",
                                       [] {
                                         return std::vector{Ours(10, 1, {10}), Ours(9, 1, {9})};
                                       },
                                       9},
                      DeviceChoiceCase{"PrinterAt256th", [] { return OthersThenOurs(255); }, 7},
                      DeviceChoiceCase{"PrinterPast256", [] { return OthersThenOurs(256); }, -1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
