#include "app/application.h"

#include <QIcon>
#include <exception>

#include "gui/input_error.h"
#include "gui/layout_scale.h"

Q73580Application::Q73580Application(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("Q73580 Utility"));
  setApplicationVersion(QStringLiteral(Q73580_VERSION));
  setOrganizationName(QStringLiteral("Q73580 Utility developers"));
  // The desktop ties the windows to the installed entry by this name. The icon theme's icon of
  // the same name is the window icon; the copy compiled in stands in where no theme has it.
  setDesktopFileName(QStringLiteral(Q73580_APP_ID));
  setWindowIcon(QIcon::fromTheme(QStringLiteral(Q73580_APP_ID),
                                 QIcon(QStringLiteral(":/icons/" Q73580_APP_ID ".svg"))));
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
