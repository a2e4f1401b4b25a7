#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/parity_marks.h"
#include "link/serial_line_posix.h"
#include "printer_operation_fixture.h"

namespace {

using namespace std::string_literals;

// Raw bytes as a line with odd parity hands them over, one read per element.
struct MarkCase {
  const char* name;
  std::vector<std::string> reads;
  std::string good;  // what the reader gets before it fails or runs dry
  bool damaged;
};
void PrintTo(const MarkCase& c, std::ostream* os) {
  *os << c.name;
}

class ParityMarks : public ::testing::TestWithParam<MarkCase> {};

TEST_P(ParityMarks, PassGoodBytesAndStopTheReaderAtTheDamagedOne) {
  ParityMarkDecoder decoder;
  ReceiveBuffer buffer;
  for (const std::string& read : GetParam().reads) {
    decoder.Feed(reinterpret_cast<const std::uint8_t*>(read.data()),
                 static_cast<std::uint32_t>(read.size()), buffer);
  }
  std::string got;
  for (std::uint8_t byte = 0; buffer.TakeByte(byte);) {
    got += static_cast<char>(byte);
  }
  EXPECT_EQ(got, GetParam().good);
  EXPECT_EQ(buffer.Damaged(), GetParam().damaged);
  EXPECT_FALSE(buffer.Dropped());
}

// String pieces are kept apart where a hex escape would run into the next character.
INSTANTIATE_TEST_SUITE_P(
    Table, ParityMarks,
    ::testing::Values(MarkCase{"PlainBytes", {"{4|2026}"}, "{4|2026}", false},
                      MarkCase{"EscapedFF",
                               {"a\xFF\xFF"
                                "b"},
                               "a\xFF"
                               "b",
                               false},
                      MarkCase{"EscapeSplitAcrossReads",
                               {"a\xFF",
                                "\xFF"
                                "b"},
                               "a\xFF"
                               "b",
                               false},
                      MarkCase{"ErrorMark",
                               {"{4|20\xFF\x00"
                                "06}"s},
                               "{4|20",
                               true},
                      MarkCase{
                          "MarkSplitAcrossReads", {"{4|20\xFF", "\x00"s, "06}"}, "{4|20", true},
                      MarkCase{"NothingAfterTheMarkIsKept",
                               {"{4|20\xFF\x00"
                                "0"s,
                                "6}", "{2|03}"},
                               "{4|20",
                               true},
                      MarkCase{"Break", {"ab\xFF\x00\x00"s}, "ab", true},
                      MarkCase{"MarkAtTheEnd", {"ab\xFF\x00"s}, "ab", true},
                      MarkCase{"EscapeAtTheEndWaitsForItsPair", {"ab\xFF"}, "ab", false}),
    [](const auto& info) { return std::string(info.param.name); });

// A serial line whose driver marks damaged bytes: what the printer sends passes through the
// decoder as it does in SerialPort::Fill.
class MarkingLine : public ScriptedPrinter {
 public:
  bool Fill(LinkHandle, ReceiveBuffer& buffer) override {
    ++fillCalls;
    if (fills.empty()) {
      return false;
    }
    const std::string block = std::move(fills.front());
    fills.pop_front();
    decoder_.Feed(reinterpret_cast<const std::uint8_t*>(block.data()),
                  static_cast<std::uint32_t>(block.size()), buffer);
    return true;
  }

 private:
  ParityMarkDecoder decoder_;
};

class MarkingLineTest : public FakePortsTest<MarkingLine> {};

// The damaged byte would have read as NUL, and "{4|20", NUL, "6}" is a valid frame of year 20.
TEST_F(MarkingLineTest, ReadClock_WithADamagedByteInAReply_IsReceiveDataError) {
  MarkingLine& line = Port(LinkKind::Com);
  line.answers = {{"DIAGNOSTIC INTERFACE COM", "{0|}"},
                  {"DIAGNOSTIC REPORT YEAR",
                   "{4|20\xFF\x00"
                   "06}"s},
                  {"DIAGNOSTIC REPORT MONTH", "{2|03}"}};
  ClockRecord clock{};
  EXPECT_EQ(RunPrinterOperation(*facade_, PrinterOperation::ReadClock, LinkKind::Com, &clock),
            CommandResult::ReceiveDataError);
  // It fails at the damaged byte, without waiting for more.
  EXPECT_TRUE(pauses_.empty());
  EXPECT_EQ(line.commands,
            (Commands{"DIAGNOSTIC INTERFACE COM\r\n", "DIAGNOSTIC REPORT YEAR\r\n"}));
}

// What the driver kept, against what was asked: only the framing fails the open.
termios KeptAsAsked(const SerialLineSettings& line) {
  termios tio{};
  cfsetospeed(&tio, line.baudRate == 115200 ? B115200 : B9600);
  cfsetispeed(&tio, line.baudRate == 115200 ? B115200 : B9600);
  tio.c_cflag |= line.dataBits == 7 ? CS7 : CS8;
  if (line.parity != SerialParity::None) {
    tio.c_cflag |= PARENB | (line.parity == SerialParity::Odd ? PARODD : 0);
  }
  tio.c_cflag |=
      (line.stopBits == SerialStopBits::Two ? CSTOPB : 0) | (line.ctsOutputFlow ? CRTSCTS : 0);
  tio.c_iflag |= (line.xonXoff ? IXON | IXOFF : 0) | (line.checkParity ? INPCK | PARMRK : 0);
  return tio;
}

struct KeptCase {
  const char* name;
  SerialLineSettings line;
  void (*driver)(termios&);  // what the driver changed
  const char* framing;       // what the open fails for; "" when it goes on
  const char* letGo;         // what the open goes on without
  bool parityMarks;
};
void PrintTo(const KeptCase& c, std::ostream* os) {
  *os << c.name;
}

class KeptLine : public ::testing::TestWithParam<KeptCase> {};

TEST_P(KeptLine, FailsOnlyForTheFraming) {
  const KeptCase& c = GetParam();
  termios kept = KeptAsAsked(c.line);
  c.driver(kept);
  const LineKept result = serial_line::CompareKept(kept, c.line);
  EXPECT_TRUE(result.applied);
  EXPECT_EQ(result.framing, c.framing);
  EXPECT_EQ(result.letGo, c.letGo);
  EXPECT_EQ(result.parityMarks, c.parityMarks);
}

constexpr SerialLineSettings Rts{.ctsOutputFlow = true, .dsrOutputFlow = true};
constexpr SerialLineSettings OddChecked{
    .parity = SerialParity::Odd, .checkParity = true, .ctsOutputFlow = true};
constexpr SerialLineSettings FastTwoStopXon{
    .baudRate = 115200, .dataBits = 7, .stopBits = SerialStopBits::Two, .xonXoff = true};

INSTANTIATE_TEST_SUITE_P(
    Table, KeptLine,
    ::testing::Values(
        KeptCase{"AllKept", OddChecked, [](termios&) {}, "", "", true},
        KeptCase{"HandshakeRefused", Rts, [](termios& t) { t.c_cflag &= ~CRTSCTS; }, "",
                 "flow control not kept: hardware handshake (CRTSCTS) refused by the driver",
                 false},
        KeptCase{"HandshakeLeftOn", FastTwoStopXon, [](termios& t) { t.c_cflag |= CRTSCTS; }, "",
                 "flow control not kept: hardware handshake (CRTSCTS) left on by the driver",
                 false},
        KeptCase{"XonXoffRefused", FastTwoStopXon, [](termios& t) { t.c_iflag &= ~IXOFF; }, "",
                 "flow control not kept: Xon/Xoff refused by the driver", false},
        KeptCase{"MarkingRefused", OddChecked, [](termios& t) { t.c_iflag &= ~PARMRK; }, "",
                 "input checking not kept: damaged bytes go unreported (INPCK, PARMRK refused "
                 "by the driver)",
                 false},
        KeptCase{"RateChanged", Rts, [](termios& t) { cfsetospeed(&t, B4800); }, "9600 baud", "",
                 false},
        KeptCase{"ParityAndHandshakeLost", OddChecked,
                 [](termios& t) { t.c_cflag &= ~(PARENB | PARODD | CRTSCTS); }, "odd parity",
                 "flow control not kept: hardware handshake (CRTSCTS) refused by the driver", true},
        KeptCase{"BitsAndStopBitsChanged", FastTwoStopXon,
                 [](termios& t) { t.c_cflag = (t.c_cflag & ~(CSIZE | CSTOPB)) | CS8; },
                 "7 data bits, 2 stop bits", "", false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
