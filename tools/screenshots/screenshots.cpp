// Shows every window of the utility against the virtual printer on 127.0.0.1 and saves a picture
// of each, window-sized: <out>/<window><suffix>.png, in the environment's language. The scale comes
// from Qt's own QT_SCALE_FACTOR;
// --dark puts the Fusion style and a dark palette on the application before any window is built,
// the way a dark desktop theme does. Nothing here sends beyond loopback: discovery goes to
// 127.0.0.1, where the virtual printer's UDP side listens.
#include <QAction>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QPalette>
#include <QPushButton>
#include <QStyleFactory>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "app/application.h"
#include "app/main_window.h"
#include "gui/ui_translations.h"
#include "printer-sim/sim_server.h"

namespace {

// A dark palette as dark desktop themes give it: light text on dark surfaces, every role set, the
// shades derived from the window colour the way Qt derives them.
QPalette DarkPalette() {
  const QColor window(0x2d, 0x2d, 0x30);
  const QColor base(0x1e, 0x1e, 0x20);
  const QColor text(0xe8, 0xe8, 0xe8);
  const QColor disabledText(0x80, 0x80, 0x84);
  QPalette palette(text, window, window.lighter(150), window.darker(200), window.darker(150), text,
                   QColor(0xff, 0x60, 0x60), base, window);
  palette.setColor(QPalette::AlternateBase, window.lighter(110));
  palette.setColor(QPalette::ToolTipBase, base);
  palette.setColor(QPalette::ToolTipText, text);
  palette.setColor(QPalette::PlaceholderText, disabledText);
  palette.setColor(QPalette::Highlight, QColor(0x3d, 0x7a, 0xc8));
  palette.setColor(QPalette::HighlightedText, Qt::white);
  palette.setColor(QPalette::Link, QColor(0x6c, 0xb4, 0xff));
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    palette.setColor(QPalette::Disabled, role, disabledText);
  }
  palette.setColor(QPalette::Disabled, QPalette::Base, window);
  return palette;
}

class Shooter {
 public:
  Shooter(QDir out, QString suffix) : out_(std::move(out)), suffix_(std::move(suffix)) {}

  // Waits until the window is drawn (and active, where the platform lets it) and `settleMs` more,
  // then saves it.
  void Save(QWidget* window, const char* name, int settleMs = 200) {
    window->activateWindow();
    if (!QTest::qWaitForWindowExposed(window, 3000)) {
      Fail(name, "was never shown");
      return;
    }
    // Without a window manager it may stay inactive; it is drawn all the same.
    static_cast<void>(QTest::qWaitForWindowActive(window, 1000));
    QTest::qWait(settleMs);
    const QString path =
        out_.filePath(QString::fromLatin1(name) + suffix_ + QStringLiteral(".png"));
    if (!window->grab().save(path, "PNG")) {
      Fail(name, "could not be written");
      return;
    }
    std::printf("screenshots: %s\n", qPrintable(path));
  }

  // Once the modal window `objectName` is up, hands it to `act`, which must close it. Bounded: a
  // window that never comes is reported, and the caller's exec() returns on its own terms.
  void WhenModal(const char* objectName, std::function<void(QWidget*)> act, int triesLeft = 200) {
    QTimer::singleShot(50, qApp, [=, this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal != nullptr && modal->objectName() == QLatin1String(objectName)) {
        act(modal);
      } else if (triesLeft > 0) {
        WhenModal(objectName, act, triesLeft - 1);
      } else {
        Fail(objectName, "did not open");
      }
    });
  }

  bool Failed() const { return failed_; }

 private:
  void Fail(const char* name, const char* what) {
    std::fprintf(stderr, "screenshots: %s %s\n", name, what);
    failed_ = true;
  }

  QDir out_;
  QString suffix_;
  bool failed_ = false;
};

void Press(QWidget* window, const char* button) {
  window->findChild<QPushButton*>(QLatin1String(button))->click();
}

}  // namespace

int main(int argc, char** argv) {
  Q73580Application app(argc, argv);
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Saves a picture of every window."));
  parser.addHelpOption();
  const QCommandLineOption outOption(QStringLiteral("out"), QStringLiteral("Folder for the PNGs."),
                                     QStringLiteral("dir"), QStringLiteral("."));
  const QCommandLineOption suffixOption(QStringLiteral("suffix"),
                                        QStringLiteral("Added to every file name (\"-150\")."),
                                        QStringLiteral("text"));
  const QCommandLineOption darkOption(QStringLiteral("dark"),
                                      QStringLiteral("Fusion style with a dark palette."));
  parser.addOptions({outOption, suffixOption, darkOption});
  parser.process(app);
  // In the language of the environment, as the program shows it (LANG=de_DE.UTF-8: German).
  const UiTranslations translations{QLocale()};

  if (parser.isSet(darkOption)) {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(DarkPalette());
  }
  // Errors the windows raise go to the terminal, not into a message box nobody closes.
  app.SetErrorSink([](QWidget*, const QString& text, MessageKind) {
    std::fprintf(stderr, "screenshots: message: %s\n", qPrintable(text));
  });

  // Three printers, so that the TCP/IP Setup window lists a few rows; loopback only.
  printer_sim::SimServerConfig config;
  config.tcpPort = 0;
  config.udp = true;
  config.udpHost = "127.0.0.1";
  config.udpPort = 0;
  config.printerCount = 3;
  printer_sim::SimServer printer(config);
  std::string error;
  if (!printer.Start(&error)) {
    std::fprintf(stderr, "screenshots: the virtual printer did not start: %s\n", error.c_str());
    return 1;
  }

  TFormMain::Services services;
  services.showMessage = [](QWidget*, const QString& text, MessageKind) {
    std::fprintf(stderr, "screenshots: message: %s\n", qPrintable(text));
  };
  NetTarget start;
  start.Host.Assign("127.0.0.1");
  start.Port = printer.TcpPort();
  services.startTarget = start;
  services.discoveryDestination = QHostAddress(QHostAddress::LocalHost);
  services.discoveryPort = printer.UdpPort();
  services.openUrl = [](const QUrl&) {};

  LinkFacade link;
  link.SetProcessEventsHook([] { QCoreApplication::processEvents(); });
  TFormMain window(link, services);
  window.show();

  Shooter shooter(QDir(parser.value(outOption)), parser.value(suffixOption));
  shooter.Save(&window, "main-window", 1200);  // the status bar's clock shows after a second

  shooter.WhenModal("FormAbout", [&](QWidget* about) {
    shooter.Save(about, "about-window");
    about->close();
  });
  window.findChild<QAction*>(QStringLiteral("About1"))->trigger();

  auto* interfaces = window.findChild<QComboBox*>(QStringLiteral("ComboBoxInterFace"));
  const struct {
    int interfaceIndex;
    const char* dialog;
    const char* file;
  } setups[] = {{1, "FormRs232Setup", "serial-settings-dialog"},
                {2, "FormLPTSetup", "parallel-port-dialog"}};
  for (const auto& setup : setups) {
    interfaces->setCurrentIndex(setup.interfaceIndex);
    shooter.WhenModal(setup.dialog, [&](QWidget* dialog) {
      shooter.Save(dialog, setup.file);
      Press(dialog, "ButtonCancel");
    });
    Press(&window, "ButtonInterFace");
  }

  // The TCP/IP Setup window shows once its discovery has ended; from it, "Change IP Address"
  // reads the first printer's settings and opens the Ethernet Setup dialog over it.
  interfaces->setCurrentIndex(3);
  shooter.WhenModal("FormNetSetup", [&](QWidget* netSetup) {
    shooter.Save(netSetup, "tcpip-setup-window");
    shooter.WhenModal("FormEthernetSetup", [&](QWidget* ethernet) {
      shooter.Save(ethernet, "ethernet-setup-dialog");
      Press(ethernet, "ButtonCancel");
    });
    Press(netSetup, "ButtonChangeIP");
    netSetup->close();
  });
  Press(&window, "ButtonInterFace");

  window.close();
  return shooter.Failed() ? 1 : 0;
}
