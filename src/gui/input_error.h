#pragma once

#include <QString>
#include <cstdint>
#include <utility>
#include <variant>

#include "common/fixed_text.h"
#include "common/printer_rules.h"

// Why an action cannot use what was typed: the text of the error box the handler shows.
struct InputRefusal {
  QString message;
};

// What an input check gives back: the value the input converts to, or the refusal that says
// why it does not. Handlers show the refusal through their message sink and stop; nothing is
// thrown, since an exception must never cross a Qt frame. InputResult<> carries no value.
template <typename T = std::monostate>
class [[nodiscard]] InputResult {
 public:
  InputResult(T value = T()) : state_(std::move(value)) {}           // NOLINT: a value is a success
  InputResult(InputRefusal refusal) : state_(std::move(refusal)) {}  // NOLINT: as is a refusal

  explicit operator bool() const { return std::holds_alternative<T>(state_); }
  const T& operator*() const { return std::get<T>(state_); }
  const InputRefusal& Refusal() const { return std::get<InputRefusal>(state_); }
  const QString& Message() const { return Refusal().message; }

 private:
  std::variant<T, InputRefusal> state_;
};

// A whole number of 32 bits: leading blanks and one sign allowed, nothing else.
// Anything else is refused with "'<text>' is not a valid integer value.".
InputResult<std::int32_t> StrToInt(const QString& text);

// The words for a text the rule book refused, naming the field as `what` ("The printer name").
InputRefusal TextRefusal(const TextProblem& problem, const QString& what);

// An address field whose text is no dotted quad: "<what> must be four numbers from 0 to 255
// joined by dots, such as 192.168.1.50.".
InputRefusal NotDottedQuadRefusal(const QString& what);

// Copies a typed text into a record field (or the network link's host, of the same size). A
// text too long for it, a character without a single-byte (Latin-1) form, a '"' or a control
// character would not reach the printer as typed or would break the command it goes into, so it
// is refused with a message that names `what`, and the field is left alone.
InputResult<> TakeText(const QString& text, FixedText<RecordTextRoom + 1>& field,
                       const QString& what);
