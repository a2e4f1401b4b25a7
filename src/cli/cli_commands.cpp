#include "cli/cli_commands.h"

#include "cli/cli_text.h"

const std::vector<CommandSpec>& CliCommands() {
  static const std::vector<CommandSpec> commands = [] {
    std::vector<CommandSpec> all;
    for (void (*add)(std::vector<CommandSpec>&) :
         {AddLinkCommands, AddDiscover, AddRemoteSet, AddWeb, AddUsbList, AddExport, AddApply}) {
      add(all);
    }
    return all;
  }();
  return commands;
}

const CommandSpec* FindCommand(CliCommand command) {
  for (const CommandSpec& spec : CliCommands()) {
    if (spec.command == command) {
      return &spec;
    }
  }
  return nullptr;
}

std::string CliCommandName(CliCommand command) {
  const CommandSpec* spec = FindCommand(command);
  if (spec == nullptr) {
    return "help";
  }
  return spec->second == nullptr ? std::string(spec->first)
                                 : std::string(spec->first) + " " + spec->second;
}

CliOutcome RunCliCommand(const CliArgs& args, CliServices& services) {
  CommandRun run{args, services, {}};
  run.Json("command", QString::fromStdString(CliCommandName(args.command)));
  if (args.link) {
    run.Json("link", QJsonObject{{QStringLiteral("kind"), LinkKindName(args.link->kind)},
                                 {QStringLiteral("target"), FromLatin1(args.link->target)}});
  }
  const CommandSpec* spec = FindCommand(args.command);
  return spec != nullptr ? spec->run(run) : run.Finish(CommandResult::InvalidOperation);
}
