#include "app/status_panels.h"

#include <QFontMetrics>
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

namespace {

// The panels that show device names: the parallel device and the serial summary.
constexpr std::size_t DevicePanels = 2;

}  // namespace

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
  const auto index = static_cast<std::size_t>(panel);
  QLabel* label = panels_.at(index);
  texts_.at(index) = text;
  QString shown = text;
  if (index < DevicePanels) {
    const int room = label->contentsRect().width() - 2 * label->indent();
    shown = label->fontMetrics().elidedText(text, Qt::ElideLeft, room);
  }
  label->setText(shown);
  label->setToolTip(shown == text ? QString() : text);
}

QString StatusPanels::PanelText(int panel) const {
  return texts_.at(static_cast<std::size_t>(panel));
}
