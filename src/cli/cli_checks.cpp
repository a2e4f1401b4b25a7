#include "cli/cli_checks.h"

#include <QRegularExpression>
#include <cmath>

#include "common/printer_rules.h"

namespace {

std::optional<std::string> DottedQuadProblem(const QString& text, const std::string& what) {
  if (IsDottedQuad(QStringView(text))) {
    return std::nullopt;
  }
  return what + " " + Quoted(text) + " is not four numbers from 0 to 255 joined by dots";
}

}  // namespace

std::optional<std::string> PrinterTextProblem(const QString& text, const std::string& what) {
  const std::optional<TextProblem> problem = CheckPrinterText(text);
  if (!problem) {
    return std::nullopt;
  }
  return problem->fault == TextFault::NotLatin1
             ? what + " contains a character the printer cannot take (only Latin-1 is possible)"
             : what + " may not contain quotation marks or control characters";
}

std::optional<std::string> PrinterNameProblem(const QString& name) {
  const std::optional<TextProblem> problem = CheckPrinterName(name);
  if (problem && problem->fault == TextFault::TooLong) {
    return "the printer name is longer than " + std::to_string(PrinterNameMaxLength) +
           " characters";
  }
  if (problem && problem->fault == TextFault::Blank) {
    return "the printer name is empty or only blanks";
  }
  return PrinterTextProblem(name, "the printer name");
}

std::optional<std::string> TakeAddressChoice(const ParsedLine& line, const std::string& command,
                                             CliArgs& args) {
  const auto staticOption = line.given.find("--static");
  const bool isStatic = staticOption != line.given.end();
  if (line.Has("--dhcp") == isStatic) {
    return "'" + command + "' needs either --dhcp or --static IP MASK GATEWAY";
  }
  args.dhcp = !isStatic;
  if (!isStatic) {
    return std::nullopt;
  }
  const QStringList& values = staticOption->second;
  const char* what[] = {"the IP address", "the mask", "the gateway"};
  std::string* into[] = {&args.ip, &args.mask, &args.gateway};
  for (int i = 0; i < 3; ++i) {
    if (auto problem = DottedQuadProblem(values[i], what[i])) {
      return problem;
    }
    *into[i] = Latin1(values[i]);
  }
  return std::nullopt;
}

std::optional<std::string> TakeUdpOptions(const ParsedLine& line, CliArgs& args) {
  if (const std::optional<QString> timeout = line.Value("--timeout")) {
    // At most 10 s of quiet: the whole run stops after 10 s anyway.
    static const QRegularExpression decimal(QStringLiteral("^[0-9]{1,2}(\\.[0-9]{1,3})?$"));
    const double seconds = timeout->toDouble();
    if (!decimal.match(*timeout).hasMatch() || seconds <= 0 || seconds > 10) {
      return "--timeout must be a number of seconds above 0 and at most 10, not " +
             Quoted(*timeout);
    }
    args.quietMs = static_cast<int>(std::lround(seconds * 1000));
  }
  if (const std::optional<QString> to = line.Value("--to")) {
    if (auto problem = DottedQuadProblem(*to, "--to")) {
      return problem;
    }
    args.to = Latin1(*to);
  }
  if (const std::optional<QString> port = line.Value("--udp-port")) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,6}$"));
    const int number = port->toInt();
    if (!digits.match(*port).hasMatch() || number < 1 || number > 65535) {
      return "--udp-port must be a number from 1 to 65535, not " + Quoted(*port);
    }
    args.udpPort = static_cast<std::uint16_t>(number);
  }
  if (const std::optional<QString> interface = line.Value("--interface")) {
    // Only a broadcast is sent out of every interface; any other address is routed.
    if (args.to != "255.255.255.255") {
      return "--interface goes only with the broadcast to 255.255.255.255, not with --to " +
             args.to;
    }
    args.interfaceName = interface->toStdString();
  }
  return std::nullopt;
}
