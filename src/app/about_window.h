#pragma once

#include <QCoreApplication>
#include <QDialog>

#include "gui/layout_scale.h"

// The About window: one large button that closes it.
class TFormAbout : public QDialog {
  Q_DECLARE_TR_FUNCTIONS(TFormAbout)

 public:
  TFormAbout(const LayoutScale& scale, QWidget* parent);

 private:
  void Button1Click();
};
