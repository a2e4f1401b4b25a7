#pragma once

#include <QDateTime>
#include <QHostAddress>
#include <QJsonObject>
#include <QString>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "cli/cli_request.h"
#include "cli/status_line.h"
#include "link/link_facade.h"
#include "link/usb_bus.h"
#include "link/usb_vendor.h"
#include "netsetup/net_setup_exchange.h"
#include "protocol/command_result.h"

// The whole of the file at `path`, or of standard input for "-", but never more than `maxBytes`;
// nothing, with the reason in `error`, when it cannot be read.
std::optional<std::string> ReadInputFile(const std::string& path, std::size_t maxBytes,
                                         std::string& error);

// {"dhcp", "ip", "mask", "gateway", "lastUsedIp", "name", "mac"} of a record.
QJsonObject NetworkJson(const NetConfigRecord& config);
// DHCP, or the three static addresses, into a record to be written.
void SetAddresses(NetConfigRecord& record, bool dhcp, const std::string& ip,
                  const std::string& mask, const std::string& gateway);

// Why `result` came about, for an Open Port, Transmit or Receive Data Error whose cause the link
// kept: its kind for JSON, and its words.
struct ResultCause {
  const char* kind;
  QString detail;
};
std::optional<ResultCause> CauseOf(CommandResult result, const LinkFacade& link);

// What the commands need from the world, so that tests can stand in for each piece.
struct CliServices {
  LinkFacade* link = nullptr;
  // The USB bus `usb list` looks at, and the vendor id it marks (the facade's USB port looks for
  // the same one).
  UsbBus* usbBus = nullptr;
  UsbVendorChoice usbVendor = ChooseUsbVendor(std::nullopt, nullptr);
  std::function<NetSetupExchange(const QHostAddress&, quint16)> exchange =
      [](const QHostAddress& to, quint16 port) { return NetSetupExchange(to, port); };
  std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
  // Starts the desktop's handler for a URL; false when it could not be started.
  std::function<bool(const QString& url)> openUrl;
  // True when standard input is a terminal, so that a question can be asked.
  bool terminal = false;
  // Asks a yes/no question on the terminal; true for "y" or "yes".
  std::function<bool(const std::string& question)> confirm;
  // How long a remote change waits for each answer.
  int remoteWaitMs = 3000;
  // Says on the terminal what a long wait waits for; none when not on a terminal.
  StatusLine* status = nullptr;
  // apply: reads its file.
  std::function<std::optional<std::string>(const std::string& path, std::size_t maxBytes,
                                           std::string& error)>
      readInput = ReadInputFile;
};

// The result of one command: what goes where, and the exit status.
struct CliOutcome {
  int exitCode = 0;
  bool usageError = false;  // exit 64: the message is followed by the pointer to --help
  QJsonObject json;         // printed with --json, also on failure
  std::string jsonText;     // printed with --json instead of `json` when not empty
  std::string text;         // standard output without --json
  std::string error;        // the message for standard error, without the program's name
  std::string notice;       // lines for standard error whatever the exit status, e.g. a hint
};

// One command being run: its request, the world, and the outcome it builds up.
struct CommandRun {
  const CliArgs& args;
  CliServices& services;
  CliOutcome outcome;

  // Ends with `code` (0 is success) and, unless 0, `message`.
  CliOutcome Finish(int code, const std::string& message = {});
  // Ends with the operation's result, and why the port did not open after an Open Port Error.
  CliOutcome Finish(CommandResult result);
  CliOutcome Usage(const std::string& message);
  CliOutcome NoSocket() { return Finish(CliUnavailableExit, "no UDP socket could be made"); }
  // Nothing when the user agreed or gave --yes, else how the command ends: without a terminal
  // `needsYes` is the usage error.
  std::optional<CliOutcome> Confirm(const std::string& question, const std::string& needsYes);
  // A line of standard output with -v only.
  void Say(const std::string& line);
  void Json(const char* key, const QJsonValue& value) {
    outcome.json.insert(QLatin1String(key), value);
  }
};
