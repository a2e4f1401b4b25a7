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

bool IsMistypedAddress(QStringView host) {
  const bool digitsAndDots = !host.isEmpty() && std::all_of(host.begin(), host.end(), [](QChar c) {
    return c == QLatin1Char('.') || (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
  });
  return digitsAndDots && !IsDottedQuad(host);
}

std::optional<TextProblem> CheckPrinterName(QStringView name) {
  if (std::optional<TextProblem> problem = CheckPrinterText(name)) {
    return problem;
  }
  if (name.size() > PrinterNameMaxLength) {
    return TextProblem{TextFault::TooLong, QString(), PrinterNameMaxLength};
  }
  // The control characters are out already; what is left of the blanks is ' ' and no-break space.
  if (std::all_of(name.begin(), name.end(), [](QChar c) { return c.isSpace(); })) {
    return TextProblem{TextFault::Blank, QString()};
  }
  return std::nullopt;
}

namespace {

// One to six decimal digits from 1 to 65535; a sign or a blank is no digit.
std::optional<int> PortIn(QStringView text) {
  if (text.isEmpty() || text.size() > 6) {
    return std::nullopt;
  }
  int value = 0;
  for (const QChar c : text) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
      return std::nullopt;
    }
    value = value * 10 + (c.unicode() - u'0');
  }
  return IsPortNumber(value) ? std::optional<int>(value) : std::nullopt;
}

}  // namespace

HostPortReading ReadHostPort(QStringView text, int defaultPort) {
  QStringView host = text;
  int port = defaultPort;
  auto refuse = [&host](HostPortFault fault, std::optional<TextProblem> found = std::nullopt) {
    return HostPortReading{std::nullopt, HostPortProblem{fault, host.toString(), std::move(found)}};
  };
  if (const qsizetype colon = text.lastIndexOf(QLatin1Char(':')); colon >= 0) {
    host = text.left(colon);
    const std::optional<int> number = PortIn(text.mid(colon + 1));
    if (!number) {
      return refuse(HostPortFault::BadPort);
    }
    port = *number;
  }
  if (host.isEmpty()) {
    return refuse(HostPortFault::NoHost);
  }
  if (host.contains(QLatin1Char(':')) || host.contains(QLatin1Char(' '))) {
    return refuse(HostPortFault::BlankOrColon);
  }
  if (std::optional<TextProblem> problem = CheckPrinterText(host)) {
    return refuse(HostPortFault::HostText, std::move(problem));
  }
  if (host.size() > RecordTextRoom) {
    return refuse(HostPortFault::HostTooLong);
  }
  if (IsMistypedAddress(host)) {
    return refuse(HostPortFault::NotAnAddress);
  }
  return HostPortReading{HostAndPort{host.toString(), port}, std::nullopt};
}
