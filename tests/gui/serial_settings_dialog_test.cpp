#include "dialogs/serial_settings_dialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <array>

#include "dialogs/port_number.h"
#include "link/serial_port_names.h"
#include "support/window_harness.h"

namespace {

class SerialDialogTest : public ::testing::Test {
 protected:
  SerialDialogTest() : dialog_(LayoutScale(), nullptr) { dialog_.AttachSettings(settings_); }

  QComboBox* List(const char* name) {
    auto* list = dialog_.findChild<QComboBox*>(QLatin1String(name));
    EXPECT_NE(list, nullptr) << name;
    return list;
  }
  std::array<QString, 7> Shown() {
    return {List("ComboBoxComPort")->currentText(), List("ComboBoxBaudRate")->currentText(),
            List("ComboBoxDataBit")->currentText(), List("ComboBoxParity")->currentText(),
            List("ComboBoxStopBit")->currentText(), List("ComboBoxHdShak")->currentText(),
            List("ComboBoxSWShak")->currentText()};
  }
  void Click(const char* button) {
    dialog_.findChild<QPushButton*>(QLatin1String(button))->click();
  }

  SerialSettings settings_;
  TFormRs232Setup dialog_;
};

TEST_F(SerialDialogTest, ShowsTheStartValues) {
  EXPECT_EQ(Shown(), (std::array<QString, 7>{"COM1", "9600", "8", "None", "1", "RTS", "None"}));
  for (const char* name : {"ComboBoxComPort", "ComboBoxBaudRate", "ComboBoxSWShak"}) {
    EXPECT_FALSE(List(name)->isEditable()) << name;
  }
  EXPECT_EQ(List("ComboBoxComPort")->count(), 30);
}

TEST_F(SerialDialogTest, Set_WritesThePositionsAndThePortName) {
  List("ComboBoxComPort")->setCurrentIndex(11);
  List("ComboBoxBaudRate")->setCurrentIndex(6);
  List("ComboBoxDataBit")->setCurrentIndex(0);
  List("ComboBoxParity")->setCurrentIndex(2);
  List("ComboBoxStopBit")->setCurrentIndex(2);
  List("ComboBoxHdShak")->setCurrentIndex(2);
  List("ComboBoxSWShak")->setCurrentIndex(1);
  Click("ButtonSet");
  EXPECT_EQ(dialog_.result(), QDialog::Accepted);
  EXPECT_EQ(settings_.PortName, "COM12");
  EXPECT_EQ((std::array{settings_.BaudIndex, settings_.DataBitsIndex, settings_.ParityIndex,
                        settings_.StopBitsIndex, settings_.HardwareHandshake,
                        settings_.SoftwareHandshake}),
            (std::array<std::int32_t, 6>{6, 0, 2, 2, 2, 1}));

  TFormRs232Setup again(LayoutScale(), nullptr);
  again.AttachSettings(settings_);
  EXPECT_EQ(again.findChild<QComboBox*>(QStringLiteral("ComboBoxComPort"))->currentText(), "COM12");
}

TEST(SerialDialog, CancelAndTheCloseBox_LeaveTheRecordAsItWas) {
  for (const bool closeBox : {false, true}) {
    SerialSettings settings;
    const SerialSettings before = settings;
    TFormRs232Setup dialog(LayoutScale(), nullptr);
    dialog.AttachSettings(settings);
    dialog.show();
    for (auto* list : dialog.findChildren<QComboBox*>()) {
      list->setCurrentIndex(0);
    }
    if (closeBox) {
      dialog.close();
    } else {
      dialog.findChild<QPushButton*>(QStringLiteral("ButtonCancel"))->click();
    }
    EXPECT_FALSE(dialog.isVisible()) << closeBox;
    EXPECT_EQ(dialog.result(), QDialog::Rejected) << closeBox;
    EXPECT_EQ(settings.PortName, before.PortName) << closeBox;
    EXPECT_EQ(
        (std::array{settings.BaudIndex, settings.DataBitsIndex, settings.ParityIndex,
                    settings.StopBitsIndex, settings.HardwareHandshake,
                    settings.SoftwareHandshake}),
        (std::array{before.BaudIndex, before.DataBitsIndex, before.ParityIndex,
                    before.StopBitsIndex, before.HardwareHandshake, before.SoftwareHandshake}))
        << closeBox;
  }
}

TEST_F(SerialDialogTest, ADevicePathSelectsNoPortAndSetKeepsIt) {
  settings_.PortName.Assign("/dev/pts/7");
  dialog_.ShowSettings();
  EXPECT_EQ(List("ComboBoxComPort")->currentIndex(), -1);
  Click("ButtonSet");
  EXPECT_EQ(settings_.PortName, "/dev/pts/7");
}

TEST_F(SerialDialogTest, EachPortShowsItsDeviceAsTooltip) {
  QComboBox* ports = List("ComboBoxComPort");
#ifdef _WIN32
  EXPECT_TRUE(ports->itemData(0, Qt::ToolTipRole).toString().startsWith("\\\\.\\COM1"));
  EXPECT_TRUE(ports->itemData(29, Qt::ToolTipRole).toString().startsWith("\\\\.\\COM30"));
#else
  EXPECT_TRUE(ports->itemData(0, Qt::ToolTipRole).toString().startsWith("/dev/ttyUSB0"));
  EXPECT_TRUE(ports->itemData(29, Qt::ToolTipRole).toString().startsWith("/dev/ttyS9"));
#endif
}

TEST(PortNumberOf, ReadsTheNumberAfterTheFirstThreeCharacters) {
  EXPECT_EQ(PortNumberOf("COM1"), 1);
  EXPECT_EQ(PortNumberOf("COM30"), 30);
  EXPECT_EQ(PortNumberOf("COM 7"), 7);
  EXPECT_EQ(PortNumberOf("XYZ12abc"), 12);
  EXPECT_EQ(PortNumberOf("COM-2"), -2);
  EXPECT_EQ(PortNumberOf("COM"), 0);
  EXPECT_EQ(PortNumberOf("/dev/ttyS0"), 0);
}

#ifndef _WIN32
// Linux's table; Windows opens COMn itself (tests/windows/win32_names_test.cpp).
TEST(SerialDevicePath, ComNamesFollowTheTableAndPathsStayAsTheyAre) {
  EXPECT_EQ(SerialDevicePath("COM1"), "/dev/ttyUSB0");
  EXPECT_EQ(SerialDevicePath("COM10"), "/dev/ttyUSB9");
  EXPECT_EQ(SerialDevicePath("COM11"), "/dev/ttyACM0");
  EXPECT_EQ(SerialDevicePath("COM21"), "/dev/ttyS0");
  EXPECT_EQ(SerialDevicePath("COM30"), "/dev/ttyS9");
  EXPECT_EQ(SerialDevicePath("/tmp/q73580-com"), "/tmp/q73580-com");
  for (const char* other : {"COM0", "COM31", "COM1x", "COM", "LPT1"}) {
    EXPECT_EQ(SerialDevicePath(other), QLatin1String(other)) << other;
  }
}
#endif

TEST(SerialDialogFromMainWindow, SetupOnComOpensTheDialogAndTheStatusBarFollows) {
  MainWindowHarness harness;
  TFormMain& window = harness.OpenWindow(std::make_unique<LinkFacade>(LinkPorts{}));
  harness.Find<QComboBox>("ComboBoxInterFace")->setEditText("COM");
  WithModal(
      "FormRs232Setup",
      [](QWidget* dialog) {
        Named<QComboBox>(dialog, "ComboBoxComPort")->setCurrentIndex(4);
        Named<QComboBox>(dialog, "ComboBoxBaudRate")->setCurrentIndex(3);
        Named<QPushButton>(dialog, "ButtonSet")->click();
      },
      [&] { harness.Find<QPushButton>("ButtonInterFace")->click(); });
  EXPECT_EQ(window.Serial().PortName, "COM5");
  EXPECT_TRUE(window.StatusPanelText(1).startsWith("COM5 19200,"));
}

}  // namespace
