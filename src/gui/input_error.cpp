#include "gui/input_error.h"

#include <QCoreApplication>
#include <limits>
#include <optional>

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
    return InputRefusal{
        QCoreApplication::translate("InputError", "'%1' is not a valid integer value.").arg(text)};
  }
  return static_cast<std::int32_t>(negative ? -value : value);
}

InputRefusal TextRefusal(const TextProblem& problem, const QString& what) {
  switch (problem.fault) {
    case TextFault::TooLong:
      return {QCoreApplication::translate("InputError", "%1 is longer than %2 characters.")
                  .arg(what)
                  .arg(problem.limit)};
    case TextFault::NotLatin1:
      return {QCoreApplication::translate("InputError",
                                          "%1 contains '%2', which the printer cannot take.")
                  .arg(what, problem.character)};
    case TextFault::Blank:
      return {QCoreApplication::translate("InputError", "%1 is empty or only blanks.").arg(what)};
    case TextFault::QuoteOrControl:
      break;
  }
  return {QCoreApplication::translate("InputError",
                                      "%1 may not contain quotation marks or control characters.")
              .arg(what)};
}

InputRefusal NotDottedQuadRefusal(const QString& what) {
  return {QCoreApplication::translate(
              "InputError",
              "%1 must be four numbers from 0 to 255 joined by dots, such as 192.168.1.50.")
              .arg(what)};
}

InputResult<> TakeText(const QString& text, FixedText<RecordTextRoom + 1>& field,
                       const QString& what) {
  if (const std::optional<TextProblem> problem = CheckRecordText(text)) {
    return TextRefusal(*problem, what);
  }
  const QByteArray bytes = text.toLatin1();
  field.Assign(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  return {};
}
