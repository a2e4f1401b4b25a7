#include "cli/cli_args.h"

#include <CLI/CLI.hpp>
#include <algorithm>
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
    "discover, remote-set, export, apply and web need none, nor 'clock get' and 'clock set' with\n"
    "--all. Options may stand anywhere on the line.";

constexpr const char* GeneralFooter =
    R"(An Open Port Error is followed by its cause: "Open Port Error: /dev/ttyUSB0: permission
denied ...".

Environment:
  Q73580_PRINTER_VENDOR_ID   the USB vendor id --usb and 'usb list' look for (four hex digits)
                             unless --usb-vendor is given; else the build's, %VENDOR%

Exit status: 0 success, 1 Open Port Error, 2 Transmit Data Error, 3 Receive Data Error,
4 Open File Error, 5 Unknow Error, 64 usage error, 65 apply: a bad file, 66 apply: the file
could not be read, 69 no UDP socket could be made or no USB device could be listed, 75 export:
a printer could not be read, apply: a row did not end changed or unchanged, clock get or set
--all: a printer was not read or set, 76 the printer did not confirm a remote-set.

Example: set the clock of every printer that discovery finds, 16 at a time
  q73580-cli clock set --all --from-pc)";

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
  const std::vector<OptionRule> link = LinkOptionRules();
  rules.insert(rules.end(), link.begin(), link.end());
  // The others, each shown by the --help of the commands that take it.
  const auto add = [&](const char* name, int values, const char* valueText, const char* text) {
    rules.push_back({name, name, values, valueText, text, "Options", false, false});
  };
  add("--from-pc", 0, "", "this PC's local time, as \"Get System Time\"");
  add("--all", 0, "",
      "every printer that discovery finds, over TCP port\n9100, 16 at once, in place of a link");
  add("--dhcp", 0, "", "the printer takes its address from a DHCP server");
  add("--static", 3, "IP MASK GATEWAY",
      "a fixed address, each four numbers from 0 to 255\njoined by dots");
  add("--name", 1, "NAME", "the new printer name (at most 15 characters)");
  add("--dry-run", 0, "", "show what would change and write nothing");
  add("--timeout", 1, "SECONDS", "wait this long after the last answer (default 1,\nat most 10)");
  add("--to", 1, "ADDRESS", "where to send (default 255.255.255.255)");
  add("--udp-port", 1, "PORT", "the printers' UDP port (default 22368)");
  add("--interface", 1, "NAME",
      "broadcast out of this network interface only\n(default: every one that can)");
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

  const Option& Find(const std::string& name) const {
    return **std::find_if(options.begin(), options.end(),
                          [&](const auto& option) { return option->rule.name == name; });
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

// The commands chosen: the root, then "clock", then "set".
using Chain = std::vector<const CLI::App*>;

// Words that no option or command took: an unknown option, command or argument.
std::optional<std::string> Leftover(const CliApp& cli, const Chain& chain,
                                    const QStringList& left) {
  for (const QString& word : left) {
    if (word.size() > 1 && word.startsWith(QLatin1Char('-'))) {
      return "unknown option " + Quoted(word);
    }
  }
  if (left.isEmpty()) {
    return std::nullopt;
  }
  if (chain.size() == 1) {
    return "unknown command " + Quoted(left.mid(0, 2).join(QLatin1Char(' ')));
  }
  if (cli.commands.count(chain.back()) == 0) {
    return "unknown command " +
           Quoted(QString::fromStdString(chain.back()->get_name() + " ") + left.front());
  }
  return "unexpected argument " + Quoted(left.front());
}

std::variant<CliArgs, CliUsageError> Help(const CliApp& cli, const Chain& chain,
                                          const QStringList& extra) {
  CliArgs args;
  args.command = CliCommand::Help;
  if (chain.size() > 1 && chain[1] == cli.help) {
    const QStringList topic = Utf8(cli.helpWords) + extra;
    for (const CommandSpec& spec : CliCommands()) {
      if (topic.join(QLatin1Char(' ')) == QString::fromStdString(CliCommandName(spec.command))) {
        args.helpTopic = spec.command;
      }
    }
    if (!topic.isEmpty() && args.helpTopic == CliCommand::Help &&
        cli.Find("--help").values.empty()) {
      return CliUsageError{"unknown command " + Quoted(topic.join(QLatin1Char(' ')))};
    }
  } else if (const auto leaf = cli.commands.find(chain.back()); leaf != cli.commands.end()) {
    args.helpTopic = leaf->second->command;
  }
  return args;
}

// Each option given once, with what it needs, and only where its command takes it.
std::optional<std::string> TakeOptions(const CliApp& cli, const CommandSpec& spec,
                                       ParsedLine& line) {
  for (const auto& option : cli.options) {
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
      line.given[rule.name] = {};
    } else if (values.size() > rule.values) {
      return "option " + rule.name + " is given twice";
    } else if (values.size() < rule.values || values.contains(QString())) {
      return "option " + rule.name + " needs " +
             (rule.values == 1 ? std::string("a value") : std::to_string(rule.values) + " values");
    } else {
      line.given[rule.name] = values;
    }
  }
  for (const auto& option : cli.options) {
    if (line.Has(option->rule.name) && !Takes(spec, option->rule)) {
      return "option " + option->rule.name + " does not go with '" + CliCommandName(spec.command) +
             "'";
    }
  }
  return std::nullopt;
}

std::string Replaced(std::string text, const std::string& mark, const std::string& by) {
  for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at)) {
    text.replace(at, mark.size(), by);
  }
  return text;
}

Chain Chosen(const CliApp& cli) {
  Chain chain = {&cli.root};
  while (!chain.back()->get_subcommands().empty()) {
    chain.push_back(chain.back()->get_subcommands().front());
  }
  return chain;
}

std::variant<CliArgs, CliUsageError> Parse(CliApp& cli, const QStringList& words) {
  std::vector<std::string> reversed;
  for (qsizetype i = words.size(); i > 0; --i) {
    reversed.push_back(words[i - 1].toStdString());
  }
  std::optional<std::string> error;
  try {
    cli.root.parse(std::move(reversed));
  } catch (const CLI::ParseError& other) {
    error = other.what();
  }
  const Chain chain = Chosen(cli);
  QStringList left;
  for (const CLI::App* app : chain) {
    left += Utf8(app->remaining());
  }
  left.removeAll(QStringLiteral("--"));  // CLI11 keeps the mark among the words left over
  if (cli.Find("--help").option->count() > 0 || (chain.size() > 1 && chain[1] == cli.help)) {
    return Help(cli, chain, left);
  }
  CliArgs args;
  if (cli.Find("--version").option->count() > 0) {
    args.command = CliCommand::Version;
    return args;
  }
  if (std::optional<std::string> leftover = Leftover(cli, chain, left)) {
    return CliUsageError{*leftover};
  }
  if (error) {
    return CliUsageError{*error};
  }
  const auto leaf = cli.commands.find(chain.back());
  if (leaf == cli.commands.end()) {
    return CliUsageError{chain.size() == 1
                             ? std::string("no command given")
                             : "unknown command " +
                                   Quoted(QString::fromStdString(chain.back()->get_name()))};
  }
  const CommandSpec& spec = *leaf->second;
  ParsedLine line;
  const auto given = cli.words.find(leaf->first);
  line.words = given != cli.words.end() ? Utf8(given->second) : QStringList();
  if (line.words.size() > spec.maxWords) {
    return CliUsageError{"unexpected argument " + Quoted(line.words[spec.maxWords])};
  }
  args.command = spec.command;
  std::optional<std::string> problem = TakeOptions(cli, spec, line);
  if (!problem) {
    args.json = line.Has("--json");
    args.verbose = line.Has("--verbose");
    args.debug = line.Has("--debug");
    args.yes = line.Has("--yes");
    problem = TakeUsbVendor(line, args);
  }
  // --all reaches the printers discovery finds: the command's own checks refuse a link then.
  if (!problem && spec.link && !line.Has("--all")) {
    problem = TakeLink(line, CliCommandName(spec.command), args);
  }
  if (!problem && spec.take != nullptr) {
    problem = spec.take(line, args);
  }
  if (problem) {
    return CliUsageError{*problem};
  }
  return args;
}

}  // namespace

std::variant<CliArgs, CliUsageError> ParseCliArgs(const QStringList& words) {
  CliApp cli;
  std::variant<CliArgs, CliUsageError> parsed = Parse(cli, words);
  if (auto* error = std::get_if<CliUsageError>(&parsed)) {
    // A script that asked for JSON gets it for a usage error too, named after the command meant.
    const std::vector<std::string>& json = cli.Find("--json").values;
    error->json = !json.empty() && std::all_of(json.begin(), json.end(),
                                               [](const std::string& v) { return v == "true"; });
    const auto leaf = cli.commands.find(Chosen(cli).back());
    if (leaf != cli.commands.end()) {
      error->command = CliCommandName(leaf->second->command);
    }
  }
  return parsed;
}

std::string CliUsageText(CliCommand topic) {
  const CliApp cli;
  const CLI::App* app = &cli.root;
  for (const auto& [command, spec] : cli.commands) {
    app = spec->command == topic ? command : app;
  }
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
