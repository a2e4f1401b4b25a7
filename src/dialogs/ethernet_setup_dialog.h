#pragma once

#include <QCoreApplication>
#include <QDialog>

#include "gui/layout_scale.h"
#include "gui/message_sink.h"
#include "protocol/printer_records.h"

class QButtonGroup;
class QLabel;
class QLineEdit;

// "Ethernet Setup": edits one printer's address mode, addresses and name for the remote change.
// The caller's record is written only by "Set" (and `accepted` by Prepare and "Cancel").
class TFormEthernetSetup : public QDialog {
  Q_DECLARE_TR_FUNCTIONS(TFormEthernetSetup)

 public:
  TFormEthernetSetup(const LayoutScale& scale, QWidget* parent);

  void Prepare(int left, int top, NetConfigRecord& record);
  void UpdateAddressControls(std::uint8_t dhcp);
  // Where the dialog's error boxes go; tests record them.
  void SetMessageSink(MessageSink sink) { showMessage_ = std::move(sink); }

 private:
  void RadioGroupDHCPClick();
  void ButtonOKClick();
  void ButtonCancelClick();

  MessageSink showMessage_ = ShowMessageBox;
  NetConfigRecord* result_ = nullptr;
  NetConfigRecord edited_;
  QButtonGroup* radioGroupDHCP_ = nullptr;
  QLabel* labelIP_ = nullptr;
  QLabel* labelMask_ = nullptr;
  QLabel* labelGateWay_ = nullptr;
  QLineEdit* editIP_ = nullptr;
  QLineEdit* editMask_ = nullptr;
  QLineEdit* editGateWay_ = nullptr;
  QLineEdit* editDeviceName_ = nullptr;
};
