// Every link subcommand of q73580-cli, run as a program against the virtual printer over TCP,
// its pseudo-terminal as a COM port and its FIFO as a parallel port: the exact lines the printer
// received, the human output, the JSON object and the exit status.

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <chrono>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "support/linked_printer.h"
#include "support/stuck_fifo.h"

namespace {

using namespace std::chrono;
using Lines = std::vector<std::string>;

// Stands for the link's "DIAGNOSTIC INTERFACE ..." line in the tables below.
const std::string Interface = "<interface>";

const Lines ReadClockLines = expected::ReadClock(Interface);
const Lines ReadNetworkLines = expected::ReadNetwork(Interface);

Lines WithInterface(const Lines& lines, const std::string& interfaceLine) {
  Lines result = lines;
  for (std::string& line : result) {
    if (line == Interface) {
      line = interfaceLine;
    }
  }
  return result;
}

QJsonObject ClockJson(int year, int month, int date, int hour, int minute, int second) {
  return QJsonObject{
      {"year", year},
      {"month", month},
      {"date", date},
      {"hour", hour},
      {"minute", minute},
      {"second", second},
      {"text",
       QString::asprintf("%04d-%02d-%02dT%02d:%02d:%02d", year, month, date, hour, minute, second)},
  };
}

// The human output of "net get": "key: value" lines whose values start in one column.
struct KeyValueLines {
  std::vector<std::pair<QString, QString>> pairs;
  std::set<qsizetype> valueColumns;
};

KeyValueLines ParseKeyValueLines(const QByteArray& out) {
  KeyValueLines parsed;
  const QStringList lines = QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  for (const QString& line : lines) {
    const qsizetype colon = line.indexOf(QLatin1Char(':'));
    if (colon < 0) {
      parsed.pairs.emplace_back(line, QString());
      continue;
    }
    qsizetype value = colon + 1;
    while (value < line.size() && line.at(value) == QLatin1Char(' ')) {
      ++value;
    }
    parsed.pairs.emplace_back(line.left(colon).trimmed(), line.mid(value));
    if (value < line.size()) {
      parsed.valueColumns.insert(value);
    }
  }
  return parsed;
}

// One subcommand that works the same way over every link.
struct Subcommand {
  std::string label;
  QStringList args;  // after the link option
  QString command;   // the JSON "command"
  Lines wire;        // what the printer must receive, exactly
  bool reads = false;
  // stdout without --json; nullptr: not checked here.
  const char* human = nullptr;
  QJsonObject jsonExtra;  // the JSON keys beyond command, result, code and link
  std::function<void(const printer_sim::PrinterState&)> state;
};

std::vector<Subcommand> Subcommands() {
  return {
      {"Probe", {"probe"}, "probe", {}, false, nullptr, {}, nullptr},
      {"ClockGet",
       {"clock", "get"},
       "clock get",
       ReadClockLines,
       true,
       "2026-12-08 10:30:00\n",
       {{"clock", ClockJson(2026, 12, 8, 10, 30, 0)}},
       nullptr},
      {"ClockSet",
       {"clock", "set", "2027-03-04T05:06:07"},
       "clock set",
       {expected::SetClock("03,04,27,05,06,07")},
       false,
       "",
       {{"clock", ClockJson(2027, 3, 4, 5, 6, 7)}},
       [](const printer_sim::PrinterState& state) {
         const sys_seconds set = sys_days{year{2027} / 3 / 4} + hours{5} + minutes{6} + seconds{7};
         EXPECT_EQ(state.clockOffset, set - PrinterNow());
       }},
      {"NetGet",
       {"net", "get"},
       "net get",
       ReadNetworkLines,
       true,
       nullptr,
       {{"network", QJsonObject{{"dhcp", false},
                                {"ip", "192.168.7.50"},
                                {"mask", "255.255.0.0"},
                                {"gateway", "192.168.7.1"},
                                {"lastUsedIp", "192.168.7.50"},
                                {"name", QStringLiteral("Caf\u00e9")},
                                {"mac", "00:11:22:33:44:55"}}}},
       nullptr},
      {"NetSetDhcp",
       {"net", "set", "--dhcp"},
       "net set",
       {expected::SetDhcp()},
       false,
       "",
       {},
       [](const printer_sim::PrinterState& state) { EXPECT_TRUE(state.dhcp); }},
      {"NetSetStatic",
       // Leading zeros are a dotted quad too; the text goes out as typed.
       {"net", "set", "--static", "10.1.2.3", "255.255.255.0", "10.1.2.254"},
       "net set",
       {expected::SetStatic("10.1.2.3", "255.255.255.0", "10.1.2.254")},
       false,
       "",
       {},
       [](const printer_sim::PrinterState& state) {
         EXPECT_FALSE(state.dhcp);
         EXPECT_EQ(state.ip, "10.1.2.3");
         EXPECT_EQ(state.mask, "255.255.255.0");
         EXPECT_EQ(state.gateway, "10.1.2.254");
       }},
      {"NameSetLatin1",
       {"name", "set", QStringLiteral("Caf\u00e9 au lait 3")},  // 15 characters
       "name set",
       {expected::SetName("Caf\xE9 au lait 3")},
       false,
       "",
       {},
       [](const printer_sim::PrinterState& state) { EXPECT_EQ(state.name, "Caf\xE9 au lait 3"); }},
      {"FactoryReset",
       {"factory-reset", "--yes"},
       "factory-reset",
       {expected::FactoryDefaults()},
       false,
       "",
       {},
       [](const printer_sim::PrinterState& state) {
         EXPECT_TRUE(state.dhcp);
         EXPECT_EQ(state.name, printer_sim::PrinterState{}.name);
       }},
  };
}

struct SubcommandOverLink {
  Via via;
  Subcommand subcommand;
};

void PrintTo(const SubcommandOverLink& row, std::ostream* os) {
  *os << ViaName(row.via) << " " << row.subcommand.label;
}

std::vector<SubcommandOverLink> EverySubcommandOverEveryLink() {
  std::vector<SubcommandOverLink> cases;
  for (Via via : {Via::Tcp, Via::Pty, Via::Fifo}) {
    for (const Subcommand& subcommand : Subcommands()) {
      // The parallel port is written to only; its reads are a case of their own below.
      if (via != Via::Fifo || !subcommand.reads) {
        cases.push_back({via, subcommand});
      }
    }
  }
  return cases;
}

class CliSubcommandTest : public ::testing::TestWithParam<SubcommandOverLink> {
 protected:
  // Runs the subcommand and checks what the printer received; the link option goes first or
  // last, as a script may write it.
  CliRun RunAndCheckWire(LinkedPrinter& printer, QStringList extra, bool linkFirst) {
    const Subcommand& row = GetParam().subcommand;
    printer.Sim().ClearLog();
    const std::size_t connections = printer.Sim().AcceptedConnections();
    QStringList args =
        linkFirst ? printer.LinkArgs() + extra + row.args : extra + row.args + printer.LinkArgs();
    const CliRun run = RunCli(args);
    EXPECT_TRUE(run.finished) << run;
    EXPECT_EQ(run.exitCode, 0) << run;
    const Lines expected = WithInterface(row.wire, printer.InterfaceLine());
    EXPECT_TRUE(printer.WaitReceived(expected.size()));
    EXPECT_EQ(printer.Received(), expected);
    if (GetParam().via == Via::Tcp) {
      // One connection, closed again.
      EXPECT_TRUE(printer.Sim().WaitUntil(
          [&] {
            return printer.Sim().AcceptedConnections() == connections + 1 &&
                   printer.Sim().OpenConnections() == 0;
          },
          seconds(5)));
    }
    return run;
  }
};

TEST_P(CliSubcommandTest, SendsItsCommandsAndReports) {
  const Subcommand& row = GetParam().subcommand;
  LinkedPrinter printer(GetParam().via);
  ASSERT_TRUE(printer.Started()) << printer.Error();

  const CliRun human = RunAndCheckWire(printer, {}, true);
  if (row.human != nullptr) {
    EXPECT_EQ(human.Out(), row.human) << human;
  }
  EXPECT_EQ(human.Err(), "") << human;

  const CliRun json = RunAndCheckWire(printer, {QStringLiteral("--json")}, false);
  EXPECT_EQ(json.out.count('\n'), 1) << "one compact line: " << json;
  QJsonObject expected{
      {"command", row.command},
      {"result", "OK"},
      {"code", 0},
      {"link", QJsonObject{{"kind", printer.Kind()}, {"target", printer.Target()}}},
  };
  for (auto it = row.jsonExtra.begin(); it != row.jsonExtra.end(); ++it) {
    expected.insert(it.key(), it.value());
  }
  EXPECT_EQ(json.Json(), expected) << json;
  EXPECT_EQ(json.Err(), "") << json;

  if (row.state) {
    row.state(printer.Sim().State());
  }
}

INSTANTIATE_TEST_SUITE_P(EveryLink, CliSubcommandTest,
                         ::testing::ValuesIn(EverySubcommandOverEveryLink()),
                         [](const ::testing::TestParamInfo<SubcommandOverLink>& info) {
                           return std::string(ViaName(info.param.via)) + "_" +
                                  info.param.subcommand.label;
                         });

class CliEveryLinkTest : public ::testing::TestWithParam<Via> {};

// "Get System Time": the PC's local time, to the second, in the printer's wire order.
TEST_P(CliEveryLinkTest, ClockSetFromPc_SendsThePcsLocalTime) {
  LinkedPrinter printer(GetParam());
  ASSERT_TRUE(printer.Started()) << printer.Error();
  const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
  const CliRun run =
      RunCli(printer.LinkArgs() + QStringList{"--json", "clock", "set", "--from-pc"});
  const QDateTime after = QDateTime::currentDateTime().addSecs(1);
  ASSERT_EQ(run.exitCode, 0) << run;
  ASSERT_TRUE(printer.WaitReceived(1));
  const Lines lines = printer.Received();
  ASSERT_EQ(lines.size(), 1u);

  static const QRegularExpression wire(
      QStringLiteral("^TS(\\d\\d),(\\d\\d),(\\d\\d),(\\d\\d),(\\d\\d),(\\d\\d)\r\n$"));
  const QRegularExpressionMatch match = wire.match(QString::fromStdString(lines[0]));
  ASSERT_TRUE(match.hasMatch()) << lines[0];
  auto field = [&](int i) { return match.captured(i).toInt(); };
  const QDateTime sent(QDate(2000 + field(3), field(1), field(2)),
                       QTime(field(4), field(5), field(6)));
  EXPECT_GE(sent, before.addMSecs(-before.time().msec()));
  EXPECT_LE(sent, after);

  const QJsonObject clock = run.Json().value("clock").toObject();
  EXPECT_EQ(clock, ClockJson(sent.date().year(), sent.date().month(), sent.date().day(),
                             sent.time().hour(), sent.time().minute(), sent.time().second()))
      << run;
}

// The links that carry replies; the parallel port has its own case below.
class CliAnsweringLinkTest : public ::testing::TestWithParam<Via> {};

// "key: value" lines in a fixed order, the values in one column; the name in the terminal's
// encoding, not as the printer's Latin-1 bytes.
TEST_P(CliAnsweringLinkTest, NetGet_PrintsAlignedKeyValueLines) {
  using Pairs = std::vector<std::pair<QString, QString>>;
  printer_sim::SimServerConfig dhcp = LinkedPrinterConfig();
  dhcp.initialState.dhcp = true;
  dhcp.initialState.ip = "0.0.0.0";
  dhcp.initialState.lastUsedIp = "10.20.30.40";
  dhcp.initialState.name = "";
  const std::vector<std::pair<printer_sim::SimServerConfig, Pairs>> rows = {
      {LinkedPrinterConfig(),
       {{"DHCP", "off"},
        {"IP", "192.168.7.50"},
        {"Mask", "255.255.0.0"},
        {"Gateway", "192.168.7.1"},
        {"Address in use", "192.168.7.50"},
        {"Name", QStringLiteral("Caf\u00e9")},
        {"MAC", "00:11:22:33:44:55"}}},
      {dhcp,
       {{"DHCP", "on"},
        {"IP", "0.0.0.0"},
        {"Mask", "255.255.0.0"},
        {"Gateway", "192.168.7.1"},
        {"Address in use", "10.20.30.40"},
        {"Name", ""},
        {"MAC", "00:11:22:33:44:55"}}},
  };
  for (const auto& [config, pairs] : rows) {
    LinkedPrinter printer(GetParam(), config);
    ASSERT_TRUE(printer.Started()) << printer.Error();
    const CliRun run = RunCli(QStringList{"net", "get"} + printer.LinkArgs());
    ASSERT_EQ(run.exitCode, 0) << run;
    const KeyValueLines parsed = ParseKeyValueLines(run.out);
    EXPECT_EQ(parsed.pairs, pairs) << run;
    EXPECT_EQ(parsed.valueColumns.size(), 1u) << "values not aligned: " << run;
  }
}

// Queries that get no answer, or a broken one, end within the link's waits as "Receive Data
// Error", and nothing is sent after the report that failed.
TEST_P(CliAnsweringLinkTest, SilentReport_ExitsThreeWithReceiveDataError) {
  struct Row {
    QStringList args;
    QString command;
    std::string silentOn;
    Lines wire;
  };
  const std::vector<Row> rows = {
      {{"clock", "get"},
       "clock get",
       "DIAGNOSTIC REPORT HOUR",
       Lines(ReadClockLines.begin(), ReadClockLines.begin() + 5)},
      {{"net", "get"},
       "net get",
       "DIAGNOSTIC REPORT LASTUSEDIP",
       Lines(ReadNetworkLines.begin(), ReadNetworkLines.begin() + 5)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.silentOn);
    printer_sim::SimServerConfig config = LinkedPrinterConfig();
    config.faults.silentOn.insert(row.silentOn);
    LinkedPrinter printer(GetParam(), config);
    ASSERT_TRUE(printer.Started()) << printer.Error();

    // Over TCP 1 s for the missing byte, over the pty six pauses of 200 ms.
    const CliRun human = RunCli(printer.LinkArgs() + row.args);
    EXPECT_EQ(human.exitCode, 3) << human;
    EXPECT_EQ(human.Out(), "") << human;
    // The cause names the report and how long it was waited for.
    const std::string cause = "no reply to \"" + row.silentOn + "\" within ";
    EXPECT_TRUE(human.Err().starts_with("q73580-cli: Receive Data Error: " + cause)) << human;
    EXPECT_TRUE(human.Err().ends_with(" ms\n")) << human;
    EXPECT_LT(human.seconds, 4.0) << human;
    EXPECT_EQ(printer.Received(), WithInterface(row.wire, printer.InterfaceLine()));

    const CliRun json = RunCli(QStringList{"--json"} + printer.LinkArgs() + row.args);
    EXPECT_EQ(json.exitCode, 3) << json;
    QJsonObject object = json.Json();
    const QJsonObject jsonCause = object.take("cause").toObject();
    EXPECT_EQ(object, (QJsonObject{{"command", row.command},
                                   {"result", "Receive Data Error"},
                                   {"code", 3},
                                   {"link", QJsonObject{{"kind", printer.Kind()},
                                                        {"target", printer.Target()}}}}))
        << json;
    EXPECT_EQ(jsonCause.value("kind"), "no-reply") << json;
    const std::string detail = jsonCause.value("detail").toString().toStdString();
    EXPECT_TRUE(detail.starts_with(cause)) << json;
    EXPECT_EQ(json.Err(), "q73580-cli: Receive Data Error: " + detail + "\n") << json;
  }
}

// A reply whose length field disagrees with its data, or that is cut off, is no reading.
TEST_P(CliAnsweringLinkTest, MalformedReply_ExitsThreeWithReceiveDataError) {
  for (int fault = 0; fault < 2; ++fault) {
    printer_sim::SimServerConfig config = LinkedPrinterConfig();
    if (fault == 0) {
      config.faults.badLength.value = true;
    } else {
      config.faults.closeMidFrame.value = true;
    }
    config.faults.LimitTo("DIAGNOSTIC REPORT MINUTE");
    LinkedPrinter printer(GetParam(), config);
    ASSERT_TRUE(printer.Started()) << printer.Error();
    const CliRun run = RunCli(printer.LinkArgs() + QStringList{"clock", "get"});
    EXPECT_EQ(run.exitCode, 3) << "fault " << fault << ": " << run;
    EXPECT_EQ(run.Out(), "") << run;
    EXPECT_LT(run.seconds, 4.0) << run;
    EXPECT_TRUE(run.Err().starts_with(
        std::string("q73580-cli: Receive Data Error: the reply to \"DIAGNOSTIC REPORT MINUTE\" ") +
        (fault == 0 ? "announces " : "broke off after ")))
        << run;
  }
}

INSTANTIATE_TEST_SUITE_P(AnsweringLinks, CliAnsweringLinkTest,
                         ::testing::Values(Via::Tcp, Via::Pty), ViaParamName);

INSTANTIATE_TEST_SUITE_P(EveryLink, CliEveryLinkTest,
                         ::testing::Values(Via::Tcp, Via::Pty, Via::Fifo), ViaParamName);

// Set commands are quiet on success; -v and --verbose say what was done.
TEST(CliVerbose, SetCommandsSayWhatTheyDidOnlyWhenAsked) {
  LinkedPrinter printer(Via::Tcp);
  ASSERT_TRUE(printer.Started()) << printer.Error();
  const std::vector<QStringList> commands = {
      {"clock", "set", "2027-03-04T05:06:07"},
      {"net", "set", "--dhcp"},
      {"name", "set", "Lab"},
      {"factory-reset", "--yes"},
  };
  for (const QStringList& command : commands) {
    const CliRun quiet = RunCli(printer.LinkArgs() + command);
    EXPECT_EQ(quiet.exitCode, 0) << quiet;
    EXPECT_EQ(quiet.Out(), "") << quiet;
    for (const char* flag : {"-v", "--verbose"}) {
      const CliRun told = RunCli(QStringList{flag} + printer.LinkArgs() + command);
      EXPECT_EQ(told.exitCode, 0) << told;
      EXPECT_TRUE(told.out.endsWith('\n') && told.out.size() > 1) << told;
      EXPECT_EQ(told.Err(), "") << told;
    }
  }
}

// --debug traces the open, every command line and every reply frame on stderr, with what came
// from the printer escaped: a name that would clear the screen (ESC [ 2J, or the ESC-less CSI
// 0x9B) reaches the terminal as text. Without --debug stderr stays empty (CliSubcommandTest).
TEST(CliDebug, TracesTheLinkAndTheWireWithControlBytesEscaped) {
  printer_sim::SimServerConfig config = LinkedPrinterConfig();
  config.initialState.name = "A\x1b[2J\x9b";
  LinkedPrinter printer(Via::Tcp, config);
  ASSERT_TRUE(printer.Started()) << printer.Error();
  const CliRun run =
      RunCli(QStringList{"--debug"} + printer.LinkArgs() + QStringList{"net", "get"});
  ASSERT_EQ(run.exitCode, 0) << run;
  const QString err = QString::fromLatin1(run.err);
  const QString target = printer.Target();
  for (const QString& line : {
           "q73580.link: net: opening " + target,
           QStringLiteral("q73580.wire: net > DIAGNOSTIC INTERFACE NET\\r\\n"),
           QStringLiteral("q73580.wire: net < {2|OK}"),
           QStringLiteral("q73580.wire: net > DIAGNOSTIC REPORT NETNAME\\r\\n"),
           QStringLiteral("q73580.wire: net < {6|A\\x1B[2J\\x9B}"),
           QStringLiteral("q73580.link: net: closed"),
       }) {
    // Each line begins with the seconds since the start.
    const QRegularExpression pattern(QStringLiteral("(^|\\n) *\\d+\\.\\d{3} ") +
                                     QRegularExpression::escape(line) + QStringLiteral("\\n"));
    EXPECT_TRUE(err.contains(pattern)) << line.toStdString() << "\n" << run;
  }
  EXPECT_FALSE(run.err.contains('\x1b')) << run;
  EXPECT_FALSE(run.err.contains('\x9b')) << run;
  // The plain output shows the name as harmlessly as the trace does.
  EXPECT_TRUE(run.Out().find("Name:           A\\x1B[2J\\x9B\n") != std::string::npos) << run;
}

// Nothing can answer on the parallel port: a read through it is a usage error before anything
// is sent, rather than a wait for a reply that cannot come.
TEST(CliParallelPort, ReadOverParallelPort_IsRefusedBeforeSending) {
  LinkedPrinter printer(Via::Fifo);
  ASSERT_TRUE(printer.Started()) << printer.Error();
  for (const QStringList& args : {QStringList{"clock", "get"}, QStringList{"net", "get"}}) {
    const CliRun run = RunCli(printer.LinkArgs() + args);
    EXPECT_EQ(run.exitCode, 64) << run;
    EXPECT_EQ(run.Out(), "") << run;
    EXPECT_EQ(run.Err(), "q73580-cli: the parallel port is write-only: '" +
                             args.join(' ').toStdString() +
                             "' needs the printer's reply; use --usb, --com or --net\n"
                             "Try 'q73580-cli --help'.\n")
        << run;
  }
  // Give a stray write the time to arrive before looking.
  QThread::msleep(50);
  EXPECT_TRUE(printer.Received().empty());
}

// A parallel printer that stopped taking data fails the write once its bound (10 ms a byte and
// 5 s) has passed, instead of holding the program for ever.
TEST(CliParallelPort, APrinterThatStopsTakingData_ExitsTwoWhenTheWriteTimesOut) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const StuckFifo printer(dir.filePath(QStringLiteral("lpt")).toStdString());
  ASSERT_TRUE(printer.Ready());
  const CliRun run = RunCli({"--lpt", Arg(printer.Path()), "name", "set", "X"});
  EXPECT_TRUE(run.finished) << run;
  EXPECT_EQ(run.exitCode, 2) << run;
  const std::string line = expected::SetName("X");
  EXPECT_EQ(run.Err(), "q73580-cli: Transmit Data Error: 0 of " + std::to_string(line.size()) +
                           " bytes of \"" + line.substr(0, line.size() - 2) +
                           "\" written, then the printer took no more\n")
      << run;
  EXPECT_LT(run.seconds, 15.0) << run;
}

// Device paths as long as the system takes them: stable serial names run to 90 characters, and
// these go past what the records once held (23 and 255).
TEST(CliLongDevicePath, ComAndLptReachThePrinterThroughPathsBeyondTheOldLimits) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString deep = dir.filePath(QString(200, QLatin1Char('d')));
  ASSERT_TRUE(QDir().mkpath(deep));
  auto longLink = [&](const QString& name, const QString& target) {
    const QString link = deep + QStringLiteral("/usb-Maker_Printer_0123456789-if00-") + name;
    EXPECT_TRUE(QFile::link(target, link));
    EXPECT_GT(link.size(), 256);
    return link;
  };

  LinkedPrinter com(Via::Pty);
  ASSERT_TRUE(com.Started()) << com.Error();
  const CliRun clock = RunCli({"--com", longLink("port0", com.Target()), "clock", "get"});
  EXPECT_EQ(clock.exitCode, 0) << clock;
  EXPECT_EQ(clock.Out(), "2026-12-08 10:30:00\n") << clock;

  LinkedPrinter lpt(Via::Fifo);
  ASSERT_TRUE(lpt.Started()) << lpt.Error();
  const CliRun reset = RunCli({"--lpt", longLink("lp0", lpt.Target()), "factory-reset", "--yes"});
  EXPECT_EQ(reset.exitCode, 0) << reset;
  ASSERT_TRUE(lpt.WaitReceived(1));
  EXPECT_EQ(lpt.Received(), Lines{expected::FactoryDefaults()});
}

}  // namespace
