#include "app/status_panels.h"

#include <QLabel>
#include <QLocale>
#include <QRegularExpression>
#include <QTime>

QString LongTimeWithoutZone(const QLocale& locale, const QTime& time) {
  const QString format = locale.timeFormat(QLocale::LongFormat);
  // Letters in quotes are literal text, not the zone.
  QString kept;
  bool quoted = false;
  for (const QChar c : format) {
    if (c == QLatin1Char('\'')) {
      quoted = !quoted;
    } else if (c == QLatin1Char('t') && !quoted) {
      continue;
    }
    kept += c;
  }
  // The zone's brackets go with it ("H:mm:ss (t)"), and so does the separator that stood
  // between it and the time ("HH:mm:ss, t").
  static const QRegularExpression emptyBrackets(QStringLiteral("[(\\[]\\s*[)\\]]"));
  kept.remove(emptyBrackets);
  static const QRegularExpression looseEnds(QStringLiteral("^[\\s,;]+|[\\s,;]+$"));
  kept.remove(looseEnds);
  return locale.toString(time, kept);
}

StatusPanels::StatusPanels(const LayoutScale& scale, QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("StatusBar1"));
  int left = 0;
  for (std::size_t i = 0; i < panels_.size(); ++i) {
    auto* panel = new QLabel(this);
    panel->setObjectName(QStringLiteral("StatusBar1Panel%1").arg(i));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setIndent(scale(2));
    panel->setGeometry(left, 0, scale(PanelWidths[i]), scale(19));
    left += scale(PanelWidths[i]) + scale(2);
    panels_[i] = panel;
  }
}

void StatusPanels::SetPanelText(int panel, const QString& text) {
  panels_.at(static_cast<std::size_t>(panel))->setText(text);
}

QString StatusPanels::PanelText(int panel) const {
  return panels_.at(static_cast<std::size_t>(panel))->text();
}
