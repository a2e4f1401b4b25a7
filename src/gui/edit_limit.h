#pragma once

#include <QString>

class QLineEdit;

// An edit that takes at most `typedLimit` typed characters, yet shows a longer value whole when
// the printer reports one: a value cut on the way in would go back cut with the next "Set".
// Once a longer value is shown, the limit follows the text down as it gets shorter, so typing
// or pasting never makes a text longer than `typedLimit` or than the value it was given.
void LimitTyping(QLineEdit& edit, int typedLimit);

// Shows `text` whole in an edit set up by LimitTyping.
void ShowWhole(QLineEdit& edit, const QString& text);
