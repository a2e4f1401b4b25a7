#include "panels/ethernet_panel.h"

#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <array>
#include <tuple>
#include <utility>

#include "common/printer_rules.h"
#include "gui/edit_limit.h"
#include "gui/keyboard_access.h"
#include "gui/placed_controls.h"

namespace {

constexpr int DhcpIndex = 0;
constexpr int StaticIndex = 1;

// The address edits hold what their record fields can; a longer text would be cut unseen.
constexpr int AddressMaxLength = RecordTextRoom;

constexpr int LabelHeight = 13;
constexpr int EditHeight = 21;
constexpr int ButtonHeight = 25;

QString ShownText(const NetConfigRecord::Text& text) {
  const std::string_view view = text.View();
  return QString::fromLatin1(view.data(), static_cast<qsizetype>(view.size()));
}

}  // namespace

EthernetPanel::EthernetPanel(PanelHost& host, NetConfigRecord& values, const LayoutScale& scale,
                             QWidget* parent)
    : QGroupBox(tr("Ethernet Setup"), parent), host_(host), values_(values) {
  setObjectName(QStringLiteral("GroupBox2"));

  RadioGroupDHCP = new QGroupBox(tr("DHCP"), this);
  RadioGroupDHCP->setObjectName(QStringLiteral("RadioGroupDHCP"));
  RadioGroupDHCP->setGeometry(scale.Rect(13, 16, 204, 65));
  // Inside another group a group would be announced by the outer caption.
  RadioGroupDHCP->setAccessibleName(RadioGroupDHCP->title());
  RadioDHCP = new QRadioButton(tr("DHCP"), RadioGroupDHCP);
  RadioDHCP->setObjectName(QStringLiteral("RadioDHCP"));
  RadioDHCP->setGeometry(scale.Rect(8, 18, 188, 17));
  RadioStaticIP = new QRadioButton(tr("Static IP"), RadioGroupDHCP);
  RadioStaticIP->setObjectName(QStringLiteral("RadioStaticIP"));
  RadioStaticIP->setGeometry(scale.Rect(8, 40, 188, 17));
  radioButtons_ = new QButtonGroup(this);
  radioButtons_->setObjectName(QStringLiteral("RadioGroupDHCPButtons"));
  radioButtons_->addButton(RadioDHCP, DhcpIndex);
  radioButtons_->addButton(RadioStaticIP, StaticIndex);
  KeepTabStopOnCheckedButton(*radioButtons_);

  LabelIP =
      AddLabel(*this, QStringLiteral("LabelIP"), tr("IP:"), scale.Rect(8, 96, 58, LabelHeight));
  EditIP = AddEdit(*this, QStringLiteral("EditIP"), scale.Rect(69, 88, 148, EditHeight),
                   AddressMaxLength);
  LabelMask = AddLabel(*this, QStringLiteral("LabelMask"), tr("Mask:"),
                       scale.Rect(8, 120, 58, LabelHeight));
  EditMask = AddEdit(*this, QStringLiteral("EditMask"), scale.Rect(69, 112, 148, EditHeight),
                     AddressMaxLength);
  LabelGateWay = AddLabel(*this, QStringLiteral("LabelGateWay"), tr("Gate Way:"),
                          scale.Rect(8, 144, 58, LabelHeight));
  EditGateWay = AddEdit(*this, QStringLiteral("EditGateWay"), scale.Rect(69, 136, 148, EditHeight),
                        AddressMaxLength);
  for (QLineEdit* edit : {EditIP, EditMask, EditGateWay}) {
    edit->setText(QStringLiteral("0.0.0.0"));
  }

  ButtonSetIP = AddButton(*this, QStringLiteral("ButtonSetIP"), tr("Set IP"),
                          scale.Rect(264, 104, 75, ButtonHeight));
  ButtonEtherRead = AddButton(*this, QStringLiteral("ButtonEtherRead"), tr("Read"),
                              scale.Rect(264, 136, 75, ButtonHeight));

  Label7 = AddLabel(*this, QStringLiteral("Label7"), tr("Printer Name:"),
                    scale.Rect(8, 192, 70, LabelHeight));
  EditPrinterName = AddEdit(*this, QStringLiteral("EditPrinterName"),
                            scale.Rect(80, 192, 137, EditHeight), PrinterNameMaxLength);
  // The captions name their edits for screen readers.
  LabelIP->setBuddy(EditIP);
  LabelMask->setBuddy(EditMask);
  LabelGateWay->setBuddy(EditGateWay);
  Label7->setBuddy(EditPrinterName);
  ButtonSetPrinterName = AddButton(*this, QStringLiteral("ButtonSetPrinterName"),
                                   tr("Set Printer Name"), scale.Rect(240, 192, 99, ButtonHeight));

  // Tab reaches the radio group first; its two buttons are one stop in the chain, at the chosen
  // one.
  const std::array<QWidget*, 9> tabOrder = {RadioDHCP,   RadioStaticIP,   EditIP,
                                            EditMask,    ButtonSetIP,     ButtonEtherRead,
                                            EditGateWay, EditPrinterName, ButtonSetPrinterName};
  for (std::size_t i = 1; i < tabOrder.size(); ++i) {
    setTabOrder(tabOrder[i - 1], tabOrder[i]);
  }

  // Only a click by the user changes the choice; ShowNetworkFields checks a button silently.
  connect(radioButtons_, &QButtonGroup::idClicked, this, [this](int) { RadioGroupDHCPClick(); });
  connect(ButtonSetIP, &QPushButton::clicked, this, &EthernetPanel::ButtonSetIPClick);
  connect(ButtonEtherRead, &QPushButton::clicked, this, &EthernetPanel::ButtonEtherReadClick);
  connect(ButtonSetPrinterName, &QPushButton::clicked, this,
          &EthernetPanel::ButtonSetPrinterNameClick);
}

int EthernetPanel::RadioIndex() const {
  return radioButtons_->checkedId();
}

void EthernetPanel::ResetNetworkFields() {
  values_.dhcp = 1;
  values_.ip.Assign("0.0.0.0");
  values_.mask.Assign("0.0.0.0");
  values_.gateway.Assign("0.0.0.0");
  values_.lastUsedIp.Assign("0.0.0.0");
  values_.netName.Clear();
  values_.macAddr.Clear();
}

void EthernetPanel::ShowNetworkFields() {
  const bool dhcp = values_.dhcp == 1;
  radioButtons_->button(dhcp ? DhcpIndex : StaticIndex)->setChecked(true);
  EditIP->setText(ShownText(values_.ip));
  EditMask->setText(ShownText(values_.mask));
  EditGateWay->setText(ShownText(values_.gateway));
  // Under DHCP the addresses stay in view, greyed, as what the printer uses.
  for (QWidget* widget : std::initializer_list<QWidget*>{LabelIP, LabelMask, LabelGateWay, EditIP,
                                                         EditMask, EditGateWay}) {
    widget->setEnabled(!dhcp);
  }
}

InputResult<> EthernetPanel::TakeNetworkFields() {
  const std::array<std::tuple<QLineEdit*, NetConfigRecord::Text*, QString>, 4> fields = {{
      {EditIP, &values_.ip, tr("IP address")},
      {EditMask, &values_.mask, tr("Mask")},
      {EditGateWay, &values_.gateway, tr("Gateway")},
      {EditPrinterName, &values_.netName, tr("Printer name")},
  }};
  for (const auto& [edit, field, what] : fields) {
    if (InputResult<> taken = TakeText(edit->text(), *field, what); !taken) {
      return taken;
    }
  }
  values_.dhcp = RadioIndex() == DhcpIndex ? 1 : 0;
  return {};
}

CommandResult EthernetPanel::ReadPrinterNetwork() {
  NetConfigRecord scratch;
  const CommandResult result = host_.RunPanelOperation(PrinterOperation::ReadNetwork, &scratch);
  if (result == CommandResult::Ok) {
    values_.dhcp = scratch.dhcp;
    // Under DHCP the configured address reads 0.0.0.0; the address in use is the one to show.
    values_.ip = scratch.dhcp != 0 ? scratch.lastUsedIp : scratch.ip;
    values_.mask = scratch.mask;
    values_.gateway = scratch.gateway;
    values_.netName = scratch.netName;
  }
  // A name longer than can be typed is shown whole, so that "Set Printer Name" does not send
  // it back cut.
  ShowWhole(*EditPrinterName, ShownText(values_.netName));
  return result;
}

void EthernetPanel::SetReadEnabled(bool enabled) {
  ButtonEtherRead->setEnabled(enabled);
}

void EthernetPanel::RadioGroupDHCPClick() {
  values_.dhcp = RadioIndex() == DhcpIndex ? 1 : 0;
  ShowNetworkFields();
}

void EthernetPanel::ButtonEtherReadClick() {
  ReadPrinterNetwork();
  ShowNetworkFields();
}

void EthernetPanel::ButtonSetIPClick() {
  // A static address that is no dotted quad would be set as typed and could leave the printer
  // unreachable; it is refused before anything is stored. A text the printer cannot take at all
  // is left to TakeNetworkFields, which names what is wrong with it. Under DHCP the greyed
  // addresses are not sent, so they are not checked.
  if (RadioIndex() != DhcpIndex) {
    for (const auto& [edit, what] :
         {std::pair{EditIP, tr("IP address")}, std::pair{EditMask, tr("Mask")},
          std::pair{EditGateWay, tr("Gateway")}}) {
      if (CheckRecordText(edit->text())) {
        break;
      }
      if (!IsDottedQuad(edit->text())) {
        host_.ShowInputError(NotDottedQuadRefusal(what).message);
        return;
      }
    }
  }
  if (const InputResult<> taken = TakeNetworkFields(); !taken) {
    host_.ShowInputError(taken.Message());
    return;
  }
  NetConfigRecord scratch;
  scratch.dhcp = values_.dhcp;
  scratch.ip = values_.ip;
  scratch.mask = values_.mask;
  scratch.gateway = values_.gateway;
  host_.RunPanelOperation(PrinterOperation::SetNetwork, &scratch);
}

void EthernetPanel::ButtonSetPrinterNameClick() {
  if (const InputResult<> taken = TakeNetworkFields(); !taken) {
    host_.ShowInputError(taken.Message());
    return;
  }
  NetConfigRecord scratch;
  scratch.netName = values_.netName;
  host_.RunPanelOperation(PrinterOperation::SetPrinterName, &scratch);
}
