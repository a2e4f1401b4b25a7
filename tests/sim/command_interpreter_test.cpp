#include "printer-sim/command_interpreter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace printer_sim {
namespace {

using namespace std::chrono;

// 4 March 2026 13:07:09 on the host.
constexpr sys_seconds kHostNow = sys_days{2026y / March / 4} + 13h + 7min + 9s;

class InterpreterTest : public testing::Test {
 protected:
  std::vector<CommandOutcome> Feed(std::string_view bytes) {
    return interpreter_.Feed(bytes, state_, faults_);
  }
  // The reply bytes to one query, or "<none>".
  std::string Ask(const std::string& command) {
    auto outcomes = Feed(command + "\r\n");
    EXPECT_EQ(outcomes.size(), 1u);
    return outcomes.size() == 1 && outcomes[0].reply ? outcomes[0].reply->bytes : "<none>";
  }

  PrinterState state_;
  FaultSwitches faults_;
  sys_seconds now_ = kHostNow;
  CommandInterpreter interpreter_{PrinterState{}, [this] { return now_; }};
};

struct QueryCase {
  std::vector<std::string> setup;  // set commands sent first
  std::string query;
  std::string frame;
};

class QueryTest : public InterpreterTest, public testing::WithParamInterface<QueryCase> {};

TEST_P(QueryTest, RepliesWithFrame) {
  for (const std::string& line : GetParam().setup) {
    auto outcomes = Feed(line + "\r\n");
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].kind, CommandKind::Set) << line;
    EXPECT_FALSE(outcomes[0].reply);
  }
  EXPECT_EQ(Ask(GetParam().query), GetParam().frame);
}

const std::string kSetClock = "TS12,07,26,11,05,09";
const std::string kStatic = "NET IP \"10.0.0.5\",\"255.0.0.0\",\"10.0.0.1\"";

INSTANTIATE_TEST_SUITE_P(
    Table, QueryTest,
    testing::Values(
        QueryCase{{}, "DIAGNOSTIC INTERFACE LPT", "{2|OK}"},
        QueryCase{{kSetClock}, "DIAGNOSTIC REPORT YEAR", "{4|2026}"},
        QueryCase{{kSetClock}, "DIAGNOSTIC REPORT MONTH", "{2|12}"},
        QueryCase{{kSetClock}, "DIAGNOSTIC REPORT DATE", "{1|7}"},
        QueryCase{{kSetClock}, "DIAGNOSTIC REPORT HOUR", "{2|11}"},
        QueryCase{{kSetClock}, "DIAGNOSTIC REPORT MINUTE", "{1|5}"},
        QueryCase{{kSetClock}, "DIAGNOSTIC REPORT SECOND", "{1|9}"},
        // Out-of-range fields roll over like a calendar would.
        QueryCase{{"TS13,01,26,0,0,0"}, "DIAGNOSTIC REPORT YEAR", "{4|2027}"},
        QueryCase{{"TS03,00,28,0,0,0"}, "DIAGNOSTIC REPORT DATE", "{2|29}"},
        QueryCase{{"TS1,1,26,0,-1,0"}, "DIAGNOSTIC REPORT YEAR", "{4|2025}"},
        QueryCase{{"TS001,001,026,025,0,0"}, "DIAGNOSTIC REPORT HOUR", "{1|1}"},
        QueryCase{{kStatic}, "DIAGNOSTIC REPORT CONFIGIP", "{8|10.0.0.5}"},
        QueryCase{{kStatic}, "DIAGNOSTIC REPORT IPMASK", "{9|255.0.0.0}"},
        QueryCase{{kStatic}, "DIAGNOSTIC REPORT GATEWAY", "{8|10.0.0.1}"},
        QueryCase{{kStatic}, "DIAGNOSTIC REPORT LASTUSEDIP", "{8|10.0.0.5}"},
        QueryCase{{kStatic, "NET DHCP"}, "DIAGNOSTIC REPORT CONFIGIP", "{7|0.0.0.0}"},
        QueryCase{{kStatic, "NET DHCP"}, "DIAGNOSTIC REPORT LASTUSEDIP", "{13|192.168.1.100}"},
        QueryCase{
            {"NET NAME \"Front desk #2\""}, "DIAGNOSTIC REPORT NETNAME", "{13|Front desk #2}"},
        QueryCase{{"NET NAME \"\""}, "DIAGNOSTIC REPORT NETNAME", "{0|}"},
        QueryCase{{kSetClock, "INITIALPRINTER"}, "DIAGNOSTIC REPORT HOUR", "{2|13}"},
        QueryCase{{kStatic, "INITIALPRINTER"}, "DIAGNOSTIC REPORT CONFIGIP", "{7|0.0.0.0}"},
        QueryCase{
            {"NET NAME \"x\"", "INITIALPRINTER"}, "DIAGNOSTIC REPORT NETNAME", "{6|Q73580}"}));

TEST_F(InterpreterTest, ClockKeepsTickingAfterBeingSet) {
  Feed("TS12,31,26,23,59,30\r\n");
  now_ += 45s;
  EXPECT_EQ(Ask("DIAGNOSTIC REPORT YEAR"), "{4|2027}");
  EXPECT_EQ(Ask("DIAGNOSTIC REPORT SECOND"), "{2|15}");
}

TEST_F(InterpreterTest, InterfaceQueryRecordsTheInterfaceAndResetKeepsIdentity) {
  state_.mac = "AA:BB:CC:DD:EE:FF";
  Feed("DIAGNOSTIC INTERFACE NET\r\nINITIALPRINTER\r\n");
  EXPECT_EQ(state_.diagnosticInterface, DiagnosticInterface::Net);
  EXPECT_EQ(state_.mac, "AA:BB:CC:DD:EE:FF");
}

class IgnoredLineTest : public InterpreterTest, public testing::WithParamInterface<std::string> {};

TEST_P(IgnoredLineTest, IsUnknownAndChangesNothing) {
  auto outcomes = Feed(GetParam());
  ASSERT_EQ(outcomes.size(), 1u);
  EXPECT_EQ(outcomes[0].kind, CommandKind::Unknown);
  EXPECT_EQ(outcomes[0].raw, GetParam());
  EXPECT_FALSE(outcomes[0].reply);
  EXPECT_EQ(state_, PrinterState{});
}

INSTANTIATE_TEST_SUITE_P(
    Lines, IgnoredLineTest,
    testing::Values("TS12,07,26,11,05\r\n", "TS12,07,26,11,05,09,00\r\n", "TS12,07,x,11,05,09\n",
                    "TS--1,07,26,11,05,09\r\n", "TS12,07,26,11,05,\r\n",
                    "TS12,07,99999999999999999999,11,05,09\r\n", "ts12,07,26,11,05,09\r\n",
                    "NET IP \"1.2.3.4\",\"255.0.0.0\"\r\n", "NET IP \"1.2.3.4\",\"a\",\"b\" x\r\n",
                    "NET NAME x\r\n", "NET NAME \"a\"b\"\r\n", "net dhcp\r\n",
                    "DIAGNOSTIC REPORT year\r\n", " DIAGNOSTIC REPORT YEAR\r\n",
                    "DIAGNOSTIC INTERFACE usb\r\n", "\r\n", "\x01\xff\n"));

TEST_F(InterpreterTest, SplitsLinesAcrossFeedsAndKeepsRawBytes) {
  EXPECT_TRUE(Feed("DIAGNOSTIC REP").empty());
  EXPECT_EQ(interpreter_.Pending(), "DIAGNOSTIC REP");
  auto outcomes = Feed("ORT YEAR\r");
  EXPECT_TRUE(outcomes.empty());
  outcomes = Feed("\nDIAGNOSTIC REPORT HOUR\nNET DHCP\r\nDIAG");
  ASSERT_EQ(outcomes.size(), 3u);
  EXPECT_EQ(outcomes[0].raw, "DIAGNOSTIC REPORT YEAR\r\n");
  EXPECT_EQ(outcomes[0].reply->bytes, "{4|2026}");
  EXPECT_EQ(outcomes[1].raw, "DIAGNOSTIC REPORT HOUR\n");
  EXPECT_EQ(outcomes[1].reply->bytes, "{2|13}");
  EXPECT_EQ(outcomes[2].kind, CommandKind::Set);
  EXPECT_EQ(interpreter_.Pending(), "DIAG");
}

TEST_F(InterpreterTest, EndlessLineIsCutRatherThanBuffered) {
  std::string flood(CommandInterpreter::MaxLineBytes * 2 + 10, 'A');
  auto outcomes = Feed(flood);
  ASSERT_EQ(outcomes.size(), 2u);
  EXPECT_EQ(outcomes[0].raw.size(), CommandInterpreter::MaxLineBytes);
  EXPECT_EQ(interpreter_.Pending().size(), 10u);
}

struct FaultCase {
  std::string label;
  std::size_t garbage;
  int slowMs;
  bool closeMidFrame;
  bool badLength;
  const char* limitTo;  // nullptr: every query
  ReplyPlan plan;       // for DIAGNOSTIC REPORT YEAR, whose frame is {4|2026}
};

class FaultPlanTest : public InterpreterTest, public testing::WithParamInterface<FaultCase> {};

TEST_P(FaultPlanTest, ShapesTheReply) {
  const FaultCase& c = GetParam();
  faults_.leadInGarbage.value = c.garbage;
  faults_.slowByteDelayMs.value = c.slowMs;
  faults_.closeMidFrame.value = c.closeMidFrame;
  faults_.badLength.value = c.badLength;
  if (c.limitTo != nullptr) {
    faults_.LimitTo(c.limitTo);
  }
  auto outcomes = Feed("DIAGNOSTIC REPORT YEAR\r\n");
  ASSERT_EQ(outcomes.size(), 1u);
  ASSERT_TRUE(outcomes[0].reply);
  EXPECT_EQ(*outcomes[0].reply, c.plan);
}

const char* const kMinute = "DIAGNOSTIC REPORT MINUTE";
const char* const kYear = "DIAGNOSTIC REPORT YEAR";

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultPlanTest,
    testing::Values(
        FaultCase{"None", 0, 0, false, false, nullptr, {"{4|2026}", 0ms, false}},
        FaultCase{"Garbage", 10, 0, false, false, nullptr, {"NOISE 0123{4|2026}", 0ms, false}},
        FaultCase{"Slow", 0, 7, false, false, nullptr, {"{4|2026}", 7ms, false}},
        FaultCase{"CloseMidFrame", 0, 0, true, false, nullptr, {"{4|2", 0ms, true}},
        FaultCase{"BadLength", 0, 0, false, true, nullptr, {"{6|2026}", 0ms, false}},
        FaultCase{"Combined", 3, 1, true, false, nullptr, {"NOI{4|2", 1ms, true}},
        FaultCase{"LimitedToAnother", 5, 0, false, true, kMinute, {"{4|2026}", 0ms, false}},
        FaultCase{"LimitedToThis", 0, 0, false, true, kYear, {"{6|2026}", 0ms, false}}),
    [](const auto& info) { return info.param.label; });

TEST_F(InterpreterTest, SilencedQueryGetsNoReplyButOthersDo) {
  faults_.silentOn = {"DIAGNOSTIC REPORT HOUR", "DIAGNOSTIC INTERFACE COM"};
  auto outcomes =
      Feed("DIAGNOSTIC REPORT HOUR\r\nDIAGNOSTIC INTERFACE COM\r\nDIAGNOSTIC REPORT DATE\r\n");
  ASSERT_EQ(outcomes.size(), 3u);
  EXPECT_TRUE(outcomes[0].silenced);
  EXPECT_FALSE(outcomes[0].reply);
  EXPECT_FALSE(outcomes[1].reply);
  EXPECT_EQ(state_.diagnosticInterface, DiagnosticInterface::Com);
  EXPECT_EQ(outcomes[2].reply->bytes, "{1|4}");
}

TEST_F(InterpreterTest, OversizedFrameIsWellFormedButTooLarge) {
  faults_.oversizedFrame.value = true;
  std::string frame = Ask("DIAGNOSTIC REPORT NETNAME");
  std::size_t bar = frame.find('|');
  ASSERT_NE(bar, std::string::npos);
  std::string data = frame.substr(bar + 1, frame.size() - bar - 2);
  EXPECT_EQ(frame.back(), '}');
  EXPECT_GT(frame.size() - 2, 1024u);
  EXPECT_EQ(frame.substr(1, bar - 1), std::to_string(data.size()));
  EXPECT_TRUE(data.starts_with("Q73580"));
}

}  // namespace
}  // namespace printer_sim
