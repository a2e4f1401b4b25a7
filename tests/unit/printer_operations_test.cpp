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

// Requests that cannot be carried out: an operation code outside the table or a record of the
// wrong type.
struct RefusedCase {
  PrinterOperation operation;
  OperationRecord record;
};

void PrintTo(const RefusedCase& c, std::ostream* out) {
  *out << "operation " << static_cast<int>(c.operation) << ", record #" << c.record.index();
}

class RefusedRequestTest : public PrinterOperationTest,
                           public ::testing::WithParamInterface<RefusedCase> {};

NetConfigRecord someConfig;
ClockRecord someClock;

TEST_P(RefusedRequestTest, IsRefusedBeforeOpening) {
  EXPECT_EQ(Run(GetParam().operation, GetParam().record), CommandResult::InvalidOperation);
  EXPECT_TRUE(Printer().events.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusedRequestTest,
    ::testing::Values(RefusedCase{static_cast<PrinterOperation>(7), &someClock},
                      RefusedCase{static_cast<PrinterOperation>(-1), &someClock},
                      RefusedCase{PrinterOperation::ReadClock, &someConfig},
                      RefusedCase{PrinterOperation::ReadClock, static_cast<ClockRecord*>(nullptr)},
                      RefusedCase{PrinterOperation::SetClock, {}},
                      RefusedCase{PrinterOperation::SetNetwork, &someClock},
                      RefusedCase{PrinterOperation::SetPrinterName, {}},
                      RefusedCase{PrinterOperation::ReadNetwork, &someClock}));

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

// The operations that only write: exactly their command, no read, the link closed after.
struct WriteCase {
  PrinterOperation operation;
  ClockRecord clock;       // for SetClock
  NetConfigRecord config;  // for SetNetwork and SetPrinterName
  std::string command;
};

void PrintTo(const WriteCase& c, std::ostream* out) {
  ::testing::internal::UniversalPrint(c.command, out);
}

WriteCase Clock(ClockRecord clock, std::string command) {
  return {PrinterOperation::SetClock, clock, {}, std::move(command)};
}

WriteCase Net(PrinterOperation operation, NetConfigRecord config, std::string command) {
  return {operation, {}, config, std::move(command)};
}

class WriteOnlyTest : public PrinterOperationTest,
                      public ::testing::WithParamInterface<WriteCase> {};

TEST_P(WriteOnlyTest, WritesOnlyItsCommand) {
  WriteCase c = GetParam();
  OperationRecord record;
  if (c.operation == PrinterOperation::SetClock) {
    record = &c.clock;
  } else if (c.operation != PrinterOperation::FactoryReset) {
    record = &c.config;
  }
  EXPECT_EQ(Run(c.operation, record), CommandResult::Ok);
  EXPECT_EQ(Printer().commands, Commands{c.command});
  EXPECT_EQ(Printer().fillCalls, 0);
  EXPECT_EQ(Printer().closeCalls, 1);
}

constexpr auto SetNetwork = PrinterOperation::SetNetwork;
constexpr auto SetName = PrinterOperation::SetPrinterName;

INSTANTIATE_TEST_SUITE_P(
    Table, WriteOnlyTest,
    ::testing::Values(
        WriteCase{PrinterOperation::FactoryReset, {}, {}, "INITIALPRINTER\r\n"},
        Clock({2026, 12, 7, 11, 5, 9}, "TS12,07,26,11,05,09\r\n"),
        Clock({2005, 1, 31, 0, 0, 0}, "TS01,31,05,00,00,00\r\n"),
        Clock({26, 6, 1, 23, 59, 59}, "TS06,01,26,23,59,59\r\n"),
        Clock({2026, 100, 1, 1, 1, 1}, "TS100,01,26,01,01,01\r\n"),
        Net(SetNetwork, Config(0, "192.168.1.50", "255.255.255.0", "192.168.1.1", "Label-7"),
            "NET IP \"192.168.1.50\",\"255.255.255.0\",\"192.168.1.1\"\r\n"),
        // Under DHCP the addresses are not sent, so nothing in them can break the command.
        Net(SetNetwork, Config(1, "1.2.3.4\"\r\nINITIALPRINTER", "\t", "", ""), "NET DHCP\r\n"),
        Net(SetName, Config(0, "", "", "", "Label-7"), "NET NAME \"Label-7\"\r\n"),
        Net(SetName, Config(0, "", "", "", ""), "NET NAME \"\"\r\n"),
        Net(SetName, Config(0, "", "", "", "Caf\xE9 \xFF"), "NET NAME \"Caf\xE9 \xFF\"\r\n")));

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

// A read that breaks off keeps the fields read so far, sends nothing more and closes the link.
struct BreakOffCase {
  const char* name;
  LinkKind kind;
  const char* silent;   // a query left unanswered
  const char* refused;  // a command whose write fails
  CommandResult result;
  std::string lastSent;
  ClockRecord clock;
  TransferFailureCause cause;
  const char* reply = nullptr;  // what `silent` gets instead of nothing
  bool baudHint = false;
};

void PrintTo(const BreakOffCase& c, std::ostream* out) {
  *out << c.name;
}

class ReadClockBreakOffTest : public PrinterOperationTest,
                              public ::testing::WithParamInterface<BreakOffCase> {};

TEST_P(ReadClockBreakOffTest, KeepsWhatWasReadAndSendsNothingMore) {
  const BreakOffCase& c = GetParam();
  Printer(c.kind).answers.erase(c.silent);
  if (c.reply != nullptr) {
    Printer(c.kind).answers[c.silent] = c.reply;
  }
  Printer(c.kind).refuseWriteOf = c.refused;
  ClockRecord clock = OldClock;
  EXPECT_EQ(Run(PrinterOperation::ReadClock, &clock, c.kind), c.result);
  EXPECT_EQ(Printer(c.kind).chunks.back(), c.lastSent);
  EXPECT_EQ(clock, c.clock);
  EXPECT_EQ(Printer(c.kind).closeCalls, 1);
  // The cause names the command that failed and what went wrong with it.
  const TransferFailure& failure = facade_->LastTransferFailure();
  EXPECT_EQ(failure.cause, c.cause) << TransferFailureCauseName(failure.cause);
  EXPECT_EQ(failure.command + "\r\n", c.lastSent);
  EXPECT_EQ(failure.unreadable, c.baudHint);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReadClockBreakOffTest,
    ::testing::Values(
        BreakOffCase{"SilentInterface", LinkKind::Usb, "DIAGNOSTIC INTERFACE USB", "",
                     CommandResult::ReceiveDataError, "DIAGNOSTIC INTERFACE USB\r\n", OldClock,
                     TransferFailureCause::NoReply},
        BreakOffCase{"SilentHour", LinkKind::Usb, "DIAGNOSTIC REPORT HOUR", "",
                     CommandResult::ReceiveDataError, "DIAGNOSTIC REPORT HOUR\r\n",
                     ClockRecord{2026, 3, 14, OldClock.hour, OldClock.minute, OldClock.second},
                     TransferFailureCause::NoReply},
        BreakOffCase{"LptCannotRead", LinkKind::Lpt, "", "", CommandResult::ReceiveDataError,
                     "DIAGNOSTIC INTERFACE LPT\r\n", OldClock, TransferFailureCause::CannotReceive},
        BreakOffCase{"FailedWrite", LinkKind::Usb, "", "DIAGNOSTIC REPORT MONTH",
                     CommandResult::TransmitDataError, "DIAGNOSTIC REPORT MONTH\r\n",
                     ClockRecord{2026, OldClock.month, OldClock.date, OldClock.hour,
                                 OldClock.minute, OldClock.second},
                     TransferFailureCause::WriteStopped},
        // What a wrong baud rate makes of the text, and a frame whose brace never comes.
        BreakOffCase{"ComNoiseOnly", LinkKind::Com, "DIAGNOSTIC INTERFACE COM", "",
                     CommandResult::ReceiveDataError, "DIAGNOSTIC INTERFACE COM\r\n", OldClock,
                     TransferFailureCause::NoFrame, "\x8f\xe6\x13\xfe\x81 \xc3", true},
        BreakOffCase{"ComCutOff", LinkKind::Com, "DIAGNOSTIC REPORT YEAR", "",
                     CommandResult::ReceiveDataError, "DIAGNOSTIC REPORT YEAR\r\n", OldClock,
                     TransferFailureCause::FrameCutOff, "\r\n{4|20"}),
    [](const auto& info) { return std::string(info.param.name); });

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

TEST(ResultMessage, GivesEachCodeItsTextAndOtherCodesTheUnknownError) {
  for (std::size_t code = 0; code < ResultMessages.size(); ++code) {
    EXPECT_EQ(ResultMessage(static_cast<CommandResult>(code)), ResultMessages[code]);
  }
  for (int code : {6, -1, 99}) {
    EXPECT_EQ(ResultMessage(static_cast<CommandResult>(code)), "Unknow Error");
  }
}

}  // namespace
