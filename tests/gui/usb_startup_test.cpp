#include <gtest/gtest.h>

#include <QLineEdit>
#include <QRadioButton>
#include <memory>
#include <vector>

#include "app/main_window.h"
#include "link/usb_printer_port.h"
#include "support/fake_usb_bus.h"

namespace {

const QDateTime PcNow(QDate(2031, 12, 7), QTime(11, 5, 9));

// The main window starting on its default interface, USB, over the fake bus.
class UsbStartupTest : public ::testing::Test {
 protected:
  UsbStartupTest() {
    auto bus = std::make_unique<FakeUsbBus>();
    bus_ = bus.get();
    ports_.usb = std::make_unique<UsbPrinterPort>(std::move(bus));
  }

  void Open() {
    link_ = std::make_unique<LinkFacade>(std::move(ports_));
    TFormMain::Services services;
    services.now = [] { return PcNow; };
    services.showMessage = [this](QWidget*, const QString& text, MessageKind) {
      messages_.push_back(text);
    };
    window_ = std::make_unique<TFormMain>(*link_, services);
  }

  QString Text(const char* edit) {
    auto* found = window_->findChild<QLineEdit*>(QLatin1String(edit));
    return found != nullptr ? found->text() : QStringLiteral("<missing>");
  }

  LinkPorts ports_;
  FakeUsbBus* bus_ = nullptr;
  std::unique_ptr<LinkFacade> link_;
  std::unique_ptr<TFormMain> window_;
  std::vector<QString> messages_;
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
  EXPECT_TRUE(window_->findChild<QRadioButton*>(QStringLiteral("RadioStaticIP"))->isChecked());
  EXPECT_EQ(Text("EditIP"), "10.9.8.7");
  EXPECT_EQ(Text("EditPrinterName"), "Usb-Desk");
  EXPECT_FALSE(bus_->Open());
  EXPECT_TRUE(window_->InputEnabled());
}

}  // namespace
