#include "app/status_panels.h"

#include <QLabel>

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
