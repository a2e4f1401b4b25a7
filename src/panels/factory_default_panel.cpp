#include "panels/factory_default_panel.h"

#include <QPushButton>

#include "gui/placed_controls.h"

FactoryDefaultPanel::FactoryDefaultPanel(PanelHost& host, const LayoutScale& scale, QWidget* parent)
    : QGroupBox(tr("Factory Default"), parent), host_(host) {
  setObjectName(QStringLiteral("GroupBox4"));
  // The button's German caption is shorter than the group's: the group names what it resets to.
  ButtonFactoryDefault = AddButton(*this, QStringLiteral("ButtonFactoryDefault"),
                                   tr("Factory Default", "button"), scale.Rect(240, 11, 97, 25));
  connect(ButtonFactoryDefault, &QPushButton::clicked, this,
          &FactoryDefaultPanel::ButtonFactoryDefaultClick);
}

void FactoryDefaultPanel::ButtonFactoryDefaultClick() {
  // The printer resets at once; what the panels show is refreshed only by a read.
  host_.RunPanelOperation(PrinterOperation::FactoryReset, {});
}
