// What q73580-cli does with a command line it cannot carry out: usage errors (64) before any
// link is opened, "Open Port Error" (1) for a printer that is not there, --help for every
// subcommand, and the question asked only when a terminal is attached.

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <QThread>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "link/usb_printer_port.h"
#include "support/closed_tcp_port.h"
#include "support/linked_printer.h"

namespace {

using namespace std::chrono_literals;

const QByteArray TryHelp = "Try 'q73580-cli --help'.\n";

// A printer on TCP and on UDP, both on 127.0.0.1, that must hear nothing from a bad command line.
class CliUsageTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sim_.Start({.udp = true})) << sim_.Error(); }

  // %TCP% is the printer's host:port, %UDP% its UDP port.
  QStringList Expand(const QStringList& args) const {
    QStringList expanded;
    for (QString arg : args) {
      arg.replace(QStringLiteral("%TCP%"), QStringLiteral("127.0.0.1:%1").arg(sim_.TcpPort()));
      arg.replace(QStringLiteral("%UDP%"), QString::number(sim_.UdpPort()));
      expanded.push_back(arg);
    }
    return expanded;
  }

  void ExpectNothingReachedThePrinter() {
    EXPECT_EQ(sim_->AcceptedConnections(), 0u);
    EXPECT_EQ(sim_->ReceivedCount(), 0u);
  }

  VirtualPrinter sim_;
};

struct UsageCase {
  std::string label;
  QStringList args;
  QString message;  // part of the message after "q73580-cli: "; empty: not checked
  // The JSON's "command"; empty when none may be named, nothing when not checked.
  std::optional<QString> command = std::nullopt;
};

void PrintTo(const UsageCase& row, std::ostream* os) {
  *os << row.label;
}

class CliUsageErrorTest : public CliUsageTest, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(CliUsageErrorTest, ExitsSixtyFourBeforeOpeningAnything) {
  const UsageCase& row = GetParam();
  for (const bool json : {false, true}) {
    QStringList args = Expand(row.args);
    if (json) {
      args.prepend(QStringLiteral("--json"));
    }
    const CliRun run = RunCli(args);
    EXPECT_EQ(run.exitCode, 64) << run;
    EXPECT_TRUE(run.err.startsWith("q73580-cli: ")) << run;
    EXPECT_TRUE(run.err.endsWith(TryHelp)) << run;
    EXPECT_GT(run.err.size(), QByteArray("q73580-cli: \n").size() + TryHelp.size()) << run;
    if (!row.message.isEmpty()) {
      EXPECT_TRUE(QString::fromUtf8(run.err).contains(row.message)) << run;
    }
    if (!json) {
      EXPECT_EQ(run.Out(), "") << run;
    } else {
      // The object a script reads, with the message standard error gives.
      const QJsonObject object = run.Json();
      EXPECT_EQ(object.value("code").toInt(), 64) << run;
      EXPECT_EQ("q73580-cli: " + object.value("result").toString().toUtf8() + "\n" + TryHelp,
                run.err)
          << run;
      if (row.command) {
        EXPECT_EQ(object.value("command").toString(QStringLiteral("absent")),
                  row.command->isEmpty() ? QStringLiteral("absent") : *row.command)
            << run;
      }
    }
    EXPECT_LT(run.seconds, 5.0) << run;
  }
  // Give a stray datagram or connection the time to arrive before looking.
  QThread::msleep(50);
  ExpectNothingReachedThePrinter();
}

const QString Mac = QStringLiteral("00:11:22:33:44:55");
const QStringList ToSim = {"--to", "127.0.0.1", "--udp-port", "%UDP%"};

INSTANTIATE_TEST_SUITE_P(
    CommandLines, CliUsageErrorTest,
    ::testing::Values(
        // Links.
        UsageCase{"NoLink", {"clock", "get"}, {}, "clock get"},
        UsageCase{"NoLinkForProbe", {"probe"}, {}},
        UsageCase{"TwoLinks", {"--net", "%TCP%", "--lpt", "/tmp/q73580-lpt", "probe"}, {}},
        UsageCase{"OneKindTwice", {"--net", "%TCP%", "--net", "%TCP%", "probe"}, {}},
        UsageCase{"PortZero", {"--net", "127.0.0.1:0", "probe"}, {}},
        UsageCase{"PortBeyond65535", {"--net", "127.0.0.1:65536", "probe"}, {}},
        UsageCase{"PortNotANumber", {"--net", "127.0.0.1:91o0", "probe"}, {}},
        UsageCase{"PortEmpty", {"--net", "127.0.0.1:", "probe"}, {}},
        UsageCase{"NetWithoutValue", {"probe", "--net"}, {}},
        UsageCase{"ComBeyondThirty", {"--com", "COM31", "probe"}, {}},
        UsageCase{"ComRelativePath", {"--com", "ttyUSB0", "probe"}, {}},
        UsageCase{"LptBeyondFour", {"--lpt", "LPT5", "probe"}, {}},
        // A read waits for a reply that a parallel port cannot carry.
        UsageCase{"LptClockGet",
                  {"--lpt", "/tmp/q73580-lpt", "clock", "get"},
                  "the parallel port is write-only",
                  "clock get"},
        UsageCase{"BaudNotOffered", {"--com", "/dev/null", "--baud", "1200", "probe"}, {}},
        UsageCase{"ParityUnknown", {"--com", "/dev/null", "--parity", "mark", "probe"}, {}},
        UsageCase{"DataBitsSix", {"--com", "/dev/null", "--data-bits", "6", "probe"}, {}},
        UsageCase{"StopBitsThree", {"--com", "/dev/null", "--stop-bits", "3", "probe"}, {}},
        UsageCase{"HandshakeUnknown", {"--com", "/dev/null", "--handshake", "dtr", "probe"}, {}},
        // Subcommands.
        UsageCase{"UnknownSubcommand", {"--net", "%TCP%", "frobnicate"}, {}, ""},
        UsageCase{"NoSubcommand", {"--net", "%TCP%"}, {}},
        UsageCase{"ClockWithoutVerb", {"--net", "%TCP%", "clock"}, {}},
        UsageCase{"ClockUnknownVerb", {"--net", "%TCP%", "clock", "reset"}, {}},
        UsageCase{"UnknownOption", {"--net", "%TCP%", "--frobnicate", "probe"}, {}},
        UsageCase{"ExtraArgument", {"--net", "%TCP%", "clock", "get", "now"}, {}},
        // Clock.
        UsageCase{"ClockSetWithoutTime", {"--net", "%TCP%", "clock", "set"}, {}},
        UsageCase{
            "ClockSetFebruary30", {"--net", "%TCP%", "clock", "set", "2026-02-30T10:00:00"}, {}},
        UsageCase{"ClockSetHour24", {"--net", "%TCP%", "clock", "set", "2026-12-08T24:00:00"}, {}},
        UsageCase{
            "ClockSetTwoBlanks", {"--net", "%TCP%", "clock", "set", "2026-12-08  10:30:00"}, {}},
        UsageCase{"ClockSetDateOnly", {"--net", "%TCP%", "clock", "set", "2026-12-08"}, {}},
        UsageCase{"ClockSetBoth",
                  {"--net", "%TCP%", "clock", "set", "--from-pc", "2026-12-08T10:30:00"},
                  {}},
        UsageCase{"ClockAllWithALink",
                  QStringList{"--net", "%TCP%", "clock", "set", "--all", "--from-pc"} + ToSim,
                  "option --net does not go with --all"},
        UsageCase{"ClockToWithoutAll", QStringList{"--net", "%TCP%", "clock", "get"} + ToSim,
                  "option --to goes only with --all"},
        // Addresses.
        UsageCase{"NetSetWithoutMode", {"--net", "%TCP%", "net", "set"}, {}},
        UsageCase{"NetSetBothModes",
                  {"--net", "%TCP%", "net", "set", "--dhcp", "--static", "10.0.0.2", "255.0.0.0",
                   "10.0.0.1"},
                  {}},
        UsageCase{"NetSetOctetBeyond255",
                  {"--net", "%TCP%", "net", "set", "--static", "192.168.1.256", "255.255.255.0",
                   "192.168.1.1"},
                  {}},
        UsageCase{"NetSetThreeOctets",
                  {"--net", "%TCP%", "net", "set", "--static", "192.168.1.5", "255.255.255",
                   "192.168.1.1"},
                  {}},
        UsageCase{"NetSetBlankInAddress",
                  {"--net", "%TCP%", "net", "set", "--static", "192.168.1.5", "255.255.255.0",
                   "192.168.1. 1"},
                  {}},
        UsageCase{"NetSetQuoteInAddress",
                  {"--net", "%TCP%", "net", "set", "--static", "1.2.3.4\"", "255.0.0.0", "1.0.0.1"},
                  {}},
        UsageCase{"NetSetMissingGateway",
                  {"--net", "%TCP%", "net", "set", "--static", "192.168.1.5", "255.255.255.0"},
                  {}},
        // Names.
        UsageCase{"NameNotLatin1",
                  {"--net", "%TCP%", "name", "set", QStringLiteral("\u0141\u00f3d\u017a")},
                  {}},
        UsageCase{"NameWithQuote", {"--net", "%TCP%", "name", "set", "Lab\"1"}, {}},
        UsageCase{"NameWithTab", {"--net", "%TCP%", "name", "set", "Lab\t1"}, {}},
        UsageCase{"NameWithLineFeed", {"--net", "%TCP%", "name", "set", "Lab\nNET DHCP"}, {}},
        UsageCase{"NameOf16Characters", {"--net", "%TCP%", "name", "set", "ABCDEFGHIJKLMNOP"}, {}},
        UsageCase{"NameMissing", {"--net", "%TCP%", "name", "set"}, {}},
        // Confirmation.
        UsageCase{"FactoryResetWithoutYes",
                  {"--net", "%TCP%", "factory-reset"},
                  "factory-reset needs --yes when not run from a terminal"},
        UsageCase{"RemoteSetWithoutYes", QStringList{"remote-set", Mac, "--dhcp"} + ToSim,
                  "needs --yes", "remote-set"},
        // The remote change.
        UsageCase{"MacFiveGroups",
                  QStringList{"remote-set", "00:11:22:33:44", "--dhcp", "--yes"} + ToSim,
                  {}},
        UsageCase{"MacWithMixedSeparators",
                  QStringList{"remote-set", "00-11-22:33:44:55", "--dhcp", "--yes"} + ToSim,
                  {}},
        UsageCase{"MacNotHex",
                  QStringList{"remote-set", "00:11:22:33:44:5G", "--dhcp", "--yes"} + ToSim,
                  {}},
        UsageCase{"MacMissing", QStringList{"remote-set", "--dhcp", "--yes"} + ToSim, {}},
        UsageCase{"RemoteSetWithoutMode", QStringList{"remote-set", Mac, "--yes"} + ToSim, {}},
        UsageCase{
            "RemoteSetBadGateway",
            QStringList{"remote-set", Mac, "--static", "10.0.0.2", "255.0.0.0", "10.0.0", "--yes"} +
                ToSim,
            {}},
        UsageCase{"RemoteSetNameWithQuote",
                  QStringList{"remote-set", Mac, "--dhcp", "--name", "a\"b", "--yes"} + ToSim,
                  {}},
        UsageCase{
            "RemoteSetNameNotLatin1",
            QStringList{"remote-set", Mac, "--dhcp", "--name", QStringLiteral("\u20ac"), "--yes"} +
                ToSim,
            {}},
        UsageCase{"UdpPortZero", {"discover", "--to", "127.0.0.1", "--udp-port", "0"}, {}},
        UsageCase{
            "UdpPortBeyond65535", {"discover", "--to", "127.0.0.1", "--udp-port", "65536"}, {}},
        UsageCase{"TimeoutNotANumber", QStringList{"discover", "--timeout", "soon"} + ToSim, {}},
        UsageCase{"ToNotAnAddress", {"discover", "--to", "127.0.0.300", "--udp-port", "%UDP%"}, {}},
        // Web.
        UsageCase{"WebWithoutHost", {"web"}, {}},
        UsageCase{"WebHostWithBlank", {"web", "192.168.0.20 x"}, {}},
        UsageCase{"WebHostWithQuote", {"web", "192.168.0.20\""}, {}},
        UsageCase{"WebHostWithPort", {"web", "192.168.0.20:8080"}, {}},
        UsageCase{"WebHostWithControl", {"web", "192.168.0.20\x01"}, {}}),
    [](const ::testing::TestParamInfo<UsageCase>& info) { return info.param.label; });

// --help, "help SUBCOMMAND" and "SUBCOMMAND --help" print usage and do nothing else, whatever
// else the command line says.
class CliHelpTest : public CliUsageTest, public ::testing::WithParamInterface<QStringList> {};

TEST_P(CliHelpTest, PrintsUsageAndExitsZero) {
  const CliRun run = RunCli(Expand(GetParam()));
  EXPECT_EQ(run.exitCode, 0) << run;
  EXPECT_EQ(run.Err(), "") << run;
  const QString out = QString::fromUtf8(run.out);
  EXPECT_TRUE(out.contains(QStringLiteral("q73580-cli"))) << run;
  // The subcommand's own words appear in its usage.
  for (const QString& word : GetParam()) {
    if (word.front().isLetter() && word != QStringLiteral("help")) {
      EXPECT_TRUE(out.contains(word)) << word.toStdString() << ": " << run;
    }
  }
  QThread::msleep(50);
  ExpectNothingReachedThePrinter();
}

INSTANTIATE_TEST_SUITE_P(
    EverySubcommand, CliHelpTest,
    ::testing::Values(QStringList{"--help"}, QStringList{"help"}, QStringList{"probe", "--help"},
                      QStringList{"clock", "get", "--help"}, QStringList{"clock", "set", "--help"},
                      QStringList{"net", "get", "--help"}, QStringList{"net", "set", "--help"},
                      QStringList{"name", "set", "--help"}, QStringList{"factory-reset", "--help"},
                      QStringList{"discover", "--help"}, QStringList{"remote-set", "--help"},
                      QStringList{"web", "--help"}, QStringList{"usb", "list", "--help"},
                      QStringList{"help", "probe"}, QStringList{"help", "clock", "set"},
                      QStringList{"help", "remote-set"}, QStringList{"help", "discover"},
                      // Help wins over a link and over a confirmation already given.
                      QStringList{"--net", "%TCP%", "factory-reset", "--yes", "--help"},
                      QStringList{"--net", "%TCP%", "--help", "net", "set", "--dhcp"}),
    [](const ::testing::TestParamInfo<QStringList>& info) {
      QString name = info.param.join(QLatin1Char('_'));
      name.remove(QLatin1Char('-')).replace(QLatin1Char('%'), QLatin1Char('_'));
      return QStringLiteral("%1_%2").arg(info.index).arg(name).toStdString();
    });

TEST_F(CliUsageTest, TopLevelHelp_NamesEverySubcommandAndLink) {
  const CliRun run = RunCli({"--help"});
  ASSERT_EQ(run.exitCode, 0) << run;
  const QString out = QString::fromUtf8(run.out);
  for (const char* word : {"probe", "clock get", "clock set", "net get", "net set", "name set",
                           "factory-reset", "discover", "remote-set", "web", "usb list", "--usb",
                           "--usb-vendor", "--com", "--lpt", "--net", "--json"}) {
    EXPECT_TRUE(out.contains(QLatin1String(word))) << word;
  }
}

// What the command line offers beyond the commands: the version, short flags run together,
// every command's own --help naming its own options only, and a bad flag in a run.
struct FormCase {
  std::string label;
  QStringList args;
  int exitCode;
  QStringList shown;   // on stdout (exit 0) or stderr
  QStringList absent;  // nowhere in the output
};

void PrintTo(const FormCase& row, std::ostream* os) {
  *os << row.label;
}

class CliFormTest : public CliUsageTest, public ::testing::WithParamInterface<FormCase> {};

TEST_P(CliFormTest, ExitsAndSays) {
  const FormCase& row = GetParam();
  const CliRun run = RunCli(Expand(row.args));
  EXPECT_EQ(run.exitCode, row.exitCode) << run;
  const QString said = QString::fromUtf8(row.exitCode == 0 ? run.out : run.err);
  for (const QString& text : row.shown) {
    EXPECT_TRUE(said.contains(text)) << text.toStdString() << ": " << run;
  }
  for (const QString& text : row.absent) {
    EXPECT_FALSE(QString::fromUtf8(run.out + run.err).contains(text))
        << text.toStdString() << ": " << run;
  }
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, CliFormTest,
    ::testing::Values(
        FormCase{"Version", {"--version"}, 0, {"q73580-cli " Q73580_VERSION "\n"}, {"Usage"}},
        // -y lets it go ahead without a terminal, -v has it say so.
        FormCase{"ShortFlagsTogether",
                 {"--net", "%TCP%", "factory-reset", "-vy"},
                 0,
                 {"Factory defaults restored.\n"},
                 {}},
        FormCase{"UnknownFlagInARun",
                 {"-vq", "--net", "%TCP%", "probe"},
                 64,
                 {"q73580-cli: unknown option '-q'\n"},
                 {}},
        FormCase{"RemoteSetHelp",
                 {"remote-set", "--help"},
                 0,
                 {"MAC", "--dhcp", "--static IP MASK GATEWAY", "--name NAME", "-y,--yes", "--to",
                  "--udp-port"},
                 {"--net", "--from-pc"}},
        FormCase{"ClockSetHelp",
                 {"clock", "set", "--help"},
                 0,
                 {"--from-pc", "YYYY-MM-DDTHH:MM:SS", "--net HOST[:PORT]", "--handshake", "--all",
                  "--udp-port"},
                 {"--yes"}},
        FormCase{"UsbListHelp", {"usb", "list", "-h"}, 0, {"--usb-vendor XXXX"}, {"--com"}}),
    [](const ::testing::TestParamInfo<FormCase>& info) { return info.param.label; });

struct OpenFailureCase {
  std::string label;
  QStringList args;  // %PORT% a closed TCP port, %PTY% the virtual printer's pty,
                     // %FIFO% a FIFO nobody reads
  QString command;
  QString cause;  // the start of the cause's detail, the same placeholders; empty: not checked
  QString kind;   // the cause's kind in the JSON
};

void PrintTo(const OpenFailureCase& row, std::ostream* os) {
  *os << row.label;
}

class CliOpenPortErrorTest : public ::testing::TestWithParam<OpenFailureCase> {};

// No printer there: "Open Port Error" at once, exit 1, with and without --json, followed by what
// the port found out.
TEST_P(CliOpenPortErrorTest, ExitsOneWithOpenPortErrorAndItsCause) {
  const OpenFailureCase& row = GetParam();
  LinkedPrinter pty(Via::Pty);
  ASSERT_TRUE(pty.Started()) << pty.Error();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString fifo = dir.filePath(QStringLiteral("lpt"));
  ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
  const quint16 port = ClosedTcpPort();
  ASSERT_NE(port, 0);
  const auto expand = [&](QString arg) {
    arg.replace(QStringLiteral("%PORT%"), QString::number(port));
    arg.replace(QStringLiteral("%PTY%"), pty.Target());
    arg.replace(QStringLiteral("%FIFO%"), fifo);
    return arg;
  };
  QStringList args;
  for (const QString& arg : row.args) {
    args.push_back(expand(arg));
  }
  const QString cause = expand(row.cause);
  // The USB row looks for the build's vendor id.
  CliRunOptions options;
  options.environment.remove(QStringLiteral("Q73580_PRINTER_VENDOR_ID"));

  const CliRun human = RunCli(args, options);
  EXPECT_EQ(human.exitCode, 1) << human;
  EXPECT_EQ(human.Out(), "") << human;
  EXPECT_TRUE(human.Err().starts_with("q73580-cli: Open Port Error: " + cause.toStdString()))
      << human;
  EXPECT_TRUE(human.Err().ends_with("\n") && human.err.count('\n') == 1) << human;
  EXPECT_LT(human.seconds, 5.0) << human;

  const CliRun json = RunCli(QStringList{"--json"} + args, options);
  EXPECT_EQ(json.exitCode, 1) << json;
  const QJsonObject object = json.Json();
  EXPECT_EQ(object.value("command").toString(), row.command) << json;
  EXPECT_EQ(object.value("result").toString(), "Open Port Error") << json;
  EXPECT_EQ(object.value("code").toInt(), 1) << json;
  EXPECT_TRUE(object.value("link").isObject()) << json;
  const QJsonObject jsonCause = object.value("cause").toObject();
  EXPECT_TRUE(jsonCause.value("detail").toString().startsWith(cause)) << json;
  if (!row.kind.isEmpty()) {
    EXPECT_EQ(jsonCause.value("kind").toString(), row.kind) << json;
  }
  EXPECT_EQ(json.Err(), human.Err()) << json;

  // A line the pty cannot carry is refused before a byte is sent.
  EXPECT_EQ(pty.Sim().ReceivedCount(), 0u);
}

const QString BuildVendor = QString::fromLatin1(PrinterVendorId);

INSTANTIATE_TEST_SUITE_P(
    NoPrinterThere, CliOpenPortErrorTest,
    ::testing::Values(
        OpenFailureCase{"TcpRefused",
                        {"--net", "127.0.0.1:%PORT%", "probe"},
                        "probe",
                        "127.0.0.1:%PORT%: connection refused (nothing listens there)",
                        "connection-refused"},
        OpenFailureCase{"TcpRefusedRead",
                        {"clock", "get", "--net", "127.0.0.1:%PORT%"},
                        "clock get",
                        "127.0.0.1:%PORT%: connection refused",
                        "connection-refused"},
        OpenFailureCase{"TcpAnyAddress",
                        {"--net", "0.0.0.0:%PORT%", "probe"},
                        "probe",
                        "0.0.0.0:%PORT%: not a printer's address",
                        "host-refused"},
        OpenFailureCase{"ComMissingDevice",
                        {"--com", "/dev/q73580-none", "probe"},
                        "probe",
                        "/dev/q73580-none: no such device",
                        "not-found"},
        OpenFailureCase{"ComNumberWithoutAdapter",
                        {"--com", "COM10", "net", "get"},
                        "net get",
                        "/dev/ttyUSB9: no such device",
                        "not-found"},
        OpenFailureCase{
            "ComEvenParityOnPty", {"--com", "%PTY%", "--parity", "even", "probe"}, "probe", "", ""},
        OpenFailureCase{"ComSevenBitsOnPty",
                        {"--com", "%PTY%", "--data-bits", "7", "clock", "get"},
                        "clock get",
                        "",
                        ""},
        OpenFailureCase{"ComOneAndAHalfStopBits",
                        {"--com", "%PTY%", "--stop-bits", "1.5", "name", "set", "x"},
                        "name set",
                        "",
                        ""},
        OpenFailureCase{"LptFifoNobodyReads",
                        {"--lpt", "%FIFO%", "factory-reset", "--yes"},
                        "factory-reset",
                        "%FIFO%: nobody reads it",
                        "not-found"},
        OpenFailureCase{"LptMissingDevice",
                        {"--lpt", "/dev/q73580-none", "net", "set", "--dhcp"},
                        "net set",
                        "/dev/q73580-none: no such device",
                        "not-found"},
        OpenFailureCase{"UsbNoPrinter",
                        {"--usb", "clock", "set", "--from-pc"},
                        "clock set",
                        "no USB printer with vendor id " + BuildVendor,
                        "no-device"}),
    [](const ::testing::TestParamInfo<OpenFailureCase>& info) { return info.param.label; });

// The USB vendor id looked for: --usb-vendor, else the environment, else the build's (the
// UsbNoPrinter row above). A bad environment value is ignored with a warning; the cause names
// the id that was looked for.
struct VendorCase {
  std::string label;
  QString environment;  // empty: unset
  QStringList args;
  QString vendor;
  bool warned;
};

void PrintTo(const VendorCase& row, std::ostream* os) {
  *os << row.label;
}

class CliUsbVendorTest : public ::testing::TestWithParam<VendorCase> {};

TEST_P(CliUsbVendorTest, TheCauseNamesTheVendorIdLookedFor) {
  const VendorCase& row = GetParam();
  CliRunOptions options;
  options.environment.remove(QStringLiteral("Q73580_PRINTER_VENDOR_ID"));
  if (!row.environment.isEmpty()) {
    options.environment.insert(QStringLiteral("Q73580_PRINTER_VENDOR_ID"), row.environment);
  }
  const CliRun run = RunCli(row.args, options);
  EXPECT_EQ(run.exitCode, 1) << run;
  const QString err = QString::fromUtf8(run.err);
  EXPECT_TRUE(
      err.contains(QStringLiteral("Open Port Error: no USB printer with vendor id ") + row.vendor))
      << run;
  EXPECT_EQ(err.contains(QStringLiteral("q73580-cli: warning: Q73580_PRINTER_VENDOR_ID='") +
                         row.environment + QStringLiteral("' is not four hex digits")),
            row.warned)
      << run;
}

INSTANTIATE_TEST_SUITE_P(
    Precedence, CliUsbVendorTest,
    ::testing::Values(VendorCase{"Environment", "1A2B", {"--usb", "probe"}, "1a2b", false},
                      VendorCase{"OptionOverEnvironment",
                                 "1a2b",
                                 {"--usb", "--usb-vendor", "3C4D", "probe"},
                                 "3c4d",
                                 false},
                      VendorCase{"OptionOverBadEnvironment",
                                 "nope",
                                 {"--usb", "--usb-vendor", "3c4d", "probe"},
                                 "3c4d",
                                 false},
                      VendorCase{
                          "BadEnvironmentIgnored", "1a2b3", {"--usb", "probe"}, BuildVendor, true}),
    [](const ::testing::TestParamInfo<VendorCase>& info) { return info.param.label; });

// The serial options reach the line: every setting a pty keeps works.
TEST(CliSerialOptions, SettingsAPtyKeeps_Work) {
  LinkedPrinter pty(Via::Pty);
  ASSERT_TRUE(pty.Started()) << pty.Error();
  const std::vector<QStringList> lines = {
      {"--baud", "115200", "--parity", "none", "--data-bits", "8", "--stop-bits", "1",
       "--handshake", "none"},
      {"--baud", "2400", "--stop-bits", "2", "--handshake", "rts-cts"},
      {"--handshake", "xon-xoff"},
      {"--handshake", "rts"},
  };
  for (const QStringList& line : lines) {
    const CliRun run = RunCli(pty.LinkArgs() + line + QStringList{"clock", "get"});
    EXPECT_EQ(run.exitCode, 0) << line.join(' ').toStdString() << ": " << run;
    EXPECT_EQ(run.Out(), "2026-12-08 10:30:00\n") << run;
  }
}

// A terminal of our own for the program's stdin, with the answer already typed.
class TypedAnswer {
 public:
  explicit TypedAnswer(const std::string& answer) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
      return;
    }
    const char* name = ptsname(master_);
    if (name == nullptr) {
      return;
    }
    path_ = QString::fromLocal8Bit(name);
    // Held open so that the line stays up between the write and the program's read.
    slave_ = open(name, O_RDWR | O_NOCTTY);
    ok_ = slave_ >= 0 &&
          write(master_, answer.data(), answer.size()) == static_cast<ssize_t>(answer.size());
  }
  ~TypedAnswer() {
    if (slave_ >= 0) {
      close(slave_);
    }
    if (master_ >= 0) {
      close(master_);
    }
  }
  TypedAnswer(const TypedAnswer&) = delete;
  TypedAnswer& operator=(const TypedAnswer&) = delete;

  bool Ok() const { return ok_; }
  CliRunOptions Stdin() const {
    CliRunOptions options;
    options.stdinFile = path_;
    options.timeoutMs = 10000;
    return options;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  QString path_;
  bool ok_ = false;
};

struct AnswerCase {
  std::string answer;
  int exitCode;
};

void PrintTo(const AnswerCase& row, std::ostream* os) {
  *os << '"' << row.answer.substr(0, row.answer.size() - 1) << '"';
}

class CliConfirmTest : public ::testing::TestWithParam<AnswerCase> {};

// On a terminal factory-reset asks first; only y or yes goes ahead.
TEST_P(CliConfirmTest, FactoryResetOnATerminal_AsksFirst) {
  LinkedPrinter printer(Via::Tcp);
  ASSERT_TRUE(printer.Started()) << printer.Error();
  TypedAnswer answer(GetParam().answer);
  ASSERT_TRUE(answer.Ok());
  const CliRun run = RunCli(printer.LinkArgs() + QStringList{"factory-reset"}, answer.Stdin());
  EXPECT_EQ(run.exitCode, GetParam().exitCode) << run;
  EXPECT_TRUE((run.out + run.err).contains("Restore the factory defaults of the printer on "))
      << run;
  EXPECT_TRUE((run.out + run.err).contains("[y/N] ")) << run;
  if (GetParam().exitCode == 0) {
    ASSERT_TRUE(printer.WaitReceived(1));
    EXPECT_EQ(printer.Received(), std::vector<std::string>{expected::FactoryDefaults()});
  } else {
    EXPECT_TRUE(run.err.contains("cancelled")) << run;
    QThread::msleep(50);
    EXPECT_EQ(printer.Sim().AcceptedConnections(), 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Answers, CliConfirmTest,
                         ::testing::Values(AnswerCase{"y\n", 0}, AnswerCase{"yes\n", 0},
                                           AnswerCase{"n\n", 1}, AnswerCase{"\n", 1},
                                           AnswerCase{"yess\n", 1}, AnswerCase{"no\n", 1}),
                         [](const ::testing::TestParamInfo<AnswerCase>& info) {
                           return "Answer" + std::to_string(info.index);
                         });

// remote-set asks as well; "no" writes nothing.
TEST(CliConfirm, RemoteSetOnATerminal_NoWritesNothing) {
  VirtualPrinter sim({.tcp = false, .udp = true});
  ASSERT_TRUE(sim.Running()) << sim.Error();
  TypedAnswer answer("n\n");
  ASSERT_TRUE(answer.Ok());
  const CliRun run =
      RunCli({"remote-set", "00:11:22:33:44:55", "--static", "10.0.0.2", "255.0.0.0", "10.0.0.1",
              "--to", "127.0.0.1", "--udp-port", QString::number(sim.UdpPort())},
             answer.Stdin());
  EXPECT_EQ(run.exitCode, 1) << run;
  EXPECT_TRUE(run.err.contains("cancelled")) << run;
  QThread::msleep(50);
  for (const std::string& datagram : sim.Datagrams()) {
    EXPECT_NE(datagram.size(), 1064u) << "a block write went out";
  }
  EXPECT_TRUE(sim->State().dhcp);
}

}  // namespace
