#include "printer-sim/sim_options.h"

#include "printer-sim/udp_discovery.h"

#include <arpa/inet.h>
#include <CLI/CLI.hpp>

#include <cctype>
#include <charconv>
#include <functional>
#include <optional>
#include <set>

namespace printer_sim {
namespace {

bool IsIpv4(const std::string& text) {
  in_addr address{};
  return inet_pton(AF_INET, text.c_str(), &address) == 1;
}

bool IsLoopback(const std::string& text) {
  in_addr address{};
  return inet_pton(AF_INET, text.c_str(), &address) == 1 && (ntohl(address.s_addr) >> 24) == 127;
}

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
  if (text.size() != 17) {
    return std::nullopt;
  }
  std::string mac(text);
  for (std::size_t i = 0; i < mac.size(); ++i) {
    auto c = static_cast<unsigned char>(mac[i]);
    if (i % 3 == 2) {
      if (c != ':' && c != '-') {
        return std::nullopt;
      }
      mac[i] = ':';
    } else if (!std::isxdigit(c)) {
      return std::nullopt;
    } else {
      mac[i] = static_cast<char>(std::toupper(c));
    }
  }
  return mac;
}

// Collected while parsing, applied once every option is known.
struct Pending {
  bool allowAnyAddress = false;
  std::optional<std::string> ip, mask, gateway, onlyFor;
  std::set<int> blockWritesOn;  // as given: numbered from 1
};

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

// The usage line first, then what the program is.
class UsageFirst : public CLI::Formatter {
 public:
  std::string make_description(const CLI::App*) const override { return {}; }
  std::string make_usage(const CLI::App* app, std::string name) const override {
    return CLI::Formatter::make_usage(app, std::move(name)) + "\n" + app->get_description() + "\n";
  }
};

// Every option writes into `o` or `p` when it is met, so that a later one wins over an earlier
// one as it stands on the command line; a bad value fails with "--option: what is wrong".
class SimCommandLine {
 public:
  SimCommandLine(SimOptions& o, Pending& p) {
    app_.description(
        "A virtual Q73580 printer for tests and demonstrations. It answers the printer's\n"
        "command language on TCP, a pseudo-terminal and a FIFO, and discovery on UDP, until\n"
        "SIGINT or SIGTERM.\n\nOptions take their value as --opt VALUE or --opt=VALUE.");
    app_.footer(
        "The printer starts with DHCP on unless --ip is given. INITIALPRINTER turns DHCP back on\n"
        "and restores the default mask and gateway, but keeps --name, --mac, --model, --status\n"
        "and --leased-ip. Once open, the endpoints are printed one per line: \"tcp HOST:PORT\",\n"
        "\"pty PATH\", \"fifo PATH\", \"udp 0.0.0.0:PORT\".\n"
        "\nUDP is received on every address so that broadcasts arrive, but only requests sent "
        "from\nthis host are answered, and only to the sender, unless --udp-answer-any is given. "
        "The\nUDP faults apply to every reply; --faults-only-for does not limit them. Printer i "
        "of\n--printers N (counted from 0) has the MAC plus i and, from i = 1, the address\n"
        "192.168.0.20 + i; with N > 1 every name gets \"-<i+1>\" until a block write names it.\n"
        "Printer 0 is the one behind TCP; the others copy its settings until a printer takes a\n"
        "block write. From then on every printer keeps its own settings, and a block write\n"
        "changes only the printer whose MAC it carries. --block-writes applies to every printer,\n"
        "or with --block-writes-on to those listed only, by their numbers i+1 (\"2,5\" = the\n"
        "printers named \"-2\" and \"-5\"; each 1 to N); the others take their writes. The\n"
        "state byte is 0 for the status Ready, 1 for Printing, 2 for Pause and 3 (error) for any\n"
        "other text.");
    app_.set_help_flag("-h,--help", "show this text and exit");
    app_.set_version_flag("--version", SimVersion(), "show the version and exit");
    auto formatter = std::make_shared<UsageFirst>();
    formatter->column_width(30);
    app_.formatter(formatter);

    Value("--tcp", "HOST:PORT", "listen here (default 127.0.0.1:9100; port 0 = any free port)",
          [&o](const std::string& v) -> std::string {
            auto colon = v.rfind(':');
            auto port = colon == std::string::npos
                            ? std::nullopt
                            : ParseCount(std::string_view(v).substr(colon + 1), 65535);
            if (!port) {
              return "expected HOST:PORT, got " + v;
            }
            o.server.tcp = true;
            o.server.tcpHost = v.substr(0, colon);
            o.server.tcpPort = static_cast<std::uint16_t>(*port);
            return {};
          });
    Switch("--no-tcp", "no TCP listener", [&o] { o.server.tcp = false; });
    Switch("--allow-any-address", "allow --tcp on addresses outside 127.0.0.0/8",
           [&p] { p.allowAnyAddress = true; });
    Switch("--no-udp", "no UDP discovery", [&o] { o.server.udp = false; });
    Value("--udp-port", "PORT", "UDP port for discovery (default 22368; 0 = any free port)",
          [&o](const std::string& v) -> std::string {
            auto port = ParseCount(v, 65535);
            if (!port) {
              return "expected a port (0-65535), got " + v;
            }
            o.server.udp = true;
            o.server.udpPort = static_cast<std::uint16_t>(*port);
            return {};
          });
    Switch("--udp-answer-any",
           "answer UDP requests from other hosts too (private network namespaces only)",
           [&o] { o.server.udpAnswerAny = true; });
    Value("--printers", "N", "N printers (1-1000) answer a discovery; see below",
          [&o](const std::string& v) -> std::string {
            auto n = ParseCount(v, kMaxPrinters);
            if (!n || *n < 1) {
              return "expected 1-" + std::to_string(kMaxPrinters) + ", got " + v;
            }
            o.server.printerCount = static_cast<int>(*n);
            return {};
          });
    Switch("--pty", "serve a pseudo-terminal as the serial port; its path is printed",
           [&o] { o.server.pty = true; });
    Text("--pty-link", "PATH", "also make PATH a symbolic link to the pty (implies --pty)",
         [&o](const std::string& v) {
           o.server.pty = true;
           o.server.ptyLink = v;
         });
    Text("--fifo", "PATH", "read a FIFO as the parallel port (created if missing; never answered)",
         [&o](const std::string& v) { o.server.fifoPath = v; });
    Text("--log", "FILE", "log every command and reply to FILE ('-' = standard output)",
         [&o](const std::string& v) { o.logPath = v; });
    Value("--name", "NAME", "printer name (default Q73580)",
          [&o](const std::string& v) -> std::string {
            if (v.find('"') != std::string::npos) {
              return "a name cannot contain '\"'";
            }
            o.server.factoryDefaults.name = v;
            return {};
          });
    Value("--mac", "MAC", "MAC address, e.g. 00:11:22:33:44:55",
          [&o](const std::string& v) -> std::string {
            auto mac = NormaliseMac(v);
            if (!mac) {
              return "not a MAC address: " + v;
            }
            o.server.factoryDefaults.mac = *mac;
            return {};
          });
    Text("--model", "TEXT", "model name (default Q73580)",
         [&o](const std::string& v) { o.server.factoryDefaults.model = v; });
    Text("--status", "TEXT", "status text (default Ready)",
         [&o](const std::string& v) { o.server.factoryDefaults.status = v; });
    Value("--state", "N", "discovery state byte, 0-255 (default from --status; see below)",
          [&o](const std::string& v) -> std::string {
            auto n = ParseCount(v, 255);
            if (!n) {
              return "expected 0-255, got " + v;
            }
            o.server.factoryDefaults.udpState = static_cast<std::uint8_t>(*n);
            return {};
          });
    Value("--error-flags", "N", "discovery error flag byte, 0-255 or 0xNN (default 0)",
          [&o](const std::string& v) -> std::string {
            auto n = v.starts_with("0x") ? ParseCount(std::string_view(v).substr(2), 255, 16)
                                         : ParseCount(v, 255);
            if (!n) {
              return "expected 0-255, got " + v;
            }
            o.server.factoryDefaults.udpErrorFlags = static_cast<std::uint8_t>(*n);
            return {};
          });
    Value("--leased-ip", "ADDR", "address in use while DHCP is on (default 192.168.1.100)",
          [&o](const std::string& v) { return Address(v, o.server.factoryDefaults.dhcpLeaseIp); });
    Value("--ip", "ADDR", "start with this static address instead of DHCP",
          [&p](const std::string& v) { return Address(v, p.ip.emplace()); });
    Value("--mask", "ADDR", "start with this network mask (default 255.255.255.0)",
          [&p](const std::string& v) { return Address(v, p.mask.emplace()); });
    Value("--gateway", "ADDR", "start with this gateway (default 0.0.0.0)",
          [&p](const std::string& v) { return Address(v, p.gateway.emplace()); });
    Text("--silent-on", "COMMAND",
         "never answer this query, e.g. \"DIAGNOSTIC REPORT HOUR\" (repeatable)",
         [&o](const std::string& v) { o.server.faults.silentOn.insert(v); });
    Value("--lead-in-garbage", "N", "send N bytes of noise before every reply frame",
          [&o](const std::string& v) -> std::string {
            auto n = ParseCount(v, 1LL << 30);
            if (!n) {
              return "expected a byte count, got " + v;
            }
            o.server.faults.leadInGarbage.value = static_cast<std::size_t>(*n);
            return {};
          });
    Value("--slow-byte-ms", "MS", "send replies one byte at a time, MS milliseconds apart",
          [&o](const std::string& v) -> std::string {
            auto n = ParseCount(v, 60000);
            if (!n) {
              return "expected milliseconds (0-60000), got " + v;
            }
            o.server.faults.slowByteDelayMs.value = static_cast<int>(*n);
            return {};
          });
    Switch("--close-mid-frame", "send half of each frame, then close the TCP connection",
           [&o] { o.server.faults.closeMidFrame.value = true; });
    Switch("--oversized-frame", "answer with frames of 2000 data bytes",
           [&o] { o.server.faults.oversizedFrame.value = true; });
    Switch("--bad-length", "answer with frames whose length field is wrong",
           [&o] { o.server.faults.badLength.value = true; });
    Switch("--never-read", "accept TCP connections but never read from them",
           [&o] { o.server.faults.neverRead = true; });
    Switch("--duplicate-replies", "send every UDP reply twice",
           [&o] { o.server.faults.duplicateReplies = true; });
    Switch("--short-reply", "send a 31-byte datagram before every UDP reply",
           [&o] { o.server.faults.shortReply = true; });
    Value("--flood-replies", "N", "send N (0-100000) extra copies of every UDP reply",
          [&o](const std::string& v) -> std::string {
            auto n = ParseCount(v, 100000);
            if (!n) {
              return "expected 0-100000, got " + v;
            }
            o.server.faults.floodReplies = static_cast<std::size_t>(*n);
            return {};
          });
    Switch("--udp-silent", "log UDP requests but never answer them",
           [&o] { o.server.faults.udpSilent = true; });
    Value("--block-writes", "KIND",
          "UDP block writes: short-ack (31-byte acknowledgement), unanswered (ignored), "
          "unapplied (acknowledged, not applied)",
          [&o](const std::string& v) -> std::string {
            using Writes = FaultSwitches::BlockWrites;
            if (v == "short-ack") {
              o.server.faults.blockWrites = Writes::ShortAck;
            } else if (v == "unanswered") {
              o.server.faults.blockWrites = Writes::Unanswered;
            } else if (v == "unapplied") {
              o.server.faults.blockWrites = Writes::Unapplied;
            } else {
              return "expected short-ack, unanswered or unapplied, got " + v;
            }
            return {};
          });
    Value("--block-writes-on", "LIST",
          "limit --block-writes to these printers, e.g. 2,5 (each 1 to N; see below)",
          [&p](const std::string& v) -> std::string {
            auto numbers = ParsePrinterList(v);
            if (!numbers) {
              return "expected printer numbers 1-" + std::to_string(kMaxPrinters) +
                     " separated by commas, got " + v;
            }
            p.blockWritesOn = std::move(*numbers);
            return {};
          });
    Text("--faults-only-for", "COMMAND", "limit the reply faults above to this one query",
         [&p](const std::string& v) { p.onlyFor = v; });
  }

  CLI::App& App() { return app_; }

  // CLI11 reads "--switch=1" as "--switch"; a value given to a switch is a mistake.
  std::string ValueForSwitch(const std::vector<std::string>& args) const {
    for (const std::string& arg : args) {
      const auto equals = arg.find('=');
      if (!arg.starts_with("--") || equals == std::string::npos) {
        continue;
      }
      const std::string name = arg.substr(0, equals);
      const CLI::Option* option = app_.get_option_no_throw(name);
      if (option != nullptr && option->get_expected_max() == 0) {
        return name + " takes no value";
      }
    }
    return {};
  }

 private:
  static std::string Address(const std::string& value, std::string& target) {
    if (!IsIpv4(value)) {
      return "not a numeric IPv4 address: " + value;
    }
    target = value;
    return {};
  }

  // An option with a value that `apply` checks: it returns what is wrong, empty when fine.
  void Value(const std::string& name, const std::string& argument, const std::string& help,
             std::function<std::string(const std::string&)> apply) {
    app_.add_option_function<std::string>(
            name,
            [name, apply = std::move(apply)](const std::string& value) {
              if (std::string problem = apply(value); !problem.empty()) {
                throw CLI::ValidationError(name, problem);
              }
            },
            help)
        ->type_name(argument)
        ->trigger_on_parse()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  }
  // An option whose every value is fine.
  void Text(const std::string& name, const std::string& argument, const std::string& help,
            std::function<void(const std::string&)> apply) {
    Value(name, argument, help, [apply = std::move(apply)](const std::string& value) {
      apply(value);
      return std::string();
    });
  }
  // An option without a value.
  void Switch(const std::string& name, const std::string& help, std::function<void()> apply) {
    app_.add_flag_callback(name, std::move(apply), help)->trigger_on_parse();
  }

  CLI::App app_{"", "q73580-printer-sim"};
};

}  // namespace

bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& options,
                     std::string* error) {
  auto fail = [error](std::string what) {
    if (error) {
      *error = std::move(what);
    }
    return false;
  };
  Pending pending;
  SimCommandLine commandLine(options, pending);
  if (std::string problem = commandLine.ValueForSwitch(args); !problem.empty()) {
    return fail(problem);
  }
  // CLI11 takes its arguments last first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    commandLine.App().parse(reversed);
  } catch (const CLI::CallForHelp&) {
    options.help = true;
    return true;
  } catch (const CLI::CallForVersion&) {
    options.version = true;
    return true;
  } catch (const CLI::ParseError& e) {
    return fail(e.what());
  }

  SimServerConfig& server = options.server;
  if (server.tcp && !pending.allowAnyAddress && !IsLoopback(server.tcpHost)) {
    return fail("--tcp: " + server.tcpHost +
                " is not a numeric 127.x.x.x address (see --allow-any-address)");
  }
  if (server.tcp && !IsIpv4(server.tcpHost)) {
    return fail("--tcp: not a numeric IPv4 address: " + server.tcpHost);
  }
  if (pending.onlyFor) {
    server.faults.LimitTo(*pending.onlyFor);
  }
  if (!pending.blockWritesOn.empty()) {
    if (server.faults.blockWrites == FaultSwitches::BlockWrites::Applied) {
      return fail("--block-writes-on: needs --block-writes");
    }
    if (*pending.blockWritesOn.rbegin() > server.printerCount) {
      return fail("--block-writes-on: there is no printer " +
                  std::to_string(*pending.blockWritesOn.rbegin()) + " of --printers " +
                  std::to_string(server.printerCount));
    }
    for (int number : pending.blockWritesOn) {
      server.faults.blockWritesOn.insert(number - 1);
    }
  }
  PrinterState& factory = server.factoryDefaults;
  factory.lastUsedIp = factory.dhcpLeaseIp;
  server.initialState = factory;
  PrinterState& initial = server.initialState;
  if (pending.ip) {
    ApplyStaticAddress(initial, *pending.ip, pending.mask.value_or(initial.mask),
                       pending.gateway.value_or(initial.gateway));
  } else {
    initial.mask = pending.mask.value_or(initial.mask);
    initial.gateway = pending.gateway.value_or(initial.gateway);
  }
  return true;
}

std::string SimUsage(std::string_view program) {
  SimOptions options;
  Pending pending;
  SimCommandLine commandLine(options, pending);
  commandLine.App().name(std::string(program));
  return commandLine.App().help();
}

std::string SimVersion() {
  return "q73580-printer-sim " Q73580_VERSION;
}

}  // namespace printer_sim
