#include "link/serial_choices.h"

#include <QtGlobal>
#include <algorithm>
#include <cstddef>

namespace {

// The captions are the RS232 Setup dialog's texts and the summaries the main window's, so each
// word is marked in the translation context of the window that shows it.
constexpr SerialChoice BaudChoices[] = {
    {"2400", "2400", "2400", 2400},         {"4800", "4800", "4800", 4800},
    {"9600", "9600", "9600", 9600},         {"19200", "19200", "19200", 19200},
    {"38400", "38400", "38400", 38400},     {"57600", "57600", "57600", 57600},
    {"115200", "115200", "115200", 115200},
};
constexpr SerialChoice DataBitsChoices[] = {
    {"7", "7", "7", 7},
    {"8", "8", "8", 8},
};
constexpr SerialChoice ParityChoices[] = {
    {QT_TRANSLATE_NOOP("TFormRs232Setup", "None"), "N", "none", 0},
    {QT_TRANSLATE_NOOP("TFormRs232Setup", "Odd"), "O", "odd", 1},
    {QT_TRANSLATE_NOOP("TFormRs232Setup", "Even"), "E", "even", 2},
};
constexpr SerialChoice StopBitsChoices[] = {
    {"1", "1", "1", 0},
    {"1.5", "1.5", "1.5", 1},
    {"2", "2", "2", 2},
};
constexpr SerialChoice HardwareChoices[] = {
    {QT_TRANSLATE_NOOP("TFormRs232Setup", "None"), QT_TRANSLATE_NOOP("TFormMain", "None"), "none",
     0},
    {"RTS", "RTS", "rts", 1},
    {"RTS/CTS", "RTS/CTS", "rts-cts", 2},
};
constexpr SerialChoice SoftwareChoices[] = {
    {QT_TRANSLATE_NOOP("TFormRs232Setup", "None"), "", "none", 0},
    {"Xon/Xoff", "Xon/Xoff", "xon-xoff", 1},
};

bool SameWord(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

const SerialChoice& SerialSetting::In(const SerialSettings& settings) const {
  const std::int32_t index = settings.*field;
  const bool inRange = index >= 0 && static_cast<std::size_t>(index) < choices.size();
  return choices[static_cast<std::size_t>(inRange ? index : fallback)];
}

int SerialSetting::FindWord(std::string_view word) const {
  for (std::size_t i = 0; i < choices.size(); ++i) {
    if (SameWord(choices[i].word, word)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

// Where an index is out of range the serial port drives the line as the fallback says, and the
// status bar shows that: 9600 baud, 8 data bits, no parity, one stop bit, RTS/CTS handshake
// (any hardware index but "None" and "RTS" hands the lines to the handshake), no Xon/Xoff.
namespace serial_choices {
constinit const SerialSetting Baud{&SerialSettings::BaudIndex, BaudChoices, 2};
constinit const SerialSetting DataBits{&SerialSettings::DataBitsIndex, DataBitsChoices, 1};
constinit const SerialSetting Parity{&SerialSettings::ParityIndex, ParityChoices, 0};
constinit const SerialSetting StopBits{&SerialSettings::StopBitsIndex, StopBitsChoices, 0};
constinit const SerialSetting Hardware{&SerialSettings::HardwareHandshake, HardwareChoices, 2};
constinit const SerialSetting Software{&SerialSettings::SoftwareHandshake, SoftwareChoices, 0};
}  // namespace serial_choices
