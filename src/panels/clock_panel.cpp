#include "panels/clock_panel.h"

#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTime>
#include <array>

#include "gui/edit_limit.h"
#include "gui/input_error.h"

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
    : QGroupBox(QStringLiteral("RTC Setup"), parent), host_(host), values_(values) {
  setObjectName(QStringLiteral("GroupBox1"));

  struct Row {
    const char* label;
    const char* caption;
    int top;
  };
  static constexpr std::array<Row, 6> Rows = {{
      {"Label1", "Year:", 16},
      {"Label2", "Month:", 40},
      {"Label3", "Date:", 64},
      {"Label4", "Hour:", 88},
      {"Label5", "Minute:", 112},
      {"Label6", "Second:", 136},
  }};
  std::array<QLabel*, Rows.size()> labels{};
  for (std::size_t i = 0; i < Rows.size(); ++i) {
    labels[i] = new QLabel(QString::fromLatin1(Rows[i].caption), this);
    labels[i]->setObjectName(QString::fromLatin1(Rows[i].label));
    labels[i]->setGeometry(scale.Rect(LabelLeft, Rows[i].top, LabelWidth, LabelHeight));
  }

  // The year takes four typed digits; the others three, room for a sign. What the printer
  // reports is shown whole, however long.
  EditYear = AddEdit(QStringLiteral("EditYear"), 16, 4, scale);
  EditMonth = AddEdit(QStringLiteral("EditMonth"), 40, 3, scale);
  EditDate = AddEdit(QStringLiteral("EditDate"), 64, 3, scale);
  EditHour = AddEdit(QStringLiteral("EditHour"), 88, 3, scale);
  EditMinute = AddEdit(QStringLiteral("EditMinute"), 112, 3, scale);
  EditSecond = AddEdit(QStringLiteral("EditSecond"), 136, 3, scale);
  // Each caption names its edit for screen readers.
  const std::array<QLineEdit*, Rows.size()> edits = {EditYear, EditMonth,  EditDate,
                                                     EditHour, EditMinute, EditSecond};
  for (std::size_t i = 0; i < Rows.size(); ++i) {
    labels[i]->setBuddy(edits[i]);
  }

  ButtonSetSysTime =
      AddButton(QStringLiteral("ButtonSetSysTime"), QStringLiteral("Get System Time"),
                scale.Rect(243, 16, 97, ButtonHeight));
  ButtonOk = AddButton(QStringLiteral("ButtonOk"), QStringLiteral("Set"),
                       scale.Rect(264, 96, 75, ButtonHeight));
  ButtonRTCRead = AddButton(QStringLiteral("ButtonRTCRead"), QStringLiteral("Read"),
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

QLineEdit* ClockPanel::AddEdit(const QString& name, int top, int maxLength,
                               const LayoutScale& scale) {
  auto* edit = new QLineEdit(this);
  edit->setObjectName(name);
  LimitTyping(*edit, maxLength);
  edit->setGeometry(scale.Rect(EditLeft, top, EditWidth, EditHeight));
  return edit;
}

QPushButton* ClockPanel::AddButton(const QString& name, const QString& caption, const QRect& rect) {
  auto* button = new QPushButton(caption, this);
  button->setObjectName(name);
  button->setGeometry(rect);
  return button;
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

void ClockPanel::TakeClockFields() {
  values_.year = StrToInt(EditYear->text());
  values_.month = StrToInt(EditMonth->text());
  values_.date = StrToInt(EditDate->text());
  values_.hour = StrToInt(EditHour->text());
  values_.minute = StrToInt(EditMinute->text());
  values_.second = StrToInt(EditSecond->text());
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

void ClockPanel::ButtonSetSysTimeClick() {
  LoadSystemTime();
  ShowClockFields();
}

void ClockPanel::ButtonOkClick() {
  TakeClockFields();
  // The host may run events meanwhile; the printer gets the values as they were taken.
  ClockRecord values = values_;
  host_.RunPanelOperation(PrinterOperation::SetClock, &values);
}

void ClockPanel::ButtonRTCReadClick() {
  ReadPrinterClock();
  ShowClockFields();
}
