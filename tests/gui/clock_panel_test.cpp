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

  // Shows `previous`, types over the year, reads, and expects `previous` back in full.
  void ExpectFailedReadShows(const ClockRecord& previous, const ClockTexts& shown) {
    values_ = previous;
    clock_->ShowClockFields();
    Type("EditYear", QStringLiteral("1999"));
    Button("ButtonRTCRead")->click();
    EXPECT_EQ(values_, previous);
    EXPECT_EQ(Shown(), shown);
    ASSERT_EQ(host_.calls.size(), 1u);
    EXPECT_EQ(host_.calls[0].operation, PrinterOperation::ReadClock);
  }

  ClockRecord values_;
  ClockPanel* clock_ = nullptr;
};

TEST_F(ClockPanelTest, GetSystemTime_ShowsThePcTimeWithoutAskingThePrinter) {
  host_.now = QDateTime(QDate(2026, 12, 7), QTime(11, 5, 9));
  Button("ButtonSetSysTime")->click();
  EXPECT_EQ(Shown(), (ClockTexts{"2026", "12", "7", "11", "5", "9"}));
  EXPECT_EQ(values_, (ClockRecord{2026, 12, 7, 11, 5, 9}));
  EXPECT_TRUE(host_.calls.empty());
  EXPECT_EQ(sim_->AcceptedConnections(), 0u);
}

TEST_F(ClockPanelTest, Set_SendsTheTypedTimeInTheWireOrderAndLeavesTheEdits) {
  TypeClock({"2026", "12", "07", "11", "5", "9"});
  Button("ButtonOk")->click();
  EXPECT_EQ(ReceivedAfter(1), std::vector<std::string>{"TS12,07,26,11,05,09\r\n"});
  EXPECT_EQ(values_, (ClockRecord{2026, 12, 7, 11, 5, 9}));
  EXPECT_EQ(Text("EditDate"), QStringLiteral("07"));
}

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

TEST_F(ClockPanelTest, ReadThatCannotOpen_ShowsThePreviousValuesAgain) {
  host_.answer = CommandResult::OpenPortError;
  ExpectFailedReadShows({2020, -1, 2, 3, 4, 5}, {"2020", "-1", "2", "3", "4", "5"});
}

TEST_F(ClockPanelTest, ReadBrokenOffAtTheLastReport_KeepsEveryPreviousValue) {
  printer_sim::FaultSwitches faults;
  faults.closeMidFrame.value = true;
  faults.LimitTo("DIAGNOSTIC REPORT SECOND");
  sim_->SetFaults(faults);
  ExpectFailedReadShows({2020, 1, 2, 3, 4, 5}, {"2020", "1", "2", "3", "4", "5"});
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

// The conversion behind every clock field, beyond what a four-character edit can hold.
struct Conversion {
  const char* text;
  std::optional<std::int32_t> value;  // nothing: refused
};

void PrintTo(const Conversion& c, std::ostream* os) {
  *os << "'" << c.text << "'";
}

class IntegerConversion : public ::testing::TestWithParam<Conversion> {};

TEST_P(IntegerConversion, TakesOnlyWhole32BitNumbers) {
  const QString text = QString::fromLatin1(GetParam().text);
  if (GetParam().value) {
    EXPECT_EQ(StrToInt(text), *GetParam().value);
  } else {
    try {
      StrToInt(text);
      ADD_FAILURE() << "took '" << GetParam().text << "'";
    } catch (const UserInputError& error) {
      EXPECT_EQ(error.Message(), QStringLiteral("'%1' is not a valid integer value.").arg(text));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, IntegerConversion,
                         ::testing::Values(Conversion{" -5", -5}, Conversion{"+7", 7},
                                           Conversion{"-2147483648", INT_MIN},
                                           Conversion{"2147483648", {}},
                                           Conversion{"-2147483649", {}}, Conversion{"", {}},
                                           Conversion{"-", {}}, Conversion{"12a", {}},
                                           Conversion{"5 ", {}}));

}  // namespace
