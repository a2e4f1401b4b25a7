#pragma once

#include <QString>
#include <cstdint>
#include <stdexcept>

#include "common/fixed_text.h"

// Input that an action cannot use. Thrown from a handler, it ends the action; the application
// shows its text in an error message box and goes on.
class UserInputError : public std::runtime_error {
 public:
  explicit UserInputError(const QString& message);
  QString Message() const { return message_; }

 private:
  QString message_;
};

// A whole number of 32 bits: leading blanks and one sign allowed, nothing else.
// Anything else raises "'<text>' is not a valid integer value.".
std::int32_t StrToInt(const QString& text);

// Copies a typed text into a record field. A character without a single-byte (Latin-1) form,
// a '"' or a control character would not reach the printer as typed or would break the command
// it goes into, so it is refused with a message that names `what`.
void TakeText(const QString& text, FixedText<64>& field, const QString& what);
