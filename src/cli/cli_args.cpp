#include "cli/cli_args.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>
#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <set>
#include <string_view>
#include <vector>

#include "common/printer_rules.h"
#include "link/usb_printer_port.h"
#include "link/usb_vendor.h"
#include "protocol/address_text.h"

namespace {

// The highest quiet wait of a discovery; the whole run stops after 10 s anyway.
constexpr double MaxQuietSeconds = 10.0;

struct CommandWords {
  const char* first;
  const char* second;  // nullptr for one-word commands
  CliCommand command;
};
constexpr std::array<CommandWords, 11> Commands = {{
    {"probe", nullptr, CliCommand::Probe},
    {"clock", "get", CliCommand::ClockGet},
    {"clock", "set", CliCommand::ClockSet},
    {"net", "get", CliCommand::NetGet},
    {"net", "set", CliCommand::NetSet},
    {"name", "set", CliCommand::NameSet},
    {"factory-reset", nullptr, CliCommand::FactoryReset},
    {"discover", nullptr, CliCommand::Discover},
    {"remote-set", nullptr, CliCommand::RemoteSet},
    {"web", nullptr, CliCommand::Web},
    {"usb", "list", CliCommand::UsbList},
}};

// Where each option may be used; an empty set means everywhere.
enum class OptionKind { Flag, Value, ThreeValues };
struct OptionRule {
  const char* name;
  OptionKind kind;
  std::set<CliCommand> commands;
};

const std::set<CliCommand> LinkCommands = {
    CliCommand::Probe,  CliCommand::ClockGet, CliCommand::ClockSet,     CliCommand::NetGet,
    CliCommand::NetSet, CliCommand::NameSet,  CliCommand::FactoryReset,
};

const std::set<CliCommand> UsbCommands = {
    CliCommand::Probe,  CliCommand::ClockGet, CliCommand::ClockSet,     CliCommand::NetGet,
    CliCommand::NetSet, CliCommand::NameSet,  CliCommand::FactoryReset, CliCommand::UsbList,
};

const std::vector<OptionRule>& OptionRules() {
  static const std::vector<OptionRule> rules = {
      {"--json", OptionKind::Flag, {}},
      {"--verbose", OptionKind::Flag, {}},
      {"--help", OptionKind::Flag, {}},
      {"--yes", OptionKind::Flag, {CliCommand::FactoryReset, CliCommand::RemoteSet}},
      {"--usb", OptionKind::Flag, LinkCommands},
      {"--usb-vendor", OptionKind::Value, UsbCommands},
      {"--com", OptionKind::Value, LinkCommands},
      {"--lpt", OptionKind::Value, LinkCommands},
      {"--net", OptionKind::Value, LinkCommands},
      {"--baud", OptionKind::Value, LinkCommands},
      {"--parity", OptionKind::Value, LinkCommands},
      {"--data-bits", OptionKind::Value, LinkCommands},
      {"--stop-bits", OptionKind::Value, LinkCommands},
      {"--handshake", OptionKind::Value, LinkCommands},
      {"--from-pc", OptionKind::Flag, {CliCommand::ClockSet}},
      {"--dhcp", OptionKind::Flag, {CliCommand::NetSet, CliCommand::RemoteSet}},
      {"--static", OptionKind::ThreeValues, {CliCommand::NetSet, CliCommand::RemoteSet}},
      {"--name", OptionKind::Value, {CliCommand::RemoteSet}},
      {"--timeout", OptionKind::Value, {CliCommand::Discover}},
      {"--to", OptionKind::Value, {CliCommand::Discover, CliCommand::RemoteSet}},
      {"--udp-port", OptionKind::Value, {CliCommand::Discover, CliCommand::RemoteSet}},
  };
  return rules;
}

const OptionRule* FindOption(const QString& name) {
  for (const OptionRule& rule : OptionRules()) {
    if (name == QLatin1String(rule.name)) {
      return &rule;
    }
  }
  return nullptr;
}

struct GivenOption {
  const OptionRule* rule;
  QString typed;  // as the user wrote it, for messages
  QStringList values;
};

std::string Text(const QString& text) {
  return text.toStdString();
}

std::string Quoted(const QString& text) {
  return "'" + text.toStdString() + "'";
}

// Latin-1 bytes of a text that passed IsPrinterText.
std::string Latin1(const QString& text) {
  const QByteArray bytes = text.toLatin1();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// A text the printer can take between quotes: Latin-1 only, no '"', no control character.
// Empty when it can, else what is wrong with it.
std::string PrinterTextProblem(const QString& text, const std::string& what) {
  const std::optional<TextProblem> problem = CheckPrinterText(text);
  if (!problem) {
    return {};
  }
  return problem->fault == TextFault::NotLatin1
             ? what + " contains a character the printer cannot take (only Latin-1 is possible)"
             : what + " may not contain quotation marks or control characters";
}

// Digits only, from `low` to `high`.
std::optional<int> NumberIn(const QString& text, int low, int high) {
  static const QRegularExpression digits(QStringLiteral("^[0-9]{1,6}$"));
  if (!digits.match(text).hasMatch()) {
    return std::nullopt;
  }
  const int value = text.toInt();
  if (value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

// The index of `text` in `choices` (case ignored).
std::optional<int> ChoiceIndex(const QString& text, std::initializer_list<const char*> choices) {
  int index = 0;
  for (const char* choice : choices) {
    if (text.compare(QLatin1String(choice), Qt::CaseInsensitive) == 0) {
      return index;
    }
    ++index;
  }
  return std::nullopt;
}

class Parser {
 public:
  explicit Parser(const QStringList& args) : args_(args) {}

  std::variant<CliArgs, CliUsageError> Run();

 private:
  bool Split();
  bool FindCommand();
  bool CheckOptionsFit();
  bool TakeLink();
  bool TakeSerialOptions(CliLink& link);
  bool TakeCommandArguments();
  bool TakeAddressChoice();
  bool TakeUdpOptions();
  bool TakeClock(const QString& text);
  bool Fail(std::string message) {
    error_ = std::move(message);
    return false;
  }
  const GivenOption* Option(const char* name) const {
    for (const GivenOption& given : options_) {
      if (given.rule->name == std::string_view(name)) {
        return &given;
      }
    }
    return nullptr;
  }
  bool Has(const char* name) const { return Option(name) != nullptr; }
  bool CheckDotted(const QString& text, const char* what) {
    if (!IsDottedQuad(Latin1Safe(text))) {
      return Fail(std::string(what) + " " + Quoted(text) +
                  " is not four numbers from 0 to 255 joined by dots");
    }
    return true;
  }
  static std::string Latin1Safe(const QString& text) {
    // Non-Latin-1 characters turn into '?', which no address check takes.
    return Latin1(text);
  }

  const QStringList& args_;
  std::vector<GivenOption> options_;
  QStringList words_;
  qsizetype commandWords_ = 0;
  CliArgs result_;
  std::string error_;
};

bool Parser::Split() {
  bool optionsEnded = false;
  for (qsizetype i = 0; i < args_.size(); ++i) {
    const QString& arg = args_[i];
    if (optionsEnded || arg == QLatin1String("-") || !arg.startsWith(QLatin1Char('-'))) {
      words_ << arg;
      continue;
    }
    if (arg == QLatin1String("--")) {
      optionsEnded = true;
      continue;
    }
    QString name = arg;
    std::optional<QString> inlineValue;
    if (const qsizetype equals = arg.indexOf(QLatin1Char('='));
        arg.startsWith(QLatin1String("--")) && equals > 0) {
      name = arg.left(equals);
      inlineValue = arg.mid(equals + 1);
    }
    if (name == QLatin1String("-v")) {
      name = QStringLiteral("--verbose");
    } else if (name == QLatin1String("-h")) {
      name = QStringLiteral("--help");
    } else if (name == QLatin1String("-y")) {
      name = QStringLiteral("--yes");
    }
    const OptionRule* rule = FindOption(name);
    if (rule == nullptr) {
      // Looks on, so that a "--help" further on is still seen.
      if (error_.empty()) {
        error_ = "unknown option " + Quoted(arg);
      }
      continue;
    }
    GivenOption given{rule, name, {}};
    const int count = rule->kind == OptionKind::Flag ? 0 : rule->kind == OptionKind::Value ? 1 : 3;
    if (inlineValue) {
      if (count != 1) {
        return Fail("option " + Text(name) + " takes no value after '='");
      }
      given.values << *inlineValue;
    } else {
      for (int k = 0; k < count; ++k) {
        if (i + 1 >= args_.size()) {
          return Fail("option " + Text(name) + " needs " +
                      (count == 1 ? std::string("a value") : std::to_string(count) + " values"));
        }
        given.values << args_[++i];
      }
    }
    if (rule->kind != OptionKind::Flag && Has(rule->name)) {
      return Fail("option " + Text(name) + " is given twice");
    }
    options_.push_back(std::move(given));
  }
  return error_.empty();
}

// Sets result_.command from the first words; false (with no error) when they name no command.
bool Parser::FindCommand() {
  if (words_.isEmpty()) {
    return false;
  }
  for (const CommandWords& words : Commands) {
    if (words_[0] != QLatin1String(words.first)) {
      continue;
    }
    if (words.second == nullptr) {
      result_.command = words.command;
      commandWords_ = 1;
      return true;
    }
    if (words_.size() > 1 && words_[1] == QLatin1String(words.second)) {
      result_.command = words.command;
      commandWords_ = 2;
      return true;
    }
  }
  return false;
}

bool Parser::CheckOptionsFit() {
  for (const GivenOption& given : options_) {
    if (!given.rule->commands.empty() && given.rule->commands.count(result_.command) == 0) {
      return Fail("option " + Text(given.typed) + " does not go with '" +
                  CliCommandName(result_.command) + "'");
    }
  }
  return true;
}

bool Parser::TakeSerialOptions(CliLink& link) {
  struct LineOption {
    const char* name;
    std::int32_t SerialSettings::*field;
    std::initializer_list<const char*> choices;
    const char* allowed;
  };
  const std::array<LineOption, 4> lineOptions = {{
      {"--baud",
       &SerialSettings::BaudIndex,
       {"2400", "4800", "9600", "19200", "38400", "57600", "115200"},
       "2400, 4800, 9600, 19200, 38400, 57600 or 115200"},
      {"--parity", &SerialSettings::ParityIndex, {"none", "odd", "even"}, "none, odd or even"},
      {"--data-bits", &SerialSettings::DataBitsIndex, {"7", "8"}, "7 or 8"},
      {"--stop-bits", &SerialSettings::StopBitsIndex, {"1", "1.5", "2"}, "1, 1.5 or 2"},
  }};
  for (const LineOption& option : lineOptions) {
    if (const GivenOption* given = Option(option.name)) {
      if (link.kind != LinkKind::Com) {
        return Fail(std::string("option ") + option.name + " needs --com");
      }
      const std::optional<int> index = ChoiceIndex(given->values[0], option.choices);
      if (!index) {
        return Fail(std::string(option.name) + " must be " + option.allowed + ", not " +
                    Quoted(given->values[0]));
      }
      link.serial.*option.field = *index;
    }
  }
  if (const GivenOption* given = Option("--handshake")) {
    if (link.kind != LinkKind::Com) {
      return Fail("option --handshake needs --com");
    }
    // The dialog's two lists: hardware None/RTS/RTS-CTS, software None/Xon-Xoff.
    const std::optional<int> index =
        ChoiceIndex(given->values[0], {"none", "rts", "rts-cts", "xon-xoff"});
    if (!index) {
      return Fail("--handshake must be none, rts, rts-cts or xon-xoff, not " +
                  Quoted(given->values[0]));
    }
    link.serial.HardwareHandshake = *index == 3 ? 0 : *index;
    link.serial.SoftwareHandshake = *index == 3 ? 1 : 0;
  }
  return true;
}

bool Parser::TakeLink() {
  const bool linkCommand = IsLinkCommand(result_.command);
  int count = 0;
  for (const char* name : {"--usb", "--com", "--lpt", "--net"}) {
    count += Has(name) ? 1 : 0;
  }
  if (const GivenOption* vendor = Option("--usb-vendor")) {
    if (Has("--com") || Has("--lpt") || Has("--net")) {
      return Fail("option --usb-vendor needs --usb");
    }
    result_.usbVendor = ParseUsbVendorId(Latin1Safe(vendor->values[0]));
    if (!result_.usbVendor) {
      return Fail("--usb-vendor must be four hex digits, like 1a2b, not " +
                  Quoted(vendor->values[0]));
    }
  }
  if (!linkCommand) {
    return true;  // CheckOptionsFit has refused link options already
  }
  if (count == 0) {
    return Fail("'" + CliCommandName(result_.command) +
                "' needs a link: --usb, --com PORT, --lpt PORT or --net HOST[:PORT]");
  }
  if (count > 1) {
    return Fail("give only one of --usb, --com, --lpt and --net");
  }
  CliLink link;
  if (Has("--usb")) {
    link.kind = LinkKind::Usb;
  } else if (const GivenOption* com = Option("--com")) {
    link.kind = LinkKind::Com;
    const QString& value = com->values[0];
    static const QRegularExpression comName(QStringLiteral("^COM([1-9]|[12][0-9]|30)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (comName.match(value).hasMatch()) {
      link.serial.PortName.Assign(Latin1(value.toUpper()));
    } else if (value.startsWith(QLatin1Char('/'))) {
      if (value.size() > static_cast<qsizetype>(decltype(SerialSettings::PortName)::Capacity)) {
        return Fail("the serial device path is longer than " +
                    std::to_string(decltype(SerialSettings::PortName)::Capacity) + " characters");
      }
      if (const std::string problem = PrinterTextProblem(value, "the serial device path");
          !problem.empty()) {
        return Fail(problem);
      }
      link.serial.PortName.Assign(Latin1(value));
    } else {
      return Fail("--com takes COM1 to COM30 or a device path beginning with '/', not " +
                  Quoted(value));
    }
    link.target = std::string(link.serial.PortName.View());
  } else if (const GivenOption* lpt = Option("--lpt")) {
    link.kind = LinkKind::Lpt;
    const QString& value = lpt->values[0];
    static const QRegularExpression lptName(QStringLiteral("^LPT[1-4]$"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (lptName.match(value).hasMatch()) {
      link.lptDevice.Assign(Latin1(value.toUpper()));
    } else if (value.startsWith(QLatin1Char('/'))) {
      if (value.size() > static_cast<qsizetype>(LptDeviceName::Capacity)) {
        return Fail("the parallel device path is longer than " +
                    std::to_string(LptDeviceName::Capacity) + " characters");
      }
      if (const std::string problem = PrinterTextProblem(value, "the parallel device path");
          !problem.empty()) {
        return Fail(problem);
      }
      link.lptDevice.Assign(Latin1(value));
    } else {
      return Fail("--lpt takes LPT1 to LPT4 or a device path beginning with '/', not " +
                  Quoted(value));
    }
    link.target = std::string(link.lptDevice.View());
  } else if (const GivenOption* net = Option("--net")) {
    link.kind = LinkKind::Ethernet;
    const QString& value = net->values[0];
    QString host = value;
    int port = DefaultPrinterPort;
    if (const qsizetype colon = value.lastIndexOf(QLatin1Char(':')); colon >= 0) {
      host = value.left(colon);
      const std::optional<int> number = NumberIn(value.mid(colon + 1), 1, 65535);
      if (!number) {
        return Fail("the port in " + Quoted(value) + " must be a number from 1 to 65535");
      }
      port = *number;
    }
    if (host.isEmpty()) {
      return Fail("--net needs a host name or address");
    }
    if (host.contains(QLatin1Char(':')) || host.contains(QLatin1Char(' '))) {
      return Fail("the host " + Quoted(host) + " may not contain blanks or ':'");
    }
    if (std::string problem = PrinterTextProblem(host, "the host"); !problem.empty()) {
      return Fail(problem);
    }
    if (host.size() > static_cast<qsizetype>(decltype(NetTarget::Host)::Capacity)) {
      return Fail("the host is longer than 63 characters");
    }
    link.net.Host.Assign(Latin1(host));
    link.net.Port = port;
    link.target = Latin1(host) + ":" + std::to_string(port);
  }
  if (!TakeSerialOptions(link)) {
    return false;
  }
  result_.link = std::move(link);
  return true;
}

bool Parser::TakeClock(const QString& text) {
  static const QRegularExpression form(
      QStringLiteral("^([0-9]{4})-([0-9]{2})-([0-9]{2})T([0-9]{2}):([0-9]{2}):([0-9]{2})$"));
  const QRegularExpressionMatch match = form.match(text);
  if (match.hasMatch()) {
    std::array<int, 6> v{};
    for (int i = 0; i < 6; ++i) {
      v[static_cast<std::size_t>(i)] = match.captured(i + 1).toInt();
    }
    if (QDate::isValid(v[0], v[1], v[2]) && QTime::isValid(v[3], v[4], v[5])) {
      result_.clock = ClockRecord{v[0], v[1], v[2], v[3], v[4], v[5]};
      return true;
    }
  }
  return Fail(Quoted(text) + " is not a date and time of the form YYYY-MM-DDTHH:MM:SS");
}

bool Parser::TakeAddressChoice() {
  const GivenOption* staticOption = Option("--static");
  if (Has("--dhcp") == (staticOption != nullptr)) {
    return Fail("'" + CliCommandName(result_.command) +
                "' needs either --dhcp or --static IP MASK GATEWAY");
  }
  result_.dhcp = staticOption == nullptr;
  if (staticOption != nullptr) {
    if (!CheckDotted(staticOption->values[0], "the IP address") ||
        !CheckDotted(staticOption->values[1], "the mask") ||
        !CheckDotted(staticOption->values[2], "the gateway")) {
      return false;
    }
    result_.ip = Latin1(staticOption->values[0]);
    result_.mask = Latin1(staticOption->values[1]);
    result_.gateway = Latin1(staticOption->values[2]);
  }
  return true;
}

bool Parser::TakeUdpOptions() {
  if (const GivenOption* to = Option("--to")) {
    if (!CheckDotted(to->values[0], "--to")) {
      return false;
    }
    result_.to = Latin1(to->values[0]);
  }
  if (const GivenOption* port = Option("--udp-port")) {
    const std::optional<int> number = NumberIn(port->values[0], 1, 65535);
    if (!number) {
      return Fail("--udp-port must be a number from 1 to 65535, not " + Quoted(port->values[0]));
    }
    result_.udpPort = static_cast<std::uint16_t>(*number);
  }
  return true;
}

bool Parser::TakeCommandArguments() {
  const QStringList rest = words_.mid(commandWords_);
  const qsizetype wanted =
      (result_.command == CliCommand::NameSet || result_.command == CliCommand::RemoteSet ||
       result_.command == CliCommand::Web)
          ? 1
      : result_.command == CliCommand::ClockSet ? (Has("--from-pc") ? 0 : 1)
                                                : 0;
  if (rest.size() > wanted) {
    return Fail("unexpected argument " + Quoted(rest[wanted]));
  }
  switch (result_.command) {
    case CliCommand::ClockSet:
      if (Has("--from-pc")) {
        result_.clockFromPc = true;
        return true;
      }
      if (rest.isEmpty()) {
        return Fail("'clock set' needs --from-pc or a date and time YYYY-MM-DDTHH:MM:SS");
      }
      return TakeClock(rest[0]);
    case CliCommand::NetSet:
      return TakeAddressChoice();
    case CliCommand::NameSet: {
      if (rest.isEmpty()) {
        return Fail("'name set' needs the printer name");
      }
      if (std::string problem = PrinterTextProblem(rest[0], "the printer name"); !problem.empty()) {
        return Fail(problem);
      }
      if (rest[0].size() > PrinterNameMaxLength) {
        return Fail("the printer name is longer than 15 characters");
      }
      result_.name = Latin1(rest[0]);
      return true;
    }
    case CliCommand::Discover:
      if (const GivenOption* timeout = Option("--timeout")) {
        static const QRegularExpression decimal(QStringLiteral("^[0-9]{1,2}(\\.[0-9]{1,3})?$"));
        const double seconds = timeout->values[0].toDouble();
        if (!decimal.match(timeout->values[0]).hasMatch() || seconds <= 0 ||
            seconds > MaxQuietSeconds) {
          return Fail("--timeout must be a number of seconds above 0 and at most 10, not " +
                      Quoted(timeout->values[0]));
        }
        result_.quietMs = static_cast<int>(std::lround(seconds * 1000));
      }
      return TakeUdpOptions();
    case CliCommand::RemoteSet: {
      if (rest.isEmpty()) {
        return Fail("'remote-set' needs the printer's MAC address");
      }
      const std::optional<MacBytes> mac = TextToMac(Latin1Safe(rest[0]));
      if (!mac) {
        return Fail(Quoted(rest[0]) + " is not a MAC address like 00:1A:2B:3C:4D:5E");
      }
      result_.mac = MacToText(*mac);
      if (const GivenOption* name = Option("--name")) {
        if (std::string problem = PrinterTextProblem(name->values[0], "the printer name");
            !problem.empty()) {
          return Fail(problem);
        }
        if (name->values[0].size() > PrinterNameMaxLength) {
          return Fail("the printer name is longer than 15 characters");
        }
        result_.name = Latin1(name->values[0]);
      }
      return TakeAddressChoice() && TakeUdpOptions();
    }
    case CliCommand::Web: {
      if (rest.isEmpty()) {
        return Fail("'web' needs the printer's host name or address");
      }
      // A host that a URL carries as it is: no blank, quote, control character, port or path.
      static const QRegularExpression hostName(QStringLiteral("^[A-Za-z0-9._-]{1,63}$"));
      if (!hostName.match(rest[0]).hasMatch()) {
        return Fail(Quoted(rest[0]) +
                    " is not a host name or address (letters, digits, '.', '-' and '_' only, "
                    "no port)");
      }
      result_.host = Latin1(rest[0]);
      return true;
    }
    default:
      return true;
  }
}

std::variant<CliArgs, CliUsageError> Parser::Run() {
  const bool split = Split();
  const bool help = std::any_of(options_.begin(), options_.end(), [](const GivenOption& given) {
    return given.rule->name == std::string_view("--help");
  });
  // "--help" wins over anything else wrong on the line.
  if (help || (split && !words_.isEmpty() && words_[0] == QLatin1String("help"))) {
    CliArgs args;
    args.command = CliCommand::Help;
    if (!words_.isEmpty() && words_[0] == QLatin1String("help")) {
      words_.removeFirst();
      if (!words_.isEmpty() && !FindCommand()) {
        if (help) {
          return args;
        }
        return CliUsageError{"unknown command " + Quoted(words_.join(QLatin1Char(' ')))};
      }
    } else if (!FindCommand()) {
      return args;
    }
    args.helpTopic = words_.isEmpty() ? CliCommand::Help : result_.command;
    return args;
  }
  if (!split) {
    return CliUsageError{error_};
  }
  if (words_.isEmpty()) {
    return CliUsageError{"no command given"};
  }
  if (!FindCommand()) {
    return CliUsageError{"unknown command " + Quoted(words_.mid(0, 2).join(QLatin1Char(' ')))};
  }
  result_.json = Has("--json");
  result_.verbose = Has("--verbose");
  result_.yes = Has("--yes");
  if (!CheckOptionsFit() || !TakeLink() || !TakeCommandArguments()) {
    return CliUsageError{error_};
  }
  return result_;
}

struct UsageEntry {
  CliCommand command;
  const char* text;
};

constexpr const char* GeneralUsage =
    R"(Usage: q73580-cli [LINK] [--json] [-v] COMMAND [ARGUMENTS]

Sets up Q73580 printers from a terminal or a script, as the utility's windows do.

Commands over a link (exactly one LINK option):
  probe                                    open and close the link
  clock get                                read the printer's clock
  clock set --from-pc | YYYY-MM-DDTHH:MM:SS
                                           set the printer's clock
  net get                                  read address settings, name and MAC address
  net set --dhcp | --static IP MASK GATEWAY
                                           set the address settings
  name set NAME                            set the printer name (at most 15 characters)
  factory-reset [--yes]                    restore the factory defaults

Commands over UDP (no LINK):
  discover [--timeout SECONDS] [--to ADDRESS] [--udp-port PORT]
                                           list the printers that answer
  remote-set MAC --dhcp | --static IP MASK GATEWAY [--name NAME] [--yes]
             [--to ADDRESS] [--udp-port PORT]
                                           change a printer's address settings by MAC
  web HOST                                 open http://HOST in the default browser

Other commands:
  usb list [--usb-vendor XXXX]             list the USB printers present and which match

LINK:
  --usb [--usb-vendor XXXX]      the first USB printer of vendor id XXXX (four hex digits;
                                 else $Q73580_PRINTER_VENDOR_ID, else the build's, %VENDOR%)
  --com COM1..COM30 | /PATH      a serial port, with
      [--baud 2400|4800|9600|19200|38400|57600|115200] [--parity none|odd|even]
      [--data-bits 7|8] [--stop-bits 1|1.5|2] [--handshake none|rts|rts-cts|xon-xoff]
      (default 9600 baud, 8 data bits, no parity, 1 stop bit, handshake rts)
  --lpt LPT1..LPT4 | /PATH       a parallel port (write only)
  --net HOST[:PORT]              a network printer (port 9100 unless given)

Options:
  --json         print one JSON object on standard output
  -v, --verbose  say what a set command did
  -y, --yes      do not ask before factory-reset or remote-set (needed without a terminal)
  -h, --help     show this text; 'q73580-cli help COMMAND' shows one command

An Open Port Error is followed by its cause: "Open Port Error: /dev/ttyUSB0: permission
denied ...".

Exit status: 0 success, 1 Open Port Error, 2 Transmit Data Error, 3 Receive Data Error,
4 Open File Error, 5 Unknow Error, 64 usage error, 69 no UDP socket could be made or no USB
device could be listed, 76 the printer did not confirm a remote-set.

Example: set the clock of every printer that discovery finds
  q73580-cli discover --json | jq -r '.printers[].ip' |
    while read -r ip; do q73580-cli --net "$ip" clock set --from-pc; done
)";

constexpr std::array<UsageEntry, 11> CommandUsages = {{
    {CliCommand::Probe, R"(Usage: q73580-cli LINK probe [--json]

Opens the link to the printer and closes it again: exit status 0 when it opens.
Example: q73580-cli --net 192.168.0.20 probe
)"},
    {CliCommand::ClockGet, R"(Usage: q73580-cli LINK clock get [--json]

Reads the printer's clock and prints it as YYYY-MM-DD HH:MM:SS.
Example: q73580-cli --com COM1 --baud 19200 clock get
)"},
    {CliCommand::ClockSet,
     R"(Usage: q73580-cli LINK clock set [-v] [--json] --from-pc | YYYY-MM-DDTHH:MM:SS

Sets the printer's clock to this PC's local time (--from-pc) or to the date and time given.
Examples: q73580-cli --net 192.168.0.20 clock set --from-pc
          q73580-cli --usb clock set 2026-12-08T10:30:00
)"},
    {CliCommand::NetGet, R"(Usage: q73580-cli LINK net get [--json]

Reads the printer's address mode, addresses, name and MAC address.
Example: q73580-cli --net 192.168.0.20:9100 net get --json
)"},
    {CliCommand::NetSet,
     R"(Usage: q73580-cli LINK net set [-v] [--json] --dhcp | --static IP MASK GATEWAY

Switches the printer to DHCP, or to a static address; each address is four numbers from 0
to 255 joined by dots.
Example: q73580-cli --usb net set --static 192.168.1.50 255.255.255.0 192.168.1.1
)"},
    {CliCommand::NameSet, R"(Usage: q73580-cli LINK name set [-v] [--json] NAME

Sets the printer's network name: at most 15 Latin-1 characters, no quotation marks or
control characters.
Example: q73580-cli --net 192.168.0.20 name set Office-2
)"},
    {CliCommand::FactoryReset, R"(Usage: q73580-cli LINK factory-reset [--yes] [-v] [--json]

Restores the printer's factory defaults. Asks first when run from a terminal; without a
terminal --yes is required.
Example: q73580-cli --lpt LPT1 factory-reset --yes
)"},
    {CliCommand::Discover,
     R"(Usage: q73580-cli discover [--timeout SECONDS] [--to ADDRESS] [--udp-port PORT] [--json]

Sends one discovery request over UDP (to 255.255.255.255 port 22368 unless --to and
--udp-port say otherwise) and lists every printer that answers, in arrival order. It stops
SECONDS (default 1, at most 10) after the last answer, and after 10 s or 1000 answers at the
latest. No printer found is no failure.
Example: q73580-cli discover --to 192.168.0.255
)"},
    {CliCommand::RemoteSet,
     R"(Usage: q73580-cli remote-set MAC --dhcp | --static IP MASK GATEWAY [--name NAME] [--yes]
                  [--to ADDRESS] [--udp-port PORT] [-v] [--json]

Changes the address settings of the printer with this MAC address over UDP, without a
connection to it: reads its address blocks (up to 3 s for each answer) and writes the name,
addresses and address mode. Without --name the printer keeps its name, which a discovery
sent first finds out. Then it reads the address blocks back: a write nobody answered, or a
printer that reports other settings than were written, ends with exit status 76 and says
which. Asks first when run from a terminal; without a terminal --yes is required.
Example: q73580-cli remote-set 00:1A:2B:3C:4D:5E --static 192.168.1.50 255.255.255.0 192.168.1.1 --yes
)"},
    {CliCommand::Web, R"(Usage: q73580-cli web HOST [--json]

Prints http://HOST and opens it with the desktop's default browser.
Example: q73580-cli web 192.168.0.20
)"},
    {CliCommand::UsbList, R"(Usage: q73580-cli usb list [--usb-vendor XXXX] [--json]

Lists the USB devices with a printer interface, in the order --usb looks at them: vendor and
product id, path text, and whether the vendor id is the one --usb looks for (--usb-vendor,
else $Q73580_PRINTER_VENDOR_ID, else the build's, %VENDOR%).
Example: q73580-cli usb list --usb-vendor 1a2b
)"},
}};

}  // namespace

std::variant<CliArgs, CliUsageError> ParseCliArgs(const QStringList& args) {
  return Parser(args).Run();
}

std::string CliUsageText(CliCommand topic) {
  std::string text = GeneralUsage;
  for (const UsageEntry& entry : CommandUsages) {
    if (entry.command == topic) {
      text = entry.text;
    }
  }
  if (const std::size_t at = text.find("%VENDOR%"); at != std::string::npos) {
    text.replace(at, 8, PrinterVendorId);
  }
  return text;
}

std::string CliCommandName(CliCommand command) {
  for (const CommandWords& words : Commands) {
    if (words.command == command) {
      return words.second == nullptr ? std::string(words.first)
                                     : std::string(words.first) + " " + words.second;
    }
  }
  return "help";
}

bool IsLinkCommand(CliCommand command) {
  return LinkCommands.count(command) != 0;
}
