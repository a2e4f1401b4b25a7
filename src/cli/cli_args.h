#pragma once

#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "link/link_settings.h"
#include "link/link_types.h"
#include "netsetup/discovery_protocol.h"
#include "protocol/printer_records.h"

// What q73580-cli is asked to do.
enum class CliCommand {
  Help,
  Version,  // --version
  Probe,
  ClockGet,
  ClockSet,
  NetGet,
  NetSet,
  NameSet,
  FactoryReset,
  Discover,
  RemoteSet,
  Web,
  UsbList,
  Export,
  Apply,
};

// Usage errors end with this exit status (EX_USAGE).
inline constexpr int CliUsageExit = 64;
// A UDP socket that cannot be made, or USB devices that cannot be listed (EX_UNAVAILABLE).
inline constexpr int CliUnavailableExit = 69;
// remote-set: the printer did not confirm the change (EX_PROTOCOL).
inline constexpr int CliUnconfirmedExit = 76;
// apply: a file that is not a fleet file, or a row that breaks a rule (EX_DATAERR).
inline constexpr int CliBadFileExit = 65;
// apply: the file could not be read (EX_NOINPUT).
inline constexpr int CliNoInputExit = 66;
// export: a printer could not be read; apply: a row did not end changed or unchanged
// (EX_TEMPFAIL: another run may go through).
inline constexpr int CliFleetIncompleteExit = 75;

// The link a link command talks over, with everything the facade reads at open.
struct CliLink {
  LinkKind kind = LinkKind::Usb;
  SerialSettings serial;
  LptDeviceName lptDevice = DefaultLptDeviceName;
  NetTarget net;
  std::string target;  // as the output shows it: "host:port", the device name, or empty for USB
};

// One command line, parsed and checked. Texts are Latin-1 bytes, ready for the records.
struct CliArgs {
  CliCommand command = CliCommand::Help;
  // For Help: the command whose usage is asked for; Help itself means the general usage.
  CliCommand helpTopic = CliCommand::Help;

  bool json = false;
  bool verbose = false;
  bool debug = false;  // the trace on standard error
  bool yes = false;

  std::optional<CliLink> link;  // set for the link commands only
  // --usb-vendor, as four lower-case hex digits: the USB vendor id to look for.
  std::optional<std::string> usbVendor;

  // clock set: the PC's time, or the given clock.
  bool clockFromPc = false;
  ClockRecord clock;

  // net set and remote-set.
  bool dhcp = false;
  std::string ip, mask, gateway;

  // name set NAME, remote-set --name NAME.
  std::optional<std::string> name;

  // apply FILE: a path, or "-" for standard input; --dry-run.
  std::string file;
  bool dryRun = false;

  // discover, remote-set, export and apply.
  std::string mac;  // remote-set: as typed, checked by TextToMac
  std::string to = "255.255.255.255";
  std::uint16_t udpPort = NetSetupPort;
  int quietMs = 1000;  // discover, export and apply: --timeout
  // --interface: broadcasts out of this interface only; empty for every one that can.
  std::string interfaceName;

  // web HOST.
  std::string host;
};

struct CliUsageError {
  std::string message;  // what is wrong, without the program's name
};

// Parses the arguments after the program's name. Never exits and prints nothing.
std::variant<CliArgs, CliUsageError> ParseCliArgs(const QStringList& args);

// The usage text for one command, or the general one for CliCommand::Help.
std::string CliUsageText(CliCommand topic);

// "clock get", "net set", ...: the command's name as the user types it and the JSON shows it.
std::string CliCommandName(CliCommand command);

// True for the commands that talk over a link (and so need exactly one link option).
bool IsLinkCommand(CliCommand command);
