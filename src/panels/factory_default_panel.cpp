#include "panels/factory_default_panel.h"

#include <QPushButton>

FactoryDefaultPanel::FactoryDefaultPanel(PanelHost& host, const LayoutScale& scale, QWidget* parent)
    : QGroupBox(QStringLiteral("Factory Default"), parent), host_(host) {
  setObjectName(QStringLiteral("GroupBox4"));
  ButtonFactoryDefault = new QPushButton(QStringLiteral("Factory Default"), this);
  ButtonFactoryDefault->setObjectName(QStringLiteral("ButtonFactoryDefault"));
  ButtonFactoryDefault->setGeometry(scale.Rect(240, 11, 97, 25));
  connect(ButtonFactoryDefault, &QPushButton::clicked, this,
          &FactoryDefaultPanel::ButtonFactoryDefaultClick);
}

void FactoryDefaultPanel::ButtonFactoryDefaultClick() {
  // The printer resets at once; what the panels show is refreshed only by a read.
  host_.RunPanelOperation(PrinterOperation::FactoryReset, {});
}
