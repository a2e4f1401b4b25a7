#include "gui/input_error.h"

#include <limits>

InputResult<std::int32_t> StrToInt(const QString& text) {
  qsizetype pos = 0;
  while (pos < text.size() && text[pos] == QLatin1Char(' ')) {
    ++pos;
  }
  bool negative = false;
  if (pos < text.size() && (text[pos] == QLatin1Char('+') || text[pos] == QLatin1Char('-'))) {
    negative = text[pos] == QLatin1Char('-');
    ++pos;
  }
  const qsizetype firstDigit = pos;
  std::int64_t value = 0;
  constexpr std::int64_t Limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  while (pos < text.size() && text[pos] >= QLatin1Char('0') && text[pos] <= QLatin1Char('9')) {
    value = value * 10 + (text[pos].unicode() - u'0');
    if (value > Limit) {
      break;
    }
    ++pos;
  }
  if (pos == firstDigit || pos != text.size() || value > (negative ? Limit : Limit - 1)) {
    return InputRefusal{QStringLiteral("'%1' is not a valid integer value.").arg(text)};
  }
  return static_cast<std::int32_t>(negative ? -value : value);
}

InputResult<> TakeText(const QString& text, FixedText<64>& field, const QString& what) {
  if (text.size() > static_cast<qsizetype>(FixedText<64>::Capacity)) {
    return InputRefusal{
        QStringLiteral("%1 is longer than %2 characters.").arg(what).arg(FixedText<64>::Capacity)};
  }
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c.unicode() > 0xFF) {
      // A character beyond 16 bits is named whole, not by half of its surrogate pair.
      const bool pair = c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
      return InputRefusal{QStringLiteral("%1 contains '%2', which the printer cannot take.")
                              .arg(what, text.mid(i, pair ? 2 : 1))};
    }
    if (c == QLatin1Char('"') || c.unicode() < 0x20 ||
        (c.unicode() >= 0x7F && c.unicode() < 0xA0)) {
      return InputRefusal{
          QStringLiteral("%1 may not contain quotation marks or control characters.").arg(what)};
    }
  }
  const QByteArray bytes = text.toLatin1();
  field.Assign(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  return {};
}
