#pragma once

#include <QCoreApplication>
#include <QGroupBox>

#include "gui/layout_scale.h"
#include "panels/panel_host.h"

class QPushButton;

// "Factory Default": one button that restores the printer's factory settings.
class FactoryDefaultPanel : public QGroupBox {
  Q_DECLARE_TR_FUNCTIONS(FactoryDefaultPanel)

 public:
  FactoryDefaultPanel(PanelHost& host, const LayoutScale& scale, QWidget* parent = nullptr);

  void ButtonFactoryDefaultClick();

 private:
  PanelHost& host_;
  QPushButton* ButtonFactoryDefault;
};
