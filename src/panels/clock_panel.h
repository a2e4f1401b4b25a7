#pragma once

#include <QCoreApplication>
#include <QGroupBox>

#include "gui/input_error.h"
#include "gui/layout_scale.h"
#include "panels/panel_host.h"

class QLabel;
class QLineEdit;
class QPushButton;

// "RTC Setup": the printer's clock as six editable numbers. The values live in the main
// window's ClockValues; the edits only show them and take them back on "Set".
class ClockPanel : public QGroupBox {
  Q_DECLARE_TR_FUNCTIONS(ClockPanel)

 public:
  ClockPanel(PanelHost& host, ClockRecord& values, const LayoutScale& scale,
             QWidget* parent = nullptr);

  // ClockValues from the PC's clock; the edits are left alone.
  void LoadSystemTime();
  // The six values into the edits as plain decimal numbers.
  void ShowClockFields();
  // Year to Second from the edits into ClockValues, each stored as soon as it converts, so a
  // bad field leaves the ones before it already taken; the refusal says which text failed.
  InputResult<> TakeClockFields();
  // Reads the printer's clock; ClockValues changes only when the whole read succeeded.
  CommandResult ReadPrinterClock();

  // "Read" is offered only where the link can answer (not over the parallel port).
  void SetReadEnabled(bool enabled);

  void ButtonSetSysTimeClick();
  void ButtonOkClick();
  void ButtonRTCReadClick();

 private:
  PanelHost& host_;
  ClockRecord& values_;  // the main window's ClockValues

  QLineEdit* EditYear;
  QLineEdit* EditMonth;
  QLineEdit* EditDate;
  QLineEdit* EditHour;
  QLineEdit* EditMinute;
  QLineEdit* EditSecond;
  QPushButton* ButtonSetSysTime;
  QPushButton* ButtonOk;
  QPushButton* ButtonRTCRead;
};
