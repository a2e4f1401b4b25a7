#include <QLabel>
#include <array>

#include "panel_fixture.h"
#include "panels/ethernet_panel.h"

namespace {

constexpr std::array<const char*, 6> AddressControls = {"LabelIP", "LabelMask", "LabelGateWay",
                                                        "EditIP",  "EditMask",  "EditGateWay"};

class EthernetPanelTest : public PanelTest {
 protected:
  void SetUp() override {
    PanelTest::SetUp();
    auto panel = std::make_unique<EthernetPanel>(host_, values_, scale_);
    ethernet_ = panel.get();
    Show(std::move(panel));
    ethernet_->ResetNetworkFields();
    ethernet_->ShowNetworkFields();
  }

  void PrinterOnDhcp() {
    auto state = sim_->State();
    state.dhcpLeaseIp = "10.0.0.7";
    printer_sim::ApplyDhcp(state);
    state.mask = "255.0.0.0";
    state.gateway = "10.0.0.1";
    state.name = "Lab-3";
    sim_->SetState(state);
  }
  void PrinterOnStaticAddress() {
    auto state = sim_->State();
    printer_sim::ApplyStaticAddress(state, "192.168.7.50", "255.255.0.0", "192.168.7.1");
    state.name = "Bench 2";
    sim_->SetState(state);
  }

  // The six address controls stay in view; greyed while DHCP is chosen.
  void ExpectAddressesEnabled(bool enabled) const {
    for (const char* name : AddressControls) {
      EXPECT_EQ(Named(panel_.get(), name)->isEnabled(), enabled) << name;
      EXPECT_TRUE(Named(panel_.get(), name)->isVisible()) << name;
    }
  }

  void TypeStaticAddress() const {
    Button("RadioStaticIP")->click();
    Type("EditIP", QStringLiteral("192.168.7.50"));
    Type("EditMask", QStringLiteral("255.255.0.0"));
    Type("EditGateWay", QStringLiteral("192.168.7.1"));
  }

  NetConfigRecord values_;
  EthernetPanel* ethernet_ = nullptr;
};

TEST_F(EthernetPanelTest, ReadUnderDhcp_ShowsTheAddressInUseGreyedUntilStaticIsChosen) {
  PrinterOnDhcp();
  Button("ButtonEtherRead")->click();
  EXPECT_EQ(ethernet_->RadioIndex(), 0);
  EXPECT_EQ(Text("EditIP"), QStringLiteral("10.0.0.7"));
  EXPECT_EQ(Text("EditMask"), QStringLiteral("255.0.0.0"));
  EXPECT_EQ(Text("EditGateWay"), QStringLiteral("10.0.0.1"));
  EXPECT_EQ(Text("EditPrinterName"), QStringLiteral("Lab-3"));
  ExpectAddressesEnabled(false);

  // Choosing is local: the printer hears of it only on "Set IP".
  const std::size_t calls = host_.calls.size();
  Button("RadioStaticIP")->click();
  EXPECT_EQ(ethernet_->RadioIndex(), 1);
  ExpectAddressesEnabled(true);
  EXPECT_EQ(Text("EditIP"), QStringLiteral("10.0.0.7"));
  EXPECT_EQ(values_.dhcp, 0);
  EXPECT_EQ(host_.calls.size(), calls);
}

TEST_F(EthernetPanelTest, ReadOfStaticAddress_ShowsItEditableAndTheRadioDiscardsTypedText) {
  PrinterOnStaticAddress();
  Button("ButtonEtherRead")->click();
  EXPECT_EQ(ethernet_->RadioIndex(), 1);
  ExpectAddressesEnabled(true);
  EXPECT_EQ(Text("EditIP"), QStringLiteral("192.168.7.50"));
  EXPECT_EQ(Text("EditGateWay"), QStringLiteral("192.168.7.1"));
  EXPECT_EQ(Text("EditPrinterName"), QStringLiteral("Bench 2"));

  Type("EditMask", QStringLiteral("255.0.0.0"));
  Button("RadioDHCP")->click();
  EXPECT_EQ(Text("EditMask"), QStringLiteral("255.255.0.0"));
  ExpectAddressesEnabled(false);
}

// A read that fails half-way leaves the stored values and shows them again over what was typed.
TEST_F(EthernetPanelTest, ReadBrokenOffAtTheAddressInUse_ShowsTheStoredValues) {
  PrinterOnDhcp();
  printer_sim::FaultSwitches faults;
  faults.closeMidFrame.value = true;
  faults.LimitTo("DIAGNOSTIC REPORT LASTUSEDIP");
  sim_->SetFaults(faults);
  values_.dhcp = 0;
  values_.ip.Assign("1.2.3.4");
  values_.netName.Assign("Old name");
  const NetConfigRecord stored = values_;
  ethernet_->ShowNetworkFields();
  Type("EditIP", QStringLiteral("9.9.9.9"));
  Type("EditPrinterName", QStringLiteral("typed"));

  Button("ButtonEtherRead")->click();
  EXPECT_EQ(values_, stored);
  EXPECT_EQ(ethernet_->RadioIndex(), 1);
  EXPECT_EQ(Text("EditIP"), QStringLiteral("1.2.3.4"));
  EXPECT_EQ(Text("EditPrinterName"), QStringLiteral("Old name"));
}

TEST_F(EthernetPanelTest, SetIpUnderDhcp_SendsDhcpWhateverTheEditsHold) {
  Paste("EditIP", QStringLiteral("not an address"));
  Paste("EditGateWay", QString());
  values_.dhcp = 0;  // changed behind the panel's back: the choice on screen is what counts
  Button("ButtonSetIP")->click();
  EXPECT_EQ(ReceivedAfter(1), std::vector<std::string>{expected::SetDhcp()});
  EXPECT_EQ(values_.dhcp, 1);
  EXPECT_EQ(values_.ip, "not an address");
}

TEST_F(EthernetPanelTest, SetPrinterName_SendsOnlyTheNameButTakesEveryField) {
  TypeStaticAddress();
  Type("EditPrinterName", QStringLiteral("Lab printer 3"));
  Button("ButtonSetPrinterName")->click();
  EXPECT_EQ(ReceivedAfter(1), std::vector<std::string>{expected::SetName("Lab printer 3")});
  EXPECT_EQ(values_.dhcp, 0);
  EXPECT_EQ(values_.ip, "192.168.7.50");
  EXPECT_EQ(values_.mask, "255.255.0.0");
  EXPECT_EQ(values_.gateway, "192.168.7.1");
  EXPECT_EQ(values_.netName, "Lab printer 3");
  EXPECT_TRUE(sim_->State().dhcp);
}

// "Set Printer Name" takes every field as typed; only "Set IP" wants a dotted quad.
TEST_F(EthernetPanelTest, LongestAddressTyped_IsTakenWhole) {
  host_.answer = CommandResult::Ok;
  Button("RadioStaticIP")->click();
  Type("EditIP", QString(70, QLatin1Char('1')));
  Button("ButtonSetPrinterName")->click();
  ASSERT_EQ(host_.calls.size(), 1u);
  EXPECT_EQ(values_.ip, std::string(63, '1'));
}

// A text the printer cannot take stops both buttons before anything is sent, since each takes
// every field; the message names the field.
struct RefusedText {
  const char* edit;
  const char* utf8;
  const char* button;
  const char* what;
};

void PrintTo(const RefusedText& r, std::ostream* os) {
  *os << r.edit << " '" << r.utf8 << "' by " << r.button;
}

class EthernetPanelRefusedText : public EthernetPanelTest,
                                 public ::testing::WithParamInterface<RefusedText> {};

TEST_P(EthernetPanelRefusedText, SendsNothing) {
  const RefusedText& p = GetParam();
  TypeStaticAddress();
  Paste(p.edit, QString::fromUtf8(p.utf8));
  const QString message = ClickRefused(p.button);
  EXPECT_TRUE(message.startsWith(QString::fromLatin1(p.what))) << message.toStdString();
  EXPECT_TRUE(host_.calls.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, EthernetPanelRefusedText,
    ::testing::Values(
        RefusedText{"EditPrinterName", "Lab\"3", "ButtonSetPrinterName", "Printer name"},
        RefusedText{"EditPrinterName",
                    "\xe2\x82\xac"
                    "uro",
                    "ButtonSetPrinterName", "Printer name"},
        RefusedText{"EditPrinterName", "Lab\"3", "ButtonSetIP", "Printer name"},
        RefusedText{"EditIP", "10.0.0.\"1", "ButtonSetIP", "IP address"},
        RefusedText{"EditMask", "255\t0", "ButtonSetIP", "Mask"},
        RefusedText{"EditGateWay", "\xe2\x82\xac", "ButtonSetPrinterName", "Gateway"},
        // A static address that is no dotted quad would go out as typed.
        RefusedText{"EditIP", "192.168.1.256", "ButtonSetIP",
                    "IP address must be four numbers from 0 to 255 joined by dots"},
        RefusedText{"EditIP", "abc", "ButtonSetIP", "IP address must be four numbers"},
        RefusedText{"EditMask", "255.255.0", "ButtonSetIP", "Mask must be four numbers"},
        RefusedText{"EditGateWay", "", "ButtonSetIP", "Gateway must be four numbers"}));

}  // namespace
