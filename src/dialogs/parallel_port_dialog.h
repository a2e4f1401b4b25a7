#pragma once

#include <QCoreApplication>
#include <QDialog>

#include "gui/layout_scale.h"
#include "link/link_settings.h"

class QComboBox;

// Chooses the parallel port. Edits the caller's name in place, and only when "Set" is pressed.
class TFormLPTSetup : public QDialog {
  Q_DECLARE_TR_FUNCTIONS(TFormLPTSetup)

 public:
  static constexpr int PortCount = 4;

  TFormLPTSetup(const LayoutScale& scale, QWidget* parent);

  void AttachSettings(LptDeviceName& deviceName);

 private:
  void ButtonSetClick();
  void ButtonCancelClick();

  LptDeviceName* deviceName_ = nullptr;
  QComboBox* comboBoxLpt_ = nullptr;
};
