#pragma once

#include <QRect>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// The controls of every window, each at its designed place and named as the system names it
// (tests find them by that name).

// A button that Enter presses while it has the focus, in the main window as in the dialogs.
QPushButton* AddButton(QWidget& parent, const QString& name, const QString& caption,
                       const QRect& rect);
QLabel* AddLabel(QWidget& parent, const QString& name, const QString& caption, const QRect& rect);
QLineEdit* AddEdit(QWidget& parent, const QString& name, const QRect& rect);
// An edit that takes at most `typedLimit` typed characters (see LimitTyping).
QLineEdit* AddEdit(QWidget& parent, const QString& name, const QRect& rect, int typedLimit);
