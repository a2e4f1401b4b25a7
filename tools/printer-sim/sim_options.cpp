#include "printer-sim/sim_options.h"

#include "printer-sim/udp_discovery.h"

#include <arpa/inet.h>

#include <cctype>
#include <charconv>
#include <functional>
#include <optional>

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

std::optional<long long> ParseCount(std::string_view text, long long max) {
  long long value = -1;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || value < 0 ||
      value > max) {
    return std::nullopt;
  }
  return value;
}

std::optional<long long> ParseHexByte(std::string_view text) {
  long long value = -1;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || value < 0 ||
      value > 255) {
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
};

struct Option {
  std::string_view name;
  std::string_view argument;  // empty = a switch
  std::string_view help;
  // Returns an error text, empty when fine.
  std::function<std::string(SimOptions&, Pending&, const std::string&)> apply;
};

std::string Address(const std::string& value, std::string& target) {
  if (!IsIpv4(value)) {
    return "not a numeric IPv4 address: " + value;
  }
  target = value;
  return {};
}

const std::vector<Option>& Options() {
  static const std::vector<Option> kOptions = {
      {"--tcp", "HOST:PORT", "listen here (default 127.0.0.1:9100; port 0 = any free port)",
       [](SimOptions& o, Pending&, const std::string& v) -> std::string {
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
       }},
      {"--no-tcp", "", "no TCP listener",
       [](SimOptions& o, Pending&, const std::string&) {
         o.server.tcp = false;
         return std::string();
       }},
      {"--allow-any-address", "", "allow --tcp on addresses outside 127.0.0.0/8",
       [](SimOptions&, Pending& p, const std::string&) {
         p.allowAnyAddress = true;
         return std::string();
       }},
      {"--no-udp", "", "no UDP discovery",
       [](SimOptions& o, Pending&, const std::string&) {
         o.server.udp = false;
         return std::string();
       }},
      {"--udp-port", "PORT", "UDP port for discovery (default 22368; 0 = any free port)",
       [](SimOptions& o, Pending&, const std::string& v) -> std::string {
         auto port = ParseCount(v, 65535);
         if (!port) {
           return "expected a port (0-65535), got " + v;
         }
         o.server.udp = true;
         o.server.udpPort = static_cast<std::uint16_t>(*port);
         return {};
       }},
      {"--udp-answer-any", "",
       "answer UDP requests from other hosts too (private network namespaces only)",
       [](SimOptions& o, Pending&, const std::string&) {
         o.server.udpAnswerAny = true;
         return std::string();
       }},
      {"--printers", "N", "N printers (1-1000) answer a discovery; see below",
       [](SimOptions& o, Pending&, const std::string& v) -> std::string {
         auto n = ParseCount(v, kMaxPrinters);
         if (!n || *n < 1) {
           return "expected 1-" + std::to_string(kMaxPrinters) + ", got " + v;
         }
         o.server.printerCount = static_cast<int>(*n);
         return {};
       }},
      {"--pty", "", "serve a pseudo-terminal as the serial port; its path is printed",
       [](SimOptions& o, Pending&, const std::string&) {
         o.server.pty = true;
         return std::string();
       }},
      {"--pty-link", "PATH", "also make PATH a symbolic link to the pty (implies --pty)",
       [](SimOptions& o, Pending&, const std::string& v) {
         o.server.pty = true;
         o.server.ptyLink = v;
         return std::string();
       }},
      {"--fifo", "PATH", "read a FIFO as the parallel port (created if missing; never answered)",
       [](SimOptions& o, Pending&, const std::string& v) {
         o.server.fifoPath = v;
         return std::string();
       }},
      {"--log", "FILE", "log every command and reply to FILE ('-' = standard output)",
       [](SimOptions& o, Pending&, const std::string& v) {
         o.logPath = v;
         return std::string();
       }},
      {"--name", "NAME", "printer name (default Q73580)",
       [](SimOptions& o, Pending&, const std::string& v) -> std::string {
         if (v.find('"') != std::string::npos) {
           return "a name cannot contain '\"'";
         }
         o.server.factoryDefaults.name = v;
         return {};
       }},
      {"--mac", "MAC", "MAC address, e.g. 00:11:22:33:44:55",
       [](SimOptions& o, Pending&, const std::string& v) -> std::string {
         auto mac = NormaliseMac(v);
         if (!mac) {
           return "not a MAC address: " + v;
         }
         o.server.factoryDefaults.mac = *mac;
         return {};
       }},
      {"--model", "TEXT", "model name (default Q73580)",
       [](SimOptions& o, Pending&, const std::string& v) {
         o.server.factoryDefaults.model = v;
         return std::string();
       }},
      {"--status", "TEXT", "status text (default Ready)",
       [](SimOptions& o, Pending&, const std::string& v) {
         o.server.factoryDefaults.status = v;
         return std::string();
       }},
      {"--state", "N", "discovery state byte, 0-255 (default from --status; see below)",
       [](SimOptions& o, Pending&, const std::string& v) -> std::string {
         auto n = ParseCount(v, 255);
         if (!n) {
           return "expected 0-255, got " + v;
         }
         o.server.factoryDefaults.udpState = static_cast<std::uint8_t>(*n);
         return {};
       }},
      {"--error-flags", "N", "discovery error flag byte, 0-255 or 0xNN (default 0)",
       [](SimOptions& o, Pending&, const std::string& v) -> std::string {
         auto n = v.starts_with("0x") ? ParseHexByte(v.substr(2)) : ParseCount(v, 255);
         if (!n) {
           return "expected 0-255, got " + v;
         }
         o.server.factoryDefaults.udpErrorFlags = static_cast<std::uint8_t>(*n);
         return {};
       }},
      {"--leased-ip", "ADDR", "address in use while DHCP is on (default 192.168.1.100)",
       [](SimOptions& o, Pending&, const std::string& v) {
         return Address(v, o.server.factoryDefaults.dhcpLeaseIp);
       }},
      {"--ip", "ADDR", "start with this static address instead of DHCP",
       [](SimOptions&, Pending& p, const std::string& v) { return Address(v, p.ip.emplace()); }},
      {"--mask", "ADDR", "start with this network mask (default 255.255.255.0)",
       [](SimOptions&, Pending& p, const std::string& v) { return Address(v, p.mask.emplace()); }},
      {"--gateway", "ADDR", "start with this gateway (default 0.0.0.0)",
       [](SimOptions&, Pending& p, const std::string& v) {
         return Address(v, p.gateway.emplace());
       }},
      {"--silent-on", "COMMAND",
       "never answer this query, e.g. \"DIAGNOSTIC REPORT HOUR\" (repeatable)",
       [](SimOptions& o, Pending&, const std::string& v) {
         o.server.faults.silentOn.insert(v);
         return std::string();
       }},
      {"--lead-in-garbage", "N", "send N bytes of noise before every reply frame",
       [](SimOptions& o, Pending&, const std::string& v) -> std::string {
         auto n = ParseCount(v, 1LL << 30);
         if (!n) {
           return "expected a byte count, got " + v;
         }
         o.server.faults.leadInGarbage.value = static_cast<std::size_t>(*n);
         return {};
       }},
      {"--slow-byte-ms", "MS", "send replies one byte at a time, MS milliseconds apart",
       [](SimOptions& o, Pending&, const std::string& v) -> std::string {
         auto n = ParseCount(v, 60000);
         if (!n) {
           return "expected milliseconds (0-60000), got " + v;
         }
         o.server.faults.slowByteDelayMs.value = static_cast<int>(*n);
         return {};
       }},
      {"--close-mid-frame", "", "send half of each frame, then close the TCP connection",
       [](SimOptions& o, Pending&, const std::string&) {
         o.server.faults.closeMidFrame.value = true;
         return std::string();
       }},
      {"--oversized-frame", "", "answer with frames of 2000 data bytes",
       [](SimOptions& o, Pending&, const std::string&) {
         o.server.faults.oversizedFrame.value = true;
         return std::string();
       }},
      {"--bad-length", "", "answer with frames whose length field is wrong",
       [](SimOptions& o, Pending&, const std::string&) {
         o.server.faults.badLength.value = true;
         return std::string();
       }},
      {"--never-read", "", "accept TCP connections but never read from them",
       [](SimOptions& o, Pending&, const std::string&) {
         o.server.faults.neverRead = true;
         return std::string();
       }},
      {"--duplicate-replies", "", "send every UDP reply twice",
       [](SimOptions& o, Pending&, const std::string&) {
         o.server.faults.duplicateReplies = true;
         return std::string();
       }},
      {"--short-reply", "", "send a 31-byte datagram before every UDP reply",
       [](SimOptions& o, Pending&, const std::string&) {
         o.server.faults.shortReply = true;
         return std::string();
       }},
      {"--flood-replies", "N", "send N (0-100000) extra copies of every UDP reply",
       [](SimOptions& o, Pending&, const std::string& v) -> std::string {
         auto n = ParseCount(v, 100000);
         if (!n) {
           return "expected 0-100000, got " + v;
         }
         o.server.faults.floodReplies = static_cast<std::size_t>(*n);
         return {};
       }},
      {"--udp-silent", "", "log UDP requests but never answer them",
       [](SimOptions& o, Pending&, const std::string&) {
         o.server.faults.udpSilent = true;
         return std::string();
       }},
      {"--block-writes", "KIND",
       "UDP block writes: short-ack (31-byte acknowledgement), unanswered (ignored), unapplied "
       "(acknowledged, not applied)",
       [](SimOptions& o, Pending&, const std::string& v) -> std::string {
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
       }},
      {"--faults-only-for", "COMMAND", "limit the reply faults above to this one query",
       [](SimOptions&, Pending& p, const std::string& v) {
         p.onlyFor = v;
         return std::string();
       }},
      {"--help", "", "show this text",
       [](SimOptions& o, Pending&, const std::string&) {
         o.help = true;
         return std::string();
       }},
  };
  return kOptions;
}

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
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i] == "-h" ? "--help" : args[i];
    std::optional<std::string> value;
    if (auto equals = name.find('='); name.starts_with("--") && equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.resize(equals);
    }
    const Option* option = nullptr;
    for (const Option& candidate : Options()) {
      if (candidate.name == name) {
        option = &candidate;
      }
    }
    if (!option) {
      return fail("unknown option " + args[i]);
    }
    if (option->argument.empty() && value) {
      return fail(name + " takes no value");
    }
    if (!option->argument.empty() && !value) {
      if (i + 1 == args.size()) {
        return fail(name + " needs " + std::string(option->argument));
      }
      value = args[++i];
    }
    if (std::string problem = option->apply(options, pending, value.value_or(""));
        !problem.empty()) {
      return fail(name + ": " + problem);
    }
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
  std::string text =
      "Usage: " + std::string(program) + " [OPTION]...\n" +
      "A virtual Q73580 printer for tests and demonstrations. It answers the "
      "printer's\ncommand language on TCP, a pseudo-terminal and a FIFO, and "
      "discovery on UDP, until\nSIGINT or SIGTERM.\n\nOptions (--opt VALUE or --opt=VALUE):\n";
  for (const Option& option : Options()) {
    std::string left = "  " + std::string(option.name);
    if (!option.argument.empty()) {
      left += " " + std::string(option.argument);
    }
    left.resize(std::max<std::size_t>(left.size() + 2, 30), ' ');
    text += left + std::string(option.help) + "\n";
  }
  text +=
      "\nThe printer starts with DHCP on unless --ip is given. INITIALPRINTER turns DHCP back on\n"
      "and restores the default mask and gateway, but keeps --name, --mac, --model, --status\n"
      "and --leased-ip. Once open, the endpoints are printed one per line: \"tcp HOST:PORT\",\n"
      "\"pty PATH\", \"fifo PATH\", \"udp 0.0.0.0:PORT\".\n"
      "\nUDP is received on every address so that broadcasts arrive, but only requests sent from\n"
      "this host are answered, and only to the sender, unless --udp-answer-any is given. The\n"
      "UDP faults apply to every reply; --faults-only-for does not limit them. Printer i of\n"
      "--printers N (counted from 0) has the MAC plus i and, from i = 1, the address\n"
      "192.168.0.20 + i; with N > 1 every name gets \"-<i+1>\". The state byte is 0 for the\n"
      "status Ready, 1 for Printing, 2 for Pause and 3 (error) for any other text.\n";
  return text;
}

}  // namespace printer_sim
