#include "gui/edit_limit.h"

#include <QLineEdit>
#include <QVariant>
#include <algorithm>

namespace {

const char* const TypedLimitProperty = "q73580TypedLimit";

int TypedLimitOf(const QLineEdit& edit) {
  const QVariant limit = edit.property(TypedLimitProperty);
  return limit.isValid() ? limit.toInt() : edit.maxLength();
}

}  // namespace

void LimitTyping(QLineEdit& edit, int typedLimit) {
  edit.setProperty(TypedLimitProperty, typedLimit);
  edit.setMaxLength(typedLimit);
  // Any change, typed, pasted or cleared, brings the limit down towards the typed one; never
  // below the text itself, which setMaxLength would cut.
  QObject::connect(&edit, &QLineEdit::textChanged, &edit, [&edit](const QString& text) {
    edit.setMaxLength(std::max<int>(TypedLimitOf(edit), static_cast<int>(text.size())));
  });
}

void ShowWhole(QLineEdit& edit, const QString& text) {
  edit.setMaxLength(std::max<int>(TypedLimitOf(edit), static_cast<int>(text.size())));
  edit.setText(text);
}
