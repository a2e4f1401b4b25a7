#pragma once

#include <QApplication>
#include <QWidget>
#include <functional>
#include <memory>

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

// Builds the main window, shows it and runs the message loop. An error that escapes the start-up
// is shown and ends the program with 1: a start that failed is not reported as a success.
int RunApplication(Q73580Application& app,
                   const std::function<std::unique_ptr<QWidget>()>& makeWindow);
