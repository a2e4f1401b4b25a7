#include "dialogs/serial_settings_dialog.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "dialogs/port_number.h"
#include "link/serial_choices.h"
#include "link/serial_port_names.h"

namespace {

constexpr int LabelLeft = 24;
constexpr int ListLeft = 192;
constexpr int ListWidth = 145;

}  // namespace

TFormRs232Setup::TFormRs232Setup(const LayoutScale& scale, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      scale_(scale) {
  setObjectName(QStringLiteral("FormRs232Setup"));
  setWindowTitle(tr("RS232 Setup"));
  setFixedSize(scale_(369), scale_(311));
  move(165, 119);

  comboBoxComPort_ = AddList("ComboBoxComPort", QT_TR_NOOP("COMPort:"), 16);
  for (int number = 1; number <= PortCount; ++number) {
    const QString name = QStringLiteral("COM%1").arg(number);
    comboBoxComPort_->addItem(name);
    // Which device the name stands for here, and whether it is there now.
    const QByteArray latin = name.toLatin1();
    const std::string_view view(latin.constData(), static_cast<std::size_t>(latin.size()));
    const bool present = SerialDevicePresent(view);
    comboBoxComPort_->setItemData(
        number - 1,
        present ? tr("%1 (present)").arg(SerialDevicePath(view)) : SerialDevicePath(view),
        Qt::ToolTipRole);
  }
  // The line lists, one below the other, each showing its setting's choices; list i keeps the
  // record's field of serial_choices::InDialogOrder[i].
  struct LineList {
    const char* name;
    const char* label;
  };
  static constexpr std::array<LineList, 6> LineLists = {{
      {"ComboBoxBaudRate", QT_TR_NOOP("BaudRate:")},
      {"ComboBoxDataBit", QT_TR_NOOP("Data Bits:")},
      {"ComboBoxParity", QT_TR_NOOP("Parity:")},
      {"ComboBoxStopBit", QT_TR_NOOP("Stop Bit(s):")},
      {"ComboBoxHdShak", QT_TR_NOOP("Hardware Shaking:")},
      {"ComboBoxSWShak", QT_TR_NOOP("Software Shaking:")},
  }};
  static_assert(std::size(serial_choices::InDialogOrder) == LineLists.size());
  for (std::size_t i = 0; i < LineLists.size(); ++i) {
    lineLists_[i] = AddList(LineLists[i].name, LineLists[i].label, 48 + 32 * static_cast<int>(i),
                            serial_choices::InDialogOrder[i]->choices);
  }

  auto* buttonSet = new QPushButton(tr("Set"), this);
  buttonSet->setObjectName(QStringLiteral("ButtonSet"));
  buttonSet->setGeometry(scale_.Rect(280, 248, 75, 25));
  connect(buttonSet, &QPushButton::clicked, this, &TFormRs232Setup::ButtonSetClick);
  auto* buttonCancel = new QPushButton(tr("Cancel"), this);
  buttonCancel->setObjectName(QStringLiteral("ButtonCancel"));
  buttonCancel->setGeometry(scale_.Rect(280, 280, 75, 25));
  connect(buttonCancel, &QPushButton::clicked, this, &TFormRs232Setup::ButtonCancelClick);

  QWidget* previous = comboBoxComPort_;
  for (QWidget* next : {static_cast<QWidget*>(lineLists_[0]), static_cast<QWidget*>(lineLists_[1]),
                        static_cast<QWidget*>(lineLists_[2]), static_cast<QWidget*>(lineLists_[3]),
                        static_cast<QWidget*>(lineLists_[4]), static_cast<QWidget*>(lineLists_[5]),
                        static_cast<QWidget*>(buttonSet), static_cast<QWidget*>(buttonCancel)}) {
    setTabOrder(previous, next);
    previous = next;
  }
}

QComboBox* TFormRs232Setup::AddList(const char* name, const char* label, int top,
                                    std::span<const SerialChoice> items) {
  auto* caption = new QLabel(tr(label), this);
  caption->setGeometry(scale_.Rect(LabelLeft, top + 8, ListLeft - LabelLeft - 8, 13));
  auto* list = new QComboBox(this);
  list->setObjectName(QLatin1String(name));
  list->setGeometry(scale_.Rect(ListLeft, top, ListWidth, 21));
  for (const SerialChoice& item : items) {
    // The fixed values (rates, bits, handshake names) translate to themselves.
    list->addItem(tr(item.caption));
  }
  caption->setBuddy(list);
  return list;
}

void TFormRs232Setup::AttachSettings(SerialSettings& settings) {
  settings_ = &settings;
  ShowSettings();
}

void TFormRs232Setup::ShowSettings() {
  const int number = PortNumberOf(settings_->PortName.View());
  // A name outside COM1 to COM30 (a device path) selects no item.
  comboBoxComPort_->setCurrentIndex(number >= 1 && number <= PortCount ? number - 1 : -1);
  for (std::size_t i = 0; i < lineLists_.size(); ++i) {
    const std::int32_t index = settings_->*serial_choices::InDialogOrder[i]->field;
    lineLists_[i]->setCurrentIndex(index >= 0 && index < lineLists_[i]->count() ? index : -1);
  }
}

void TFormRs232Setup::TakeSettings() {
  // With no port chosen (the record named a device path) the name stays as it was.
  const int port = comboBoxComPort_->currentIndex();
  if (port >= 0) {
    settings_->PortName.Assign(QStringLiteral("COM%1").arg(port + 1).toStdString());
  }
  for (std::size_t i = 0; i < lineLists_.size(); ++i) {
    settings_->*serial_choices::InDialogOrder[i]->field = lineLists_[i]->currentIndex();
  }
}

void TFormRs232Setup::ButtonSetClick() {
  TakeSettings();
  accept();
}

void TFormRs232Setup::ButtonCancelClick() {
  reject();
}
