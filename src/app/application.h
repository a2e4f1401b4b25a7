#pragma once

#include <QApplication>
#include <QWidget>
#include <functional>
#include <memory>

#include "gui/message_sink.h"

// The application object. Refused input never gets here: each handler shows its own error box
// and returns. An exception that still escapes the handling of an event is a fault; as a last
// resort it is logged and shown in an error message box, and the program goes on.
class Q73580Application : public QApplication {
 public:
  Q73580Application(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

  void SetErrorSink(MessageSink sink) { errorSink_ = std::move(sink); }
  void ShowError(const QString& text);

 private:
  MessageSink errorSink_ = ShowMessageBox;
};

// Builds the main window, shows it and runs the message loop. An exception that escapes the
// start-up is logged and shown, and ends the program with 1: a start that failed is not reported
// as a success.
int RunApplication(Q73580Application& app,
                   const std::function<std::unique_ptr<QWidget>()>& makeWindow);
