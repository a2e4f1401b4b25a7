#include "cli/cli_args.h"

#include <CLI/CLI.hpp>
#include <map>
#include <memory>
#include <sstream>

#include "cli/cli_checks.h"
#include "cli/cli_commands.h"
#include "cli/link_options.h"
#include "link/usb_printer_port.h"
#include "netsetup/net_setup_exchange.h"

namespace {

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

// Every option, once: all of them stand on the top level, so that each may be given before the
// command or after it. Which commands take one is the command's to say (CommandSpec::options).
std::vector<OptionRule> OptionRules() {
  std::vector<OptionRule> rules = {
      {"--help", "-h,--help", 0, "", "show this text; 'q73580-cli help COMMAND' shows one command",
       "Options", true, true},
      {"--version", "--version", 0, "", "print the program's version", "Options", false, true},
      {"--json", "--json", 0, "", "print one JSON object on standard output, also on failure",
       "Options", true, true},
      {"--verbose", "-v,--verbose", 0, "", "say what a set command did", "Options", true, true},
      {"--debug", "--debug", 0, "",
       "trace the link, the command lines and replies, and the\nUDP datagrams on standard error",
       "Options", true, true},
      {"--yes", "-y,--yes", 0, "",
       "do not ask before factory-reset, remote-set or apply\n(needed without a terminal)",
       "Options", false, true},
  };
  for (OptionRule& rule : LinkOptionRules()) {
    rules.push_back(std::move(rule));
  }
  const std::vector<OptionRule> commandOptions = {
      {"--from-pc", "--from-pc", 0, "", "this PC's local time, as \"Get System Time\"", "Options",
       false, false},
      {"--dhcp", "--dhcp", 0, "", "the printer takes its address from a DHCP server", "Options",
       false, false},
      {"--static", "--static", 3, "IP MASK GATEWAY",
       "a fixed address, each four numbers from 0 to 255\njoined by dots", "Options", false, false},
      {"--name", "--name", 1, "NAME", "the new printer name (at most 15 characters)", "Options",
       false, false},
      {"--dry-run", "--dry-run", 0, "", "show what would change and write nothing", "Options",
       false, false},
      {"--timeout", "--timeout", 1, "SECONDS",
       "wait this long after the last answer (default 1,\nat most 10)", "Options", false, false},
      {"--to", "--to", 1, "ADDRESS", "where to send (default 255.255.255.255)", "Options", false,
       false},
      {"--udp-port", "--udp-port", 1, "PORT", "the printers' UDP port (default 22368)", "Options",
       false, false},
      {"--interface", "--interface", 1, "NAME",
       "broadcast out of this network interface only\n(default: every one that can)", "Options",
       false, false},
  };
  rules.insert(rules.end(), commandOptions.begin(), commandOptions.end());
  return rules;
}

bool Takes(const CommandSpec& spec, const OptionRule& rule) {
  return rule.everywhere || (spec.link && rule.group == "Link") ||
         QString::fromLatin1(spec.options)
             .split(QLatin1Char(' '))
             .contains(QString::fromStdString(rule.name));
}

// The command line as CLI11 reads it: the options on the top level, a command (or a command
// and its verb) below it with its arguments.
struct CliApp {
  struct Option {
    OptionRule rule;
    std::vector<std::string> values;
    CLI::Option* option = nullptr;
  };

  CLI::App root{GeneralDescription, "q73580-cli"};
  CLI::App* help = nullptr;
  std::vector<std::string> helpWords;
  std::vector<std::unique_ptr<Option>> options;
  std::map<const CLI::App*, const CommandSpec*> commands;
  std::map<const CLI::App*, std::vector<std::string>> words;

  CliApp();
  CliApp(const CliApp&) = delete;
  CliApp& operator=(const CliApp&) = delete;

  const Option& Find(const std::string& name) const {
    return **std::find_if(options.begin(), options.end(),
                          [&](const auto& option) { return option->rule.name == name; });
  }
  const CLI::App* For(CliCommand command) const {
    for (const auto& [app, spec] : commands) {
      if (spec->command == command) {
        return app;
      }
    }
    return &root;
  }
};

// Two-word commands listed by both words, and a command's help listing the options it takes.
class UsageFormatter : public CLI::Formatter {
 public:
  explicit UsageFormatter(const CliApp& cli) : cli_(cli) {}

  std::string make_help(const CLI::App* app, std::string name,
                        CLI::AppFormatMode mode) const override {
    const auto command = cli_.commands.find(app);
    const CommandSpec* spec = command != cli_.commands.end() ? command->second : nullptr;
    std::string text = make_usage(app, name);
    if (spec != nullptr) {
      text = "Usage: " + name + " [OPTIONS]" +
             (spec->argument != nullptr ? std::string(" [") + spec->argument + "]" : "") + "\n\n" +
             spec->summary + "\n" + make_positionals(app);
    }
    for (const char* group : {"Options", "Link"}) {
      std::vector<const CLI::Option*> taken;
      for (const auto& option : cli_.options) {
        const OptionRule& rule = option->rule;
        if (rule.group == group && (spec == nullptr ? rule.inGeneralHelp : Takes(*spec, rule))) {
          taken.push_back(option->option);
        }
      }
      if (!taken.empty()) {
        text += make_group(group, false, taken) + "\n";
      }
    }
    if (spec != nullptr) {
      // A command's --help shows its own usage only.
      std::stringstream general;
      CLI::detail::format_help(general, "-h,--help", cli_.Find("--help").rule.description,
                               column_width_);
      std::stringstream own;
      CLI::detail::format_help(own, "-h,--help", "show this text", column_width_);
      text.replace(text.find(general.str()), general.str().size(), own.str());
    } else {
      text += make_subcommands(app, mode);
    }
    text += "\n" + make_footer(app);
    // One blank line between the groups of options, not two.
    for (std::size_t at = text.find("\n\n\n"); at != std::string::npos;
         at = text.find("\n\n\n", at)) {
      text.erase(at, 1);
    }
    return text;
  }
  std::string make_usage(const CLI::App* app, std::string name) const override {
    return CLI::Formatter::make_usage(app, std::move(name)) + "\n" + app->get_description() + "\n";
  }
  std::string make_description(const CLI::App*) const override { return {}; }
  // A command's words are ours to count; its help names them without CLI11's "...".
  std::string make_option_opts(const CLI::Option* option) const override {
    return option->get_positional() ? std::string() : CLI::Formatter::make_option_opts(option);
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

 private:
  const CliApp& cli_;
};

CliApp::CliApp() {
  auto formatter = std::make_shared<UsageFormatter>(*this);
  formatter->label("SUBCOMMAND", "COMMAND");
  formatter->column_width(34);
  root.formatter(formatter);
  // Our own --help, an option like the others: it wins over anything else on the line.
  root.set_help_flag();
  root.footer(GeneralFooter);
  root.require_subcommand(0, 1);
  for (OptionRule& rule : OptionRules()) {
    auto option = std::make_unique<Option>();
    option->rule = std::move(rule);
    const OptionRule& r = option->rule;
    if (r.values == 0) {
      option->option = root.add_flag(r.names, option->values, r.description);
    } else {
      // A missing value is ours to name, and a value is never an option or a command.
      option->option = root.add_option(r.names, option->values, r.description)
                           ->expected(0, r.values)
                           ->allow_extra_args(false)
                           ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
                           ->option_text(r.valueText);
    }
    option->option->group(r.group);
    options.push_back(std::move(option));
  }
  std::map<std::string, CLI::App*> groups;
  for (const CommandSpec& spec : CliCommands()) {
    CLI::App* app = nullptr;
    if (spec.second == nullptr) {
      app = root.add_subcommand(spec.first, spec.summary);
    } else {
      CLI::App*& group = groups[spec.first];
      if (group == nullptr) {
        group = root.add_subcommand(spec.first);
        group->require_subcommand(0, 1)->fallthrough()->group("Commands");
      }
      app = group->add_subcommand(spec.second, spec.summary);
    }
    app->group("Commands")->fallthrough()->footer(spec.details);
    if (spec.argument != nullptr) {
      // Any number of words, so that "--" stays the command's; too many are ours to refuse.
      app->add_option(spec.argument, words[app], spec.argumentText)->expected(1, -1)->type_name("");
    }
    commands[app] = &spec;
  }
  help = root.add_subcommand("help", "show the usage of one command");
  help->add_option("COMMAND", helpWords, "clock set, remote-set, ...")
      ->expected(1, -1)
      ->type_name("");
  help->group("Commands")->fallthrough();
}

QStringList Utf8(const std::vector<std::string>& texts) {
  QStringList list;
  for (const std::string& text : texts) {
    list << QString::fromStdString(text);
  }
  return list;
}

class Parser {
 public:
  explicit Parser(const QStringList& args) : args_(args) {}
  std::variant<CliArgs, CliUsageError> Run();

 private:
  std::variant<CliArgs, CliUsageError> Help(const QStringList& extra) const;
  std::optional<std::string> Leftover(const QStringList& left) const;
  std::optional<std::string> TakeOptions(const CommandSpec& spec);

  const QStringList& args_;
  CliApp cli_;
  std::vector<const CLI::App*> chain_;  // the commands chosen: "clock", then "set"
  ParsedLine line_;
};

// Words that no option or command took: an unknown option, command or argument.
std::optional<std::string> Parser::Leftover(const QStringList& left) const {
  for (const QString& word : left) {
    if (word.size() > 1 && word.startsWith(QLatin1Char('-'))) {
      return "unknown option " + Quoted(word);
    }
  }
  if (left.isEmpty()) {
    return std::nullopt;
  }
  if (chain_.size() == 1) {
    return "unknown command " + Quoted(left.mid(0, 2).join(QLatin1Char(' ')));
  }
  if (cli_.commands.count(chain_.back()) == 0) {
    return "unknown command " +
           Quoted(QString::fromStdString(chain_.back()->get_name() + " ") + left.front());
  }
  return "unexpected argument " + Quoted(left.front());
}

std::variant<CliArgs, CliUsageError> Parser::Help(const QStringList& extra) const {
  CliArgs args;
  args.command = CliCommand::Help;
  if (chain_.size() > 1 && chain_[1] == cli_.help) {
    const QStringList topic = Utf8(cli_.helpWords) + extra;
    for (const CommandSpec& spec : CliCommands()) {
      if (topic.join(QLatin1Char(' ')) == QString::fromStdString(CliCommandName(spec.command))) {
        args.helpTopic = spec.command;
      }
    }
    if (!topic.isEmpty() && args.helpTopic == CliCommand::Help &&
        cli_.Find("--help").values.empty()) {
      return CliUsageError{"unknown command " + Quoted(topic.join(QLatin1Char(' ')))};
    }
  } else if (const auto leaf = cli_.commands.find(chain_.back()); leaf != cli_.commands.end()) {
    args.helpTopic = leaf->second->command;
  }
  return args;
}

// Each option given once, with what it needs, and only where its command takes it.
std::optional<std::string> Parser::TakeOptions(const CommandSpec& spec) {
  for (const auto& option : cli_.options) {
    const OptionRule& rule = option->rule;
    if (option->option->count() == 0) {
      continue;
    }
    const QStringList values = Utf8(option->values);
    if (rule.values == 0) {
      // A flag counts as often as it is given; "--json=yes" is no flag.
      if (values.count(QStringLiteral("true")) != values.size()) {
        return "option " + rule.name + " takes no value after '='";
      }
      line_.given[rule.name] = {};
    } else if (values.size() > rule.values) {
      return "option " + rule.name + " is given twice";
    } else if (values.size() < rule.values || values.contains(QString())) {
      return "option " + rule.name + " needs " +
             (rule.values == 1 ? std::string("a value") : std::to_string(rule.values) + " values");
    } else {
      line_.given[rule.name] = values;
    }
  }
  for (const auto& option : cli_.options) {
    if (line_.Has(option->rule.name) && !Takes(spec, option->rule)) {
      return "option " + option->rule.name + " does not go with '" + CliCommandName(spec.command) +
             "'";
    }
  }
  return std::nullopt;
}

std::variant<CliArgs, CliUsageError> Parser::Run() {
  std::vector<std::string> reversed;
  for (qsizetype i = args_.size(); i > 0; --i) {
    reversed.push_back(args_[i - 1].toStdString());
  }
  std::optional<std::string> error;
  try {
    cli_.root.parse(std::move(reversed));
  } catch (const CLI::ParseError& other) {
    error = other.what();
  }
  chain_ = {&cli_.root};
  while (!chain_.back()->get_subcommands().empty()) {
    chain_.push_back(chain_.back()->get_subcommands().front());
  }
  QStringList left;
  for (const CLI::App* app : chain_) {
    left += Utf8(app->remaining());
  }
  left.removeAll(QStringLiteral("--"));  // CLI11 keeps the mark among the words left over
  if (cli_.Find("--help").option->count() > 0 || (chain_.size() > 1 && chain_[1] == cli_.help)) {
    return Help(left);
  }
  if (cli_.Find("--version").option->count() > 0) {
    CliArgs args;
    args.command = CliCommand::Version;
    return args;
  }
  if (std::optional<std::string> leftover = Leftover(left)) {
    return CliUsageError{*leftover};
  }
  if (error) {
    return CliUsageError{*error};
  }
  const auto leaf = cli_.commands.find(chain_.back());
  if (leaf == cli_.commands.end()) {
    return CliUsageError{chain_.size() == 1
                             ? std::string("no command given")
                             : "unknown command " +
                                   Quoted(QString::fromStdString(chain_.back()->get_name()))};
  }
  const CommandSpec& spec = *leaf->second;
  const auto words = cli_.words.find(leaf->first);
  line_.words = words != cli_.words.end() ? Utf8(words->second) : QStringList();
  if (line_.words.size() > spec.maxWords) {
    return CliUsageError{"unexpected argument " + Quoted(line_.words[spec.maxWords])};
  }
  CliArgs args;
  args.command = spec.command;
  std::optional<std::string> problem = TakeOptions(spec);
  if (!problem) {
    args.json = line_.Has("--json");
    args.verbose = line_.Has("--verbose");
    args.debug = line_.Has("--debug");
    args.yes = line_.Has("--yes");
    problem = TakeUsbVendor(line_, args);
  }
  if (!problem && spec.link) {
    problem = TakeLink(line_, CliCommandName(spec.command), args);
  }
  if (!problem && spec.take != nullptr) {
    problem = spec.take(line_, args);
  }
  if (problem) {
    return CliUsageError{*problem};
  }
  return args;
}

std::string Replaced(std::string text, const std::string& mark, const std::string& by) {
  for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at)) {
    text.replace(at, mark.size(), by);
  }
  return text;
}

}  // namespace

std::variant<CliArgs, CliUsageError> ParseCliArgs(const QStringList& args) {
  return Parser(args).Run();
}

std::string CliUsageText(CliCommand topic) {
  const CliApp cli;
  const CLI::App* app = cli.For(topic);
  // The path of commands above it, for its usage line: "q73580-cli clock".
  std::string prefix;
  for (const CLI::App* parent = app->get_parent(); parent != nullptr;
       parent = parent->get_parent()) {
    prefix = prefix.empty() ? parent->get_name() : parent->get_name() + " " + prefix;
  }
  const std::string text = app->help(prefix);
  return Replaced(Replaced(text, "%VENDOR%", std::string(PrinterVendorId)), "%REPLYPORT%",
                  std::to_string(NetSetupLocalPort));
}
