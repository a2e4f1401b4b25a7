#pragma once

#include <QCoreApplication>
#include <QDialog>
#include <QUrl>
#include <cstdint>
#include <functional>

#include "gui/input_error.h"
#include "gui/layout_scale.h"
#include "gui/message_sink.h"
#include "link/link_settings.h"
#include "netsetup/net_setup_exchange.h"

class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// Hands a URL to the platform's default handler (the browser for http); never a shell.
using UrlOpener = std::function<void(const QUrl& url)>;
void OpenUrlWithDesktop(const QUrl& url);

// "TCP/IP Setup": finds printers on the local network, lists them, and sets the host and port
// the network link connects to. Writes the host as soon as a discovery ends, and host and port
// on "Exit".
class TFormNetSetup : public QDialog {
  Q_DECLARE_TR_FUNCTIONS(TFormNetSetup)

 public:
  TFormNetSetup(const LayoutScale& scale, NetSetupExchange exchange, UrlOpener openUrl,
                QWidget* parent);

  void BeginSetup(NetTarget& target);
  void DiscoverPrinters();
  // `arrivedOn`, the interface the reply came in on, is the row's tooltip, and the interface a
  // remote change of its printer goes out of.
  void AddPrinterRow(const std::uint8_t* reply, std::size_t length,
                     const NetInterface& arrivedOn = {});
  void ShowTarget();
  // The host edit, then the port edit, into the target. The host is stored even when the port
  // is then refused.
  InputResult<> StoreTarget();

  std::uint32_t Sequence() const { return sequence_; }
  // The wait for each answer of a remote address change; tests shorten it.
  void SetRemoteWait(int milliseconds) { remoteWaitMs_ = milliseconds; }
  // How long a discovery listens; tests shorten it.
  void SetDiscoveryLimits(DiscoveryLimits limits) { discoveryLimits_ = limits; }
  // Where the window's messages go; tests record them.
  void SetMessageSink(MessageSink sink) { showMessage_ = std::move(sink); }

 private:
  void TakeFirstRowAsHost();
  QTreeWidgetItem* SelectedRow() const;
  void ButtonDiscoverClick();
  void ListView1Click();
  void ButtonSetClick();
  void ButtonChangeIPClick();
  void ButtonBrowserClick();

  const LayoutScale scale_;
  NetSetupExchange exchange_;
  UrlOpener openUrl_;
  NetTarget* target_ = nullptr;
  std::uint32_t sequence_ = 1;
  int remoteWaitMs_ = 3000;
  DiscoveryLimits discoveryLimits_;
  MessageSink showMessage_ = ShowMessageBox;

  QTreeWidget* listView1_ = nullptr;
  QPushButton* buttonDiscover_ = nullptr;
  QPushButton* buttonChangeIP_ = nullptr;
  QLineEdit* editIPAddr_ = nullptr;
  QLineEdit* editPort_ = nullptr;
};
