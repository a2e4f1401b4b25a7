#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "link/link_settings.h"

// The serial settings a technician can pick, once for every reader: the RS232 Setup dialog
// lists the captions, the status bar shows the short forms, the command line takes the words,
// and the serial port drives the line with the values. A SerialSettings record keeps list
// positions into these tables.

struct SerialChoice {
  const char* caption;  // as the dialog lists it; words are marked for translation
  const char* summary;  // as the status bar shows it ("N", "1.5", "" for no software shaking)
  const char* word;     // as the command line takes it ("none", "rts-cts", "19200")
  std::int32_t value;   // the baud rate or number of data bits; otherwise the position itself
};

struct SerialSetting {
  std::int32_t SerialSettings::*field;  // where the record keeps the position
  std::span<const SerialChoice> choices;
  std::int32_t fallback;  // the position an out-of-range index is taken as

  // The choice at the record's position, or the fallback's when the position is out of range.
  const SerialChoice& In(const SerialSettings& settings) const;
  // The position of the choice whose word is `word` (ASCII case ignored); -1 for none.
  int FindWord(std::string_view word) const;
};

namespace serial_choices {
extern const SerialSetting Baud;      // 2400 ... 115200, 9600 by default
extern const SerialSetting DataBits;  // 7, 8
extern const SerialSetting Parity;    // None, Odd, Even
extern const SerialSetting StopBits;  // 1, 1.5, 2
extern const SerialSetting Hardware;  // None, RTS, RTS/CTS
extern const SerialSetting Software;  // None, Xon/Xoff
// The dialog's lists, top to bottom below the port list.
inline constexpr const SerialSetting* InDialogOrder[] = {&Baud,     &DataBits, &Parity,
                                                         &StopBits, &Hardware, &Software};
}  // namespace serial_choices
