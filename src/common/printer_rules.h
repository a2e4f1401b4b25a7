#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>
#include <string_view>

// What the printer can take. The windows, the command-line program and the command texts all
// ask here before anything is sent, so that they cannot disagree; each front end words the
// problems in its own voice.

// The printer's raw TCP port: where a network link connects unless told otherwise.
inline constexpr int DefaultPrinterPort = 9100;
// The longest name the printer keeps; the name edits take no more.
inline constexpr int PrinterNameMaxLength = 15;
// The room of a record's text field (an address, a name, a host), its NUL not counted.
inline constexpr int RecordTextRoom = 63;
// A discovery's hard limits, whatever its quiet wait: a device that never stops answering
// cannot hold the caller longer or fill its list further.
inline constexpr int DiscoveryMaxTotalMs = 10000;
inline constexpr int DiscoveryMaxReplies = 1000;

// Why a text cannot reach the printer as typed.
enum class TextFault {
  TooLong,         // more characters than the field has room for
  NotLatin1,       // a character without a single-byte form
  QuoteOrControl,  // '"' or a control character: either would end a quoted text or the command
  Blank,           // a name that is empty or only blanks: the printer would show nothing
};

struct TextProblem {
  TextFault fault;
  QString character;  // the first character at fault (a surrogate pair whole); empty for TooLong
  int limit = 0;      // TooLong: how many characters fit
};

// '"' and the control characters: C0 (0x00-0x1F), DEL and C1 (0x80-0x9F). Inside a quoted text
// each would end it, end the command line, or reach the printer as a control code.
constexpr bool IsUnquotableCharacter(char32_t c) {
  return c == U'"' || c < 0x20 || (c >= 0x7F && c < 0xA0);
}

// The first character of `text` the printer cannot take between quotes: one beyond Latin-1, a
// '"' or a control character. Nothing when it takes every character.
std::optional<TextProblem> CheckPrinterText(QStringView text);

// A text for a record field: at most RecordTextRoom characters, then each one as
// CheckPrinterText looks at it.
std::optional<TextProblem> CheckRecordText(QStringView text);

// The last line of defence before a command goes out, on the Latin-1 bytes of a record: true
// when no byte is unquotable, by the same rule as CheckPrinterText.
bool IsQuotableText(std::string_view latin1);

// Four decimal numbers of 0 to 255, each of one to three digits, joined by '.' and nothing else:
// the strict form the windows and the command-line program accept before anything is written.
bool IsDottedQuad(std::string_view text);
// The same for typed text; a character beyond Latin-1 is no digit either.
bool IsDottedQuad(QStringView text);

// A text of digits and dots only is meant as an address; when it is no dotted quad it is a
// mistyped one, never a host name. Looked up, it would go to the name servers outside and hold
// the caller for seconds, so every place that takes a host refuses it first.
bool IsMistypedAddress(QStringView host);

// A TCP or UDP port that can be connected to: 1 to 65535.
constexpr bool IsPortNumber(std::int64_t number) {
  return number >= 1 && number <= 65535;
}

// A printer name as the printer keeps it: CheckPrinterText's rule first, then at most
// PrinterNameMaxLength characters (TooLong with that limit), then not empty or only blanks
// (Blank).
std::optional<TextProblem> CheckPrinterName(QStringView name);

// "HOST" or "HOST:PORT", split at the last ':' (the port defaults to `defaultPort`).
struct HostAndPort {
  QString host;
  int port = DefaultPrinterPort;
};
enum class HostPortFault {
  BadPort,       // after the last ':' comes no number from 1 to 65535
  NoHost,        // nothing before the port
  BlankOrColon,  // the host holds a blank or another ':'
  HostText,      // the host has a character CheckPrinterText refuses (see `text`)
  HostTooLong,   // the host has more than RecordTextRoom characters
  NotAnAddress,  // the host is a mistyped address (IsMistypedAddress)
};
struct HostPortProblem {
  HostPortFault fault;
  QString host;                     // the host part as it was split off
  std::optional<TextProblem> text;  // HostText: what CheckPrinterText found
};
struct HostPortReading {
  std::optional<HostAndPort> target;       // set when the text is sound
  std::optional<HostPortProblem> problem;  // set otherwise
};
// Checks in the order the faults are listed; a port is one to six decimal digits, no sign.
HostPortReading ReadHostPort(QStringView text, int defaultPort = DefaultPrinterPort);
