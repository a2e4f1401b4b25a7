#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/application.h"
#include "app/status_panels.h"
#include "link/network_stream.h"
#include "panels/ethernet_panel.h"
#include "support/window_harness.h"

namespace {

using namespace std::chrono_literals;

const QDateTime FixedNow = MainWindowOverTcp::PcNow;

// The main window with a recorder for its messages, over a link whose only working kind is a
// TCP connection to the virtual printer.
class MainWindowTest : public MainWindowOverTcp {
 protected:
  void Select(const QString& interfaceText) {
    Find<QComboBox>("ComboBoxInterFace")->setEditText(interfaceText);
  }
  bool WaitReceived(std::uint64_t count) { return sim_.WaitReceived(count); }
};

TEST_F(MainWindowTest, Frame_IsTheFixedCaptionedWindowAt60_60) {
  Open(false);
  EXPECT_EQ(window_->windowTitle(), "Q73580 Utility");
  EXPECT_EQ(window_->pos(), QPoint(60, 60));
  EXPECT_EQ(window_->minimumSize(), window_->maximumSize());
  EXPECT_FALSE(window_->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(window_->windowFlags() & Qt::WindowMinimizeButtonHint);
  const QSize client = window_->centralWidget()->size();
  EXPECT_NEAR(client.width() * 485.0 / 568.0, client.height(), 2.0);
  EXPECT_GE(client.width(), 568);
  auto* about = window_->findChild<QAction*>(QStringLiteral("About1"));
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(about->text(), "About");
}

TEST_F(MainWindowTest, StartWithoutPrinter_OpensSilentlyWithPcTimeAndNetworkDefaults) {
  Open(false);
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(sim_->AcceptedConnections(), 0u);
  EXPECT_EQ(Text("EditYear"), "2026");
  EXPECT_EQ(Text("EditMonth"), "12");
  EXPECT_EQ(Text("EditDate"), "7");
  EXPECT_EQ(Text("EditSecond"), "9");
  EXPECT_TRUE(Find<QRadioButton>("RadioDHCP")->isChecked());
  for (const char* edit : {"EditIP", "EditMask", "EditGateWay"}) {
    EXPECT_EQ(Text(edit), "0.0.0.0");
    EXPECT_FALSE(Find<QLineEdit>(edit)->isEnabled());
  }
  EXPECT_EQ(Text("EditPrinterName"), "");
}

TEST_F(MainWindowTest, StatusBar_ShowsLinkSettingsAndTheClockTick) {
  Open(false);
  EXPECT_EQ(window_->StatusPanelText(0), "LPT1");
  EXPECT_EQ(window_->StatusPanelText(1), "COM1 9600,N,8,1 RTS ");
  EXPECT_EQ(window_->StatusPanelText(2), "");  // until the first tick
  EXPECT_EQ(window_->StatusPanelText(3), "");

  SerialSettings& serial = window_->Serial();
  serial.PortName.Assign("COM3");
  serial.BaudIndex = 6;
  serial.ParityIndex = 2;
  serial.DataBitsIndex = 0;
  serial.StopBitsIndex = 2;
  serial.HardwareHandshake = 2;
  serial.SoftwareHandshake = 1;
  window_->LptDevice().Assign("LPT3");
  window_->UpdateStatusBar();
  EXPECT_EQ(window_->StatusPanelText(1), "COM3 115200,E,7,2 RTS/CTS Xon/Xoff");
  EXPECT_EQ(window_->StatusPanelText(0), "LPT3");

  window_->Timer1Timer();
  const QLocale locale;
  EXPECT_TRUE(window_->StatusPanelText(2).startsWith(
      locale.toString(FixedNow.date(), QLocale::ShortFormat) + ' '));
  EXPECT_TRUE(window_->StatusPanelText(2).contains("05"));
  EXPECT_EQ(window_->StatusPanelText(3), "");

  // Indices out of range show the port's fallbacks.
  serial.BaudIndex = 9;
  serial.ParityIndex = -1;
  serial.DataBitsIndex = 4;
  serial.StopBitsIndex = 7;
  serial.HardwareHandshake = 5;
  serial.SoftwareHandshake = 2;
  window_->UpdateStatusBar();
  EXPECT_EQ(window_->StatusPanelText(1), "COM3 9600,N,8,1 RTS/CTS ");
}

// The zone leaves no trace, whether the locale puts it in brackets, after a comma or first.
TEST(StatusBarTime, LongTimeWithoutZone_LeavesNoBracketsOrSeparators) {
  const QTime time(13, 4, 5);
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"es_ES", "13:04:05"}, {"ca_ES", "13:04:05"},        {"hr_HR", "13:04:05"},
      {"be_BY", "13:04:05"}, {"nds_DE", "Klock 13.04:05"}, {"zh_CN", "13:04:05"},
      {"de_DE", "13:04:05"}, {"en_US", "1:04:05 PM"},
  };
  for (const auto& [name, shown] : cases) {
    EXPECT_EQ(LongTimeWithoutZone(QLocale(QLatin1String(name)), time), QString::fromUtf8(shown))
        << name;
  }
}

// Stable device paths are longer than their panels: each shows the end of its path, where such
// paths differ, and the serial settings after it; the panels keep their places.
TEST_F(MainWindowTest, StatusBar_ShowsTheEndOfALongDevicePath) {
  Open(false);
  auto panel = [this](int i) {
    return Find<QLabel>(QStringLiteral("StatusBar1Panel%1").arg(i).toLatin1().constData());
  };
  const QString com =
      QStringLiteral("/dev/serial/by-id/usb-Maker_Printer_0123456789ABCDEF-if00-port0");
  const QString lpt = QStringLiteral("/dev/usb/by-path/pci-0000:00:14.0-usb-0:2:1.0-lp0");
  window_->Serial().PortName.Assign(com.toStdString());
  window_->LptDevice().Assign(lpt.toStdString());
  std::vector<QRect> places;
  for (int i = 0; i < 4; ++i) {
    places.push_back(panel(i)->geometry());
  }
  window_->UpdateStatusBar();

  const QString summary = com + QStringLiteral(" 9600,N,8,1 RTS ");
  EXPECT_EQ(window_->StatusPanelText(0), lpt);
  EXPECT_EQ(window_->StatusPanelText(1), summary);
  for (const auto& [i, full] : {std::pair{0, lpt}, std::pair{1, summary}}) {
    const QString shown = panel(i)->text();
    EXPECT_TRUE(shown.startsWith(QChar(0x2026))) << shown.toStdString();
    EXPECT_TRUE(full.endsWith(shown.mid(1))) << shown.toStdString();
    EXPECT_LE(panel(i)->fontMetrics().horizontalAdvance(shown), panel(i)->contentsRect().width());
    EXPECT_EQ(panel(i)->toolTip(), full);
  }
  EXPECT_TRUE(panel(1)->text().endsWith(QStringLiteral("-port0 9600,N,8,1 RTS ")));
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(panel(i)->geometry(), places[static_cast<std::size_t>(i)]);
  }
}

struct EnableCase {
  const char* typed;
  int kind;
  bool setup;
  bool reads;
};

class InterfaceEnableTest : public MainWindowTest,
                            public ::testing::WithParamInterface<EnableCase> {};

TEST_P(InterfaceEnableTest, SelectionSetsSetupAndReadButtons) {
  Open(false);
  const EnableCase& c = GetParam();
  Select("LPT");  // a state every row changes, except typed text that selects nothing
  Select(QString::fromLatin1(c.typed));
  EXPECT_EQ(static_cast<int>(window_->CurrentLinkKind()), c.kind);
  EXPECT_EQ(Find<QPushButton>("ButtonInterFace")->isEnabled(), c.setup);
  EXPECT_EQ(Find<QPushButton>("ButtonRTCRead")->isEnabled(), c.reads);
  EXPECT_EQ(Find<QPushButton>("ButtonEtherRead")->isEnabled(), c.reads);
  EXPECT_TRUE(Find<QPushButton>("ButtonSetIP")->isEnabled());
  EXPECT_TRUE(Find<QPushButton>("ButtonOk")->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Table, InterfaceEnableTest,
    ::testing::Values(EnableCase{"USB", 0, false, true}, EnableCase{"COM", 1, true, true},
                      EnableCase{"LPT", 2, true, false}, EnableCase{"ETHERNET", 3, true, true},
                      EnableCase{"ethernet", 3, true, true}, EnableCase{"SERIAL", -1, true, false},
                      EnableCase{"", -1, true, false}));

TEST_F(MainWindowTest, NoInterfaceSelected_EveryPrinterButtonReportsOpenPortError) {
  Open(false);
  Select("nothing");
  for (const char* button : {"ButtonOk", "ButtonRTCRead", "ButtonSetIP", "ButtonEtherRead",
                             "ButtonSetPrinterName", "ButtonFactoryDefault"}) {
    Click(button);
  }
  EXPECT_EQ(messages_, std::vector<QString>(6, QStringLiteral("Open Port Error")));
  EXPECT_EQ(sim_->AcceptedConnections(), 0u);
  EXPECT_TRUE(window_->InputEnabled());
}

TEST_F(MainWindowTest, StartOnTcp_ReadsClockThenNetworkOverOneProbeAndTwoConnections) {
  printer_sim::PrinterState state;
  state.dhcp = true;
  state.lastUsedIp = "10.0.0.7";
  state.name = "Bench-2";
  sim_->SetState(state);
  Open(true);
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(sim_->AcceptedConnections(), 3u);  // the probe, the clock read, the network read
  const std::vector<std::string> received = Received();
  const std::string net = expected::Interface("NET");
  std::vector<std::string> reads = expected::ReadClock(net);
  for (const std::string& line : expected::ReadNetwork(net)) {
    reads.push_back(line);
  }
  EXPECT_EQ(received, reads);  // the probe sends nothing
  EXPECT_EQ(Text("EditIP"), "10.0.0.7");
  EXPECT_FALSE(Find<QLineEdit>("EditIP")->isEnabled());
  EXPECT_EQ(Text("EditPrinterName"), "Bench-2");
  EXPECT_TRUE(window_->InputEnabled());
}

TEST_F(MainWindowTest, StartOnTcp_AFailingClockReadStillReadsTheNetwork) {
  printer_sim::FaultSwitches faults;
  faults.silentOn.insert("DIAGNOSTIC REPORT MINUTE");
  sim_->SetFaults(faults);
  Open(true);
  EXPECT_EQ(messages_, std::vector<QString>{QStringLiteral("Receive Data Error")});
  EXPECT_EQ(enabledDuringMessage_, std::vector<bool>{false});
  EXPECT_EQ(Text("EditYear"), "2026");  // the PC's time stays
  EXPECT_EQ(Text("EditMinute"), "5");
  EXPECT_EQ(Text("EditPrinterName"), "Q73580");
  EXPECT_TRUE(window_->InputEnabled());
}

TEST_F(MainWindowTest, Buttons_SendTheirCommandsAndLeaveTheWindowEnabled) {
  Open(true);
  sim_->ClearLog();
  Click("ButtonSetSysTime");  // the fields held the printer's clock; now the PC's
  Click("ButtonOk");
  Click("ButtonFactoryDefault");  // the network buttons' commands: ethernet_panel_test
  ASSERT_TRUE(WaitReceived(2));
  EXPECT_EQ(Received(), (std::vector<std::string>{expected::SetClock("12,07,26,11,05,09"),
                                                  expected::FactoryDefaults()}));
  EXPECT_TRUE(messages_.empty());
  EXPECT_TRUE(window_->InputEnabled());
}

TEST_F(MainWindowTest, FailedOperations_ShowTheirMessageWhileDisabledThenEnable) {
  Open(true);
  sim_->Stop();
  Click("ButtonRTCRead");
  Click("ButtonFactoryDefault");
  EXPECT_EQ(messages_, std::vector<QString>(2, QStringLiteral("Open Port Error")));
  EXPECT_EQ(enabledDuringMessage_, std::vector<bool>(2, false));
  EXPECT_TRUE(window_->InputEnabled());
}

// The fixed message stays; why the link did not open stands under it.
TEST_F(MainWindowTest, OpenPortError_ShowsTheCauseAsTheMessageDetail) {
  Open(true);
  const quint16 port = sim_->TcpPort();
  sim_->Stop();
  Click("ButtonEtherRead");
  EXPECT_EQ(messages_, std::vector<QString>{QStringLiteral("Open Port Error")});
  EXPECT_EQ(
      details_,
      std::vector<QString>{
          QStringLiteral("127.0.0.1:%1: connection refused (nothing listens there)").arg(port)});
}

TEST_F(MainWindowTest, BadNumber_ShowsTheConversionErrorAndSendsNothing) {
  Open(true);
  sim_->ClearLog();
  Find<QLineEdit>("EditMonth")->clear();
  Click("ButtonOk");
  EXPECT_EQ(errors_, std::vector<QString>{QStringLiteral("'' is not a valid integer value.")});
  EXPECT_EQ(sim_->ReceivedCount(), 0u);
  EXPECT_TRUE(window_->InputEnabled());

  // The program goes on: the next action works.
  Find<QLineEdit>("EditMonth")->setText("12");
  Click("ButtonOk");
  EXPECT_TRUE(WaitReceived(1));
}

TEST_F(MainWindowTest, AboutWindow_OpensModallyAndItsButtonClosesIt) {
  Open(false);
  QString title;
  QString caption;
  WithModal(
      "FormAbout",
      [&](QWidget* about) {
        title = about->windowTitle();
        auto* button = Named<QPushButton>(about, "Button1");
        caption = button->text();
        button->click();
      },
      [this] { window_->findChild<QAction*>(QStringLiteral("About1"))->trigger(); });
  EXPECT_EQ(title, "Tool Box About ");
  EXPECT_EQ(caption, "Version 1.00");
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// An object whose event handling fails the way a bug in a handler would.
class FailingReceiver : public QObject {
 public:
  bool event(QEvent*) override { throw std::runtime_error("handler failed"); }
};

TEST_F(MainWindowTest, ErrorsEscapingHandlersAreShownAndTheProgramGoesOn) {
  FailingReceiver receiver;
  QEvent event(QEvent::User);
  EXPECT_FALSE(QCoreApplication::sendEvent(&receiver, &event));
  EXPECT_EQ(errors_, std::vector<QString>{QStringLiteral(
                         "An unexpected error stopped this action: handler failed")});
}

TEST_F(MainWindowTest, StartUpThatFails_IsShownAndEndsWithANonZeroCode) {
  auto* app = static_cast<Q73580Application*>(qApp);
  const int code = RunApplication(
      *app, []() -> std::unique_ptr<QWidget> { throw std::runtime_error("no window today"); });
  EXPECT_EQ(code, 1);
  EXPECT_EQ(errors_, std::vector<QString>{
                         QStringLiteral("An unexpected error ended the program: no window today")});
}

}  // namespace
