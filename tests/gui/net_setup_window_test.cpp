#include "dialogs/net_setup_window.h"

#include <gtest/gtest.h>

#include <QCursor>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeWidget>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "network_setup_flow.h"
#include "support/window_harness.h"

namespace {

// The TCP/IP Setup window discovering virtual printers on loopback.
class NetSetupWindowTest : public ::testing::Test {
 protected:
  void StartPrinters(int count) {
    ASSERT_TRUE(sim_.Start(UdpOnly, Printers(count))) << sim_.Error();
    port_ = sim_.UdpPort();
  }

  void Open() {
    window_ = std::make_unique<TFormNetSetup>(
        LayoutScale(), NetSetupExchange(QHostAddress(QHostAddress::LocalHost), port_),
        [this](const QUrl& url) { opened_.push_back(url.toString()); }, nullptr);
    window_->SetMessageSink(RecordBoxes(shown_));
    window_->BeginSetup(target_);
  }

  QTreeWidget* List() { return window_->findChild<QTreeWidget*>(QStringLiteral("ListView1")); }
  QLineEdit* Edit(const char* name) { return window_->findChild<QLineEdit*>(QLatin1String(name)); }
  QPushButton* Button(const char* name) {
    return window_->findChild<QPushButton*>(QLatin1String(name));
  }
  QString Cell(int row, int column) { return List()->topLevelItem(row)->text(column); }

  VirtualPrinter sim_;
  quint16 port_ = 9;  // nothing listens here when no printer is started
  NetTarget target_;
  std::unique_ptr<TFormNetSetup> window_;
  std::vector<QString> opened_;
  std::vector<QString> shown_;  // message boxes
};

TEST_F(NetSetupWindowTest, NoPrinter_OpensWithAnEmptyListAndHost) {
  target_.Host.Assign("old-host");
  target_.Port = 9101;
  Open();
  EXPECT_EQ(List()->topLevelItemCount(), 0);
  EXPECT_EQ(target_.Host, "");
  EXPECT_EQ(Edit("EditIPAddr")->text(), "");
  EXPECT_EQ(Edit("EditPort")->text(), "9101");
  EXPECT_EQ(window_->Sequence(), 2u);
}

TEST_F(NetSetupWindowTest, TwoPrinters_AreListedAndRowZeroBecomesTheHost) {
  StartPrinters(2);
  Open();
  ASSERT_EQ(List()->topLevelItemCount(), 2);
  EXPECT_EQ(List()->currentItem(), List()->topLevelItem(0));
  EXPECT_EQ(target_.Host.View(), Cell(0, 2).toStdString());
  EXPECT_EQ(Edit("EditIPAddr")->text(), Cell(0, 2));
  EXPECT_NE(Cell(0, 1), Cell(1, 1));  // each printer its own MAC
  EXPECT_EQ(Cell(0, 4), "Ready");
}

TEST_F(NetSetupWindowTest, RowClickFillsOnlyTheHostEdit) {
  StartPrinters(2);
  Open();
  const std::string stored(target_.Host.View());
  QTreeWidgetItem* second = List()->topLevelItem(1);
  List()->setCurrentItem(second);
  emit List()->itemClicked(second, 0);
  EXPECT_EQ(Edit("EditIPAddr")->text(), Cell(1, 2));
  EXPECT_EQ(target_.Host.View(), stored);
}

TEST_F(NetSetupWindowTest, DiscoverPutsTheStoredPortBack) {
  StartPrinters(1);
  Open();
  Edit("EditPort")->setText("1234");
  Button("ButtonDiscover")->click();
  EXPECT_EQ(Edit("EditPort")->text(), "9100");
  EXPECT_EQ(List()->topLevelItemCount(), 1);
  EXPECT_EQ(window_->Sequence(), 3u);
}

TEST_F(NetSetupWindowTest, Exit_StoresHostAndPortOrRefusesABadPort) {
  Open();
  Edit("EditIPAddr")->setText("printer-7");
  Edit("EditPort")->setText("91x0");
  Button("ButtonSet")->click();
  EXPECT_EQ(shown_, std::vector<QString>{"'91x0' is not a valid integer value."});
  EXPECT_EQ(target_.Host, "printer-7");  // stored before the port failed
  EXPECT_EQ(target_.Port, 9100);
  for (const char* bad : {"0", "70000", "-1"}) {
    shown_.clear();
    Edit("EditPort")->setText(QLatin1String(bad));
    Button("ButtonSet")->click();
    EXPECT_EQ(shown_, std::vector<QString>{"The port must be a number from 1 to 65535."}) << bad;
    EXPECT_NE(window_->result(), QDialog::Accepted) << bad;
  }
  Edit("EditPort")->setText("9101");
  Button("ButtonSet")->click();
  EXPECT_EQ(target_.Port, 9101);
  EXPECT_EQ(window_->result(), QDialog::Accepted);
  EXPECT_EQ(Edit("EditIPAddr")->maxLength(), 63);
}

TEST_F(NetSetupWindowTest, WebSetup_OpensTheHostEditsPage) {
  Open();
  Edit("EditIPAddr")->setText("192.168.0.20");
  Button("ButtonBrowser")->click();
  Edit("EditIPAddr")->clear();
  Button("ButtonBrowser")->click();
  EXPECT_EQ(opened_, (std::vector<QString>{"http://192.168.0.20", "http://"}));
}

// The product's opener reaches the desktop's URL handler, not a shell.
TEST(OpenUrlWithDesktop, HandsTheUrlToTheDesktopsOpener) {
  if (QGuiApplication::platformName() == QStringLiteral("offscreen")) {
    GTEST_SKIP() << "the offscreen platform opens no URLs; CTest runs this under Xvfb";
  }
  // No blank in the path: the desktop services split the opener's command line at blanks.
  QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/q73580-opener-XXXXXX"));
  ASSERT_TRUE(dir.isValid());
  const QString record = dir.filePath(QStringLiteral("opened"));
  QFile script(dir.filePath(QStringLiteral("xdg-open")));
  ASSERT_TRUE(script.open(QIODevice::WriteOnly));
  script.write(QStringLiteral("#!/bin/sh\nprintf '%s' \"$1\" > '%1.tmp' && mv '%1.tmp' '%1'\n")
                   .arg(record)
                   .toLocal8Bit());
  script.close();
  script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", dir.path().toLocal8Bit() + ':' + path);
  OpenUrlWithDesktop(QUrl(QStringLiteral("http://192.168.0.20")));
  QDeadlineTimer deadline(5000);
  while (!QFile::exists(record) && !deadline.hasExpired()) {
    QThread::msleep(20);
  }
  qputenv("PATH", path);
  QFile opened(record);
  ASSERT_TRUE(opened.open(QIODevice::ReadOnly)) << "the opener was not started";
  EXPECT_EQ(opened.readAll(), "http://192.168.0.20");
}

}  // namespace

namespace {

TEST(NetworkSetupFromMainWindow, ListsThePrinterTakesItAndReadsItsClockOverTcp) {
  printer_sim::SimServerConfig config;
  config.initialState.dhcp = false;
  config.initialState.lastUsedIp = "127.0.0.1";
  VirtualPrinter sim({.udp = true}, config);
  ASSERT_TRUE(sim.Running()) << sim.Error();

  TFormMain::Services services;
  services.discoveryDestination = QHostAddress(QHostAddress::LocalHost);
  services.discoveryPort = sim.UdpPort();
  const NetworkSetupFlow flow = RunNetworkSetupFlow(services, sim.TcpPort());
  EXPECT_EQ(flow.rowsListed, 1);
  EXPECT_EQ(flow.firstRowAddress, "127.0.0.1");
  EXPECT_TRUE(flow.messages.empty());
}

}  // namespace

namespace {

// "Change IP Address", and then in the Ethernet Setup dialog "Set" with a static address and a
// new name, or "Cancel".
void ChangeIp(QPushButton* changeIp, bool set) {
  WithModal(
      "FormEthernetSetup",
      [set](QWidget* dialog) {
        if (set) {
          Named<QRadioButton>(dialog, "RadioStaticIP")->click();
          Named<QLineEdit>(dialog, "EditIP")->setText("192.168.1.50");
          Named<QLineEdit>(dialog, "EditMask")->setText("255.255.255.0");
          Named<QLineEdit>(dialog, "EditGateWay")->setText("192.168.1.1");
          Named<QLineEdit>(dialog, "EditDeviceName")->setText("Desk-9");
        }
        Named<QPushButton>(dialog, set ? "ButtonOK" : "ButtonCancel")->click();
      },
      [changeIp] { changeIp->click(); });
}

TEST_F(NetSetupWindowTest, ChangeIp_CancelKeepsTheListAndSetEmptiesIt) {
  StartPrinters(1);
  Open();
  window_->SetRemoteWait(100);
  const std::uint32_t sequence = window_->Sequence();
  ChangeIp(Button("ButtonChangeIP"), false);
  EXPECT_EQ(List()->topLevelItemCount(), 1);
  EXPECT_EQ(window_->Sequence(), sequence);

  ChangeIp(Button("ButtonChangeIP"), true);
  EXPECT_EQ(List()->topLevelItemCount(), 0);
  EXPECT_EQ(window_->Sequence(), sequence + 1);

  // Nothing selected: nothing happens.
  Button("ButtonChangeIP")->click();
  EXPECT_EQ(window_->Sequence(), sequence + 1);
}

// Ctrl+click takes the selection off the row but leaves it current: the row is no longer chosen.
TEST_F(NetSetupWindowTest, ChangeIp_OnARowDeselectedWithCtrlClick_DoesNothing) {
  StartPrinters(1);
  Open();
  window_->SetRemoteWait(100);
  window_->show();
  Edit("EditIPAddr")->setText("typed");
  QTreeWidgetItem* row = List()->topLevelItem(0);
  QTest::mouseClick(List()->viewport(), Qt::LeftButton, Qt::ControlModifier,
                    List()->visualItemRect(row).center());
  ASSERT_TRUE(List()->selectedItems().isEmpty());
  EXPECT_EQ(Edit("EditIPAddr")->text(), "typed");

  const std::size_t discovery = sim_->ReceivedCommands().size();
  const bool dialog = WithModal(
      "FormEthernetSetup", [](QWidget* modal) { modal->close(); },
      [this] { Button("ButtonChangeIP")->click(); }, 20);
  EXPECT_FALSE(dialog);
  EXPECT_EQ(sim_->ReceivedCommands().size(), discovery);  // nothing sent
  EXPECT_EQ(List()->topLevelItemCount(), 1);
}

}  // namespace

namespace {

// The window while it waits for printers that do not answer: its timers run (so it paints), the
// wait cursor shows and no second exchange can be started; afterwards all is as before.
class NetSetupWindowWaitTest : public NetSetupWindowTest {
 protected:
  struct Moment {
    bool waitCursor;
    bool canStartExchange;  // "Discover Device" or "Change IP Address" enabled
  };

  // One printer, listed by the window's first discovery; silent from then on.
  void OpenOverASilentPrinter() {
    StartPrinters(1);
    Open();
    ASSERT_EQ(List()->topLevelItemCount(), 1);
    printer_sim::FaultSwitches silent;
    silent.udpSilent = true;
    sim_->SetFaults(silent);
  }

  // Runs `act`, noting the window's state every 100 ms meanwhile.
  void Watch(const std::function<void()>& act) {
    QTimer watch;
    watch.callOnTimeout([this] {
      moments_.push_back(
          {QGuiApplication::overrideCursor() != nullptr &&
               QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor,
           Button("ButtonDiscover")->isEnabled() || Button("ButtonChangeIP")->isEnabled()});
    });
    watch.start(100);
    act();
  }

  static bool AnyWaitCursor(const std::vector<Moment>& moments) {
    return std::any_of(moments.begin(), moments.end(), [](Moment m) { return m.waitCursor; });
  }
  static bool AnyCanStart(const std::vector<Moment>& moments) {
    return std::any_of(moments.begin(), moments.end(), [](Moment m) { return m.canStartExchange; });
  }
  void ExpectAllBack() {
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(Button("ButtonDiscover")->isEnabled());
    EXPECT_TRUE(Button("ButtonChangeIP")->isEnabled());
  }

  std::vector<Moment> moments_;
};

TEST_F(NetSetupWindowWaitTest, DiscoveryNobodyAnswers) {
  ASSERT_NO_FATAL_FAILURE(OpenOverASilentPrinter());
  Watch([this] { Button("ButtonDiscover")->click(); });
  ASSERT_FALSE(moments_.empty()) << "no timer ran during the wait";
  EXPECT_TRUE(AnyWaitCursor(moments_));
  EXPECT_FALSE(AnyCanStart(moments_));
  EXPECT_EQ(List()->topLevelItemCount(), 0);
  ExpectAllBack();
}

// Block reads and writes unanswered: the wait cursor for both, none over the Ethernet Setup
// dialog, and the failure told with the normal cursor back.
TEST_F(NetSetupWindowWaitTest, ChangeIpNobodyAnswers) {
  ASSERT_NO_FATAL_FAILURE(OpenOverASilentPrinter());
  window_->SetRemoteWait(500);
  std::size_t beforeDialog = 0;
  bool cursorOverDialog = true;
  bool cursorOverMessage = true;
  window_->SetMessageSink([&](QWidget*, const QString& text, MessageKind) {
    cursorOverMessage = QGuiApplication::overrideCursor() != nullptr;
    shown_.push_back(text);
  });
  const bool opened = WithModal(
      "FormEthernetSetup",
      [&](QWidget* dialog) {
        beforeDialog = moments_.size();
        cursorOverDialog = QGuiApplication::overrideCursor() != nullptr;
        // Nothing was read: under DHCP the empty addresses go out as 0.0.0.0.
        Named<QRadioButton>(dialog, "RadioDHCP")->click();
        Named<QPushButton>(dialog, "ButtonOK")->click();
      },
      [this] { Watch([this] { Button("ButtonChangeIP")->click(); }); });
  ASSERT_TRUE(opened);
  const std::vector<Moment> reads(moments_.begin(), moments_.begin() + beforeDialog);
  const std::vector<Moment> writes(moments_.begin() + beforeDialog, moments_.end());
  EXPECT_TRUE(AnyWaitCursor(reads));
  EXPECT_TRUE(AnyWaitCursor(writes));
  EXPECT_FALSE(cursorOverDialog);
  EXPECT_FALSE(AnyCanStart(moments_));
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_TRUE(shown_[0].startsWith("The printer did not confirm the change."))
      << shown_[0].toStdString();
  EXPECT_FALSE(cursorOverMessage);
  ExpectAllBack();
}

// The window deleted while it waits (events run meanwhile): the wait ends without touching it,
// no Ethernet Setup dialog opens on what is left, and the cursor comes back.
class NetSetupWindowDeletedMidWait : public NetSetupWindowWaitTest,
                                     public ::testing::WithParamInterface<const char*> {};

TEST_P(NetSetupWindowDeletedMidWait, EndsCleanly) {
  ASSERT_NO_FATAL_FAILURE(OpenOverASilentPrinter());
  window_->SetRemoteWait(500);
  QPushButton* button = Button(GetParam());
  QTimer::singleShot(300, [this] { window_.reset(); });
  const bool dialog = WithModal(
      "FormEthernetSetup", [](QWidget* modal) { modal->close(); }, [button] { button->click(); },
      150);
  EXPECT_FALSE(dialog);
  EXPECT_FALSE(window_) << "the window outlived the wait";
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Exchanges, NetSetupWindowDeletedMidWait,
                         ::testing::Values("ButtonDiscover", "ButtonChangeIP"),
                         [](const auto& info) { return std::string(info.param + 6); });

}  // namespace
