#include "app/application.h"

#include <exception>

#include "gui/input_error.h"
#include "gui/layout_scale.h"

Q73580Application::Q73580Application(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("Q73580 Utility"));
  setApplicationVersion(QStringLiteral("1.00"));
  // Every window uses the dialog font; set here, so that style sheets keep it too.
  setFont(DialogFont());
}

bool Q73580Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const UserInputError& error) {
    ShowError(error.Message());
  } catch (const std::exception& error) {
    ShowError(QString::fromLocal8Bit(error.what()));
  } catch (...) {
    ShowError(QString());
  }
  return false;
}

void Q73580Application::ShowError(const QString& text) {
  errorSink_(activeWindow(), text, MessageKind::Error);
}

int RunApplication(Q73580Application& app,
                   const std::function<std::unique_ptr<QWidget>()>& makeWindow) {
  try {
    const std::unique_ptr<QWidget> window = makeWindow();
    window->show();
    return app.exec();
  } catch (const UserInputError& error) {
    app.ShowError(error.Message());
  } catch (const std::exception& error) {
    app.ShowError(QString::fromLocal8Bit(error.what()));
  } catch (...) {
    app.ShowError(QString());
  }
  return 1;
}
