#include "common/printer_rules.h"

#include <QByteArray>
#include <algorithm>
#include <cstddef>

std::optional<TextProblem> CheckPrinterText(QStringView text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c.unicode() > 0xFF) {
      // A character beyond 16 bits is named whole, not by half of its surrogate pair.
      const bool pair = c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
      return TextProblem{TextFault::NotLatin1, text.mid(i, pair ? 2 : 1).toString()};
    }
    if (IsUnquotableCharacter(c.unicode())) {
      return TextProblem{TextFault::QuoteOrControl, QString(c)};
    }
  }
  return std::nullopt;
}

std::optional<TextProblem> CheckRecordText(QStringView text) {
  if (text.size() > RecordTextRoom) {
    return TextProblem{TextFault::TooLong, QString(), RecordTextRoom};
  }
  return CheckPrinterText(text);
}

bool IsQuotableText(std::string_view latin1) {
  return std::none_of(latin1.begin(), latin1.end(),
                      [](char c) { return IsUnquotableCharacter(static_cast<unsigned char>(c)); });
}

bool IsDottedQuad(std::string_view text) {
  auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  std::size_t pos = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (pos >= text.size() || text[pos] != '.') {
        return false;
      }
      ++pos;
    }
    // ASCII digits only: an address with blanks around a number would reach the printer as
    // 255.255.255.255.
    const std::size_t first = pos;
    unsigned value = 0;
    while (pos < text.size() && isDigit(text[pos]) && pos - first < 3) {
      value = value * 10 + static_cast<unsigned>(text[pos] - '0');
      ++pos;
    }
    if (pos == first || value > 255 || (pos < text.size() && isDigit(text[pos]))) {
      return false;
    }
  }
  return pos == text.size();
}

bool IsDottedQuad(QStringView text) {
  // A character beyond Latin-1 becomes '?', which is no digit either.
  const QByteArray latin = text.toLatin1();
  return IsDottedQuad(std::string_view(latin.constData(), static_cast<std::size_t>(latin.size())));
}
