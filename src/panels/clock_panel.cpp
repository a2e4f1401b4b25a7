#include "panels/clock_panel.h"

#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTime>
#include <array>

#include "gui/edit_limit.h"
#include "gui/placed_controls.h"

namespace {

constexpr int LabelLeft = 16;
constexpr int LabelWidth = 60;
constexpr int LabelHeight = 13;
constexpr int EditLeft = 80;
constexpr int EditWidth = 85;
constexpr int EditHeight = 21;
constexpr int ButtonHeight = 25;

}  // namespace

ClockPanel::ClockPanel(PanelHost& host, ClockRecord& values, const LayoutScale& scale,
                       QWidget* parent)
    : QGroupBox(tr("RTC Setup"), parent), host_(host), values_(values) {
  setObjectName(QStringLiteral("GroupBox1"));

  struct Row {
    const char* label;
    const char* caption;
    int top;
  };
  static constexpr std::array<Row, 6> Rows = {{
      {"Label1", QT_TR_NOOP("Year:"), 16},
      {"Label2", QT_TR_NOOP("Month:"), 40},
      {"Label3", QT_TR_NOOP("Date:"), 64},
      {"Label4", QT_TR_NOOP("Hour:"), 88},
      {"Label5", QT_TR_NOOP("Minute:"), 112},
      {"Label6", QT_TR_NOOP("Second:"), 136},
  }};
  std::array<QLabel*, Rows.size()> labels{};
  for (std::size_t i = 0; i < Rows.size(); ++i) {
    labels[i] = AddLabel(*this, QString::fromLatin1(Rows[i].label), tr(Rows[i].caption),
                         scale.Rect(LabelLeft, Rows[i].top, LabelWidth, LabelHeight));
  }

  auto editRect = [&scale](int top) { return scale.Rect(EditLeft, top, EditWidth, EditHeight); };
  // The year takes four typed digits; the others three, room for a sign. What the printer
  // reports is shown whole, however long.
  EditYear = AddEdit(*this, QStringLiteral("EditYear"), editRect(16), 4);
  EditMonth = AddEdit(*this, QStringLiteral("EditMonth"), editRect(40), 3);
  EditDate = AddEdit(*this, QStringLiteral("EditDate"), editRect(64), 3);
  EditHour = AddEdit(*this, QStringLiteral("EditHour"), editRect(88), 3);
  EditMinute = AddEdit(*this, QStringLiteral("EditMinute"), editRect(112), 3);
  EditSecond = AddEdit(*this, QStringLiteral("EditSecond"), editRect(136), 3);
  // Each caption names its edit for screen readers.
  const std::array<QLineEdit*, Rows.size()> edits = {EditYear, EditMonth,  EditDate,
                                                     EditHour, EditMinute, EditSecond};
  for (std::size_t i = 0; i < Rows.size(); ++i) {
    labels[i]->setBuddy(edits[i]);
  }

  ButtonSetSysTime = AddButton(*this, QStringLiteral("ButtonSetSysTime"), tr("Get System Time"),
                               scale.Rect(243, 16, 97, ButtonHeight));
  ButtonOk = AddButton(*this, QStringLiteral("ButtonOk"), tr("Set"),
                       scale.Rect(264, 96, 75, ButtonHeight));
  ButtonRTCRead = AddButton(*this, QStringLiteral("ButtonRTCRead"), tr("Read"),
                            scale.Rect(264, 128, 75, ButtonHeight));

  const std::array<QWidget*, 9> tabOrder = {EditYear,         EditMonth,  EditDate,
                                            EditHour,         EditMinute, EditSecond,
                                            ButtonSetSysTime, ButtonOk,   ButtonRTCRead};
  for (std::size_t i = 1; i < tabOrder.size(); ++i) {
    setTabOrder(tabOrder[i - 1], tabOrder[i]);
  }

  connect(ButtonSetSysTime, &QPushButton::clicked, this, &ClockPanel::ButtonSetSysTimeClick);
  connect(ButtonOk, &QPushButton::clicked, this, &ClockPanel::ButtonOkClick);
  connect(ButtonRTCRead, &QPushButton::clicked, this, &ClockPanel::ButtonRTCReadClick);
}

void ClockPanel::LoadSystemTime() {
  const QDateTime now = host_.Now();
  const QDate date = now.date();
  const QTime time = now.time();
  values_.year = date.year();
  values_.month = date.month();
  values_.date = date.day();
  values_.hour = time.hour();
  values_.minute = time.minute();
  values_.second = time.second();
}

void ClockPanel::ShowClockFields() {
  ShowWhole(*EditYear, QString::number(values_.year));
  ShowWhole(*EditMonth, QString::number(values_.month));
  ShowWhole(*EditDate, QString::number(values_.date));
  ShowWhole(*EditHour, QString::number(values_.hour));
  ShowWhole(*EditMinute, QString::number(values_.minute));
  ShowWhole(*EditSecond, QString::number(values_.second));
}

InputResult<> ClockPanel::TakeClockFields() {
  const std::array<std::pair<QLineEdit*, std::int32_t ClockRecord::*>, 6> fields = {{
      {EditYear, &ClockRecord::year},
      {EditMonth, &ClockRecord::month},
      {EditDate, &ClockRecord::date},
      {EditHour, &ClockRecord::hour},
      {EditMinute, &ClockRecord::minute},
      {EditSecond, &ClockRecord::second},
  }};
  for (const auto& [edit, field] : fields) {
    const InputResult<std::int32_t> number = StrToInt(edit->text());
    if (!number) {
      return number.Refusal();
    }
    values_.*field = *number;
  }
  return {};
}

CommandResult ClockPanel::ReadPrinterClock() {
  // A read that fails half-way must not leave a mixture of old and new values.
  ClockRecord scratch;
  const CommandResult result = host_.RunPanelOperation(PrinterOperation::ReadClock, &scratch);
  if (result == CommandResult::Ok) {
    values_ = scratch;
  }
  return result;
}

void ClockPanel::SetReadEnabled(bool enabled) {
  ButtonRTCRead->setEnabled(enabled);
}

void ClockPanel::ButtonSetSysTimeClick() {
  LoadSystemTime();
  ShowClockFields();
}

void ClockPanel::ButtonOkClick() {
  if (const InputResult<> taken = TakeClockFields(); !taken) {
    host_.ShowInputError(taken.Message());
    return;
  }
  // The host may run events meanwhile; the printer gets the values as they were taken.
  ClockRecord values = values_;
  host_.RunPanelOperation(PrinterOperation::SetClock, &values);
}

void ClockPanel::ButtonRTCReadClick() {
  ReadPrinterClock();
  ShowClockFields();
}
