#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "link/serial_port.h"

void PrintTo(const SerialLineSettings& l, std::ostream* os) {
  *os << l.baudRate << " baud, " << l.dataBits << " bits, parity " << static_cast<int>(l.parity)
      << (l.checkParity ? " checked" : "") << ", stop " << static_cast<int>(l.stopBits) << ", cts "
      << l.ctsOutputFlow << ", dsr " << l.dsrOutputFlow << ", dtr " << static_cast<int>(l.dtr)
      << ", rts " << static_cast<int>(l.rts) << ", xon/xoff " << l.xonXoff;
}

namespace {

struct MappingCase {
  const char* name;
  SerialSettings settings;
  SerialLineSettings expected;
};

void PrintTo(const MappingCase& c, std::ostream* os) {
  *os << c.name;
}

class SerialSettingsMapping : public ::testing::TestWithParam<MappingCase> {};

TEST_P(SerialSettingsMapping, GivesTheLineSettings) {
  EXPECT_EQ(MapSerialSettings(GetParam().settings), GetParam().expected);
}

constexpr auto Odd = SerialParity::Odd;
constexpr auto Even = SerialParity::Even;
constexpr auto On = LineControl::On;
constexpr auto Handshake = LineControl::Handshake;

constexpr SerialLineSettings RtsLine{
    .ctsOutputFlow = true, .dsrOutputFlow = true, .dtr = On, .rts = On};
constexpr SerialLineSettings RtsCtsLine{
    .ctsOutputFlow = true, .dsrOutputFlow = true, .dtr = Handshake, .rts = Handshake};

// Rows set HardwareHandshake 0 unless they are about it, so only their subject differs.
const MappingCase Cases[] = {
    {"Defaults", {}, RtsLine},
    {"Baud2400SevenBits",
     {.BaudIndex = 0, .DataBitsIndex = 0, .HardwareHandshake = 0},
     {.baudRate = 2400, .dataBits = 7}},
    {"Baud4800OddIsChecked",
     {.BaudIndex = 1, .ParityIndex = 1, .HardwareHandshake = 0},
     {.baudRate = 4800, .parity = Odd, .checkParity = true}},
    {"Baud9600EvenIsNotChecked",
     {.BaudIndex = 2, .ParityIndex = 2, .HardwareHandshake = 0},
     {.baudRate = 9600, .parity = Even}},
    {"Baud19200OneAndAHalfStop",
     {.BaudIndex = 3, .StopBitsIndex = 1, .HardwareHandshake = 0},
     {.baudRate = 19200, .stopBits = SerialStopBits::OneAndHalf}},
    {"Baud38400TwoStop",
     {.BaudIndex = 4, .StopBitsIndex = 2, .HardwareHandshake = 0},
     {.baudRate = 38400, .stopBits = SerialStopBits::Two}},
    {"Baud57600XonXoff",
     {.BaudIndex = 5, .HardwareHandshake = 0, .SoftwareHandshake = 1},
     {.baudRate = 57600, .xonXoff = true}},
    {"Baud115200", {.BaudIndex = 6, .HardwareHandshake = 0}, {.baudRate = 115200}},
    {"PastEveryList",
     {.BaudIndex = 7,
      .DataBitsIndex = 2,
      .ParityIndex = 3,
      .StopBitsIndex = 3,
      .HardwareHandshake = 0,
      .SoftwareHandshake = 2},
     {}},
    {"NegativeEverywhere",
     {.BaudIndex = -1,
      .DataBitsIndex = -1,
      .ParityIndex = -1,
      .StopBitsIndex = -1,
      .HardwareHandshake = 0,
      .SoftwareHandshake = -1},
     {}},
    {"RtsHoldsLinesOn", {.HardwareHandshake = 1}, RtsLine},
    {"RtsCtsHandsLinesToTheDriver", {.HardwareHandshake = 2}, RtsCtsLine},
    {"HardwarePastTheListIsRtsCts", {.HardwareHandshake = 5}, RtsCtsLine},
    {"HardwareNegativeIsRtsCts", {.HardwareHandshake = -1}, RtsCtsLine},
    {"BothHandshakes",
     {.HardwareHandshake = 2, .SoftwareHandshake = 1},
     {.ctsOutputFlow = true,
      .dsrOutputFlow = true,
      .dtr = Handshake,
      .rts = Handshake,
      .xonXoff = true}},
};

INSTANTIATE_TEST_SUITE_P(Serial, SerialSettingsMapping, ::testing::ValuesIn(Cases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
