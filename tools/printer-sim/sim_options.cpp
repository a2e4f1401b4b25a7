#include "printer-sim/sim_options.h"

#include "printer-sim/udp_discovery.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <utility>

namespace printer_sim {
namespace {

constexpr const char* kDescription =
    "A virtual Q73580 printer for tests and demonstrations. It answers the printer's\n"
    "command language on TCP, a pseudo-terminal and a FIFO, and discovery on UDP, until\n"
    "SIGINT or SIGTERM.\n\nOptions take their value as --opt VALUE or --opt=VALUE.";

constexpr const char* kFooter =
    "The printer starts with DHCP on unless --ip is given. INITIALPRINTER turns DHCP back on\n"
    "and restores the default mask and gateway, but keeps --name, --mac, --model, --status\n"
    "and --leased-ip. Once open, the endpoints are printed one per line: \"tcp HOST:PORT\",\n"
    "\"pty PATH\", \"fifo PATH\", \"udp 0.0.0.0:PORT\".\n"
    "\nUDP is received on every address so that broadcasts arrive, but only requests sent from\n"
    "this host are answered, and only to the sender, unless --udp-answer-any is given. The\n"
    "UDP faults apply to every reply; --faults-only-for does not limit them. Printer i of\n"
    "--printers N (counted from 0) has the MAC plus i and, from i = 1, the address\n"
    "192.168.0.20 + i; with N > 1 every name gets \"-<i+1>\" until a block write names it.\n"
    "Printer 0 is the one behind TCP; the others copy its settings until a printer takes a\n"
    "block write. From then on every printer keeps its own settings, and a block write\n"
    "changes only the printer whose MAC it carries. --block-writes applies to every printer,\n"
    "or with --block-writes-on to those listed only, by their numbers i+1 (\"2,5\" = the\n"
    "printers named \"-2\" and \"-5\"; each 1 to N); the others take their writes. The\n"
    "state byte is 0 for the status Ready, 1 for Printing, 2 for Pause and 3 (error) for any\n"
    "other text.\n"
    "\nWith --fleet-tcp ADDR every printer i listens on TCP at ADDR + i (127.0.1.1, 127.0.1.2,\n"
    "...; the whole of 127.0.0.0/8 is loopback on Linux), at the port of --tcp, in place of its\n"
    "host; it answers with its own clock, addresses and name, and its discovery reply carries\n"
    "that address. --command-faults-on limits the command faults to the printers listed.";

using BlockWrites = FaultSwitches::BlockWrites;
const std::map<std::string, BlockWrites, std::less<>> kBlockWriteKinds{
    {"short-ack", BlockWrites::ShortAck},
    {"unanswered", BlockWrites::Unanswered},
    {"unapplied", BlockWrites::Unapplied}};

// Decimal only: CLI11's own number parsing would take "0x10" and "1e3" as well.
std::optional<long long> ParseCount(std::string_view text, long long max, int base = 10) {
  long long value = -1;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || value < 0 ||
      value > max) {
    return std::nullopt;
  }
  return value;
}

// Six pairs of hex digits separated by ':' or '-', returned as upper case with ':'.
std::optional<std::string> NormaliseMac(std::string_view text) {
  std::string mac(text);
  for (std::size_t i = 2; i < mac.size(); i += 3) {
    mac[i] = mac[i] == '-' ? ':' : mac[i];
  }
  if (!ParseMac(mac)) {
    return std::nullopt;
  }
  std::transform(mac.begin(), mac.end(), mac.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return mac;
}

// "2,5": printer numbers, each 1..kMaxPrinters, separated by commas.
std::optional<std::set<int>> ParsePrinterList(std::string_view text) {
  std::set<int> numbers;
  while (true) {
    auto comma = text.find(',');
    auto n = ParseCount(text.substr(0, comma), kMaxPrinters);
    if (!n || *n < 1) {
      return std::nullopt;
    }
    numbers.insert(static_cast<int>(*n));
    if (comma == std::string_view::npos) {
      return numbers;
    }
    text.remove_prefix(comma + 1);
  }
}

// Refused values are reported by CLI11 as "--option: <refusal><value>". `read` gives the value in
// the form CLI11 converts, or nothing when it is wrong. No description, so that the help shows only
// the argument's name.
CLI::Validator Reading(std::function<std::optional<std::string>(const std::string&)> read,
                       std::string refusal) {
  return CLI::Validator(
      [read = std::move(read), refusal = std::move(refusal)](std::string& value) {
        std::optional<std::string> canonical = read(value);
        if (!canonical) {
          return refusal + value;
        }
        value = std::move(*canonical);
        return std::string();
      },
      std::string());
}

// A value that is fine as it is.
CLI::Validator Accepting(std::function<bool(const std::string&)> fine, std::string refusal) {
  return Reading(
      [fine = std::move(fine)](const std::string& value) {
        return fine(value) ? std::optional(value) : std::nullopt;
      },
      std::move(refusal));
}

// A whole number from `low` to `high`, handed on in plain decimal: as given, CLI11 would read
// "010" as 8. With `hex`, 0xNN too.
CLI::Validator Count(long long low, long long high, const std::string& expected, bool hex = false) {
  return Reading(
      [=](const std::string& value) -> std::optional<std::string> {
        auto n = hex && value.starts_with("0x")
                     ? ParseCount(std::string_view(value).substr(2), high, 16)
                     : ParseCount(value, high);
        return n && *n >= low ? std::optional(std::to_string(*n)) : std::nullopt;
      },
      expected + ", got ");
}

// The usage line first, then what the program is.
class UsageFirst : public CLI::Formatter {
 public:
  std::string make_description(const CLI::App*) const override { return {}; }
  std::string make_usage(const CLI::App* app, std::string name) const override {
    return CLI::Formatter::make_usage(app, std::move(name)) + "\n" + app->get_description() + "\n";
  }
};

CLI::ArgumentMismatch TakesNoValue(const std::string& name) {
  return CLI::ArgumentMismatch(name + " takes no value");
}

// Every option takes effect when it is met (trigger_on_parse), so that of two that contradict
// each other (--tcp and --no-tcp) the later one on the command line wins, and the first bad
// value on it is the one reported. The help lists the options in the order they are added.
class SimCommandLine {
 public:
  explicit SimCommandLine(SimOptions& o) : o_(o), server_(o.server) {
    app_.description(kDescription);
    app_.footer(kFooter);
    auto formatter = std::make_shared<UsageFirst>();
    formatter->column_width(30);
    app_.formatter(formatter);
    // CLI11 records "true" for "--help", and whatever follows for "--help=1".
    for (CLI::Option* flag :
         {app_.set_help_flag("-h,--help", "show this text and exit"),
          app_.set_version_flag("--version", SimVersion(), "show the version and exit")}) {
      flag->each([name = flag->get_name()](const std::string& given) {
        if (given != "true") {
          throw TakesNoValue(name);
        }
      });
    }
    AddNetworkEndpoints();
    AddSerialAndParallelPorts();
    Value("--log", "FILE", "log every command and reply to FILE ('-' = standard output)",
          o_.logPath);
    AddIdentity();
    AddAddresses();
    AddCommandFaults();
    AddDatagramFaults();
    Value("--faults-only-for", "COMMAND", "limit the reply faults above to this one query",
          onlyFor_);
    app_.callback([this] { Finish(); });
  }

  CLI::App& App() { return app_; }

 private:
  // Once every option is known, what depends on several of them.
  void Finish() {
    if (server_.tcp && !allowAnyAddress_ && (ParseIpv4(server_.tcpHost).value_or(0) >> 24) != 127) {
      throw CLI::ValidationError(
          "--tcp",
          server_.tcpHost + " is not a numeric 127.x.x.x address (see --allow-any-address)");
    }
    if (server_.tcp && !ParseIpv4(server_.tcpHost)) {
      throw CLI::ValidationError("--tcp", "not a numeric IPv4 address: " + server_.tcpHost);
    }
    if (!server_.fleetTcpFirst.empty()) {
      CheckFleetAddresses();
    }
    if (onlyFor_) {
      server_.faults.LimitTo(*onlyFor_);
    }
    if (!blockWritesOn_.empty()) {
      LimitBlockWrites();
    }
    // The factory defaults as the options left them, and the printer as it starts.
    PrinterState& factory = server_.factoryDefaults;
    factory.lastUsedIp = factory.dhcpLeaseIp;
    server_.initialState = factory;
    PrinterState& initial = server_.initialState;
    if (ip_) {
      ApplyStaticAddress(initial, *ip_, mask_.value_or(initial.mask),
                         gateway_.value_or(initial.gateway));
    } else {
      initial.mask = mask_.value_or(initial.mask);
      initial.gateway = gateway_.value_or(initial.gateway);
    }
  }

  void LimitBlockWrites() {
    const std::string option = "--block-writes-on";
    if (server_.faults.blockWrites == BlockWrites::Applied) {
      throw CLI::ValidationError(option, "needs --block-writes");
    }
    if (int highest = *blockWritesOn_.rbegin(); highest > server_.printerCount) {
      throw CLI::ValidationError(option, "there is no printer " + std::to_string(highest) +
                                             " of --printers " +
                                             std::to_string(server_.printerCount));
    }
    for (int number : blockWritesOn_) {
      server_.faults.blockWritesOn.insert(number - 1);
    }
  }

  // The last printer's address too stays in 127.0.0.0/8, and --command-faults-on names printers
  // that are there.
  void CheckFleetAddresses() {
    const Ipv4 first = *ParseIpv4(server_.fleetTcpFirst);
    const Ipv4 last = first + static_cast<Ipv4>(server_.printerCount - 1);
    if (last < first || (!allowAnyAddress_ && ((first >> 24) != 127 || (last >> 24) != 127))) {
      throw CLI::ValidationError("--fleet-tcp", server_.fleetTcpFirst + " to " + Ipv4Text(last) +
                                                    " is not inside 127.0.0.0/8 (see "
                                                    "--allow-any-address)");
    }
    for (int number : server_.faults.commandFaultsOn) {
      if (number >= server_.printerCount) {
        throw CLI::ValidationError("--command-faults-on",
                                   "there is no printer " + std::to_string(number + 1) +
                                       " of --printers " + std::to_string(server_.printerCount));
      }
    }
  }

  void AddNetworkEndpoints() {
    auto hostAndPort = [](const std::string& value) {
      auto colon = value.rfind(':');
      return colon != std::string::npos &&
             ParseCount(std::string_view(value).substr(colon + 1), 65535).has_value();
    };
    Value("--tcp", "HOST:PORT", "listen here (default 127.0.0.1:9100; port 0 = any free port)")
        ->check(Accepting(hostAndPort, "expected HOST:PORT, got "))
        ->each([this](const std::string& value) {
          auto colon = value.rfind(':');
          server_.tcp = true;
          server_.tcpHost = value.substr(0, colon);
          server_.tcpPort = static_cast<std::uint16_t>(std::stoi(value.substr(colon + 1)));
        });
    Switch("--no-tcp", "no TCP listener", [this] { server_.tcp = false; });
    Switch("--allow-any-address", "allow --tcp on addresses outside 127.0.0.0/8",
           [this] { allowAnyAddress_ = true; });
    Switch("--no-udp", "no UDP discovery", [this] { server_.udp = false; });
    Value("--udp-port", "PORT", "UDP port for discovery (default 22368; 0 = any free port)",
          server_.udpPort)
        ->transform(Count(0, 65535, "expected a port (0-65535)"))
        ->each([this](const std::string&) { server_.udp = true; });
    Switch("--udp-answer-any",
           "answer UDP requests from other hosts too (private network namespaces only)",
           [this] { server_.udpAnswerAny = true; });
    Value("--printers", "N", "N printers (1-1000) answer a discovery; see below",
          server_.printerCount)
        ->transform(Count(1, kMaxPrinters, "expected 1-" + std::to_string(kMaxPrinters)));
    Value("--fleet-tcp", "ADDR",
          "every printer of --printers on TCP: printer i at ADDR + i, --tcp's port; see below",
          server_.fleetTcpFirst)
        ->check(Accepting([](const std::string& value) { return ParseIpv4(value).has_value(); },
                          "not a numeric IPv4 address: "))
        ->each([this](const std::string&) { server_.tcp = true; });
  }

  void AddSerialAndParallelPorts() {
    Switch("--pty", "serve a pseudo-terminal as the serial port; its path is printed",
           [this] { server_.pty = true; });
    Value("--pty-link", "PATH", "also make PATH a symbolic link to the pty (implies --pty)",
          server_.ptyLink)
        ->each([this](const std::string&) { server_.pty = true; });
    Value("--fifo", "PATH", "read a FIFO as the parallel port (created if missing; never answered)",
          server_.fifoPath);
  }

  // What the printer is: kept by INITIALPRINTER.
  void AddIdentity() {
    PrinterState& factory = server_.factoryDefaults;
    Value("--name", "NAME", "printer name (default Q73580)", factory.name)
        ->check(CLI::Validator(
            [](const std::string& value) {
              return value.find('"') == std::string::npos ? std::string()
                                                          : "a name cannot contain '\"'";
            },
            std::string()));
    Value("--mac", "MAC", "MAC address, e.g. 00:11:22:33:44:55", factory.mac)
        ->transform(Reading(NormaliseMac, "not a MAC address: "));
    Value("--model", "TEXT", "model name (default Q73580)", factory.model);
    Value("--status", "TEXT", "status text (default Ready)", factory.status);
    Value("--state", "N", "discovery state byte, 0-255 (default from --status; see below)",
          factory.udpState)
        ->transform(Count(0, 255, "expected 0-255"));
    Value("--error-flags", "N", "discovery error flag byte, 0-255 or 0xNN (default 0)",
          factory.udpErrorFlags)
        ->transform(Count(0, 255, "expected 0-255", true));
  }

  void AddAddresses() {
    const CLI::Validator ipv4 =
        Accepting([](const std::string& value) { return ParseIpv4(value).has_value(); },
                  "not a numeric IPv4 address: ");
    Value("--leased-ip", "ADDR", "address in use while DHCP is on (default 192.168.1.100)",
          server_.factoryDefaults.dhcpLeaseIp)
        ->check(ipv4);
    Value("--ip", "ADDR", "start with this static address instead of DHCP", ip_)->check(ipv4);
    Value("--mask", "ADDR", "start with this network mask (default 255.255.255.0)", mask_)
        ->check(ipv4);
    Value("--gateway", "ADDR", "start with this gateway (default 0.0.0.0)", gateway_)->check(ipv4);
  }

  // How replies to the command language go wrong.
  void AddCommandFaults() {
    FaultSwitches& faults = server_.faults;
    Value("--silent-on", "COMMAND",
          "never answer this query, e.g. \"DIAGNOSTIC REPORT HOUR\" (repeatable)")
        ->each([&faults](const std::string& value) { faults.silentOn.insert(value); });
    Value("--lead-in-garbage", "N", "send N bytes of noise before every reply frame",
          faults.leadInGarbage.value)
        ->transform(Count(0, 1LL << 30, "expected a byte count"));
    Value("--slow-byte-ms", "MS", "send replies one byte at a time, MS milliseconds apart",
          faults.slowByteDelayMs.value)
        ->transform(Count(0, 60000, "expected milliseconds (0-60000)"));
    Switch("--close-mid-frame", "send half of each frame, then close the TCP connection",
           [&faults] { faults.closeMidFrame.value = true; });
    Switch("--oversized-frame", "answer with frames of 2000 data bytes",
           [&faults] { faults.oversizedFrame.value = true; });
    Switch("--bad-length", "answer with frames whose length field is wrong",
           [&faults] { faults.badLength.value = true; });
    Switch("--never-read", "accept TCP connections but never read from them",
           [&faults] { faults.neverRead = true; });
    Value("--command-faults-on", "LIST",
          "with --fleet-tcp: limit the faults above to these printers, e.g. 2,5")
        ->check(
            Accepting([](const std::string& value) { return ParsePrinterList(value).has_value(); },
                      "expected printer numbers 1-" + std::to_string(kMaxPrinters) +
                          " separated by commas, got "))
        ->each([&faults](const std::string& value) {
          faults.commandFaultsOn.clear();
          const std::set<int> numbers = *ParsePrinterList(value);
          for (int number : numbers) {
            faults.commandFaultsOn.insert(number - 1);
          }
        });
  }

  // How UDP replies and block writes go wrong.
  void AddDatagramFaults() {
    FaultSwitches& faults = server_.faults;
    Switch("--duplicate-replies", "send every UDP reply twice",
           [&faults] { faults.duplicateReplies = true; });
    Switch("--short-reply", "send a 31-byte datagram before every UDP reply",
           [&faults] { faults.shortReply = true; });
    Value("--flood-replies", "N", "send N (0-100000) extra copies of every UDP reply",
          faults.floodReplies)
        ->transform(Count(0, 100000, "expected 0-100000"));
    Switch("--udp-silent", "log UDP requests but never answer them",
           [&faults] { faults.udpSilent = true; });
    Value("--block-writes", "KIND",
          "UDP block writes: short-ack (31-byte acknowledgement), unanswered (ignored), "
          "unapplied (acknowledged, not applied)")
        ->check(Accepting([](const std::string& value) { return kBlockWriteKinds.contains(value); },
                          "expected short-ack, unanswered or unapplied, got "))
        ->each([&faults](const std::string& value) {
          faults.blockWrites = kBlockWriteKinds.at(value);
        });
    Value("--block-writes-on", "LIST",
          "limit --block-writes to these printers, e.g. 2,5 (each 1 to N; see below)")
        ->check(
            Accepting([](const std::string& value) { return ParsePrinterList(value).has_value(); },
                      "expected printer numbers 1-" + std::to_string(kMaxPrinters) +
                          " separated by commas, got "))
        ->each([this](const std::string& value) { blockWritesOn_ = *ParsePrinterList(value); });
  }

  // An option with a value, stored in `target` if there is one; given twice, the later counts.
  template <typename... Target>
  CLI::Option* Value(const std::string& name, const std::string& argument, const std::string& help,
                     Target&... target) {
    return app_.add_option(name, target..., help)
        ->type_name(argument)
        ->trigger_on_parse()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  }

  // An option without a value. Not a CLI11 flag, which would take "--pty=true" for "--pty":
  // without a value CLI11 records "" here, anything else was given to it.
  void Switch(const std::string& name, const std::string& help, std::function<void()> apply) {
    app_.add_option(
            name,
            [name, apply = std::move(apply)](const CLI::results_t& given) {
              if (!given.back().empty()) {
                throw TakesNoValue(name);
              }
              apply();
              return true;
            },
            help)
        ->expected(0, 0)
        ->trigger_on_parse();
  }

  SimOptions& o_;
  SimServerConfig& server_;
  // Applied by Finish.
  bool allowAnyAddress_ = false;
  std::optional<std::string> ip_, mask_, gateway_, onlyFor_;
  std::set<int> blockWritesOn_;  // as given: numbered from 1
  CLI::App app_{"", "q73580-printer-sim"};
};

}  // namespace

bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& options,
                     std::string* error) {
  SimCommandLine commandLine(options);
  // CLI11 takes its arguments last first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    commandLine.App().parse(reversed);
  } catch (const CLI::CallForHelp&) {
    options.help = true;
  } catch (const CLI::CallForVersion&) {
    options.version = true;
  } catch (const CLI::ParseError& e) {
    if (error) {
      *error = e.what();
    }
    return false;
  }
  return true;
}

std::string SimUsage(std::string_view program) {
  SimOptions options;
  SimCommandLine commandLine(options);
  commandLine.App().name(std::string(program));
  return commandLine.App().help();
}

std::string SimVersion() {
  return "q73580-printer-sim " Q73580_VERSION;
}

}  // namespace printer_sim
