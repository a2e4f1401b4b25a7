#pragma once

#include <QCoreApplication>
#include <QDialog>
#include <array>
#include <span>

#include "gui/layout_scale.h"
#include "link/link_settings.h"
#include "link/serial_choices.h"

class QComboBox;

// Chooses the COM port and its line settings. Edits the caller's record in place, and only
// when "Set" is pressed.
class TFormRs232Setup : public QDialog {
  Q_DECLARE_TR_FUNCTIONS(TFormRs232Setup)

 public:
  static constexpr int PortCount = 30;

  TFormRs232Setup(const LayoutScale& scale, QWidget* parent);

  void AttachSettings(SerialSettings& settings);
  void ShowSettings();
  void TakeSettings();

 private:
  QComboBox* AddList(const char* name, const char* label, int top,
                     std::span<const SerialChoice> items = {});
  void ButtonSetClick();
  void ButtonCancelClick();

  const LayoutScale scale_;
  SerialSettings* settings_ = nullptr;
  QComboBox* comboBoxComPort_ = nullptr;
  // Baud rate, data bits, parity, stop bits, hardware and software handshake.
  std::array<QComboBox*, 6> lineLists_{};
};
