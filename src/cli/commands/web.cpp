#include <QRegularExpression>

#include "cli/cli_checks.h"
#include "cli/cli_text.h"
#include "cli/commands/commands.h"
#include "common/printer_rules.h"

namespace {

std::optional<std::string> TakeWeb(const ParsedLine& line, CliArgs& args) {
  if (line.words.isEmpty()) {
    return "'web' needs the printer's host name or address";
  }
  // A host that a URL carries as it is: no blank, quote, control character, port or path.
  static const QRegularExpression hostName(QStringLiteral("^[A-Za-z0-9._-]{1,63}$"));
  if (!hostName.match(line.words.front()).hasMatch()) {
    return Quoted(line.words.front()) +
           " is not a host name or address (letters, digits, '.', '-' and '_' only, no port)";
  }
  if (IsMistypedAddress(line.words.front())) {
    return "the address " + Quoted(line.words.front()) +
           " is not four numbers from 0 to 255 joined by dots";
  }
  args.host = Latin1(line.words.front());
  return std::nullopt;
}

CliOutcome RunWeb(CommandRun& run) {
  const QString url = QStringLiteral("http://") + FromLatin1(run.args.host);
  run.Json("url", url);
  run.outcome.text = url.toStdString() + "\n";
  if (!run.services.openUrl || !run.services.openUrl(url)) {
    return run.Finish(1, "no browser could be started; open the address above by hand");
  }
  return run.Finish(0);
}

}  // namespace

void AddWeb(std::vector<CommandSpec>& commands) {
  commands.push_back({CliCommand::Web, "web", nullptr, "HOST", "the printer's host name or address",
                      1, "open http://HOST in the default browser",
                      "Prints http://HOST and opens it with the desktop's default browser.\n"
                      "Example: q73580-cli web 192.168.0.20",
                      false, "", TakeWeb, RunWeb});
}
