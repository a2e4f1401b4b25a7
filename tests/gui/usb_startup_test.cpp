#include <gtest/gtest.h>

#include <QRadioButton>
#include <memory>

#include "link/usb_printer_port.h"
#include "support/fake_usb_bus.h"
#include "support/window_harness.h"

namespace {

const QDateTime PcNow(QDate(2031, 12, 7), QTime(11, 5, 9));

// The main window starting on its default interface, USB, over the fake bus.
class UsbStartupTest : public ::testing::Test, public MainWindowHarness {
 protected:
  UsbStartupTest() {
    auto bus = std::make_unique<FakeUsbBus>();
    bus_ = bus.get();
    ports_.usb = std::make_unique<UsbPrinterPort>(std::move(bus));
  }

  void Open() { OpenWindow(std::make_unique<LinkFacade>(std::move(ports_)), ClockAt(PcNow)); }

  LinkPorts ports_;
  FakeUsbBus* bus_ = nullptr;
};

TEST_F(UsbStartupTest, PrinterPresent_ReadsItsClockAndNetworkIntoThePanels) {
  printer_sim::ApplyStaticAddress(bus_->state, "10.9.8.7", "255.255.0.0", "10.9.0.1");
  bus_->state.name = "Usb-Desk";
  Open();
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(bus_->openAttempts.size(), 3u);  // the probe, the clock read, the network read
  EXPECT_EQ(bus_->commands.front(), "DIAGNOSTIC INTERFACE USB\r\n");
  EXPECT_EQ(Text("EditYear"), "2026");
  EXPECT_EQ(Text("EditSecond"), "9");
  EXPECT_TRUE(Find<QRadioButton>("RadioStaticIP")->isChecked());
  EXPECT_EQ(Text("EditIP"), "10.9.8.7");
  EXPECT_EQ(Text("EditPrinterName"), "Usb-Desk");
  EXPECT_FALSE(bus_->Open());
  EXPECT_TRUE(window_->InputEnabled());
}

}  // namespace
