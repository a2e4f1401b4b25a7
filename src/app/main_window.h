#pragma once

#include <QCoreApplication>
#include <QDateTime>
#include <QMainWindow>
#include <functional>
#include <optional>

#include "dialogs/net_setup_window.h"
#include "gui/layout_scale.h"
#include "gui/message_sink.h"
#include "link/link_facade.h"
#include "link/link_settings.h"
#include "netsetup/discovery_protocol.h"
#include "panels/panel_host.h"
#include "protocol/printer_records.h"

class QComboBox;
class QPushButton;
class QTimer;
class ClockPanel;
class EthernetPanel;
class FactoryDefaultPanel;
class StatusPanels;

// What the main window takes from outside; tests replace the message box and the clock.
struct MainWindowServices {
  MessageSink showMessage = ShowMessageBox;
  std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
  // Where to look for a printer over the network from the start (the demo's virtual
  // printer); the interface list then starts on "ETHERNET" instead of "USB".
  std::optional<NetTarget> startTarget;
  // Where the TCP/IP Setup window's discovery goes (the broadcast address in the product),
  // and how it opens a printer's web page.
  QHostAddress discoveryDestination = QHostAddress(QHostAddress::Broadcast);
  quint16 discoveryPort = NetSetupPort;
  UrlOpener openUrl = OpenUrlWithDesktop;
};

// The application's window: the clock, Ethernet, interface and factory-default groups, the
// status bar with the link settings and the PC's clock. It owns the link settings for the whole
// run and hands them to the link once; nothing is saved.
class TFormMain : public QMainWindow, public PanelHost {
  Q_DECLARE_TR_FUNCTIONS(TFormMain)

 public:
  static constexpr int ClientWidth = 568;
  static constexpr int ClientHeight = 485;

  using Services = MainWindowServices;

  explicit TFormMain(LinkFacade& link, Services services = Services(), QWidget* parent = nullptr);
  ~TFormMain() override;

  // PanelHost
  CommandResult RunPanelOperation(PrinterOperation operation, OperationRecord record) override;
  void ShowInputError(const QString& text) override;
  QDateTime Now() const override;

  // The link kind the interface list selects now; -1 when typed text matches no item.
  LinkKind CurrentLinkKind() const;
  void UpdateStatusBar();
  void Timer1Timer();
  QString StatusPanelText(int panel) const;
  // False while a printer operation runs.
  bool InputEnabled() const;

  SerialSettings& Serial() { return serial_; }
  LptDeviceName& LptDevice() { return lptDevice_; }
  NetTarget& Target() { return target_; }
  const ClockRecord& ClockValues() const { return clockValues_; }
  const NetConfigRecord& NetworkValues() const { return networkValues_; }
  ClockPanel& Clock() { return *clockPanel_; }
  EthernetPanel& Ethernet() { return *ethernetPanel_; }

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenu();
  void BuildInterfaceGroup(QWidget* client);
  void ComboBoxInterFaceChange();
  void ButtonInterFaceClick();
  void About1Click();
  void ButtonExitClick();
  void SetInputEnabled(bool enabled);
  // Why the link did not open, or a write or reply failed, as `result` says; empty otherwise.
  QString FailureCauseText(CommandResult result) const;

  LinkFacade& link_;
  Services services_;
  LayoutScale scale_;

  SerialSettings serial_;
  LptDeviceName lptDevice_ = DefaultLptDeviceName;
  NetTarget target_;
  ClockRecord clockValues_;
  NetConfigRecord networkValues_;
  bool busy_ = false;

  QComboBox* comboBoxInterFace_ = nullptr;
  QPushButton* buttonInterFace_ = nullptr;
  ClockPanel* clockPanel_ = nullptr;
  EthernetPanel* ethernetPanel_ = nullptr;
  FactoryDefaultPanel* factoryPanel_ = nullptr;
  StatusPanels* statusBar_ = nullptr;
  QTimer* timer1_ = nullptr;
};
