#pragma once

#include <QCoreApplication>
#include <QGroupBox>

#include "gui/input_error.h"
#include "gui/layout_scale.h"
#include "panels/panel_host.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// "Ethernet Setup": DHCP or a static address, and the printer's name. The values live in the
// main window's NetworkValues; the edits show them and take them back on "Set IP" and
// "Set Printer Name".
class EthernetPanel : public QGroupBox {
  Q_DECLARE_TR_FUNCTIONS(EthernetPanel)

 public:
  EthernetPanel(PanelHost& host, NetConfigRecord& values, const LayoutScale& scale,
                QWidget* parent = nullptr);

  // 0 for DHCP, 1 for a static address, -1 while neither is chosen.
  int RadioIndex() const;

  // NetworkValues back to DHCP, addresses 0.0.0.0, no name; the edits are left alone.
  void ResetNetworkFields();
  // The DHCP choice and the three addresses into the controls; the addresses are greyed while
  // DHCP is on. The printer name edit is left alone.
  void ShowNetworkFields();
  // The four edits and the DHCP choice into NetworkValues. A text the printer cannot take is
  // refused and left out; the texts before it are already stored then.
  InputResult<> TakeNetworkFields();
  // Reads the printer's network settings; NetworkValues changes only when the whole read
  // succeeded. The printer name edit shows NetworkValues' name afterwards either way.
  CommandResult ReadPrinterNetwork();

  // "Read" is offered only where the link can answer (not over the parallel port).
  void SetReadEnabled(bool enabled);

  void RadioGroupDHCPClick();
  void ButtonEtherReadClick();
  void ButtonSetIPClick();
  void ButtonSetPrinterNameClick();

 private:
  PanelHost& host_;
  NetConfigRecord& values_;  // the main window's NetworkValues

  QGroupBox* RadioGroupDHCP;
  QRadioButton* RadioDHCP;
  QRadioButton* RadioStaticIP;
  QButtonGroup* radioButtons_;
  QLabel* LabelIP;
  QLineEdit* EditIP;
  QLabel* LabelMask;
  QLineEdit* EditMask;
  QLabel* LabelGateWay;
  QLineEdit* EditGateWay;
  QPushButton* ButtonSetIP;
  QPushButton* ButtonEtherRead;
  QLabel* Label7;
  QLineEdit* EditPrinterName;
  QPushButton* ButtonSetPrinterName;
};
