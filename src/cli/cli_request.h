#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

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

// What every command takes.
struct SharedOptions {
  bool json = false, verbose = false, yes = false;
  bool debug = false;  // the trace on standard error
};

// The link commands' link, and --usb-vendor (also for `usb list`) as four lower-case hex digits.
struct LinkOptions {
  std::optional<CliLink> link;
  std::optional<std::string> usbVendor;
};

// clock get and set: --all, every printer a discovery finds; clock set: the PC's time, or the
// given clock.
struct ClockSetOptions {
  bool all = false;
  bool clockFromPc = false;
  ClockRecord clock;
};

// net set and remote-set: --dhcp or --static IP MASK GATEWAY.
struct AddressOptions {
  bool dhcp = false;
  std::string ip, mask, gateway;
};

// discover, remote-set, export and apply.
struct UdpOptions {
  std::string mac;  // remote-set: as MacToText writes it
  std::string to = "255.255.255.255";
  std::uint16_t udpPort = NetSetupPort;
  int quietMs = 1000;  // discover, export and apply: --timeout
  // --interface: broadcasts out of this interface only; empty for every one that can.
  std::string interfaceName;
};

// apply FILE: a path, or "-" for standard input; --dry-run.
struct ApplyOptions {
  std::string file;
  bool dryRun = false;
};

// One command line, parsed and checked: each command's options. Texts are Latin-1 bytes, ready
// for the records.
struct CliArgs : SharedOptions,
                 LinkOptions,
                 ClockSetOptions,
                 AddressOptions,
                 UdpOptions,
                 ApplyOptions {
  CliCommand command = CliCommand::Help;
  // For Help: the command whose usage is asked for; Help itself means the general usage.
  CliCommand helpTopic = CliCommand::Help;
  std::optional<std::string> name;  // name set NAME, remote-set --name NAME
  std::string host;                 // web HOST
};

// The command line as the parser read it, before a command checks what it takes.
struct ParsedLine {
  std::map<std::string, QStringList> given;  // each option given, by its long name: its values
  QStringList words;                         // the command's arguments

  bool Has(const std::string& name) const { return given.count(name) != 0; }
  // The option's first value; nothing when it was not given.
  std::optional<QString> Value(const std::string& name) const {
    const auto option = given.find(name);
    if (option == given.end() || option->second.isEmpty()) {
      return std::nullopt;
    }
    return option->second.front();
  }
};

// One option of the command line, as the help lists it.
struct OptionRule {
  std::string name;   // the long form, as messages show it
  std::string names;  // with its short form, if any
  int values;         // 0 for a flag
  std::string valueText;
  std::string description;
  std::string group;   // "Options" or "Link"
  bool everywhere;     // every command takes it
  bool inGeneralHelp;  // the others are shown by their commands' --help
};
