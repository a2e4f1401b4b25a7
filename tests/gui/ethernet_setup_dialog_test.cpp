#include "dialogs/ethernet_setup_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "support/window_harness.h"

namespace {

class EthernetSetupDialogTest : public ::testing::Test {
 protected:
  EthernetSetupDialogTest() : dialog_(LayoutScale(), nullptr) {
    record_.ip.Assign("10.0.0.5");
    record_.lastUsedIp.Assign("10.0.0.9");
    record_.mask.Assign("255.0.0.0");
    record_.gateway.Assign("10.0.0.1");
    record_.netName.Assign("Lab-1");
    record_.accepted = 1;
    dialog_.SetMessageSink(RecordBoxes(shown_));
  }
  template <typename T>
  T* Find(const char* name) {
    return dialog_.findChild<T*>(QLatin1String(name));
  }
  QLineEdit* Edit(const char* name) { return Find<QLineEdit>(name); }
  bool AddressControlsEnabled() {
    return Edit("EditIP")->isEnabled() && Edit("EditMask")->isEnabled() &&
           Edit("EditGateWay")->isEnabled() && Find<QLabel>("LabelIP")->isEnabled();
  }

  NetConfigRecord record_;
  TFormEthernetSetup dialog_;
  std::vector<QString> shown_;  // message boxes
};

TEST_F(EthernetSetupDialogTest, Dhcp_ShowsTheAddressInUseWithTheAddressControlsOff) {
  record_.dhcp = 1;
  dialog_.Prepare(10, 20, record_);
  EXPECT_EQ(record_.accepted, 0);
  EXPECT_TRUE(Find<QRadioButton>("RadioDHCP")->isChecked());
  EXPECT_EQ(Edit("EditIP")->text(), "10.0.0.9");
  EXPECT_FALSE(Edit("EditIP")->isEnabled());
  EXPECT_FALSE(Find<QLabel>("LabelGateWay")->isEnabled());
  EXPECT_TRUE(Edit("EditDeviceName")->isEnabled());
  EXPECT_EQ(dialog_.pos(), QPoint(10, 20));
}

TEST_F(EthernetSetupDialogTest, StaticOrAnyOtherValue_ShowsStaticIpEnabled) {
  for (const std::uint8_t dhcp : {std::uint8_t{0}, std::uint8_t{2}}) {
    record_.dhcp = dhcp;
    dialog_.Prepare(0, 0, record_);
    EXPECT_TRUE(Find<QRadioButton>("RadioStaticIP")->isChecked());
    EXPECT_EQ(Edit("EditIP")->text(), "10.0.0.5");
    EXPECT_TRUE(AddressControlsEnabled());
  }
}

TEST_F(EthernetSetupDialogTest, SwitchingKeepsTextsAndSetReturnsTheChoice) {
  record_.dhcp = 0;
  dialog_.Prepare(0, 0, record_);
  Edit("EditIP")->setText("192.168.1.50");
  Find<QRadioButton>("RadioDHCP")->click();
  EXPECT_FALSE(AddressControlsEnabled());
  Find<QRadioButton>("RadioStaticIP")->click();
  EXPECT_TRUE(AddressControlsEnabled());
  EXPECT_EQ(Edit("EditIP")->text(), "192.168.1.50");
  Find<QRadioButton>("RadioDHCP")->click();
  Find<QPushButton>("ButtonOK")->click();
  EXPECT_EQ(record_.accepted, 1);
  EXPECT_EQ(record_.dhcp, 1);
  EXPECT_EQ(record_.ip, "192.168.1.50");
  EXPECT_EQ(record_.lastUsedIp, "10.0.0.9");  // never written by the dialog
}

TEST_F(EthernetSetupDialogTest, AnAddressThatIsNotADottedQuad_IsRefusedAndNothingIsTaken) {
  dialog_.Prepare(0, 0, record_);
  for (const char* bad : {"192.168.1", "192.168.1.256", "a.b.c.d", "", "1..2.3", "+1.2.3.4"}) {
    Edit("EditMask")->setText(QLatin1String(bad));
    shown_.clear();
    Find<QPushButton>("ButtonOK")->click();
    EXPECT_EQ(shown_, std::vector<QString>{"The subnet mask must be four numbers from 0 to 255 "
                                           "joined by dots, such as 192.168.1.50."})
        << bad;
    EXPECT_EQ(record_.accepted, 0);
    EXPECT_EQ(record_.mask, "255.0.0.0");
  }
}

TEST_F(EthernetSetupDialogTest, CancelLeavesTheRecordAndTheNameTakesFifteen) {
  dialog_.Prepare(0, 0, record_);
  EXPECT_EQ(Edit("EditDeviceName")->maxLength(), 15);
  Edit("EditDeviceName")->setText("Renamed");
  Find<QPushButton>("ButtonCancel")->click();
  EXPECT_EQ(record_.accepted, 0);
  EXPECT_EQ(record_.netName, "Lab-1");
}

}  // namespace
