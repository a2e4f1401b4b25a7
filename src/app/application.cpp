#include "app/application.h"

#include <QCoreApplication>
#include <QIcon>
#include <QtGlobal>
#include <exception>

#include "gui/layout_scale.h"

namespace {

// `lead` alone, or followed by what the exception said.
QString UnexpectedErrorText(const QString& lead, const QString& what) {
  return what.isEmpty() ? lead + QLatin1Char('.') : lead + QStringLiteral(": ") + what;
}

}  // namespace

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
  // Handlers refuse input through their windows' message boxes and throw nothing. An exception
  // that still gets here is a fault: logged and shown, it ends that action and the program goes
  // on.
  QString what;
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    what = QString::fromLocal8Bit(error.what());
  } catch (...) {
    // Nothing more is known about it.
  }
  qCritical("unexpected exception while %s handled event %d: %s",
            receiver != nullptr ? receiver->metaObject()->className() : "nothing",
            static_cast<int>(event->type()), qUtf8Printable(what));
  ShowError(UnexpectedErrorText(
      QCoreApplication::translate("Q73580Application", "An unexpected error stopped this action"),
      what));
  return false;
}

void Q73580Application::ShowError(const QString& text) {
  errorSink_(activeWindow(), text, MessageKind::Error);
}

int RunApplication(Q73580Application& app,
                   const std::function<std::unique_ptr<QWidget>()>& makeWindow) {
  QString what;
  try {
    const std::unique_ptr<QWidget> window = makeWindow();
    window->show();
    return app.exec();
  } catch (const std::exception& error) {
    what = QString::fromLocal8Bit(error.what());
  } catch (...) {
    // Nothing more is known about it.
  }
  qCritical("unexpected exception at start-up: %s", qUtf8Printable(what));
  app.ShowError(UnexpectedErrorText(
      QCoreApplication::translate("Q73580Application", "An unexpected error ended the program"),
      what));
  return 1;
}
