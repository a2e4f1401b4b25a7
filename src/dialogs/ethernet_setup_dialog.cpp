#include "dialogs/ethernet_setup_dialog.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <tuple>

#include "common/printer_rules.h"
#include "gui/edit_limit.h"
#include "gui/input_error.h"
#include "gui/keyboard_access.h"
#include "gui/placed_controls.h"

namespace {

constexpr int DhcpIndex = 0;
constexpr int StaticIndex = 1;

}  // namespace

TFormEthernetSetup::TFormEthernetSetup(const LayoutScale& scale, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("FormEthernetSetup"));
  setWindowTitle(tr("Ethernet Setup"));
  resize(scale(301), scale(265));

  auto* group = new QGroupBox(tr("IP Setup"), this);
  group->setObjectName(QStringLiteral("RadioGroupDHCP"));
  group->setGeometry(scale.Rect(8, 8, 273, 65));
  radioGroupDHCP_ = new QButtonGroup(this);
  auto* dhcp = new QRadioButton(tr("DHCP"), group);
  dhcp->setObjectName(QStringLiteral("RadioDHCP"));
  dhcp->setGeometry(scale.Rect(8, 18, 250, 17));
  auto* fixed = new QRadioButton(tr("Static IP"), group);
  fixed->setObjectName(QStringLiteral("RadioStaticIP"));
  fixed->setGeometry(scale.Rect(8, 40, 250, 17));
  radioGroupDHCP_->addButton(dhcp, DhcpIndex);
  radioGroupDHCP_->addButton(fixed, StaticIndex);
  dhcp->setChecked(true);
  KeepTabStopOnCheckedButton(*radioGroupDHCP_);
  connect(radioGroupDHCP_, &QButtonGroup::idClicked, this, [this](int) { RadioGroupDHCPClick(); });

  auto addRow = [&](const char* labelName, const char* caption, int labelTop, const char* editName,
                    int editTop, int typedLimit, QLabel*& label, QLineEdit*& edit) {
    label = AddLabel(*this, QLatin1String(labelName), tr(caption), scale.Rect(8, labelTop, 70, 13));
    edit = AddEdit(*this, QLatin1String(editName), scale.Rect(80, editTop, 201, 21), typedLimit);
    label->setBuddy(edit);  // the caption names the edit for screen readers
  };
  // The record's text fields hold 63 characters.
  addRow("LabelIP", QT_TR_NOOP("IP:"), 96, "EditIP", 88, RecordTextRoom, labelIP_, editIP_);
  addRow("LabelMask", QT_TR_NOOP("Subnet Mask:"), 120, "EditMask", 112, RecordTextRoom, labelMask_,
         editMask_);
  addRow("LabelGateWay", QT_TR_NOOP("Gateway:"), 144, "EditGateWay", 136, RecordTextRoom,
         labelGateWay_, editGateWay_);
  for (QLineEdit* edit : {editIP_, editMask_, editGateWay_}) {
    edit->setText(QStringLiteral("0.0.0.0"));
  }
  QLabel* labelName = nullptr;
  addRow("LabelDeviceName", QT_TR_NOOP("Printer Name:"), 176, "EditDeviceName", 168,
         PrinterNameMaxLength, labelName, editDeviceName_);

  auto* buttonOK =
      AddButton(*this, QStringLiteral("ButtonOK"), tr("Set"), scale.Rect(112, 200, 75, 25));
  connect(buttonOK, &QPushButton::clicked, this, &TFormEthernetSetup::ButtonOKClick);
  auto* buttonCancel =
      AddButton(*this, QStringLiteral("ButtonCancel"), tr("Cancel"), scale.Rect(208, 200, 75, 25));
  connect(buttonCancel, &QPushButton::clicked, this, &TFormEthernetSetup::ButtonCancelClick);

  setTabOrder(dhcp, fixed);  // one stop, at the chosen button
  setTabOrder(fixed, editIP_);
  setTabOrder(editIP_, editMask_);
  setTabOrder(editMask_, editGateWay_);
  setTabOrder(editGateWay_, buttonOK);
  setTabOrder(buttonOK, buttonCancel);
  setTabOrder(buttonCancel, editDeviceName_);
}

void TFormEthernetSetup::Prepare(int left, int top, NetConfigRecord& record) {
  move(left, top);
  record.accepted = 0;
  result_ = &record;
  edited_ = record;
  UpdateAddressControls(edited_.dhcp);
  const bool dhcp = edited_.dhcp == 1;
  radioGroupDHCP_->button(dhcp ? DhcpIndex : StaticIndex)->setChecked(true);
  editIP_->setText(QString::fromLatin1(dhcp ? edited_.lastUsedIp.View() : edited_.ip.View()));
  editMask_->setText(QString::fromLatin1(edited_.mask.View()));
  editGateWay_->setText(QString::fromLatin1(edited_.gateway.View()));
  // A longer name than can be typed is shown whole: "Set" writes the name back, and a cut one
  // would rename the printer unasked.
  ShowWhole(*editDeviceName_, QString::fromLatin1(edited_.netName.View()));
}

void TFormEthernetSetup::UpdateAddressControls(std::uint8_t dhcp) {
  const bool enabled = dhcp != 1;
  for (QWidget* widget : std::initializer_list<QWidget*>{labelIP_, labelMask_, labelGateWay_,
                                                         editIP_, editMask_, editGateWay_}) {
    widget->setEnabled(enabled);
  }
}

void TFormEthernetSetup::RadioGroupDHCPClick() {
  edited_.dhcp = radioGroupDHCP_->checkedId() == DhcpIndex ? 1 : 0;
  UpdateAddressControls(edited_.dhcp);
}

void TFormEthernetSetup::ButtonOKClick() {
  const bool dhcp = radioGroupDHCP_->checkedId() == DhcpIndex;
  NetConfigRecord taken = *result_;
  for (const auto& [edit, field, what] :
       {std::tuple{editIP_, &taken.ip, tr("The IP address")},
        std::tuple{editMask_, &taken.mask, tr("The subnet mask")},
        std::tuple{editGateWay_, &taken.gateway, tr("The gateway")}}) {
    if (IsDottedQuad(edit->text())) {
      // Digits and dots only: nothing in it the printer cannot take.
      field->Assign(edit->text().toLatin1().toStdString());
    } else if (dhcp) {
      // Greyed out, the field cannot be put right, and the static addresses are still written:
      // keep what the printer reported, or 0.0.0.0 where nothing was read, never the
      // 255.255.255.255 that an unconvertible text would become.
      if (!IsDottedQuad(field->View())) {
        field->Assign("0.0.0.0");
      }
    } else {
      // Not a dotted quad, an address would go out as 255.255.255.255 and could leave the
      // printer unreachable: refuse it before anything is written.
      showMessage_(this, NotDottedQuadRefusal(what).message, MessageKind::Error);
      return;
    }
  }
  const QString typedName = editDeviceName_->text();
  if (const InputResult<> name = TakeText(typedName, taken.netName, tr("The printer name"));
      !name) {
    showMessage_(this, name.Message(), MessageKind::Error);
    return;
  }
  // The printer would show no name at all. Only this part of the name rule applies here: a name
  // the printer reported longer than the edit takes is written back whole.
  if (const std::optional<TextProblem> problem = CheckPrinterName(typedName);
      problem && problem->fault == TextFault::Blank) {
    showMessage_(this, TextRefusal(*problem, tr("The printer name")).message, MessageKind::Error);
    return;
  }
  taken.dhcp = dhcp ? 1 : 0;
  taken.accepted = 1;
  *result_ = taken;
  accept();
}

void TFormEthernetSetup::ButtonCancelClick() {
  result_->accepted = 0;
  reject();
}
