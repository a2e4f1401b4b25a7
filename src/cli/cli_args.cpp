#include "cli/cli_args.h"

#include <CLI/CLI.hpp>
#include <QDate>
#include <QRegularExpression>
#include <QTime>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string_view>
#include <vector>

#include "common/printer_rules.h"
#include "link/usb_printer_port.h"
#include "link/usb_vendor.h"
#include "netsetup/net_setup_exchange.h"
#include "protocol/address_text.h"

namespace {

// The highest quiet wait of a discovery; the whole run stops after 10 s anyway.
constexpr double MaxQuietSeconds = 10.0;

// A command, its words, and what its --help says besides the options.
struct CommandWords {
  const char* first;
  const char* second;  // nullptr for one-word commands
  CliCommand command;
  const char* argument;  // the name of its one argument in the usage line, or nullptr
  const char* argumentText;
  const char* summary;  // one line, also in the general list of commands
  const char* details;  // after the options: what it does in full, and an example
};
constexpr std::array<CommandWords, 13> Commands = {{
    {"probe", nullptr, CliCommand::Probe, nullptr, nullptr, "open and close the link",
     "Opens the link to the printer and closes it again: exit status 0 when it opens.\n"
     "Example: q73580-cli --net 192.168.0.20 probe"},
    {"clock", "get", CliCommand::ClockGet, nullptr, nullptr, "read the printer's clock",
     "Prints the printer's clock as YYYY-MM-DD HH:MM:SS, which 'clock set' takes back, quoted\n"
     "or not; with --json its \"text\" is YYYY-MM-DDTHH:MM:SS.\n"
     "Example: q73580-cli --com COM1 --baud 19200 clock get"},
    {"clock", "set", CliCommand::ClockSet, "TIME",
     "YYYY-MM-DD HH:MM:SS (as 'clock get' prints it) or YYYY-MM-DDTHH:MM:SS, unless --from-pc",
     "set the printer's clock: --from-pc | YYYY-MM-DD HH:MM:SS",
     "Sets the printer's clock to this PC's local time (--from-pc) or to the date and time given.\n"
     "Examples: q73580-cli --net 192.168.0.20 clock set --from-pc\n"
     "          q73580-cli --usb clock set 2026-12-08T10:30:00"},
    {"net", "get", CliCommand::NetGet, nullptr, nullptr,
     "read address settings, name and MAC address",
     "Reads the printer's address mode, addresses, name and MAC address.\n"
     "Example: q73580-cli --net 192.168.0.20:9100 net get --json"},
    {"net", "set", CliCommand::NetSet, nullptr, nullptr,
     "set the address settings: --dhcp | --static IP MASK GATEWAY",
     "Switches the printer to DHCP, or to a static address; each address is four numbers from 0\n"
     "to 255 joined by dots.\n"
     "Example: q73580-cli --usb net set --static 192.168.1.50 255.255.255.0 192.168.1.1"},
    {"name", "set", CliCommand::NameSet, "NAME", "the new name",
     "set the printer name (at most 15 characters)",
     "Sets the printer's network name: at most 15 Latin-1 characters, no quotation marks or\n"
     "control characters.\n"
     "Example: q73580-cli --net 192.168.0.20 name set Office-2"},
    {"factory-reset", nullptr, CliCommand::FactoryReset, nullptr, nullptr,
     "restore the factory defaults",
     "Restores the printer's factory defaults. Asks first when run from a terminal; without a\n"
     "terminal --yes is required.\n"
     "Example: q73580-cli --lpt LPT1 factory-reset --yes"},
    {"discover", nullptr, CliCommand::Discover, nullptr, nullptr,
     "list the printers that answer over UDP",
     "Sends one discovery request over UDP to 255.255.255.255 port 22368, out of every network\n"
     "interface that can broadcast (only --interface's when given), or to --to and --udp-port,\n"
     "and lists every printer that answers, in arrival order, with the interface its answer came\n"
     "in on. It stops SECONDS (default 1, at most 10) after the last answer, and after 10 s or\n"
     "1000 answers at the latest. No printer found is no failure; standard error then says where\n"
     "it looked. The answers come to UDP port %REPLYPORT%, which a firewall has to let in.\n"
     "Example: q73580-cli discover --to 192.168.0.255"},
    {"remote-set", nullptr, CliCommand::RemoteSet, "MAC", "the printer's MAC address",
     "change a printer's address settings by MAC over UDP",
     "Changes the address settings of the printer with this MAC address over UDP, without a\n"
     "connection to it: reads its address blocks (up to 3 s for each answer) and writes the name,\n"
     "addresses and address mode. A discovery sent first finds the interface the printer answers\n"
     "on, which the change goes out of, and, without --name, the name it keeps. Then it reads\n"
     "the address blocks back: a write nobody answered, or a printer that reports other settings\n"
     "than were written, ends with exit status 76 and says which. Asks first when run from a\n"
     "terminal; without a terminal --yes is required.\n"
     "Example: q73580-cli remote-set 00:1A:2B:3C:4D:5E --static 192.168.1.50 255.255.255.0 "
     "192.168.1.1 --yes"},
    {"web", nullptr, CliCommand::Web, "HOST", "the printer's host name or address",
     "open http://HOST in the default browser",
     "Prints http://HOST and opens it with the desktop's default browser.\n"
     "Example: q73580-cli web 192.168.0.20"},
    {"usb", "list", CliCommand::UsbList, nullptr, nullptr,
     "list the USB printers present and which match",
     "Lists the USB devices with a printer interface, in the order --usb looks at them: vendor "
     "and\n"
     "product id, path text, and whether the vendor id is the one --usb looks for.\n"
     "Example: q73580-cli usb list --usb-vendor 1a2b"},
    {"export", nullptr, CliCommand::Export, nullptr, nullptr,
     "print every printer's name and address settings as CSV",
     "Finds the printers as 'discover' does, reads each one's address blocks over UDP and prints\n"
     "one row per printer, ordered by MAC address, as CSV with the header\n"
     "mac,name,mode,ip,mask,gateway (mode is dhcp or static), or with --json as a JSON array of\n"
     "objects with those keys. A printer whose blocks cannot be read is named on standard error\n"
     "and left out; the exit status is then 75. 'apply' takes the file back.\n"
     "Example: q73580-cli export > site.csv"},
    {"apply", nullptr, CliCommand::Apply, "FILE",
     "a file as 'export' writes it, CSV or JSON; - for standard input",
     "set every printer listed in a file, by MAC, over UDP",
     "Checks every row of FILE first (MAC, name, mode, addresses, no MAC twice): a bad row stops\n"
     "it with exit status 65 before anything is sent. Then it finds the printers, reads each\n"
     "listed one's settings and changes those that differ from their row, as remote-set does. A\n"
     "printer is 'changed' only when its address blocks read back, and a closing discovery for\n"
     "a new name, show the row's values; one already as its row says is 'unchanged' and gets no\n"
     "write. Rows whose printer does not answer are 'not found'. --dry-run shows what would\n"
     "change (old -> new) and writes nothing. Asks first when run from a terminal; without a\n"
     "terminal, or with FILE -, --yes is required. Exit status 0 only when every row ended\n"
     "changed or unchanged, else 75.\n"
     "Example: q73580-cli apply site.csv --dry-run"},
}};

constexpr const char* GeneralDescription =
    "Sets up Q73580 printers from a terminal or a script, as the utility's windows do.\n"
    "The link commands (probe to factory-reset) need exactly one of --usb, --com, --lpt, --net;\n"
    "discover, remote-set, export, apply and web need none. Options may stand anywhere on the\n"
    "line.";

constexpr const char* GeneralFooter =
    R"(An Open Port Error is followed by its cause: "Open Port Error: /dev/ttyUSB0: permission
denied ...".

Environment:
  Q73580_PRINTER_VENDOR_ID   the USB vendor id --usb and 'usb list' look for (four hex digits)
                             unless --usb-vendor is given; else the build's, %VENDOR%

Exit status: 0 success, 1 Open Port Error, 2 Transmit Data Error, 3 Receive Data Error,
4 Open File Error, 5 Unknow Error, 64 usage error, 65 apply: a bad file, 66 apply: the file
could not be read, 69 no UDP socket could be made or no USB device could be listed, 75 export:
a printer could not be read, apply: a row did not end changed or unchanged, 76 the printer did
not confirm a remote-set.

Example: set the clock of every printer that discovery finds
  q73580-cli discover --json | jq -r '.printers[].ip' |
    while read -r ip; do q73580-cli --net "$ip" clock set --from-pc; done)";

// Where each option may be used; an empty set means everywhere.
enum class OptionKind { Flag, Value, ThreeValues };
struct OptionRule {
  const char* name;   // the long form, as messages show it
  const char* names;  // with its short form, if any
  OptionKind kind;
  std::set<CliCommand> commands;
  const char* valueText;
  const char* description;
  const char* group;
  bool inGeneralHelp;  // the command-only ones are shown by their commands' --help
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
  using enum OptionKind;
  using enum CliCommand;
  // clang-format off
  static const std::vector<OptionRule> rules = {
      {"--json", "--json", Flag, {}, nullptr,
       "print one JSON object on standard output, also on failure", "Options", true},
      {"--verbose", "-v,--verbose", Flag, {}, nullptr, "say what a set command did", "Options",
       true},
      {"--debug", "--debug", Flag, {}, nullptr,
       "trace the link, the command lines and replies, and the\nUDP datagrams on standard error",
       "Options", true},
      {"--yes", "-y,--yes", Flag, {FactoryReset, RemoteSet, Apply}, nullptr,
       "do not ask before factory-reset, remote-set or apply\n(needed without a terminal)",
       "Options", true},
      {"--usb", "--usb", Flag, LinkCommands, nullptr, "the first USB printer", "Link", true},
      {"--usb-vendor", "--usb-vendor", Value, UsbCommands, "XXXX",
       "the USB vendor id to look for (four hex digits; else\n"
       "$Q73580_PRINTER_VENDOR_ID, else the build's, %VENDOR%)", "Link", true},
      {"--com", "--com", Value, LinkCommands, "COM1..COM30|/PATH", "a serial port", "Link", true},
      {"--baud", "--baud", Value, LinkCommands, "BAUD",
       "2400, 4800, 9600, 19200, 38400, 57600 or 115200\n(default 9600)", "Link", true},
      {"--parity", "--parity", Value, LinkCommands, "PARITY", "none, odd or even (default none)",
       "Link", true},
      {"--data-bits", "--data-bits", Value, LinkCommands, "BITS", "7 or 8 (default 8)", "Link",
       true},
      {"--stop-bits", "--stop-bits", Value, LinkCommands, "BITS", "1, 1.5 or 2 (default 1)", "Link",
       true},
      {"--handshake", "--handshake", Value, LinkCommands, "HANDSHAKE",
       "none, rts, rts-cts or xon-xoff (default rts)", "Link", true},
      {"--lpt", "--lpt", Value, LinkCommands, "LPT1..LPT4|/PATH", "a parallel port (write only)",
       "Link", true},
      {"--net", "--net", Value, LinkCommands, "HOST[:PORT]",
       "a network printer (port 9100 unless given)", "Link", true},
      {"--from-pc", "--from-pc", Flag, {ClockSet}, nullptr,
       "this PC's local time, as \"Get System Time\"", "Options", false},
      {"--dhcp", "--dhcp", Flag, {NetSet, RemoteSet}, nullptr,
       "the printer takes its address from a DHCP server", "Options", false},
      {"--static", "--static", ThreeValues, {NetSet, RemoteSet}, "IP MASK GATEWAY",
       "a fixed address, each four numbers from 0 to 255\njoined by dots", "Options", false},
      {"--name", "--name", Value, {RemoteSet}, "NAME",
       "the new printer name (at most 15 characters)", "Options", false},
      {"--dry-run", "--dry-run", Flag, {Apply}, nullptr,
       "show what would change and write nothing", "Options", false},
      {"--timeout", "--timeout", Value, {Discover, Export, Apply}, "SECONDS",
       "wait this long after the last answer (default 1,\nat most 10)", "Options", false},
      {"--to", "--to", Value, {Discover, RemoteSet, Export, Apply}, "ADDRESS",
       "where to send (default 255.255.255.255)", "Options", false},
      {"--udp-port", "--udp-port", Value, {Discover, RemoteSet, Export, Apply}, "PORT",
       "the printers' UDP port (default 22368)", "Options", false},
      {"--interface", "--interface", Value, {Discover, RemoteSet, Export, Apply}, "NAME",
       "broadcast out of this network interface only\n(default: every one that can)", "Options",
       false},
  };
  // clang-format on
  return rules;
}

QString Utf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QStringList Utf8(const std::vector<std::string>& texts) {
  QStringList list;
  for (const std::string& text : texts) {
    list << Utf8(text);
  }
  return list;
}

// The words CLI11 left over, without the options among them and its "--" marks.
QStringList Words(const std::vector<std::string>& left) {
  QStringList words;
  for (const std::string& word : left) {
    if (word == "--" || (word.size() > 1 && word[0] == '-')) {
      continue;
    }
    words << Utf8(word);
  }
  return words;
}

// The description after the usage line, and two-word commands listed by both words.
class UsageFormatter : public CLI::Formatter {
 public:
  std::string make_description(const CLI::App*) const override { return {}; }
  std::string make_usage(const CLI::App* app, std::string name) const override {
    std::string text = CLI::Formatter::make_usage(app, std::move(name));
    if (!app->get_description().empty()) {
      text += "\n" + app->get_description() + "\n";
    }
    return text;
  }
  // One blank line between the groups of options, not two.
  std::string make_help(const CLI::App* app, std::string name,
                        CLI::AppFormatMode mode) const override {
    std::string text = CLI::Formatter::make_help(app, std::move(name), mode);
    for (std::size_t at = text.find("\n\n\n"); at != std::string::npos;
         at = text.find("\n\n\n", at)) {
      text.erase(at, 1);
    }
    return text;
  }
  std::string make_subcommand(const CLI::App* sub) const override {
    const std::vector<const CLI::App*> verbs = sub->get_subcommands({});
    if (verbs.empty()) {
      return CLI::Formatter::make_subcommand(sub);
    }
    std::stringstream out;
    for (const CLI::App* verb : verbs) {
      CLI::detail::format_help(out, sub->get_name() + " " + verb->get_name(),
                               verb->get_description(), column_width_);
    }
    return out.str();
  }
};

// The command line as CLI11 sees it: every option on the top level, so that it may stand
// before the command, and again on each command that takes it, for that command's --help.
struct CliApp {
  CLI::App root{GeneralDescription, "q73580-cli"};
  CLI::App* help = nullptr;
  std::map<const CLI::App*, CliCommand> commands;
  // How many words the top level had left over when the command began.
  qsizetype wordsBeforeCommand = std::numeric_limits<qsizetype>::max();

  CliApp(const CliApp&) = delete;
  CliApp& operator=(const CliApp&) = delete;

  CliApp() {
    auto formatter = std::make_shared<UsageFormatter>();
    formatter->label("SUBCOMMAND", "COMMAND");
    formatter->column_width(34);
    root.formatter(formatter);
    root.set_help_flag("-h,--help", "show this text; 'q73580-cli help COMMAND' shows one command");
    root.set_version_flag("--version", std::string(), "print the program's version");
    root.footer(GeneralFooter);
    root.allow_extras();
    root.fallthrough();
    root.require_subcommand(0, 1);
    for (const OptionRule& rule : OptionRules()) {
      AddOption(root, rule, rule.inGeneralHelp);
    }
    std::map<std::string, CLI::App*> groups;
    for (const CommandWords& words : Commands) {
      CLI::App* app = nullptr;
      if (words.second == nullptr) {
        app = root.add_subcommand(words.first, words.summary);
        NoteStart(*app);
      } else {
        CLI::App*& group = groups[words.first];
        if (group == nullptr) {
          group = root.add_subcommand(words.first);
          group->require_subcommand(0, 1);
          group->group("Commands");
          NoteStart(*group);
        }
        app = group->add_subcommand(words.second, words.summary);
      }
      app->group("Commands");
      app->set_help_flag("-h,--help", "show this text");
      app->footer(words.details);
      if (words.argument != nullptr) {
        app->add_option(words.argument, CLI::callback_t(), words.argumentText)->type_name("");
      }
      for (const OptionRule& rule : OptionRules()) {
        if (rule.commands.empty() || rule.commands.count(words.command) != 0) {
          AddOption(*app, rule, true);
        }
      }
      commands[app] = words.command;
    }
    help = root.add_subcommand("help", "show the usage of one command");
    help->add_option("COMMAND", CLI::callback_t(), "clock set, remote-set, ...")->type_name("");
    help->group("Commands");
    NoteStart(*help);
  }

  void NoteStart(CLI::App& command) {
    command.preparse_callback(
        [this](std::size_t) { wordsBeforeCommand = Words(root.remaining()).size(); });
  }

  static void AddOption(CLI::App& app, const OptionRule& rule, bool shown) {
    CLI::Option* option = nullptr;
    if (rule.kind == OptionKind::Flag) {
      const std::string description = rule.description;
      option = app.add_flag(rule.names, description)->disable_flag_override();
    } else {
      // All values are kept, so that one given twice is refused in our own words.
      option = app.add_option(rule.names, CLI::callback_t(), rule.description)
                   ->expected(rule.kind == OptionKind::ThreeValues ? 3 : 1)
                   ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
                   ->option_text(rule.valueText);
    }
    option->group(shown ? rule.group : "");
  }
};

struct GivenOption {
  const OptionRule* rule;
  QString typed;  // as messages show it
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

// The command named by `words` ("clock", "set"), if any.
std::optional<CliCommand> CommandOf(const QStringList& words) {
  for (const CommandWords& command : Commands) {
    if (!words.isEmpty() && words[0] == QLatin1String(command.first) &&
        (command.second == nullptr ||
         (words.size() > 1 && words[1] == QLatin1String(command.second)))) {
      return command.command;
    }
  }
  return std::nullopt;
}

class Parser {
 public:
  explicit Parser(const QStringList& args) : args_(args) {}

  std::variant<CliArgs, CliUsageError> Run();

 private:
  std::optional<CliUsageError> Parse();
  std::variant<CliArgs, CliUsageError> Help() const;
  std::optional<std::string> FindCommand();
  bool TakeOptions();
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
  CliApp cli_;
  // The commands chosen, from the top level down: "clock" then "set".
  std::vector<const CLI::App*> chain_;
  bool helpAsked_ = false;
  bool versionAsked_ = false;
  QStringList before_, after_;  // words left over before and after the command's name
  std::vector<GivenOption> options_;
  QStringList words_;  // the command's arguments
  CliArgs result_;
  std::string error_;
};

// A value missing at the end, or one given to a flag, in the words q73580-cli has always used.
std::string OurWording(const std::string& mismatch) {
  for (const OptionRule& rule : OptionRules()) {
    const std::string name = rule.name;
    if (rule.kind == OptionKind::Flag &&
        mismatch == name.substr(2) + " was given a disallowed flag override") {
      return "option " + name + " takes no value after '='";
    }
    if (rule.kind != OptionKind::Flag && mismatch.starts_with(name + ": ") &&
        mismatch.find(" required ") != std::string::npos) {
      return "option " + name + " needs " +
             (rule.kind == OptionKind::Value ? "a value" : "3 values");
    }
  }
  return mismatch;
}

// Lets CLI11 split the line.
std::optional<CliUsageError> Parser::Parse() {
  std::vector<std::string> reversed;
  for (qsizetype i = args_.size(); i > 0; --i) {
    reversed.push_back(args_[i - 1].toStdString());
  }
  std::optional<CliUsageError> error;
  try {
    cli_.root.parse(std::move(reversed));
  } catch (const CLI::CallForHelp&) {
    helpAsked_ = true;
  } catch (const CLI::CallForVersion&) {
    versionAsked_ = true;
  } catch (const CLI::ArgumentMismatch& mismatch) {
    error = CliUsageError{OurWording(mismatch.what())};
  } catch (const CLI::ParseError& other) {
    error = CliUsageError{other.what()};
  }
  chain_ = {&cli_.root};
  while (!chain_.back()->get_subcommands().empty()) {
    chain_.push_back(chain_.back()->get_subcommands().front());
  }
  // CLI11 leaves every word it has no place for on the top level; those after the command are
  // the command's.
  const QStringList stray = Words(cli_.root.remaining());
  before_ = stray.mid(0, cli_.wordsBeforeCommand);
  after_ = stray.mid(cli_.wordsBeforeCommand) + Words(chain_.back()->remaining());
  // "--help" wins over anything else wrong on the line, also where the parse stopped early.
  for (const CLI::App* app : chain_) {
    helpAsked_ = helpAsked_ || app->get_help_ptr()->count() > 0;
  }
  return error;
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
      QStringLiteral("^([0-9]{4})-([0-9]{2})-([0-9]{2})[T ]([0-9]{2}):([0-9]{2}):([0-9]{2})$"));
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
  return Fail(Quoted(text) +
              " is not a date and time of the form YYYY-MM-DD HH:MM:SS or YYYY-MM-DDTHH:MM:SS");
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
  if (const GivenOption* interface = Option("--interface")) {
    // Only a broadcast is sent out of every interface; any other address is routed.
    if (result_.to != "255.255.255.255") {
      return Fail("--interface goes only with the broadcast to 255.255.255.255, not with --to " +
                  result_.to);
    }
    if (interface->values[0].isEmpty()) {
      return Fail("--interface needs the name of a network interface");
    }
    result_.interfaceName = interface->values[0].toStdString();
  }
  return true;
}

bool Parser::TakeCommandArguments() {
  const QStringList& rest = words_;
  const qsizetype wanted =
      (result_.command == CliCommand::NameSet || result_.command == CliCommand::RemoteSet ||
       result_.command == CliCommand::Web || result_.command == CliCommand::Apply)
          ? 1
      // The date and the time as 'clock get' prints them may come as two words.
      : result_.command == CliCommand::ClockSet ? (Has("--from-pc") ? 0 : 2)
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
      return TakeClock(rest.join(QLatin1Char(' ')));
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
    case CliCommand::Export:
      return TakeUdpOptions();
    case CliCommand::Apply:
      if (rest.isEmpty()) {
        return Fail("'apply' needs a file: a path, or - for standard input");
      }
      result_.file = rest[0].toStdString();
      result_.dryRun = Has("--dry-run");
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

std::variant<CliArgs, CliUsageError> Parser::Help() const {
  CliArgs args;
  args.command = CliCommand::Help;
  if (chain_.size() > 1 && chain_[1] == cli_.help) {
    const QStringList topic = Utf8(cli_.help->get_option("COMMAND")->results()) + after_;
    if (topic.isEmpty()) {
      return args;
    }
    const std::optional<CliCommand> command = CommandOf(topic);
    if (!command && !helpAsked_) {
      return CliUsageError{"unknown command " + Quoted(topic.join(QLatin1Char(' ')))};
    }
    args.helpTopic = command.value_or(CliCommand::Help);
    return args;
  }
  if (const auto leaf = cli_.commands.find(chain_.back()); leaf != cli_.commands.end()) {
    args.helpTopic = leaf->second;
  }
  return args;
}

// Sets result_.command from the commands CLI11 chose; else what is wrong.
std::optional<std::string> Parser::FindCommand() {
  QStringList named;
  for (std::size_t i = 1; i < chain_.size(); ++i) {
    named << Utf8(chain_[i]->get_name());
  }
  const auto leaf = cli_.commands.find(chain_.back());
  if (!before_.isEmpty()) {
    return "unknown command " + Quoted(before_.mid(0, 2).join(QLatin1Char(' ')));
  }
  if (chain_.size() > 1 && leaf == cli_.commands.end()) {
    return "unknown command " + Quoted((named + after_).mid(0, 2).join(QLatin1Char(' ')));
  }
  if (leaf == cli_.commands.end()) {
    return "no command given";
  }
  result_.command = leaf->second;
  for (const CLI::Option* argument : chain_.back()->get_options(
           [](const CLI::Option* option) { return option->get_positional(); })) {
    words_ << Utf8(argument->results());
  }
  words_ << after_;
  return std::nullopt;
}

// Gathers each option from wherever it was given: before the command or after it.
bool Parser::TakeOptions() {
  for (const OptionRule& rule : OptionRules()) {
    GivenOption given{&rule, QLatin1String(rule.name), {}};
    std::size_t count = 0;
    for (const CLI::App* app : chain_) {
      if (const CLI::Option* option = app->get_option_no_throw(rule.name)) {
        count += option->count();
        given.values << Utf8(option->results());
      }
    }
    if (count == 0) {
      continue;
    }
    const qsizetype values = rule.kind == OptionKind::ThreeValues ? 3 : 1;
    if (rule.kind != OptionKind::Flag && given.values.size() > values) {
      return Fail("option " + std::string(rule.name) + " is given twice");
    }
    // CLI11 stops taking values at the next option.
    if (rule.kind == OptionKind::ThreeValues && given.values.size() < values) {
      return Fail("option " + std::string(rule.name) + " needs 3 values");
    }
    options_.push_back(std::move(given));
  }
  return true;
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

std::variant<CliArgs, CliUsageError> Parser::Run() {
  const std::optional<CliUsageError> parseError = Parse();
  if (versionAsked_) {
    CliArgs args;
    args.command = CliCommand::Version;
    return args;
  }
  const bool helpCommand = chain_.size() > 1 && chain_[1] == cli_.help;
  if (helpAsked_) {
    return Help();
  }
  if (parseError) {
    return *parseError;
  }
  // An option no command knows; CLI11 leaves it over.
  for (const std::string& word : cli_.root.remaining(true)) {
    if (word.size() > 1 && word[0] == '-' && word != "--") {
      return CliUsageError{"unknown option " + Quoted(Utf8(word))};
    }
  }
  if (helpCommand) {
    return Help();
  }
  if (const std::optional<std::string> wrong = FindCommand()) {
    return CliUsageError{*wrong};
  }
  if (!TakeOptions()) {
    return CliUsageError{error_};
  }
  result_.json = Has("--json");
  result_.verbose = Has("--verbose");
  result_.debug = Has("--debug");
  result_.yes = Has("--yes");
  if (!CheckOptionsFit() || !TakeLink() || !TakeCommandArguments()) {
    return CliUsageError{error_};
  }
  return result_;
}

// The path of commands above `app`, for its usage line: "q73580-cli clock".
std::string UsagePrefix(const CLI::App* app) {
  std::string prefix;
  for (const CLI::App* parent = app->get_parent(); parent != nullptr;
       parent = parent->get_parent()) {
    prefix = prefix.empty() ? parent->get_name() : parent->get_name() + " " + prefix;
  }
  return prefix;
}

}  // namespace

std::variant<CliArgs, CliUsageError> ParseCliArgs(const QStringList& args) {
  return Parser(args).Run();
}

std::string CliUsageText(CliCommand topic) {
  const CliApp cli;
  const CLI::App* app = &cli.root;
  for (const auto& [command, named] : cli.commands) {
    if (named == topic) {
      app = command;
    }
  }
  std::string text = app->help(UsagePrefix(app));
  for (std::size_t at = text.find("%VENDOR%"); at != std::string::npos;
       at = text.find("%VENDOR%", at)) {
    text.replace(at, 8, PrinterVendorId);
  }
  const std::string replyPort = std::to_string(NetSetupLocalPort);
  for (std::size_t at = text.find("%REPLYPORT%"); at != std::string::npos;
       at = text.find("%REPLYPORT%", at)) {
    text.replace(at, 11, replyPort);
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
