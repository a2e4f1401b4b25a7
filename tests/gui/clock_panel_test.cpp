#include <QDate>
#include <QTime>
#include <array>
#include <chrono>
#include <climits>

#include "panel_fixture.h"
#include "panels/clock_panel.h"

namespace {

using namespace std::chrono;
using ClockTexts = std::array<QString, 6>;

constexpr std::array<const char*, 6> ClockEdits = {"EditYear", "EditMonth",  "EditDate",
                                                   "EditHour", "EditMinute", "EditSecond"};

class ClockPanelTest : public PanelTest {
 protected:
  void SetUp() override {
    PanelTest::SetUp();
    auto panel = std::make_unique<ClockPanel>(host_, values_, scale_);
    clock_ = panel.get();
    Show(std::move(panel));
  }

  ClockTexts Shown() const {
    ClockTexts texts;
    for (std::size_t i = 0; i < ClockEdits.size(); ++i) {
      texts[i] = Text(ClockEdits[i]);
    }
    return texts;
  }
  void TypeClock(const ClockTexts& texts) const {
    for (std::size_t i = 0; i < ClockEdits.size(); ++i) {
      Type(ClockEdits[i], texts[i]);
    }
  }

  ClockRecord values_;
  ClockPanel* clock_ = nullptr;
};

TEST_F(ClockPanelTest, Set_TakesLeadingBlanksAndASign) {
  host_.answer = CommandResult::Ok;
  TypeClock({"2026", " -5", "+7", "  3", "0", "-0"});
  Button("ButtonOk")->click();
  const ClockRecord taken{2026, -5, 7, 3, 0, 0};
  EXPECT_EQ(values_, taken);
  ASSERT_EQ(host_.calls.size(), 1u);
  EXPECT_EQ(host_.calls[0].operation, PrinterOperation::SetClock);
  EXPECT_EQ(std::get<ClockRecord>(host_.calls[0].record), taken);
  EXPECT_EQ(Text("EditMonth"), QStringLiteral(" -5"));
}

TEST_F(ClockPanelTest, Read_ShowsThePrinterClock) {
  printer_sim::SimServerConfig config;
  config.clock = [] { return sys_days{year{2031} / 5 / 6} + hours{7} + minutes{8} + seconds{9}; };
  StartSim(std::move(config));
  Button("ButtonRTCRead")->click();
  EXPECT_EQ(Shown(), (ClockTexts{"2031", "5", "6", "7", "8", "9"}));
  EXPECT_EQ(values_, (ClockRecord{2031, 5, 6, 7, 8, 9}));
}

// A printer with a broken clock may report more digits than can be typed; the value is shown
// whole and "Set" sends it back whole, while typing stays within the limits.
TEST_F(ClockPanelTest, ValuesLongerThanCanBeTyped_AreShownAndSetWhole) {
  for (const int printerYear : {20261, -2026}) {
    printer_sim::SimServerConfig config;
    config.clock = [printerYear] { return sys_days{year{printerYear} / 5 / 6} + hours{7}; };
    StartSim(std::move(config));
    Button("ButtonRTCRead")->click();
    EXPECT_EQ(Text("EditYear"), QString::number(printerYear));
  }

  const ClockRecord reported{20261, 1000, -100, INT_MAX, INT_MIN, 99999};
  values_ = reported;
  clock_->ShowClockFields();
  EXPECT_EQ(Shown(), (ClockTexts{"20261", "1000", "-100", "2147483647", "-2147483648", "99999"}));
  host_.answer = CommandResult::Ok;
  Button("ButtonOk")->click();
  ASSERT_FALSE(host_.calls.empty());
  EXPECT_EQ(std::get<ClockRecord>(host_.calls.back().record), reported);

  Type("EditYear", QStringLiteral("123456"));
  Type("EditMonth", QStringLiteral("12345"));
  EXPECT_EQ(Text("EditYear"), QStringLiteral("1234"));
  EXPECT_EQ(Text("EditMonth"), QStringLiteral("123"));
}

// A read that fails half-way leaves no mixture: the previous values come back in full, over
// whatever was typed.
TEST_F(ClockPanelTest, ReadBrokenOffAtTheLastReport_ShowsEveryPreviousValue) {
  printer_sim::FaultSwitches faults;
  faults.closeMidFrame.value = true;
  faults.LimitTo("DIAGNOSTIC REPORT SECOND");
  sim_->SetFaults(faults);
  const ClockRecord previous{2020, -1, 2, 3, 4, 5};
  values_ = previous;
  clock_->ShowClockFields();
  Type("EditYear", QStringLiteral("1999"));
  Button("ButtonRTCRead")->click();
  EXPECT_EQ(values_, previous);
  EXPECT_EQ(Shown(), (ClockTexts{"2020", "-1", "2", "3", "4", "5"}));
  ASSERT_EQ(host_.calls.size(), 1u);
  EXPECT_EQ(host_.calls[0].operation, PrinterOperation::ReadClock);
}

// A field that does not convert stops "Set": the fields before it are already taken, it and
// the ones after keep their values, and nothing reaches the printer.
struct BadField {
  std::size_t index;
  const char* text;
};

void PrintTo(const BadField& f, std::ostream* os) {
  *os << ClockEdits[f.index] << " '" << f.text << "'";
}

class ClockPanelBadField : public ClockPanelTest, public ::testing::WithParamInterface<BadField> {};

TEST_P(ClockPanelBadField, IsRefusedAfterTheFieldsBeforeItAreTaken) {
  const ClockRecord before{1, 2, 3, 4, 5, 6};
  const ClockRecord typed{2026, 12, 7, 11, 5, 9};
  values_ = before;
  TypeClock({"2026", "12", "7", "11", "5", "9"});
  const QString bad = QString::fromUtf8(GetParam().text);
  Paste(ClockEdits[GetParam().index], bad);

  EXPECT_EQ(ClickRefused("ButtonOk"),
            QStringLiteral("'%1' is not a valid integer value.").arg(bad));
  EXPECT_TRUE(host_.calls.empty());

  auto fields = [](const ClockRecord& r) {
    return std::array{r.year, r.month, r.date, r.hour, r.minute, r.second};
  };
  for (std::size_t i = 0; i < ClockEdits.size(); ++i) {
    const auto& expected = i < GetParam().index ? typed : before;
    EXPECT_EQ(fields(values_)[i], fields(expected)[i]) << ClockEdits[i];
  }
}

INSTANTIATE_TEST_SUITE_P(Fields, ClockPanelBadField,
                         ::testing::Values(BadField{1, ""}, BadField{0, "12a"},
                                           BadField{2, "\xe2\x82\xac"}, BadField{3, "+-1"},
                                           BadField{4, "5 "}, BadField{5, "1.5"}));

// The conversion behind every clock field, at the 32-bit bounds a four-character edit cannot
// reach; the message of a refusal is checked above.
TEST(StrToInt, TakesOnlyWhole32BitNumbers) {
  EXPECT_EQ(*StrToInt(QStringLiteral("-2147483648")), INT_MIN);
  EXPECT_EQ(*StrToInt(QStringLiteral("2147483647")), INT_MAX);
  for (const char* text : {"2147483648", "-2147483649", "-", "99999999999999999999"}) {
    EXPECT_FALSE(StrToInt(QString::fromLatin1(text))) << text;
  }
}

}  // namespace
