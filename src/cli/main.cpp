#include <QCoreApplication>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <variant>

#include "cli/cli_args.h"
#include "cli/cli_commands.h"
#include "link/link_facade.h"
#include "link/usb_bus.h"
#include "link/usb_vendor.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
// Everything is written as UTF-8. A console shows it right only on its UTF-8 code page, which it
// is given while the program runs and then handed back; a pipe or a file takes the bytes as they
// are (with no console, GetConsoleOutputCP answers 0).
class ConsoleOnUtf8 {
 public:
  ConsoleOnUtf8() : previous_(GetConsoleOutputCP()) {
    if (previous_ != 0 && previous_ != CP_UTF8) {
      SetConsoleOutputCP(CP_UTF8);
    }
  }
  ~ConsoleOnUtf8() {
    if (previous_ != 0 && previous_ != CP_UTF8) {
      SetConsoleOutputCP(previous_);
    }
  }
  ConsoleOnUtf8(const ConsoleOnUtf8&) = delete;
  ConsoleOnUtf8& operator=(const ConsoleOnUtf8&) = delete;

 private:
  UINT previous_;
};
#endif

bool StdinIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stdin)) != 0;
#else
  return isatty(STDIN_FILENO) != 0;
#endif
}

// The desktop's handler for the URL, started as a program of its own with the URL as its one
// argument; never through a shell.
bool OpenUrlDetached(const QString& url) {
#ifdef _WIN32
  return QProcess::startDetached(QStringLiteral("rundll32"),
                                 {QStringLiteral("url.dll,FileProtocolHandler"), url});
#else
  return QProcess::startDetached(QStringLiteral("xdg-open"), {url});
#endif
}

bool AskOnTerminal(const std::string& question) {
  std::fputs(question.c_str(), stderr);
  std::fflush(stderr);
  std::string answer;
  if (!std::getline(std::cin, answer)) {
    std::fputs("\n", stderr);
    return false;
  }
  const QString typed = QString::fromStdString(answer).trimmed().toLower();
  return typed == QLatin1String("y") || typed == QLatin1String("yes");
}

// The trace goes to standard error whatever Qt's own handler would choose (some builds log to the
// system log when no terminal is attached), so that "2> trace.txt" catches it.
void TraceToStderr(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  const QByteArray line = qFormatLogMessage(type, context, message).toUtf8() + '\n';
  std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
  std::fflush(stderr);
}

void PrintJson(const QJsonObject& json) {
  std::fputs(QJsonDocument(json).toJson(QJsonDocument::Compact).constData(), stdout);
  std::fputs("\n", stdout);
  std::fflush(stdout);
}

// The message on standard error; with --json the object `json` on standard output as well.
int UsageError(const std::string& message, const std::optional<QJsonObject>& json) {
  if (json) {
    PrintJson(*json);
  }
  std::fprintf(stderr, "q73580-cli: %s\nTry 'q73580-cli --help'.\n", message.c_str());
  return CliUsageExit;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  const ConsoleOnUtf8 utf8Console;
#endif
  QCoreApplication app(argc, argv);
  const std::variant<CliArgs, CliUsageError> parsed =
      ParseCliArgs(QCoreApplication::arguments().mid(1));
  if (const auto* error = std::get_if<CliUsageError>(&parsed)) {
    QJsonObject json{{QStringLiteral("result"), QString::fromStdString(error->message)},
                     {QStringLiteral("code"), CliUsageExit}};
    if (!error->command.empty()) {
      json.insert(QStringLiteral("command"), QString::fromStdString(error->command));
    }
    return UsageError(error->message, error->json ? std::optional(json) : std::nullopt);
  }
  const CliArgs& args = std::get<CliArgs>(parsed);
  if (args.debug) {
    // Every trace category on, each line with the seconds since the start.
    qSetMessagePattern(QStringLiteral("%{time process} %{category}: %{message}"));
    QLoggingCategory::setFilterRules(QStringLiteral("q73580.*.debug=true"));
    qInstallMessageHandler(TraceToStderr);
  }
  if (args.command == CliCommand::Help) {
    std::fputs(CliUsageText(args.helpTopic).c_str(), stdout);
    return 0;
  }
  if (args.command == CliCommand::Version) {
    std::fputs("q73580-cli " Q73580_VERSION "\n", stdout);
    return 0;
  }

  // --usb-vendor, else the environment, else the build. A bad environment value is only worth a
  // word where USB is used.
  const UsbVendorChoice vendor = ChooseUsbVendor(args.usbVendor);
  const bool usesUsb = args.command == CliCommand::UsbList ||
                       (args.link.has_value() && args.link->kind == LinkKind::Usb);
  if (usesUsb && !vendor.warning.empty()) {
    std::fprintf(stderr, "q73580-cli: warning: %s\n", vendor.warning.c_str());
  }
  LinkFacade link(MakeSystemPorts(vendor.id));
  const std::unique_ptr<UsbBus> usbBus = MakeSystemUsbBus();
  CliServices services;
  services.link = &link;
  services.usbBus = usbBus.get();
  services.usbVendor = vendor;
  services.terminal = StdinIsTerminal();
  services.confirm = AskOnTerminal;
  services.openUrl = OpenUrlDetached;
  // Only a person at a terminal reads it; it would garble the trace and has no place in JSON.
  std::optional<StatusLine> status;
  if (!args.json && !args.debug && StatusLine::StderrIsTerminal()) {
    status.emplace(StatusLine::StderrSink());
    services.status = &*status;
  }

  const CliOutcome outcome = RunCliCommand(args, services);
  if (outcome.usageError) {
    return UsageError(outcome.error, args.json ? std::optional(outcome.json) : std::nullopt);
  }
  if (!args.json) {
    std::fputs(outcome.text.c_str(), stdout);
  } else if (!outcome.jsonText.empty()) {
    std::fputs(outcome.jsonText.c_str(), stdout);
  } else {
    PrintJson(outcome.json);
  }
  std::fflush(stdout);
  for (std::size_t at = 0; at < outcome.notice.size();) {
    const std::size_t end = std::min(outcome.notice.find('\n', at), outcome.notice.size());
    std::fprintf(stderr, "q73580-cli: %.*s\n", static_cast<int>(end - at), &outcome.notice[at]);
    at = end + 1;
  }
  if (outcome.exitCode != 0) {
    std::fprintf(stderr, "q73580-cli: %s\n", outcome.error.c_str());
  }
  return outcome.exitCode;
}
