#pragma once

#include <QDateTime>
#include <QHostAddress>
#include <QJsonObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "cli/cli_args.h"
#include "cli/fleet_commands.h"
#include "cli/status_line.h"
#include "link/link_facade.h"
#include "link/usb_bus.h"
#include "link/usb_vendor.h"
#include "netsetup/net_setup_exchange.h"

// What the runner needs from the world, so that tests can stand in for each piece.
struct CliServices {
  LinkFacade* link = nullptr;
  // The USB bus `usb list` looks at, and the vendor id it marks (the facade's USB port looks for
  // the same one).
  UsbBus* usbBus = nullptr;
  UsbVendorChoice usbVendor = ChooseUsbVendor(std::nullopt, nullptr);
  // The UDP exchange towards an address and port.
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
  // apply: reads its file (see ReadInputFile).
  std::function<std::optional<std::string>(const std::string& path, std::size_t maxBytes,
                                           std::string& error)>
      readInput = ReadInputFile;
};

// The result of one command: what goes where, and the exit status.
struct CliOutcome {
  int exitCode = 0;
  bool usageError = false;  // exit 64: the message is followed by the pointer to --help
  QJsonObject json;         // printed with --json, also on failure (not for usage errors)
  std::string jsonText;     // printed with --json instead of `json` when not empty
  std::string text;         // standard output without --json
  std::string error;        // the message for standard error, without the program's name
  std::string notice;       // a line for standard error whatever the exit status, e.g. a hint
};

// Runs one parsed command (not Help). Prints nothing itself.
CliOutcome RunCliCommand(const CliArgs& args, CliServices& services);

// "2026-12-08 10:30:00" with `separator` ' ', or "2026-12-08T10:30:00" with 'T'.
std::string ClockText(const ClockRecord& clock, char separator);
