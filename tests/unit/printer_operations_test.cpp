#include "protocol/printer_operations.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "printer_operation_fixture.h"
#include "protocol/clock_commands.h"

namespace {

const ClockRecord OldClock{1999, 1, 2, 3, 4, 5};
const ClockRecord ReadBackClock{2026, 3, 14, 9, 26, 53};

TEST_F(PrinterOperationTest, UnknownOperationCode_IsRefusedBeforeOpening) {
  ClockRecord clock;
  for (int code : {7, -1}) {
    EXPECT_EQ(Run(static_cast<PrinterOperation>(code), &clock), CommandResult::InvalidOperation);
  }
  EXPECT_TRUE(Printer().events.empty());
}

struct WrongRecordCase {
  PrinterOperation operation;
  OperationRecord record;
};

void PrintTo(const WrongRecordCase& c, std::ostream* out) {
  *out << "operation " << static_cast<int>(c.operation) << ", record #" << c.record.index();
}

class WrongRecordTest : public PrinterOperationTest,
                        public ::testing::WithParamInterface<WrongRecordCase> {};

NetConfigRecord someConfig;
ClockRecord someClock;

TEST_P(WrongRecordTest, IsRefusedBeforeOpening) {
  EXPECT_EQ(Run(GetParam().operation, GetParam().record), CommandResult::InvalidOperation);
  EXPECT_TRUE(Printer().events.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, WrongRecordTest,
    ::testing::Values(WrongRecordCase{PrinterOperation::ReadClock, &someConfig},
                      WrongRecordCase{PrinterOperation::ReadClock,
                                      static_cast<ClockRecord*>(nullptr)},
                      WrongRecordCase{PrinterOperation::SetClock, {}},
                      WrongRecordCase{PrinterOperation::SetNetwork, &someClock},
                      WrongRecordCase{PrinterOperation::SetPrinterName, {}},
                      WrongRecordCase{PrinterOperation::ReadNetwork, &someClock}));

TEST_F(PrinterOperationTest, OpenFailure_LeavesRecordAndClosesNothing) {
  Printer().openResult = InvalidLink;
  ClockRecord clock = OldClock;
  EXPECT_EQ(Run(PrinterOperation::ReadClock, &clock), CommandResult::OpenPortError);
  EXPECT_EQ(clock, OldClock);
  EXPECT_EQ(Printer().events, Commands{"open"});
  EXPECT_EQ(Run(PrinterOperation::ProbeLink), CommandResult::OpenPortError);
}

TEST_F(PrinterOperationTest, ProbeLink_OnlyOpensAndCloses) {
  EXPECT_EQ(Run(PrinterOperation::ProbeLink), CommandResult::Ok);
  EXPECT_EQ(Printer().events, (Commands{"open", "close"}));
}

TEST_F(PrinterOperationTest, FactoryReset_WritesTheResetAndReadsNothing) {
  EXPECT_EQ(Run(PrinterOperation::FactoryReset), CommandResult::Ok);
  EXPECT_EQ(Printer().commands, Commands{"INITIALPRINTER\r\n"});
  EXPECT_EQ(Printer().fillCalls, 0);
  EXPECT_EQ(Printer().closeCalls, 1);
}

struct SetClockCase {
  ClockRecord clock;
  std::string command;
};

class SetClockTest : public PrinterOperationTest,
                     public ::testing::WithParamInterface<SetClockCase> {};

TEST_P(SetClockTest, WritesOnlyTheClockCommand) {
  ClockRecord clock = GetParam().clock;
  EXPECT_EQ(Run(PrinterOperation::SetClock, &clock), CommandResult::Ok);
  EXPECT_EQ(Printer().commands, Commands{GetParam().command});
  EXPECT_EQ(Printer().fillCalls, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SetClockTest,
    ::testing::Values(SetClockCase{{2026, 12, 7, 11, 5, 9}, "TS12,07,26,11,05,09\r\n"},
                      SetClockCase{{2005, 1, 31, 0, 0, 0}, "TS01,31,05,00,00,00\r\n"},
                      SetClockCase{{26, 6, 1, 23, 59, 59}, "TS06,01,26,23,59,59\r\n"},
                      SetClockCase{{2026, 100, 1, 1, 1, 1}, "TS100,01,26,01,01,01\r\n"}));

class ReadClockKindTest : public PrinterOperationTest,
                          public ::testing::WithParamInterface<LinkKind> {};

TEST_P(ReadClockKindTest, NamesTheInterfaceThenAsksEachFieldInOrder) {
  ClockRecord clock = OldClock;
  EXPECT_EQ(Run(PrinterOperation::ReadClock, &clock, GetParam()), CommandResult::Ok);
  EXPECT_EQ(clock, ReadBackClock);
  const Commands expected = {std::string(InterfaceCommandFor(GetParam())),
                             "DIAGNOSTIC REPORT YEAR\r\n",
                             "DIAGNOSTIC REPORT MONTH\r\n",
                             "DIAGNOSTIC REPORT DATE\r\n",
                             "DIAGNOSTIC REPORT HOUR\r\n",
                             "DIAGNOSTIC REPORT MINUTE\r\n",
                             "DIAGNOSTIC REPORT SECOND\r\n"};
  EXPECT_EQ(Printer(GetParam()).commands, expected);
  EXPECT_EQ(Printer(GetParam()).events.back(), "close");
}

INSTANTIATE_TEST_SUITE_P(Kinds, ReadClockKindTest,
                         ::testing::Values(LinkKind::Usb, LinkKind::Com, LinkKind::Ethernet));

TEST_F(PrinterOperationTest, ReadClock_StopsAtFirstSilentReport) {
  Printer().answers.erase("DIAGNOSTIC REPORT HOUR");
  ClockRecord clock = OldClock;
  EXPECT_EQ(Run(PrinterOperation::ReadClock, &clock), CommandResult::ReceiveDataError);
  EXPECT_EQ(clock, (ClockRecord{2026, 3, 14, OldClock.hour, OldClock.minute, OldClock.second}));
  EXPECT_EQ(Printer().commands.back(), "DIAGNOSTIC REPORT HOUR\r\n");
  EXPECT_EQ(Printer().closeCalls, 1);
}

TEST_F(PrinterOperationTest, ReadClock_SendsNoReportWhenInterfaceGoesUnanswered) {
  Printer().answers.erase("DIAGNOSTIC INTERFACE USB");
  ClockRecord clock = OldClock;
  EXPECT_EQ(Run(PrinterOperation::ReadClock, &clock), CommandResult::ReceiveDataError);
  EXPECT_EQ(Printer().commands, Commands{"DIAGNOSTIC INTERFACE USB\r\n"});
  EXPECT_EQ(clock, OldClock);
}

TEST_F(PrinterOperationTest, ReadClock_OverLptWritesInterfaceThenCannotRead) {
  ClockRecord clock = OldClock;
  EXPECT_EQ(Run(PrinterOperation::ReadClock, &clock, LinkKind::Lpt),
            CommandResult::ReceiveDataError);
  EXPECT_EQ(Printer(LinkKind::Lpt).commands, Commands{"DIAGNOSTIC INTERFACE LPT\r\n"});
  EXPECT_EQ(clock, OldClock);
}

TEST_F(PrinterOperationTest, ReadClock_FailedWriteStopsEverything) {
  Printer().refuseWriteOf = "DIAGNOSTIC REPORT MONTH";
  ClockRecord clock = OldClock;
  EXPECT_EQ(Run(PrinterOperation::ReadClock, &clock), CommandResult::TransmitDataError);
  EXPECT_EQ(Printer().chunks.back(), "DIAGNOSTIC REPORT MONTH\r\n");
  EXPECT_EQ(clock.year, 2026);
  EXPECT_EQ(clock.month, OldClock.month);
  EXPECT_EQ(Printer().closeCalls, 1);
}

struct NumberCase {
  std::string text;
  std::int32_t value;
};

void PrintTo(const NumberCase& c, std::ostream* out) {
  *out << '"' << c.text << '"';
}

class ReportNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ReportNumberTest, ParsesLikeAtoiWithSaturation) {
  EXPECT_EQ(ParseReportNumber(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Table, ReportNumberTest,
                         ::testing::Values(NumberCase{"2009", 2009}, NumberCase{"09", 9},
                                           NumberCase{"12:30", 12}, NumberCase{"", 0},
                                           NumberCase{"abc", 0}, NumberCase{" -5", -5},
                                           NumberCase{"\t\n+7", 7}, NumberCase{"-", 0},
                                           NumberCase{"2147483647", INT_MAX},
                                           NumberCase{"2147483648", INT_MAX},
                                           NumberCase{"-2147483648", INT_MIN},
                                           NumberCase{"99999999999999999999999", INT_MAX},
                                           NumberCase{"-99999999999999999999999", INT_MIN}));

TEST(ResultMessage, ReadsTheTableAndTreatsOtherCodesAsUnknown) {
  const std::vector<std::string_view> expected = {"",
                                                  "Open Port Error",
                                                  "Transmit Data Error",
                                                  "Receive Data Error",
                                                  "Open File Error",
                                                  "Unknow Error"};
  for (int code = 0; code < 6; ++code) {
    EXPECT_EQ(ResultMessage(static_cast<CommandResult>(code)), expected[code]);
  }
  for (int code : {6, -1, 99}) {
    EXPECT_EQ(ResultMessage(static_cast<CommandResult>(code)), "Unknow Error");
  }
}

}  // namespace
