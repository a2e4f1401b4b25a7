#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include "panel_fixture.h"
#include "panels/clock_panel.h"
#include "panels/ethernet_panel.h"
#include "panels/factory_default_panel.h"
#include "support/window_harness.h"

namespace {

enum class Panel { Clock, Ethernet, FactoryDefault };

// The panels without a printer: nothing here runs an operation.
class PanelWidgets : public ::testing::Test {
 protected:
  // Builds a panel at its size in the main window, at the dialog font.
  QWidget* Build(Panel which) {
    int height = 41;
    if (which == Panel::Clock) {
      panel_ = std::make_unique<ClockPanel>(host_, clock_, scale_);
      height = 177;
    } else if (which == Panel::Ethernet) {
      panel_ = std::make_unique<EthernetPanel>(host_, network_, scale_);
      height = 225;
    } else {
      panel_ = std::make_unique<FactoryDefaultPanel>(host_, scale_);
    }
    panel_->setFont(DialogFont());
    panel_->setGeometry(scale_.Rect(0, 0, 345, height));
    panel_->show();
    return panel_.get();
  }

  std::unique_ptr<LinkFacade> noLink_;
  FakePanelHost host_{noLink_};
  ClockRecord clock_;
  NetConfigRecord network_;
  LayoutScale scale_ = LayoutScale::ForFont(DialogFont());
  std::unique_ptr<QWidget> panel_;
};

struct PanelCase {
  const char* groupBox;
  const char* caption;
  Panel panel;
  std::vector<const char*> tabOrder;
};

void PrintTo(const PanelCase& c, std::ostream* os) {
  *os << c.groupBox;
}

class PanelLayout : public PanelWidgets, public ::testing::WithParamInterface<PanelCase> {};

// Every control inside its box, none covering another, every caption whole at the dialog font.
TEST_P(PanelLayout, ControlsFitAndDoNotOverlap) {
  QWidget* panel = Build(GetParam().panel);
  EXPECT_EQ(panel->objectName(), QString::fromLatin1(GetParam().groupBox));
  EXPECT_EQ(static_cast<QGroupBox*>(panel)->title(), QString::fromLatin1(GetParam().caption));

  const QList<QWidget*> controls = panel->findChildren<QWidget*>();
  ASSERT_FALSE(controls.isEmpty());
  for (QWidget* control : controls) {
    EXPECT_FALSE(control->objectName().isEmpty()) << control->metaObject()->className();
  }
  ExpectControlsFit(controls);
}

TEST_P(PanelLayout, TabVisitsTheControlsInOrder) {
  QWidget* panel = Build(GetParam().panel);
  const auto& expected = GetParam().tabOrder;
  std::vector<std::string> visited;
  QWidget* widget = panel->findChild<QWidget*>(QString::fromLatin1(expected.front()));
  ASSERT_NE(widget, nullptr);
  // The chain is a ring through every widget; one lap at most.
  for (int step = 0; step < 100 && visited.size() < expected.size(); ++step) {
    if (panel->isAncestorOf(widget) && (widget->focusPolicy() & Qt::TabFocus) != 0) {
      visited.push_back(widget->objectName().toStdString());
    }
    widget = widget->nextInFocusChain();
  }
  EXPECT_EQ(visited, std::vector<std::string>(expected.begin(), expected.end()));
}

INSTANTIATE_TEST_SUITE_P(
    Panels, PanelLayout,
    ::testing::Values(
        PanelCase{"GroupBox1",
                  "RTC Setup",
                  Panel::Clock,
                  {"EditYear", "EditMonth", "EditDate", "EditHour", "EditMinute", "EditSecond",
                   "ButtonSetSysTime", "ButtonOk", "ButtonRTCRead"}},
        PanelCase{"GroupBox2",
                  "Ethernet Setup",
                  Panel::Ethernet,
                  {"RadioDHCP", "RadioStaticIP", "EditIP", "EditMask", "ButtonSetIP",
                   "ButtonEtherRead", "EditGateWay", "EditPrinterName", "ButtonSetPrinterName"}},
        PanelCase{"GroupBox4", "Factory Default", Panel::FactoryDefault, {"ButtonFactoryDefault"}}),
    [](const auto& info) { return std::string(info.param.groupBox); });

// Typing past an edit's limit is ignored: the clock fields have room for a sign, the
// addresses exactly their record fields, the name what the printer keeps.
TEST_F(PanelWidgets, EditsStopTypingAtTheirLimit) {
  const struct {
    Panel panel;
    const char* edit;
    int limit;
  } limits[] = {{Panel::Clock, "EditYear", 4},        {Panel::Clock, "EditMonth", 3},
                {Panel::Clock, "EditDate", 3},        {Panel::Clock, "EditHour", 3},
                {Panel::Clock, "EditMinute", 3},      {Panel::Clock, "EditSecond", 3},
                {Panel::Ethernet, "EditIP", 63},      {Panel::Ethernet, "EditMask", 63},
                {Panel::Ethernet, "EditGateWay", 63}, {Panel::Ethernet, "EditPrinterName", 15}};
  for (const auto& l : limits) {
    auto* edit = Build(l.panel)->findChild<QLineEdit*>(QString::fromLatin1(l.edit));
    ASSERT_NE(edit, nullptr) << l.edit;
    edit->clear();
    QTest::keyClicks(edit, QString(l.limit + 3, QLatin1Char('7')));
    EXPECT_EQ(edit->text(), QString(l.limit, QLatin1Char('7'))) << l.edit;
  }
}

}  // namespace
