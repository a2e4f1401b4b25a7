#include "cli/link_options.h"

#include <QRegularExpression>
#include <algorithm>

#include "cli/cli_checks.h"
#include "common/printer_rules.h"
#include "link/serial_choices.h"
#include "link/usb_vendor.h"

namespace {

// A serial choice on the command line: the table's words, the record's field.
struct LineOption {
  const char* name;
  const char* valueText;
  const SerialSetting& setting;
};
const LineOption LineOptions[] = {
    {"--baud", "BAUD", serial_choices::Baud},
    {"--parity", "PARITY", serial_choices::Parity},
    {"--data-bits", "BITS", serial_choices::DataBits},
    {"--stop-bits", "BITS", serial_choices::StopBits},
};

std::vector<std::string> Words(const SerialSetting& setting) {
  std::vector<std::string> words;
  for (const SerialChoice& choice : setting.choices) {
    words.emplace_back(choice.word);
  }
  return words;
}

// "none, rts, rts-cts or xon-xoff": the dialog's hardware list, then software Xon/Xoff.
std::vector<std::string> HandshakeWords() {
  std::vector<std::string> words = Words(serial_choices::Hardware);
  words.emplace_back(serial_choices::Software.choices.back().word);
  return words;
}

std::string Alternatives(const std::vector<std::string>& words) {
  std::string text;
  for (std::size_t i = 0; i < words.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + words[i];
  }
  return text;
}

// "(default 9600)": the main window's start value.
std::string DefaultText(const SerialSetting& setting) {
  return std::string("(default ") + setting.In(SerialSettings{}).word + ")";
}

std::optional<std::string> TakeDevice(const QString& value, const char* option,
                                      const QRegularExpression& name, const char* names,
                                      const std::string& what, std::size_t capacity,
                                      std::string& device) {
  if (name.match(value).hasMatch()) {
    device = Latin1(value.toUpper());
    return std::nullopt;
  }
  if (!value.startsWith(QLatin1Char('/'))) {
    return std::string(option) + " takes " + names + " or a device path beginning with '/', not " +
           Quoted(value);
  }
  if (value.size() > static_cast<qsizetype>(capacity)) {
    return what + " is longer than " + std::to_string(capacity) + " characters";
  }
  if (auto problem = PrinterTextProblem(value, what)) {
    return problem;
  }
  device = Latin1(value);
  return std::nullopt;
}

std::optional<std::string> TakeNet(const QString& value, CliLink& link) {
  const HostPortReading reading = ReadHostPort(value);
  if (const std::optional<HostPortProblem>& problem = reading.problem) {
    switch (problem->fault) {
      case HostPortFault::BadPort:
        return "the port in " + Quoted(value) + " must be a number from 1 to 65535";
      case HostPortFault::NoHost:
        return "--net needs a host name or address";
      case HostPortFault::BlankOrColon:
        return "the host " + Quoted(problem->host) + " may not contain blanks or ':'";
      case HostPortFault::HostText:
        return PrinterTextProblem(problem->host, "the host");
      case HostPortFault::HostTooLong:
        return "the host is longer than " + std::to_string(RecordTextRoom) + " characters";
      case HostPortFault::NotAnAddress:
        return "the address " + Quoted(problem->host) +
               " is not four numbers from 0 to 255 joined by dots";
    }
  }
  link.net.Host.Assign(Latin1(reading.target->host));
  link.net.Port = reading.target->port;
  link.target = Latin1(reading.target->host) + ":" + std::to_string(reading.target->port);
  return std::nullopt;
}

std::optional<std::string> TakeSerialChoices(const ParsedLine& line, CliLink& link) {
  for (const LineOption& option : LineOptions) {
    if (const std::optional<QString> value = line.Value(option.name)) {
      if (link.kind != LinkKind::Com) {
        return std::string("option ") + option.name + " needs --com";
      }
      const int index = option.setting.FindWord(value->toStdString());
      if (index < 0) {
        return std::string(option.name) + " must be " + Alternatives(Words(option.setting)) +
               ", not " + Quoted(*value);
      }
      link.serial.*option.setting.field = index;
    }
  }
  if (const std::optional<QString> value = line.Value("--handshake")) {
    if (link.kind != LinkKind::Com) {
      return "option --handshake needs --com";
    }
    const std::vector<std::string> words = HandshakeWords();
    const auto word = std::find_if(words.begin(), words.end(), [&](const std::string& w) {
      return value->compare(QString::fromStdString(w), Qt::CaseInsensitive) == 0;
    });
    if (word == words.end()) {
      return "--handshake must be " + Alternatives(words) + ", not " + Quoted(*value);
    }
    // The last word is software Xon/Xoff without a hardware handshake.
    const int index = static_cast<int>(word - words.begin());
    const bool software = word + 1 == words.end();
    link.serial.HardwareHandshake = software ? 0 : index;
    link.serial.SoftwareHandshake = software ? 1 : 0;
  }
  return std::nullopt;
}

}  // namespace

std::vector<OptionRule> LinkOptionRules() {
  std::vector<OptionRule> rules;
  const auto add = [&](const char* name, int values, const char* valueText, std::string text) {
    rules.push_back({name, name, values, valueText, std::move(text), "Link", false, true});
  };
  add("--usb", 0, "", "the first USB printer");
  add("--usb-vendor", 1, "XXXX",
      "the USB vendor id to look for (four hex digits; else\n"
      "$Q73580_PRINTER_VENDOR_ID, else the build's, %VENDOR%)");
  add("--com", 1, "COM1..COM30|/PATH", "a serial port");
  for (const LineOption& option : LineOptions) {
    const std::string words = Alternatives(Words(option.setting));
    // The longest list goes on two lines.
    add(option.name, 1, option.valueText,
        words + (words.size() > 30 ? "\n" : " ") + DefaultText(option.setting));
  }
  add("--handshake", 1, "HANDSHAKE",
      Alternatives(HandshakeWords()) + " " + DefaultText(serial_choices::Hardware));
  add("--lpt", 1, "LPT1..LPT4|/PATH", "a parallel port (write only)");
  add("--net", 1, "HOST[:PORT]",
      "a network printer (port " + std::to_string(DefaultPrinterPort) + " unless given)");
  return rules;
}

std::optional<std::string> TakeUsbVendor(const ParsedLine& line, CliArgs& args) {
  const std::optional<QString> vendor = line.Value("--usb-vendor");
  if (!vendor) {
    return std::nullopt;
  }
  if (line.Has("--com") || line.Has("--lpt") || line.Has("--net")) {
    return "option --usb-vendor needs --usb";
  }
  args.usbVendor = ParseUsbVendorId(Latin1(*vendor));
  if (!args.usbVendor) {
    return "--usb-vendor must be four hex digits, like 1a2b, not " + Quoted(*vendor);
  }
  return std::nullopt;
}

std::optional<std::string> TakeLink(const ParsedLine& line, const std::string& command,
                                    CliArgs& args) {
  const int count = line.Has("--usb") + line.Has("--com") + line.Has("--lpt") + line.Has("--net");
  if (count == 0) {
    return "'" + command + "' needs a link: --usb, --com PORT, --lpt PORT or --net HOST[:PORT]";
  }
  if (count > 1) {
    return "give only one of --usb, --com, --lpt and --net";
  }
  CliLink link;
  std::optional<std::string> problem;
  if (const std::optional<QString> com = line.Value("--com")) {
    link.kind = LinkKind::Com;
    static const QRegularExpression name(QStringLiteral("^COM([1-9]|[12][0-9]|30)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    problem = TakeDevice(*com, "--com", name, "COM1 to COM30", "the serial device path",
                         decltype(SerialSettings::PortName)::Capacity, link.target);
    link.serial.PortName.Assign(link.target);
  } else if (const std::optional<QString> lpt = line.Value("--lpt")) {
    link.kind = LinkKind::Lpt;
    static const QRegularExpression name(QStringLiteral("^LPT[1-4]$"),
                                         QRegularExpression::CaseInsensitiveOption);
    problem = TakeDevice(*lpt, "--lpt", name, "LPT1 to LPT4", "the parallel device path",
                         LptDeviceName::Capacity, link.target);
    link.lptDevice.Assign(link.target);
  } else if (const std::optional<QString> net = line.Value("--net")) {
    link.kind = LinkKind::Ethernet;
    problem = TakeNet(*net, link);
  }
  if (!problem) {
    problem = TakeSerialChoices(line, link);
  }
  if (!problem) {
    args.link = std::move(link);
  }
  return problem;
}
