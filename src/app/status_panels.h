#pragma once

#include <QString>
#include <QWidget>
#include <array>

#include "gui/layout_scale.h"

class QLabel;
class QLocale;
class QTime;

// The locale's long time without its time zone, which would not fit the panel: the zone goes
// with the brackets or blanks the locale puts around it ("H:mm:ss (t)" gives "H:mm:ss").
QString LongTimeWithoutZone(const QLocale& locale, const QTime& time);

// The main window's status bar: four sunken panels of fixed widths side by side. They are
// wider together than the window; the last one is cut off at its right edge. A device name
// longer than its panel (panels 0 and 1) shows its end, where device paths differ, after an
// ellipsis; the whole text is the panel's tooltip.
class StatusPanels : public QWidget {
 public:
  static constexpr std::array<int, 4> PanelWidths = {80, 200, 200, 200};

  StatusPanels(const LayoutScale& scale, QWidget* parent);

  void SetPanelText(int panel, const QString& text);
  // The whole text, as it was set.
  QString PanelText(int panel) const;

 private:
  std::array<QLabel*, 4> panels_{};
  std::array<QString, 4> texts_{};
};
