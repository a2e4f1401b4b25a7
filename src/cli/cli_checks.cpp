#include "cli/cli_checks.h"

#include <QRegularExpression>
#include <cmath>

#include "common/printer_rules.h"

namespace {

// The highest quiet wait of a discovery; the whole run stops after 10 s anyway.
constexpr double MaxQuietSeconds = 10.0;

}  // namespace

std::string Quoted(const QString& text) {
  return "'" + text.toStdString() + "'";
}

std::string Latin1(const QString& text) {
  const QByteArray bytes = text.toLatin1();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

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
  return PrinterTextProblem(name, "the printer name");
}

std::optional<std::string> DottedQuadProblem(const QString& text, const std::string& what) {
  if (IsDottedQuad(QStringView(text))) {
    return std::nullopt;
  }
  return what + " " + Quoted(text) + " is not four numbers from 0 to 255 joined by dots";
}

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

std::optional<std::string> TakeAddressChoice(const ParsedLine& line, const std::string& command,
                                             AddressOptions& options) {
  const auto staticOption = line.given.find("--static");
  const bool isStatic = staticOption != line.given.end();
  if (line.Has("--dhcp") == isStatic) {
    return "'" + command + "' needs either --dhcp or --static IP MASK GATEWAY";
  }
  options.dhcp = !isStatic;
  if (!isStatic) {
    return std::nullopt;
  }
  const QStringList& values = staticOption->second;
  const char* what[] = {"the IP address", "the mask", "the gateway"};
  for (int i = 0; i < 3; ++i) {
    if (auto problem = DottedQuadProblem(values[i], what[i])) {
      return problem;
    }
  }
  options.ip = Latin1(values[0]);
  options.mask = Latin1(values[1]);
  options.gateway = Latin1(values[2]);
  return std::nullopt;
}

std::optional<std::string> TakeUdpOptions(const ParsedLine& line, CliArgs& options) {
  if (const std::optional<QString> timeout = line.Value("--timeout")) {
    static const QRegularExpression decimal(QStringLiteral("^[0-9]{1,2}(\\.[0-9]{1,3})?$"));
    const double seconds = timeout->toDouble();
    if (!decimal.match(*timeout).hasMatch() || seconds <= 0 || seconds > MaxQuietSeconds) {
      return "--timeout must be a number of seconds above 0 and at most 10, not " +
             Quoted(*timeout);
    }
    options.quietMs = static_cast<int>(std::lround(seconds * 1000));
  }
  if (const std::optional<QString> to = line.Value("--to")) {
    if (auto problem = DottedQuadProblem(*to, "--to")) {
      return problem;
    }
    options.to = Latin1(*to);
  }
  if (const std::optional<QString> port = line.Value("--udp-port")) {
    const std::optional<int> number = NumberIn(*port, 1, 65535);
    if (!number) {
      return "--udp-port must be a number from 1 to 65535, not " + Quoted(*port);
    }
    options.udpPort = static_cast<std::uint16_t>(*number);
  }
  if (const std::optional<QString> interface = line.Value("--interface")) {
    // Only a broadcast is sent out of every interface; any other address is routed.
    if (options.to != "255.255.255.255") {
      return "--interface goes only with the broadcast to 255.255.255.255, not with --to " +
             options.to;
    }
    options.interfaceName = interface->toStdString();
  }
  return std::nullopt;
}
