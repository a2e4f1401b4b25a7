// Every window by keyboard alone and to assistive technology: names for every edit and list, the
// tab chain in the designed order, the keys users expect; a layout that holds; colours that follow
// the palette.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/about_window.h"
#include "dialogs/ethernet_setup_dialog.h"
#include "dialogs/net_setup_window.h"
#include "dialogs/parallel_port_dialog.h"
#include "dialogs/serial_settings_dialog.h"
#include "gui/ui_translations.h"
#include "support/window_harness.h"

namespace {

enum class Window { Main, About, Serial, Parallel, NetSetup, EthernetSetup };
constexpr Window AllWindows[] = {Window::Main,     Window::About,    Window::Serial,
                                 Window::Parallel, Window::NetSetup, Window::EthernetSetup};

const char* WindowName(Window window) {
  static const char* const Names[] = {"Main",     "About",    "Serial",
                                      "Parallel", "NetSetup", "EthernetSetup"};
  return Names[static_cast<int>(window)];
}

void PrintTo(Window window, std::ostream* os) {
  *os << WindowName(window);
}

// A table's rows named after their window: a window itself, or a case with a `window`.
Window WindowOf(Window window) {
  return window;
}
template <typename Case>
Window WindowOf(const Case& c) {
  return c.window;
}
constexpr auto ByWindow = [](const auto& info) {
  return std::string(WindowName(WindowOf(info.param)));
};

// A dark palette as a dark desktop theme gives it.
QPalette DarkPalette() {
  const QColor window(0x2d, 0x2d, 0x30);
  const QColor text(0xe8, 0xe8, 0xe8);
  QPalette palette(text, window, window.lighter(150), window.darker(200), window.darker(150), text,
                   Qt::white, QColor(0x1e, 0x1e, 0x20), window);
  palette.setColor(QPalette::Highlight, QColor(0x3d, 0x7a, 0xc8));
  palette.setColor(QPalette::HighlightedText, Qt::white);
  palette.setColor(QPalette::PlaceholderText, QColor(0x90, 0x90, 0x94));
  return palette;
}

// Builds each window as the program does, offscreen; the TCP/IP Setup window discovers two virtual
// printers on 127.0.0.1.
class WindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.Start(UdpOnly, Printers(2))) << sim_.Error();
    record_.dhcp = 0;
    record_.ip.Assign("10.0.0.5");
    record_.lastUsedIp.Assign("10.0.0.9");
    record_.mask.Assign("255.0.0.0");
    record_.gateway.Assign("10.0.0.1");
    record_.netName.Assign("Lab-1");
  }
  void TearDown() override {
    windows_.clear();
    mains_.clear();
  }

  // A new window of the kind, not shown; a dialog with `parent` belongs to it, as to the main
  // window in the program.
  QWidget* Build(Window which, QWidget* parent = nullptr) {
    const LayoutScale scale = LayoutScale::ForFont(DialogFont());
    std::unique_ptr<QWidget> window;
    switch (which) {
      case Window::Main:
        return &mains_.emplace_back().OpenWindow(TcpOnlyLink(), ClockAt(MainWindowOverTcp::PcNow));
      case Window::About:
        window = std::make_unique<TFormAbout>(scale, parent);
        break;
      case Window::Serial: {
        auto dialog = std::make_unique<TFormRs232Setup>(scale, parent);
        dialog->AttachSettings(serial_);
        window = std::move(dialog);
        break;
      }
      case Window::Parallel: {
        auto dialog = std::make_unique<TFormLPTSetup>(scale, parent);
        dialog->AttachSettings(lpt_);
        window = std::move(dialog);
        break;
      }
      case Window::NetSetup: {
        auto dialog = std::make_unique<TFormNetSetup>(
            scale, NetSetupExchange(QHostAddress(QHostAddress::LocalHost), sim_->UdpPort()),
            [this](const QUrl& url) { opened_.push_back(url.toString()); }, parent);
        dialog->SetDiscoveryLimits(DiscoveryLimits{200, 2000, 10});
        dialog->BeginSetup(target_);
        window = std::move(dialog);
        break;
      }
      case Window::EthernetSetup: {
        auto dialog = std::make_unique<TFormEthernetSetup>(scale, parent);
        dialog->Prepare(0, 0, record_);
        window = std::move(dialog);
        break;
      }
    }
    if (parent != nullptr) {
      return window.release();  // deleted with its parent
    }
    windows_.push_back(std::move(window));
    return windows_.back().get();
  }

  // A dialog of the kind as the program has it, belonging to a main window (whose style sheet
  // reaches it); the main window itself.
  QWidget* BuildAsInTheProgram(Window which) {
    return which == Window::Main ? Build(Window::Main) : Build(which, Build(Window::Main));
  }

  // A new window of the kind, shown and active, with the focus where it lands on opening.
  QWidget* Open(Window which) {
    QWidget* window = Build(which);
    window->show();
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
    return window;
  }

  static std::string FocusName() {
    QWidget* focus = QApplication::focusWidget();
    return focus != nullptr ? focus->objectName().toStdString() : "(no focus)";
  }
  // Gives `name` the focus as Tab would, then presses `key` on it.
  void PressOn(QWidget* window, const char* name, Qt::Key key) {
    QWidget* widget = Named(window, name);
    widget->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(FocusName(), name);
    QTest::keyClick(widget, key);
  }

  std::vector<QString> errors_;
  RecordErrors recordErrors_{errors_};
  VirtualPrinter sim_;
  std::list<MainWindowHarness> mains_;
  std::vector<std::unique_ptr<QWidget>> windows_;
  SerialSettings serial_;
  LptDeviceName lpt_ = DefaultLptDeviceName;
  NetTarget target_;
  NetConfigRecord record_;
  std::vector<QString> opened_;
};

// --- Names -------------------------------------------------------------------------------------

// The caption of the label that names `widget` for assistive technology, if any.
QString BuddyCaption(const QWidget* widget) {
  for (const QLabel* label : widget->window()->findChildren<QLabel*>()) {
    if (label->buddy() == widget) {
      return label->text();
    }
  }
  return {};
}

// The controls that need a name: edits, lists (drop-down or not) and radio groups. An editable
// list's own edit, a drop-down's popup list and a list's header are parts of the list, not
// controls of their own.
std::vector<QWidget*> NamedControls(QWidget* window) {
  std::vector<QWidget*> controls;
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    bool insideList = false;
    for (QWidget* up = widget->parentWidget(); up != nullptr && up != window;
         up = up->parentWidget()) {
      insideList = insideList || qobject_cast<QComboBox*>(up) != nullptr ||
                   qobject_cast<QAbstractItemView*>(up) != nullptr;
    }
    auto* group = qobject_cast<QGroupBox*>(widget);
    const bool radioGroup =
        group != nullptr &&
        !group->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly).isEmpty();
    if (!insideList && (qobject_cast<QLineEdit*>(widget) || qobject_cast<QComboBox*>(widget) ||
                        qobject_cast<QAbstractItemView*>(widget) || radioGroup)) {
      controls.push_back(widget);
    }
  }
  return controls;
}

struct NamesCase {
  Window window;
  // Every control that needs a name, with the name it gets.
  std::map<std::string, std::string> names;
};
void PrintTo(const NamesCase& c, std::ostream* os) {
  PrintTo(c.window, os);
}

class ControlNames : public WindowFixture, public ::testing::WithParamInterface<NamesCase> {};

// The name comes from the label beside the control (its buddy) or is set on the control; either
// way a screen reader announces it, and it is what the table says.
TEST_P(ControlNames, EveryEditAndListHasTheNameOfItsCaption) {
  QWidget* window = Build(GetParam().window);
  std::map<std::string, std::string> found;
  for (QWidget* control : NamedControls(window)) {
    const std::string object = control->objectName().toStdString();
    QString name = control->accessibleName();
    if (auto* group = qobject_cast<QGroupBox*>(control); group != nullptr && name.isEmpty()) {
      name = group->title();
    }
    if (name.isEmpty()) {
      name = BuddyCaption(control);
    }
    EXPECT_FALSE(name.isEmpty()) << object << " has neither a label nor a name";
    found[object] = name.toStdString();

    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
    ASSERT_NE(accessible, nullptr) << object;
    if (qobject_cast<QComboBox*>(control) == nullptr) {
      EXPECT_EQ(accessible->text(QAccessible::Name), name) << object;
    } else if (!BuddyCaption(control).isEmpty()) {
      // A drop-down announces its current item as its name; the caption comes as its label.
      const auto labels = accessible->relations(QAccessible::Label);
      ASSERT_FALSE(labels.isEmpty()) << object;
      EXPECT_EQ(labels.front().first->text(QAccessible::Name), name) << object;
    }
  }
  EXPECT_EQ(found, GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(Windows, ControlNames,
                         ::testing::Values(NamesCase{Window::Main,
                                                     {{"EditYear", "Year:"},
                                                      {"EditMonth", "Month:"},
                                                      {"EditDate", "Date:"},
                                                      {"EditHour", "Hour:"},
                                                      {"EditMinute", "Minute:"},
                                                      {"EditSecond", "Second:"},
                                                      {"RadioGroupDHCP", "DHCP"},
                                                      {"EditIP", "IP:"},
                                                      {"EditMask", "Mask:"},
                                                      {"EditGateWay", "Gate Way:"},
                                                      {"EditPrinterName", "Printer Name:"},
                                                      {"ComboBoxInterFace", "Interface"}}},
                                           NamesCase{Window::About, {}},
                                           NamesCase{Window::Serial,
                                                     {{"ComboBoxComPort", "COMPort:"},
                                                      {"ComboBoxBaudRate", "BaudRate:"},
                                                      {"ComboBoxDataBit", "Data Bits:"},
                                                      {"ComboBoxParity", "Parity:"},
                                                      {"ComboBoxStopBit", "Stop Bit(s):"},
                                                      {"ComboBoxHdShak", "Hardware Shaking:"},
                                                      {"ComboBoxSWShak", "Software Shaking:"}}},
                                           NamesCase{Window::Parallel,
                                                     {{"ComboBoxLPT", "Parallel port"}}},
                                           NamesCase{Window::NetSetup,
                                                     {{"ListView1", "Printers found"},
                                                      {"EditIPAddr", "IP Address/Printer Name:"},
                                                      {"EditPort", "Port:"}}},
                                           NamesCase{Window::EthernetSetup,
                                                     {{"RadioGroupDHCP", "IP Setup"},
                                                      {"EditIP", "IP:"},
                                                      {"EditMask", "Subnet Mask:"},
                                                      {"EditGateWay", "Gateway:"},
                                                      {"EditDeviceName", "Printer Name:"}}}),
                         ByWindow);

// --- Tab order ---------------------------------------------------------------------------------

struct TabCase {
  Window window;
  // From the focus the window opens with, one Tab after the other, separated by blanks; the
  // chain wraps round.
  const char* order;
};
void PrintTo(const TabCase& c, std::ostream* os) {
  PrintTo(c.window, os);
}

class TabOrder : public WindowFixture, public ::testing::WithParamInterface<TabCase> {
 protected:
  // Every address control enabled: "Static IP" chosen, and "COM" so that "Setup" takes part.
  QWidget* OpenWithEverythingEnabled() {
    QWidget* window = Open(GetParam().window);
    if (auto* radio = window->findChild<QRadioButton*>(QStringLiteral("RadioStaticIP"))) {
      radio->click();
    }
    if (auto* list = window->findChild<QComboBox*>(QStringLiteral("ComboBoxInterFace"))) {
      list->setCurrentIndex(1);
    }
    return window;
  }

  std::vector<std::string> Walk(std::size_t stops, bool backwards) {
    std::vector<std::string> visited;
    for (std::size_t i = 0; i < stops; ++i) {
      visited.push_back(FocusName());
      QWidget* focus = QApplication::focusWidget();
      if (focus == nullptr) {
        break;
      }
      if (i + 1 < stops) {
        QTest::keyClick(focus, Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
      }
    }
    return visited;
  }
};

// The window opens on the first control of the order; Tab visits every control once in the order
// and comes back to the first, Shift+Tab the same way back. A radio group is one stop, at its
// chosen button.
TEST_P(TabOrder, TabAndShiftTabVisitTheControlsInTheDesignedOrder) {
  OpenWithEverythingEnabled();
  std::vector<std::string> expected;
  for (const QString& name : QString::fromLatin1(GetParam().order).split(QLatin1Char(' '))) {
    expected.push_back(name.toStdString());
  }
  expected.push_back(expected.front());
  EXPECT_EQ(Walk(expected.size(), false), expected);

  std::reverse(expected.begin(), expected.end());
  EXPECT_EQ(Walk(expected.size(), true), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, TabOrder,
    ::testing::Values(
        TabCase{Window::Main,
                "EditYear EditMonth EditDate EditHour EditMinute EditSecond ButtonSetSysTime "
                "ButtonOk ButtonRTCRead "  // the clock group
                "RadioStaticIP EditIP EditMask ButtonSetIP ButtonEtherRead EditGateWay "
                "EditPrinterName ButtonSetPrinterName "  // the Ethernet group
                "ComboBoxInterFace ButtonInterFace ButtonExit ButtonFactoryDefault"},
        TabCase{Window::About, "Button1"},
        TabCase{Window::Serial,
                "ComboBoxComPort ComboBoxBaudRate ComboBoxDataBit ComboBoxParity ComboBoxStopBit "
                "ComboBoxHdShak ComboBoxSWShak ButtonSet ButtonCancel"},
        TabCase{Window::Parallel, "ButtonSet ComboBoxLPT ButtonCancel"},
        TabCase{Window::NetSetup,
                "ButtonDiscover ButtonChangeIP ButtonBrowser ButtonSet EditIPAddr EditPort "
                "ListView1"},
        TabCase{Window::EthernetSetup,
                "RadioStaticIP EditIP EditMask EditGateWay ButtonOK ButtonCancel EditDeviceName"}),
    ByWindow);

// Under DHCP the greyed address edits are passed over, in the main window as in the dialog.
TEST_F(WindowFixture, TabPassesOverTheGreyedAddressEdits) {
  for (Window which : {Window::Main, Window::EthernetSetup}) {
    record_.dhcp = 1;
    QWidget* window = Open(which);
    Named(window, "RadioDHCP")->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(FocusName(), "RadioDHCP");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(FocusName(), which == Window::Main ? "ButtonSetIP" : "ButtonOK") << WindowName(which);
  }
}

// --- Keys --------------------------------------------------------------------------------------

// Space and Enter press the focused button in every window, the main window too.
TEST_F(WindowFixture, SpaceAndEnterPressTheFocusedButton) {
  for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter}) {
    QWidget* main = Open(Window::Main);
    Named<QLineEdit>(main, "EditYear")->setText(QStringLiteral("1999"));
    PressOn(main, "ButtonSetSysTime", key);
    EXPECT_EQ(Named<QLineEdit>(main, "EditYear")->text(), "2026") << key;

    PressOn(main, "ButtonExit", key);
    EXPECT_FALSE(main->isVisible()) << key;

    QWidget* about = Open(Window::About);
    PressOn(about, "Button1", key);
    EXPECT_FALSE(about->isVisible()) << key;

    auto* serial = static_cast<QDialog*>(Open(Window::Serial));
    Named<QComboBox>(serial, "ComboBoxBaudRate")->setCurrentIndex(6);
    PressOn(serial, "ButtonSet", key);
    EXPECT_EQ(serial->result(), QDialog::Accepted) << key;
    EXPECT_EQ(serial_.BaudIndex, 6) << key;
    serial_ = SerialSettings();
  }
}

// Escape leaves every dialog as "Cancel" (or the close box) does: nothing is written.
TEST_F(WindowFixture, EscapeClosesEveryDialogWithoutWriting) {
  const SerialSettings serialBefore = serial_;
  auto* serial = static_cast<QDialog*>(Open(Window::Serial));
  Named<QComboBox>(serial, "ComboBoxComPort")->setCurrentIndex(4);
  Named<QComboBox>(serial, "ComboBoxParity")->setCurrentIndex(2);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_FALSE(serial->isVisible());
  EXPECT_EQ(serial->result(), QDialog::Rejected);
  EXPECT_EQ(serial_.PortName, serialBefore.PortName);
  EXPECT_EQ(serial_.ParityIndex, serialBefore.ParityIndex);

  auto* parallel = static_cast<QDialog*>(Open(Window::Parallel));
  Named<QComboBox>(parallel, "ComboBoxLPT")->setCurrentIndex(2);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_FALSE(parallel->isVisible());
  EXPECT_EQ(lpt_, "LPT1");

  record_.accepted = 1;
  const NetConfigRecord recordBefore = record_;
  auto* ethernet = static_cast<QDialog*>(Open(Window::EthernetSetup));
  Named<QLineEdit>(ethernet, "EditIP")->setText(QStringLiteral("10.9.9.9"));
  Named<QRadioButton>(ethernet, "RadioDHCP")->click();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_FALSE(ethernet->isVisible());
  NetConfigRecord expected = recordBefore;
  expected.accepted = 0;
  EXPECT_EQ(record_, expected);

  // As the close box: the host the discovery took stays, the typed port is not stored.
  target_.Port = 9100;
  auto* netSetup = static_cast<QDialog*>(Open(Window::NetSetup));
  ASSERT_FALSE(target_.Host.View().empty());
  const std::string discoveredHost(target_.Host.View());
  Named<QLineEdit>(netSetup, "EditIPAddr")->setText(QStringLiteral("printer-9"));
  Named<QLineEdit>(netSetup, "EditPort")->setText(QStringLiteral("9200"));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_FALSE(netSetup->isVisible());
  EXPECT_EQ(target_.Host.View(), discoveredHost);
  EXPECT_EQ(target_.Port, 9100);

  QWidget* about = Open(Window::About);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_FALSE(about->isVisible());
  EXPECT_TRUE(errors_.empty());
}

// Enter in an edit of a dialog presses its "Set" (or "Exit"): what was typed is stored, never
// thrown away by another button.
TEST_F(WindowFixture, EnterInAnEditStoresWhatWasTyped) {
  auto* netSetup = static_cast<QDialog*>(Open(Window::NetSetup));
  auto* port = Named<QLineEdit>(netSetup, "EditPort");
  port->setFocus(Qt::TabFocusReason);
  port->setText(QStringLiteral("9200"));
  QTest::keyClick(port, Qt::Key_Return);
  EXPECT_EQ(netSetup->result(), QDialog::Accepted);
  EXPECT_EQ(target_.Port, 9200);

  auto* ethernet = static_cast<QDialog*>(Open(Window::EthernetSetup));
  auto* name = Named<QLineEdit>(ethernet, "EditDeviceName");
  name->setFocus(Qt::TabFocusReason);
  name->setText(QStringLiteral("Lab-2"));
  QTest::keyClick(name, Qt::Key_Return);
  EXPECT_EQ(ethernet->result(), QDialog::Accepted);
  EXPECT_EQ(record_.accepted, 1);
  EXPECT_EQ(record_.netName, "Lab-2");
}

// The arrow keys choose in a radio group as a click does, and move through the items of a list.
TEST_F(WindowFixture, ArrowKeysChooseInRadioGroupsAndLists) {
  auto* main = static_cast<TFormMain*>(Open(Window::Main));
  PressOn(main, "RadioDHCP", Qt::Key_Down);
  EXPECT_EQ(FocusName(), "RadioStaticIP");
  EXPECT_TRUE(Named<QRadioButton>(main, "RadioStaticIP")->isChecked());
  EXPECT_TRUE(Named(main, "EditIP")->isEnabled());
  EXPECT_EQ(main->NetworkValues().dhcp, 0);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
  EXPECT_FALSE(Named(main, "EditIP")->isEnabled());
  EXPECT_EQ(main->NetworkValues().dhcp, 1);

  PressOn(main, "ComboBoxInterFace", Qt::Key_Down);
  EXPECT_EQ(main->CurrentLinkKind(), LinkKind::Com);
  EXPECT_TRUE(Named(main, "ButtonInterFace")->isEnabled());

  record_.dhcp = 0;
  QWidget* ethernet = Open(Window::EthernetSetup);
  PressOn(ethernet, "RadioStaticIP", Qt::Key_Up);
  EXPECT_TRUE(Named<QRadioButton>(ethernet, "RadioDHCP")->isChecked());
  EXPECT_FALSE(Named(ethernet, "EditIP")->isEnabled());

  QWidget* serial = Open(Window::Serial);
  PressOn(serial, "ComboBoxComPort", Qt::Key_Down);
  EXPECT_EQ(Named<QComboBox>(serial, "ComboBoxComPort")->currentText(), "COM2");
  PressOn(serial, "ButtonSet", Qt::Key_Space);
  EXPECT_EQ(serial_.PortName, "COM2");

  QWidget* parallel = Open(Window::Parallel);
  PressOn(parallel, "ComboBoxLPT", Qt::Key_Down);
  PressOn(parallel, "ButtonSet", Qt::Key_Space);
  EXPECT_EQ(lpt_, "LPT2");

  // Choosing a printer with the keys takes its address into the host edit, as a click does.
  QWidget* netSetup = Open(Window::NetSetup);
  auto* list = Named<QTreeWidget>(netSetup, "ListView1");
  ASSERT_EQ(list->topLevelItemCount(), 2);
  Named<QLineEdit>(netSetup, "EditIPAddr")->setText(QStringLiteral("typed"));
  PressOn(netSetup, "ListView1", Qt::Key_Down);
  EXPECT_EQ(list->currentItem(), list->topLevelItem(1));
  EXPECT_EQ(Named<QLineEdit>(netSetup, "EditIPAddr")->text(), list->topLevelItem(1)->text(2));
  QTest::keyClick(list, Qt::Key_Up);
  EXPECT_EQ(Named<QLineEdit>(netSetup, "EditIPAddr")->text(), list->topLevelItem(0)->text(2));
}

// "Discover Device" pressed from the keyboard keeps the focus while it is off during the
// discovery: a second Space discovers again instead of pressing "Change IP Address".
TEST_F(WindowFixture, DiscoverDeviceKeepsTheFocus) {
  QWidget* netSetup = Open(Window::NetSetup);
  ASSERT_EQ(FocusName(), "ButtonDiscover");
  const std::uint64_t before = sim_->ReceivedCount();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
  EXPECT_GT(sim_->ReceivedCount(), before);
  EXPECT_EQ(FocusName(), "ButtonDiscover");
  EXPECT_EQ(Named<QTreeWidget>(netSetup, "ListView1")->topLevelItemCount(), 2);
}

// The About menu has no letter to press; F1 opens the About window from anywhere in the window.
TEST_F(WindowFixture, F1OpensTheAboutWindow) {
  QWidget* main = Open(Window::Main);
  EXPECT_TRUE(WithModal(
      "FormAbout", [](QWidget* about) { QTest::keyClick(about, Qt::Key_Escape); },
      [main] { QTest::keyClick(Named(main, "EditMonth"), Qt::Key_F1); }, 100));
}

// --- Layout ------------------------------------------------------------------------------------

// Each window in English and in German, whose captions are longer.
struct LayoutCase {
  Window window;
  bool german;
};

std::vector<LayoutCase> LayoutCases() {
  std::vector<LayoutCase> cases;
  for (const bool german : {false, true}) {
    for (const Window window : AllWindows) {
      cases.push_back({window, german});
    }
  }
  return cases;
}

class Layout : public WindowFixture, public ::testing::WithParamInterface<LayoutCase> {};

// At the dialog font every caption is whole and no control covers another or leaves its parent;
// a list's, a drop-down's and the status bar's own parts are theirs to place (the status bar's last
// panel is cut off at the window's edge on purpose).
TEST_P(Layout, CaptionsFitAndNothingOverlaps) {
  std::optional<UiTranslations> german;
  if (GetParam().german) {
    german.emplace(QLocale(QLocale::German, QLocale::Germany));
    ASSERT_TRUE(german->Loaded());
  }
  QWidget* window = Build(GetParam().window);
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
  QWidget* root = GetParam().window == Window::Main
                      ? static_cast<QMainWindow*>(window)->centralWidget()
                      : window;
  QList<QWidget*> controls;
  for (QWidget* widget : root->findChildren<QWidget*>()) {
    bool part = false;
    for (QWidget* up = widget->parentWidget(); up != nullptr && up != root;
         up = up->parentWidget()) {
      part = part || qobject_cast<QAbstractScrollArea*>(up) || qobject_cast<QComboBox*>(up) ||
             up->objectName() == QLatin1String("StatusBar1");
    }
    if (!part && widget->isVisible()) {
      controls.push_back(widget);
    }
  }
  ASSERT_FALSE(controls.empty());
  ExpectControlsFit(controls);
}

INSTANTIATE_TEST_SUITE_P(Windows, Layout, ::testing::ValuesIn(LayoutCases()), [](const auto& info) {
  return ByWindow(info) + (info.param.german ? "German" : "");
});

// --- Colours -----------------------------------------------------------------------------------

double Luminance(const QColor& color) {
  auto channel = [](double value) {
    return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) +
         0.0722 * channel(color.blueF());
}

double Contrast(const QColor& a, const QColor& b) {
  const double la = Luminance(a);
  const double lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

class Colours : public WindowFixture, public ::testing::WithParamInterface<Window> {
 protected:
  void TearDown() override {
    QApplication::setPalette(QPalette());
    WindowFixture::TearDown();
  }
};

// A window built under one palette and then switched to a dark one looks exactly like one built
// under the dark palette: no colour was taken once and kept.
TEST_P(Colours, FollowAPaletteChangeWhileOpen) {
  QWidget* switched = BuildAsInTheProgram(GetParam());
  QApplication::setPalette(DarkPalette());
  QCoreApplication::processEvents();  // as the event loop does after a theme change
  QWidget* fresh = BuildAsInTheProgram(GetParam());
  // The main window's parts without a clock; each dialog whole.
  std::vector<const char*> parts = {nullptr};
  if (GetParam() == Window::Main) {
    parts = {"GroupBox1", "GroupBox2", "GroupBox3", "GroupBox4"};
  }
  for (const char* part : parts) {
    QWidget* a = part != nullptr ? Named(switched, part) : switched;
    QWidget* b = part != nullptr ? Named(fresh, part) : fresh;
    EXPECT_TRUE(a->grab().toImage() == b->grab().toImage()) << (part ? part : "window");
  }
}

// Under a dark palette every text stands out from what it is drawn on.
TEST_P(Colours, TextsStayReadableUnderADarkPalette) {
  QApplication::setPalette(DarkPalette());
  QWidget* window = BuildAsInTheProgram(GetParam());
  QList<QWidget*> widgets = window->findChildren<QWidget*>();
  widgets.push_back(window);
  for (QWidget* widget : widgets) {
    const QPalette& p = widget->palette();
    const std::string name =
        widget->objectName().toStdString() + " (" + widget->metaObject()->className() + ")";
    EXPECT_GE(Contrast(p.color(QPalette::Text), p.color(QPalette::Base)), 4.5) << name;
    EXPECT_GE(Contrast(p.color(QPalette::WindowText), p.color(QPalette::Window)), 4.5) << name;
    EXPECT_GE(Contrast(p.color(QPalette::ButtonText), p.color(QPalette::Button)), 4.5) << name;
    EXPECT_GE(Contrast(p.color(QPalette::HighlightedText), p.color(QPalette::Highlight)), 3.0)
        << name;
    // A list's rows are drawn on its viewport, whatever colour that stands on.
    if (auto* view = qobject_cast<QAbstractItemView*>(widget)) {
      const QWidget* viewport = view->viewport();
      EXPECT_GE(
          Contrast(p.color(QPalette::Text), viewport->palette().color(viewport->backgroundRole())),
          4.5)
          << name;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Windows, Colours, ::testing::ValuesIn(AllWindows), ByWindow);

}  // namespace
