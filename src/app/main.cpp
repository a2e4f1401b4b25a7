#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <memory>
#include <optional>

#include "app/application.h"
#include "app/main_window.h"
#include "common/printer_rules.h"
#include "gui/ui_translations.h"
#include "link/usb_vendor.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

constexpr const char* UsageLine = "usage: q73580-utility [--printer HOST:PORT]\n";

struct StartArguments {
  enum class Action { Run, Help, Version, Usage };
  Action action = Action::Run;
  // "--printer HOST:PORT" points the network link at a printer from the start; the demo uses it
  // for the virtual printer. Without it the utility starts as always, on USB with no host.
  std::optional<NetTarget> startTarget;
  QString error;
  QString help;
};

// The port is not optional here: HOST alone is no start target. `error` says why there is none.
std::optional<NetTarget> ParseStartTarget(const QString& text, QString& error) {
  const HostPortReading reading = ReadHostPort(text);
  if (!text.contains(QLatin1Char(':')) || !reading.target) {
    error = reading.problem && reading.problem->fault == HostPortFault::NotAnAddress
                ? QStringLiteral(
                      "'%1' is not an IP address (four numbers from 0 to 255 joined "
                      "by dots).")
                      .arg(reading.problem->host)
                : QStringLiteral("'%1' is not HOST:PORT.").arg(text);
    return std::nullopt;
  }
  NetTarget target;
  target.Host.Assign(reading.target->host.toLatin1().toStdString());
  target.Port = reading.target->port;
  return target;
}

StartArguments ParseStartArguments(const QStringList& args) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Sets up a Q73580 printer's clock and network over USB, serial, parallel or "
                     "Ethernet."));
  // Not addHelpOption(): its "--help-all" lists Qt's options, which only process() can show.
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Displays help on commandline options."));
  parser.addOption(help);
  const QCommandLineOption version = parser.addVersionOption();
  const QCommandLineOption printer(
      QStringLiteral("printer"),
      QStringLiteral("Start on ETHERNET with the printer at HOST:PORT (the virtual printer, say)."),
      QStringLiteral("HOST:PORT"));
  parser.addOption(printer);

  StartArguments result;
  if (!parser.parse(args)) {
    result.action = StartArguments::Action::Usage;
    result.error = parser.errorText();
  } else if (parser.isSet(help)) {
    result.action = StartArguments::Action::Help;
    result.help = parser.helpText();
  } else if (parser.isSet(version)) {
    result.action = StartArguments::Action::Version;
  } else if (!parser.positionalArguments().isEmpty()) {
    result.action = StartArguments::Action::Usage;
    result.error = QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments()[0]);
  } else if (parser.isSet(printer)) {
    const QStringList values = parser.values(printer);
    if (values.size() == 1) {
      result.startTarget = ParseStartTarget(values[0], result.error);
    } else {
      result.error = QStringLiteral("--printer is given more than once.");
    }
    if (!result.startTarget) {
      result.action = StartArguments::Action::Usage;
    }
  }
  return result;
}

#ifdef _WIN32
// The utility is a windowed program and opens no console of its own. What it prints goes to the
// console of the program that started it, if there is one; a stream already sent elsewhere (a
// pipe, a file) stays where it goes.
void PrintToCallersConsole() {
  const auto unset = [](DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    return handle == nullptr || handle == INVALID_HANDLE_VALUE;
  };
  const bool outUnset = unset(STD_OUTPUT_HANDLE);
  const bool errUnset = unset(STD_ERROR_HANDLE);
  if ((!outUnset && !errUnset) || AttachConsole(ATTACH_PARENT_PROCESS) == 0) {
    return;
  }
  if (outUnset) {
    std::freopen("CONOUT$", "w", stdout);
  }
  if (errUnset) {
    std::freopen("CONOUT$", "w", stderr);
  }
}
#endif

// Help and version on stdout, a usage error on stderr with 2; nothing for a start.
std::optional<int> Answer(const StartArguments& args) {
#ifdef _WIN32
  if (args.action != StartArguments::Action::Run) {
    PrintToCallersConsole();
  }
#endif
  switch (args.action) {
    case StartArguments::Action::Help:
      std::fputs(qPrintable(args.help), stdout);
      return 0;
    case StartArguments::Action::Version:
      std::fputs("q73580-utility " Q73580_VERSION "\n", stdout);
      return 0;
    case StartArguments::Action::Usage:
      std::fprintf(stderr, "q73580-utility: %s\n%s", qPrintable(args.error), UsageLine);
      return 2;
    case StartArguments::Action::Run:
      break;
  }
  return std::nullopt;
}

// The options QApplication takes out of the arguments itself ("-style fusion", "-style=fusion",
// also with two dashes): those with a value, then the flags.
const QStringList QtValueOptions =
    QStringLiteral(
        "platform platformpluginpath platformtheme plugin qwindowgeometry qwindowicon "
        "qwindowtitle session display geometry title icon name visual style "
        "stylesheet qmljsdebugger dialogs fontengine")
        .split(QLatin1Char(' '));
const QStringList QtFlags =
    QStringLiteral("reverse widgetcount sync nograb dograb testability").split(QLatin1Char(' '));

QStringList WithoutQtOptions(const QStringList& args) {
  QStringList kept = args.mid(0, 1);
  for (qsizetype i = 1; i < args.size(); ++i) {
    if (args[i] == QLatin1String("--")) {
      kept += args.mid(i);
      break;
    }
    const QString word = args[i].startsWith(QLatin1String("--")) ? args[i].mid(1) : args[i];
    const bool option = word.startsWith(QLatin1Char('-'));
    const QString name = word.mid(1).section(QLatin1Char('='), 0, 0);
    const bool valueAttached = word.contains(QLatin1Char('='));
    if (option && QtValueOptions.contains(name)) {
      i += valueAttached ? 0 : 1;
      continue;
    }
    if (option && !valueAttached && QtFlags.contains(name)) {
      continue;
    }
    kept << args[i];
  }
  return kept;
}

// "--help", "--version" and a usage error need no display, so they are answered before
// QApplication exists, which aborts without one. Qt's own options are left to QApplication;
// the arguments are parsed again once it has taken them out.
std::optional<int> AnswerWithoutDisplay(int& argc, char** argv) {
  const QCoreApplication core(argc, argv);
  return Answer(ParseStartArguments(WithoutQtOptions(QCoreApplication::arguments())));
}

}  // namespace

int main(int argc, char** argv) {
  if (const std::optional<int> answered = AnswerWithoutDisplay(argc, argv)) {
    return *answered;
  }

  Q73580Application app(argc, argv);
  const StartArguments args = ParseStartArguments(QCoreApplication::arguments());
  if (const std::optional<int> answered = Answer(args)) {
    return *answered;
  }
  // The windows speak the desktop's language where there is a translation (LANGUAGE, LC_ALL,
  // LC_MESSAGES or LANG); the command line's answers above stay English.
  const UiTranslations translations{QLocale()};
  TFormMain::Services services;
  services.startTarget = args.startTarget;

  // The environment may name another USB vendor id than the build's.
  const UsbVendorChoice vendor = ChooseUsbVendor();
  if (!vendor.warning.empty()) {
    std::fprintf(stderr, "q73580-utility: warning: %s\n", vendor.warning.c_str());
  }
  LinkFacade link(MakeSystemPorts(vendor.id));
  // Timers and painting go on between the chunks of a long write.
  link.SetProcessEventsHook([] { QCoreApplication::processEvents(); });

  return RunApplication(app, [&] { return std::make_unique<TFormMain>(link, services); });
}
