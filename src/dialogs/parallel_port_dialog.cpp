#include "dialogs/parallel_port_dialog.h"

#include <QComboBox>
#include <QPushButton>

#include "dialogs/port_number.h"

TFormLPTSetup::TFormLPTSetup(const LayoutScale& scale, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("FormLPTSetup"));
  setWindowTitle(tr("LPT Setup"));
  setFixedSize(scale(315), scale(88));
  move(349, 234);

  auto* buttonSet = new QPushButton(tr("Set"), this);
  buttonSet->setObjectName(QStringLiteral("ButtonSet"));
  buttonSet->setGeometry(scale.Rect(232, 24, 75, 25));
  buttonSet->setDefault(true);
  connect(buttonSet, &QPushButton::clicked, this, &TFormLPTSetup::ButtonSetClick);

  comboBoxLpt_ = new QComboBox(this);
  comboBoxLpt_->setObjectName(QStringLiteral("ComboBoxLPT"));
  comboBoxLpt_->setGeometry(scale.Rect(16, 24, 145, 21));
  // The list has no caption of its own; this is what a screen reader announces.
  comboBoxLpt_->setAccessibleName(tr("Parallel port"));
  for (int number = 1; number <= PortCount; ++number) {
    comboBoxLpt_->addItem(QStringLiteral("LPT%1").arg(number));
  }

  auto* buttonCancel = new QPushButton(tr("Cancel"), this);
  buttonCancel->setObjectName(QStringLiteral("ButtonCancel"));
  buttonCancel->setGeometry(scale.Rect(232, 56, 75, 25));
  connect(buttonCancel, &QPushButton::clicked, this, &TFormLPTSetup::ButtonCancelClick);

  // "Set" has the focus when the dialog opens.
  setTabOrder(buttonSet, comboBoxLpt_);
  setTabOrder(comboBoxLpt_, buttonCancel);
  buttonSet->setFocus();
}

void TFormLPTSetup::AttachSettings(LptDeviceName& deviceName) {
  deviceName_ = &deviceName;
  const int number = PortNumberOf(deviceName.View());
  // A name outside LPT1 to LPT4 (a device path) selects no item.
  comboBoxLpt_->setCurrentIndex(number >= 1 && number <= PortCount ? number - 1 : -1);
}

void TFormLPTSetup::ButtonSetClick() {
  // With no port chosen (the name was a device path) the name stays as it was.
  const int port = comboBoxLpt_->currentIndex();
  if (port >= 0) {
    deviceName_->Assign(QStringLiteral("LPT%1").arg(port + 1).toStdString());
  }
  accept();
}

void TFormLPTSetup::ButtonCancelClick() {
  reject();
}
