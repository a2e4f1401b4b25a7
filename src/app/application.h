#pragma once

#include <QApplication>

#include "gui/message_sink.h"

// The application object. An error that escapes the handling of an event (a number field that
// does not convert, a text the printer cannot take, anything else thrown) ends that action
// only: its text is shown in an error message box and the program goes on.
class Q73580Application : public QApplication {
 public:
  Q73580Application(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

  void SetErrorSink(MessageSink sink) { errorSink_ = std::move(sink); }
  void ShowError(const QString& text);

 private:
  MessageSink errorSink_ = ShowMessageBox;
};
