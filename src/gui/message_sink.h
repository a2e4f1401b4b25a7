#pragma once

#include <QString>
#include <functional>

class QWidget;

enum class MessageKind {
  Information,  // a printer operation's result
  Error,        // input an action could not use, or an error that escaped it
};

// Shows a modal message box with an OK button. Tests put a recorder in its place.
using MessageSink = std::function<void(QWidget* parent, const QString& text, MessageKind kind)>;

void ShowMessageBox(QWidget* parent, const QString& text, MessageKind kind);
