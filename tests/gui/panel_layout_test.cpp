#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <functional>

#include "panel_fixture.h"
#include "panels/clock_panel.h"
#include "panels/ethernet_panel.h"
#include "panels/factory_default_panel.h"

namespace {

struct PanelRecords {
  ClockRecord clock;
  NetConfigRecord network;
};

using MakePanel =
    std::function<std::unique_ptr<QWidget>(PanelHost&, PanelRecords&, const LayoutScale&)>;

std::unique_ptr<QWidget> MakeClock(PanelHost& host, PanelRecords& records,
                                   const LayoutScale& scale) {
  return std::make_unique<ClockPanel>(host, records.clock, scale);
}
std::unique_ptr<QWidget> MakeEthernet(PanelHost& host, PanelRecords& records,
                                      const LayoutScale& scale) {
  return std::make_unique<EthernetPanel>(host, records.network, scale);
}
std::unique_ptr<QWidget> MakeFactoryDefault(PanelHost& host, PanelRecords&,
                                            const LayoutScale& scale) {
  return std::make_unique<FactoryDefaultPanel>(host, scale);
}

// The panels without a printer: nothing here runs an operation.
class PanelWidgets : public ::testing::Test {
 protected:
  QWidget* Build(const MakePanel& make, int width, int height) {
    panel_ = make(host_, records_, scale_);
    panel_->setFont(DialogFont());
    panel_->setGeometry(scale_.Rect(0, 0, width, height));
    panel_->show();
    return panel_.get();
  }

  std::unique_ptr<LinkFacade> noLink_;
  FakePanelHost host_{noLink_};
  PanelRecords records_;
  LayoutScale scale_ = LayoutScale::ForFont(DialogFont());
  std::unique_ptr<QWidget> panel_;
};

struct PanelCase {
  const char* groupBox;
  const char* caption;
  MakePanel make;
  int width;
  int height;
  std::vector<const char*> tabOrder;
};

void PrintTo(const PanelCase& c, std::ostream* os) {
  *os << c.groupBox;
}

class PanelLayout : public PanelWidgets, public ::testing::WithParamInterface<PanelCase> {};

// Every control inside its box, none covering another, every caption whole at the dialog font.
TEST_P(PanelLayout, ControlsFitAndDoNotOverlap) {
  QWidget* panel = Build(GetParam().make, GetParam().width, GetParam().height);
  EXPECT_EQ(panel->objectName(), QString::fromLatin1(GetParam().groupBox));
  EXPECT_EQ(static_cast<QGroupBox*>(panel)->title(), QString::fromLatin1(GetParam().caption));

  const QList<QWidget*> controls = panel->findChildren<QWidget*>();
  ASSERT_FALSE(controls.isEmpty());
  for (QWidget* control : controls) {
    const std::string name = control->objectName().toStdString();
    EXPECT_FALSE(name.empty()) << control->metaObject()->className();
    EXPECT_TRUE(control->parentWidget()->rect().contains(control->geometry())) << name;
    for (QWidget* other : controls) {
      if (other != control && other->parentWidget() == control->parentWidget()) {
        EXPECT_FALSE(control->geometry().intersects(other->geometry()))
            << name << " covers " << other->objectName().toStdString();
      }
    }
    const QFontMetrics metrics(control->font());
    if (auto* label = qobject_cast<QLabel*>(control)) {
      EXPECT_LE(metrics.horizontalAdvance(label->text()), label->width()) << name;
      EXPECT_LE(metrics.height(), label->height()) << name;
    } else if (auto* radio = qobject_cast<QRadioButton*>(control)) {
      EXPECT_LE(radio->sizeHint().width(), radio->width()) << name;
    } else if (auto* button = qobject_cast<QPushButton*>(control)) {
      // The room for the frame that the scale itself assumes.
      EXPECT_LE(metrics.horizontalAdvance(button->text()) + 14, button->width()) << name;
    }
  }
}

TEST_P(PanelLayout, TabVisitsTheControlsInOrder) {
  QWidget* panel = Build(GetParam().make, GetParam().width, GetParam().height);
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
                  MakeClock,
                  345,
                  177,
                  {"EditYear", "EditMonth", "EditDate", "EditHour", "EditMinute", "EditSecond",
                   "ButtonSetSysTime", "ButtonOk", "ButtonRTCRead"}},
        PanelCase{"GroupBox2",
                  "Ethernet Setup",
                  MakeEthernet,
                  345,
                  225,
                  {"RadioDHCP", "RadioStaticIP", "EditIP", "EditMask", "ButtonSetIP",
                   "ButtonEtherRead", "EditGateWay", "EditPrinterName", "ButtonSetPrinterName"}},
        PanelCase{
            "GroupBox4", "Factory Default", MakeFactoryDefault, 345, 41, {"ButtonFactoryDefault"}}),
    [](const auto& info) { return std::string(info.param.groupBox); });

// Typing past an edit's limit is ignored: the clock fields have room for a sign, the
// addresses exactly their record fields, the name what the printer keeps.
struct EditLimit {
  bool ethernet;
  const char* edit;
  int limit;
};

void PrintTo(const EditLimit& e, std::ostream* os) {
  *os << e.edit;
}

class EditLimits : public PanelWidgets, public ::testing::WithParamInterface<EditLimit> {};

TEST_P(EditLimits, StopTypingAtTheLimit) {
  QWidget* panel = GetParam().ethernet ? Build(MakeEthernet, 345, 225) : Build(MakeClock, 345, 177);
  auto* edit = panel->findChild<QLineEdit*>(QString::fromLatin1(GetParam().edit));
  ASSERT_NE(edit, nullptr);
  edit->clear();
  QTest::keyClicks(edit, QString(GetParam().limit + 3, QLatin1Char('7')));
  EXPECT_EQ(edit->text(), QString(GetParam().limit, QLatin1Char('7')));
}

INSTANTIATE_TEST_SUITE_P(
    Edits, EditLimits,
    ::testing::Values(EditLimit{false, "EditYear", 4}, EditLimit{false, "EditMonth", 3},
                      EditLimit{false, "EditDate", 3}, EditLimit{false, "EditHour", 3},
                      EditLimit{false, "EditMinute", 3}, EditLimit{false, "EditSecond", 3},
                      EditLimit{true, "EditIP", 63}, EditLimit{true, "EditMask", 63},
                      EditLimit{true, "EditGateWay", 63}, EditLimit{true, "EditPrinterName", 15}),
    [](const auto& info) { return std::string(info.param.edit); });

}  // namespace
