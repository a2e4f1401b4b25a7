#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/net_setup_window.h"
#include "hostile_input.h"
#include "printer-sim/udp_config_blocks.h"

namespace {

// ---- The TCP/IP Setup window: the host and port edits, "Exit" and "Web Setup" ----

class HostileNetSetupWindow : public ::testing::TestWithParam<InputRow> {
 protected:
  void SetUp() override {
    // Nothing answers on port 9 of this host; a short discovery finds no printer.
    window_ = std::make_unique<TFormNetSetup>(
        LayoutScale(), NetSetupExchange(QHostAddress(QHostAddress::LocalHost), 9),
        [this](const QUrl& url) { opened_.push_back(url.toString()); }, nullptr);
    window_->SetDiscoveryLimits(DiscoveryLimits{50, 500, 10});
    window_->SetMessageSink(RecordBoxes(errors_));
    window_->BeginSetup(target_);
    window_->show();
  }
  void TearDown() override { window_.reset(); }

  QLineEdit* Edit(const char* name) { return Named<QLineEdit>(window_.get(), name); }

  std::vector<QString> errors_;
  RecordErrors recordErrors_{errors_};
  NetTarget target_;
  std::unique_ptr<TFormNetSetup> window_;
  std::vector<QString> opened_;
};

TEST_P(HostileNetSetupWindow, IsStoredOrOpenedWholeOrRefusedWithAMessage) {
  const InputRow& row = GetParam();
  Edit("EditIPAddr")->setText(QStringLiteral("127.0.0.1"));
  Edit("EditPort")->setText(QStringLiteral("9101"));
  const QString input = HostileText(row.input);
  QLineEdit* edit = Edit(row.edit);
  Enter(edit, input, row.entry);
  EXPECT_EQ(edit->text(), input.left(edit->maxLength()));
  const QString expected = ExpectedText(row.expected, edit->text());
  const bool hostRow = std::string(row.edit) == "EditIPAddr";
  const bool exitRow = std::string(row.button) == "ButtonSet";

  QTest::mouseClick(Named<QPushButton>(window_.get(), row.button), Qt::LeftButton);

  if (row.outcome == Outcome::Refused) {
    EXPECT_EQ(errors_, std::vector<QString>{expected});
    EXPECT_TRUE(opened_.empty());
    EXPECT_TRUE(window_->isVisible()) << "the window closed over a refused text";
    EXPECT_TRUE(window_->isEnabled());
    // The host goes first: a bad port leaves it stored, a bad host leaves everything.
    EXPECT_EQ(target_.Host, exitRow && !hostRow ? "127.0.0.1" : "");
    EXPECT_EQ(target_.Port, 9100);
    return;
  }
  EXPECT_TRUE(errors_.empty()) << errors_.front().toStdString();
  if (exitRow) {
    const QByteArray host = expected.toLatin1();
    EXPECT_EQ(target_.Host.View(), std::string_view(host.constData(), host.size()));
    EXPECT_EQ(target_.Port, row.port);
    EXPECT_EQ(window_->result(), QDialog::Accepted);
    EXPECT_TRUE(opened_.empty());
  } else {
    EXPECT_EQ(opened_, std::vector<QString>{expected});
    EXPECT_EQ(target_.Host, "");  // "Web Setup" stores nothing
  }
}

constexpr const char* HostMarksRefused =
    "The IP address or printer name may not contain quotation marks or control characters.";
constexpr const char* NotAnInteger = "'{text}' is not a valid integer value.";
constexpr const char* PortRange = "The port must be a number from 1 to 65535.";

INSTANTIATE_TEST_SUITE_P(
    HostAndPort, HostileNetSetupWindow,
    ::testing::ValuesIn(Rows(
        "ButtonSet",
        {
            {"EditIPAddr", "letters1000", AnyEntry, Sent, Letters63},
            {"EditIPAddr", "empty", Paste, Sent, ""},
            {"EditIPAddr", "blanks", Keys, Sent, "   "},
            {"EditIPAddr", "latin1", Keys, Sent, "{text}"},
            {"EditIPAddr", "=printer-7", Keys, Sent, "printer-7"},
            {"EditIPAddr", "=192.168.1.256", Keys, Refused,
             "The IP address '192.168.1.256' must be four numbers from 0 to 255 joined by dots, "
             "such as 192.168.1.50."},
            {"EditIPAddr", "quote", Keys, Refused, HostMarksRefused},
            {"EditIPAddr", "cr", Paste, Refused, HostMarksRefused},
            {"EditIPAddr", "=127.0.0.1\r\n", Clipboard, Refused, HostMarksRefused},
            {"EditIPAddr", "tab", Paste, Refused, HostMarksRefused},
            {"EditIPAddr", "nul", Clipboard, Refused, HostMarksRefused},
            {"EditIPAddr", "esc", Paste, Refused, HostMarksRefused},
            {"EditIPAddr", "del", Paste, Refused, HostMarksRefused},
            {"EditIPAddr", "c1", Paste, Refused, HostMarksRefused},
            {"EditIPAddr", "cyrillic", Keys, Refused,
             "The IP address or printer name contains '\xd0\x9f', which the printer cannot take."},
            {"EditIPAddr", "emoji", Clipboard, Refused,
             "The IP address or printer name contains '\xf0\x9f\x96\xa8', which the printer "
             "cannot take."},
            {"EditPort", "digits1000", AnyEntry, Refused, NotAnInteger},
            {"EditPort", "empty", Paste, Refused, NotAnInteger},
            {"EditPort", "blanks", Keys, Refused, NotAnInteger},
            {"EditPort", "=9\"1", Keys, Refused, NotAnInteger},
            {"EditPort", "=9101\r\n", Clipboard, Refused, NotAnInteger},
            {"EditPort", "=91\t01", Paste, Refused, NotAnInteger},
            {"EditPort", "=\xd9\xa9\xd9\xa1", Keys, Refused, NotAnInteger},  // Arabic-Indic 91
            {"EditPort", "=99999999999999999999", Keys, Refused, NotAnInteger},
            {"EditPort", "=2147483648", Keys, Refused, NotAnInteger},
            {"EditPort", "=-9100", Keys, Refused, PortRange},
            {"EditPort", "=0", Keys, Refused, PortRange},
            {"EditPort", "=65536", Keys, Refused, PortRange},
            {"EditPort", "=+9102", Keys, Sent, "127.0.0.1", 9102},
            {"EditPort", "= 9102", Keys, Sent, "127.0.0.1", 9102},
            {"EditPort", "=65535", Keys, Sent, "127.0.0.1", 65535},
        })));

constexpr const char* NoWebPage = "No web page can be opened at '{text}'.";

INSTANTIATE_TEST_SUITE_P(
    WebSetup, HostileNetSetupWindow,
    ::testing::ValuesIn(
        Rows("ButtonBrowser",
             {
                 {"EditIPAddr", "=192.168.0.20", Keys, Sent, "http://192.168.0.20"},
                 {"EditIPAddr", "empty", Paste, Sent, "http://"},
                 {"EditIPAddr", "letters1000", Paste, Sent, std::string("http://") + Letters63},
                 // A quotation mark after the host goes out encoded, never as itself.
                 {"EditIPAddr", "=192.168.0.20/?x=\"", Keys, Sent, "http://192.168.0.20/?x=%22"},
                 // A name beyond ASCII goes out in its international (ASCII) form.
                 {"EditIPAddr", "cyrillic", Keys, Sent, "http://xn--e1afpgfdm"},
                 {"EditIPAddr", "emoji", Keys, Sent, "http://xn--lab-r623b"},
                 {"EditIPAddr", "blanks", Keys, Refused, NoWebPage},
                 {"EditIPAddr", "quote", Keys, Refused, NoWebPage},
                 {"EditIPAddr", "lf", Clipboard, Refused, NoWebPage},
                 {"EditIPAddr", "nul", Paste, Refused, NoWebPage},
                 {"EditIPAddr", "=192.168.0.20:port", Keys, Refused, NoWebPage},
                 {"EditIPAddr", "=192.168.1.256/", Keys, Refused, NoWebPage},
             })));

// ---- The Ethernet Setup dialog, opened by "Change IP Address" for a virtual printer ----

// The TCP/IP Setup window listing one virtual printer on loopback, ready for "Change IP Address".
class EthernetSetupOverUdp : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(StartPrinter("Bench-2")); }
  void TearDown() override { window_.reset(); }

  void StartPrinter(const char* name) {
    printer_sim::SimServerConfig config;
    printer_sim::ApplyStaticAddress(config.initialState, "192.168.7.50", "255.255.0.0",
                                    "192.168.7.1");
    config.initialState.name = name;
    window_.reset();
    ASSERT_TRUE(sim_.Start(UdpOnly, config)) << sim_.Error();
    window_ = std::make_unique<TFormNetSetup>(
        LayoutScale(), NetSetupExchange(QHostAddress(QHostAddress::LocalHost), sim_->UdpPort()),
        [](const QUrl&) {}, nullptr);
    window_->SetRemoteWait(3000);                   // an upper bound: the printer answers at once
    window_->SetMessageSink(RecordBoxes(errors_));  // the Ethernet Setup dialog's too
    before_ = sim_->State();
    // The printer's row as a discovery lists it.
    auto* list = Named<QTreeWidget>(window_.get(), "ListView1");
    auto* row = new QTreeWidgetItem(
        list, QStringList{QString::fromLatin1(before_.name), QString::fromStdString(before_.mac),
                          QStringLiteral("127.0.0.1"), QStringLiteral("Q73580"),
                          QStringLiteral("Ready")});
    list->setCurrentItem(row);
  }

  // "Change IP Address"; `answer` runs once the dialog is up. False when it never came up.
  bool ChangeIp(const std::function<void(QWidget* dialog)>& answer) {
    return WithModal(
        "FormEthernetSetup", answer,
        [this] { Named<QPushButton>(window_.get(), "ButtonChangeIP")->click(); }, 500);
  }

  // The block numbers of what reached the printer, reads as "r4", writes as "w0".
  std::vector<std::string> Datagrams() const {
    std::vector<std::string> blocks;
    for (const auto& entry : sim_->ReceivedCommands()) {
      const auto request = printer_sim::ParseBlockRequest(entry.raw);
      blocks.push_back(request ? (request->write ? "w" : "r") + std::to_string(request->block)
                               : "?");
    }
    return blocks;
  }

  static void Click(QWidget* dialog, const char* button) {
    QTest::mouseClick(Named<QPushButton>(dialog, button), Qt::LeftButton);
  }

  std::vector<QString> errors_;
  RecordErrors recordErrors_{errors_};
  VirtualPrinter sim_;
  std::unique_ptr<TFormNetSetup> window_;
  printer_sim::PrinterState before_;
};

const std::vector<std::string> ReadsOnly = {"r4", "r5"};
const std::vector<std::string> ReadsAndWrites = {"r4", "r5", "w0", "w4", "w5", "w7"};

class HostileEthernetSetup : public EthernetSetupOverUdp,
                             public ::testing::WithParamInterface<InputRow> {};

// What the remote change can alter of the printer, in a form that failures show readably.
std::string Settings(const printer_sim::PrinterState& state) {
  return (state.dhcp ? "dhcp " : "static ") + state.ip + " " + state.mask + " " + state.gateway +
         " '" + state.name + "'";
}

// The printer's field that an edit of the dialog writes.
std::string PrinterField(const printer_sim::PrinterState& state, const std::string& edit) {
  if (edit == "EditIP") {
    return state.ip;
  }
  if (edit == "EditMask") {
    return state.mask;
  }
  return edit == "EditGateWay" ? state.gateway : state.name;
}

TEST_P(HostileEthernetSetup, IsWrittenWholeOrRefusedWithTheDialogStillOpen) {
  const InputRow& row = GetParam();
  const QString input = HostileText(row.input);
  QString shown;
  bool stayedOpen = false;
  ASSERT_TRUE(ChangeIp([&](QWidget* dialog) {
    QLineEdit* edit = Named<QLineEdit>(dialog, row.edit);
    Enter(edit, input, row.entry);
    EXPECT_EQ(edit->text(), input.left(edit->maxLength()));
    shown = edit->text();
    Click(dialog, row.button);
    stayedOpen = QApplication::activeModalWidget() == dialog && dialog->isVisible();
    if (stayedOpen) {
      Click(dialog, "ButtonCancel");
    }
  }));

  if (row.outcome == Outcome::Refused) {
    EXPECT_EQ(errors_, std::vector<QString>{ExpectedText(row.expected, shown)});
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(Datagrams(), ReadsOnly);
    EXPECT_EQ(Settings(sim_->State()), Settings(before_));
    return;
  }
  EXPECT_TRUE(errors_.empty()) << errors_.front().toStdString();
  EXPECT_FALSE(stayedOpen);
  EXPECT_EQ(Datagrams(), ReadsAndWrites);
  const QByteArray expected = ExpectedText(row.expected, shown).toLatin1();
  EXPECT_EQ(PrinterField(sim_->State(), row.edit), expected.toStdString());
  // The other fields are written back as the printer had them.
  for (const char* other : {"EditIP", "EditMask", "EditGateWay", "EditDeviceName"}) {
    if (std::string(other) != row.edit) {
      EXPECT_EQ(PrinterField(sim_->State(), other), PrinterField(before_, other)) << other;
    }
  }
}

constexpr const char* NotAQuad =
    "The IP address must be four numbers from 0 to 255 joined by dots, such as 192.168.1.50.";
constexpr const char* MaskNotAQuad =
    "The subnet mask must be four numbers from 0 to 255 joined by dots, such as 192.168.1.50.";
constexpr const char* GatewayNotAQuad =
    "The gateway must be four numbers from 0 to 255 joined by dots, such as 192.168.1.50.";
constexpr const char* NameBlank = "The printer name is empty or only blanks.";
constexpr const char* NameMarksRefused =
    "The printer name may not contain quotation marks or control characters.";

INSTANTIATE_TEST_SUITE_P(
    Addresses, HostileEthernetSetup,
    ::testing::ValuesIn(
        Rows("ButtonOK",
             {
                 {"EditIP", "=192.168.001.050", Keys, Sent, "192.168.1.50"},
                 {"EditIP", "letters1000", Paste, Refused, NotAQuad},
                 {"EditIP", "digits1000", Clipboard, Refused, NotAQuad},
                 {"EditIP", "empty", Paste, Refused, NotAQuad},
                 {"EditIP", "blanks", Keys, Refused, NotAQuad},
                 {"EditIP", "=192.168.1.\"50\"", Keys, Refused, NotAQuad},
                 {"EditIP", "=192.168.1.50\r\n", Clipboard, Refused, NotAQuad},
                 {"EditIP", "=192.168.1.5\t", Paste, Refused, NotAQuad},
                 {"EditIP", "nul", Paste, Refused, NotAQuad},
                 {"EditIP", "latin1", Keys, Refused, NotAQuad},
                 {"EditIP", "=\xd9\xa1.\xd9\xa2.\xd9\xa3.\xd9\xa4", Keys, Refused,
                  NotAQuad},  // Arabic-Indic 1.2.3.4
                 {"EditIP", "=+192.168.1.50", Keys, Refused, NotAQuad},
                 {"EditIP", "=192.168.1.-1", Keys, Refused, NotAQuad},
                 {"EditIP", "=192.168.1.256", Keys, Refused, NotAQuad},
                 {"EditIP", "=99999999999999999999.1.1.1", Keys, Refused, NotAQuad},
                 // Blanks inside or around a number: the address would go out as 255.255.255.255.
                 {"EditIP", "=192.168.1 .50", Keys, Refused, NotAQuad},
                 {"EditIP", "=192.168.1.50 ", Keys, Refused, NotAQuad},
                 {"EditMask", "=255.255.255.0", Keys, Sent, "255.255.255.0"},
                 {"EditMask", "letters1000", Keys, Refused, MaskNotAQuad},
                 {"EditGateWay", "digits1000", Paste, Refused, GatewayNotAQuad},
                 {"EditMask", "=255 .255.255.0", Paste, Refused, MaskNotAQuad},
                 {"EditGateWay", "=10.0.0.1", Keys, Sent, "10.0.0.1"},
                 {"EditGateWay", "cyrillic", Keys, Refused, GatewayNotAQuad},
             })));

INSTANTIATE_TEST_SUITE_P(
    PrinterName, HostileEthernetSetup,
    ::testing::ValuesIn(
        Rows("ButtonOK",
             {
                 {"EditDeviceName", "letters1000", AnyEntry, Sent, Letters15},
                 // The printer would show no name.
                 {"EditDeviceName", "empty", Paste, Refused, NameBlank},
                 {"EditDeviceName", "blanks", Keys, Refused, NameBlank},
                 {"EditDeviceName", "latin1", Keys, Sent, "{text}"},
                 {"EditDeviceName", "quote", Keys, Refused, NameMarksRefused},
                 {"EditDeviceName", "cr", Paste, Refused, NameMarksRefused},
                 {"EditDeviceName", "lf", Clipboard, Refused, NameMarksRefused},
                 {"EditDeviceName", "tab", Paste, Refused, NameMarksRefused},
                 {"EditDeviceName", "nul", Clipboard, Refused, NameMarksRefused},
                 {"EditDeviceName", "esc", Paste, Refused, NameMarksRefused},
                 {"EditDeviceName", "del", Paste, Refused, NameMarksRefused},
                 {"EditDeviceName", "c1", Paste, Refused, NameMarksRefused},
                 {"EditDeviceName", "cyrillic", Keys, Refused,
                  "The printer name contains '\xd0\x9f', which the printer cannot take."},
                 {"EditDeviceName", "cjk", Paste, Refused,
                  "The printer name contains '\xe6\x89\x93', which the printer cannot take."},
                 {"EditDeviceName", "emoji", Keys, Refused,
                  "The printer name contains '\xf0\x9f\x96\xa8', which the printer cannot take."},
             })));

// A refusal leaves the dialog as it was: the text can be put right and "Set" goes through.
TEST_F(EthernetSetupOverUdp, AfterARefusal_TheCorrectedTextIsWritten) {
  ASSERT_TRUE(ChangeIp([&](QWidget* dialog) {
    auto* ip = Named<QLineEdit>(dialog, "EditIP");
    Enter(ip, HostileText("=192.168.1 .60"), Keys);
    Click(dialog, "ButtonOK");
    Enter(ip, HostileText("=192.168.1.60"), Keys);
    Click(dialog, "ButtonOK");
  }));
  EXPECT_EQ(errors_.size(), 1u);
  EXPECT_EQ(Datagrams(), ReadsAndWrites);
  EXPECT_EQ(sim_->State().ip, "192.168.1.60");
}

// The printer's name comes from the list and goes back with every change: one longer than can
// be typed must go back whole, not cut to what the edit takes.
TEST_F(EthernetSetupOverUdp, NameLongerThanTheEditTakes_IsWrittenBackWhole) {
  ASSERT_NO_FATAL_FAILURE(StartPrinter("Warehouse-Printer-North"));
  QString shown;
  ASSERT_TRUE(ChangeIp([&](QWidget* dialog) {
    shown = Named<QLineEdit>(dialog, "EditDeviceName")->text();
    Enter(Named<QLineEdit>(dialog, "EditIP"), HostileText("=192.168.7.51"), Keys);
    Click(dialog, "ButtonOK");
  }));
  EXPECT_EQ(shown, "Warehouse-Printer-North");
  EXPECT_EQ(Datagrams(), ReadsAndWrites);
  EXPECT_EQ(sim_->State().ip, "192.168.7.51");
  EXPECT_EQ(sim_->State().name, "Warehouse-Printer-North");
  EXPECT_TRUE(errors_.empty());
}

}  // namespace
