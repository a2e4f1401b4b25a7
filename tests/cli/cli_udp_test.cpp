// discover, remote-set and web of q73580-cli, run as a program. The UDP requests go to the
// virtual printer on 127.0.0.1 only (--to 127.0.0.1 --udp-port <its port>); the browser is a
// recording stand-in first on PATH.

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "support/expected_commands.h"
#include "support/virtual_printer.h"

namespace {

using namespace std::chrono_literals;

std::uint8_t At(const std::string& datagram, std::size_t offset) {
  return static_cast<std::uint8_t>(datagram.at(offset));
}

// Virtual printers answering the setup protocol on 127.0.0.1; the first one's TCP side listens
// on 127.0.0.1 too and a discovery reports that address for it.
class CliUdpTest : public ::testing::Test {
 protected:
  void Start(int printers, printer_sim::FaultSwitches faults = {},
             printer_sim::PrinterState state = {}) {
    printer_sim::SimServerConfig config;
    config.initialState = state;
    config.printerCount = printers;
    config.faults = faults;
    ASSERT_TRUE(sim_.Start({.udp = true}, config)) << sim_.Error();
  }

  QStringList ToSim() const {
    return {"--to", "127.0.0.1", "--udp-port", QString::number(sim_.UdpPort())};
  }

  std::vector<std::string> Datagrams() const { return sim_.Datagrams(); }

  VirtualPrinter sim_;
};

// Each answer came in on loopback, at the address it was sent to.
const QJsonObject OnLoopback{{"name", "lo"}, {"address", "127.0.0.1"}};

const QJsonArray ThreePrinters = {
    QJsonObject{{"name", "Q73580-1"},
                {"mac", "00:11:22:33:44:55"},
                {"ip", "127.0.0.1"},
                {"model", "Q73580"},
                {"status", "Ready"},
                {"interface", OnLoopback}},
    QJsonObject{{"name", "Q73580-2"},
                {"mac", "00:11:22:33:44:56"},
                {"ip", "192.168.0.21"},
                {"model", "Q73580"},
                {"status", "Ready"},
                {"interface", OnLoopback}},
    QJsonObject{{"name", "Q73580-3"},
                {"mac", "00:11:22:33:44:57"},
                {"ip", "192.168.0.22"},
                {"model", "Q73580"},
                {"status", "Ready"},
                {"interface", OnLoopback}},
};

TEST_F(CliUdpTest, Discover_ListsEveryPrinterInArrivalOrder) {
  ASSERT_NO_FATAL_FAILURE(Start(3));
  const CliRun run = RunCli(QStringList{"discover", "--json"} + ToSim());
  ASSERT_EQ(run.exitCode, 0) << run;
  EXPECT_EQ(run.out.count('\n'), 1) << run;
  EXPECT_EQ(
      run.Json(),
      (QJsonObject{
          {"command", "discover"}, {"result", "OK"}, {"code", 0}, {"printers", ThreePrinters}}))
      << run;
  // It ends one quiet second after the last answer.
  EXPECT_GE(run.seconds, 0.9) << run;
  EXPECT_LT(run.seconds, 4.0) << run;

  // One request, byte for byte the window's, with a sequence number of its own.
  const std::vector<std::string> datagrams = Datagrams();
  ASSERT_EQ(datagrams.size(), 1u);
  std::string expected(
      "\x00\x20\x00\x01\x00\x01\x08\x00\x00\x02\x00\x00\x00\x00\x00\x00"
      "\x01\x00\x00\x00\x00\x00\xFF\xFF\xFF\xFF\xFF\xFF\x00\x00\x00\x00",
      32);
  ASSERT_EQ(datagrams[0].size(), 32u);
  expected.replace(12, 2, datagrams[0].substr(12, 2));
  EXPECT_EQ(datagrams[0], expected);
}

// A header row, then one row per printer whose values stand under their captions.
TEST_F(CliUdpTest, Discover_PrintsATableWithAHeader) {
  ASSERT_NO_FATAL_FAILURE(Start(3));
  const CliRun run = RunCli(ToSim() + QStringList{"discover"});
  ASSERT_EQ(run.exitCode, 0) << run;
  EXPECT_EQ(run.Err(), "") << run;
  const QStringList lines = QString::fromUtf8(run.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 4) << run;
  const QString& header = lines[0];
  const QStringList captions = {"Name", "MAC", "IP address", "Model", "Status"};
  const QStringList keys = {"name", "mac", "ip", "model", "status"};
  std::vector<qsizetype> columns;
  for (const QString& caption : captions) {
    columns.push_back(header.indexOf(caption));
    ASSERT_GE(columns.back(), 0) << header.toStdString();
  }
  EXPECT_EQ(columns.front(), 0);
  EXPECT_TRUE(std::is_sorted(columns.begin(), columns.end()));
  for (int row = 0; row < 3; ++row) {
    const QJsonObject printer = ThreePrinters[row].toObject();
    for (int column = 0; column < captions.size(); ++column) {
      const QString value = printer.value(keys[column]).toString();
      EXPECT_EQ(lines[row + 1].mid(columns[static_cast<std::size_t>(column)], value.size()), value)
          << lines[row + 1].toStdString();
    }
  }
}

// Nobody answering is no failure: the list is empty. The quiet wait follows --timeout. Where it
// looked, and the firewall as the likely cause, go to standard error and into the JSON.
TEST_F(CliUdpTest, Discover_NoAnswer_IsAnEmptyListAfterTheQuietWait) {
  printer_sim::FaultSwitches silent;
  silent.udpSilent = true;
  ASSERT_NO_FATAL_FAILURE(Start(1, silent));
  const CliRun run = RunCli(QStringList{"--json", "discover", "--timeout", "2"} + ToSim());
  EXPECT_EQ(run.exitCode, 0) << run;
  const QString hint =
      "No printer answered at 127.0.0.1. A firewall that drops incoming UDP hides printers: "
      "allow UDP port 22369 (see \"Firewalls\").";
  EXPECT_EQ(run.Json(), (QJsonObject{{"command", "discover"},
                                     {"result", "OK"},
                                     {"code", 0},
                                     {"printers", QJsonArray()},
                                     {"hint", hint}}))
      << run;
  EXPECT_EQ(run.Err(), "q73580-cli: " + hint.toStdString() + "\n") << run;
  EXPECT_GE(run.seconds, 1.9) << run;
  EXPECT_LT(run.seconds, 5.0) << run;
  EXPECT_EQ(Datagrams().size(), 1u);
}

// The script the command line is for: every printer discovery finds gets the clock set over
// TCP at the address the discovery gave.
TEST_F(CliUdpTest, Discover_ThenClockSetAtTheAddressItGave) {
  ASSERT_NO_FATAL_FAILURE(Start(1));
  const CliRun found = RunCli(QStringList{"discover", "--json"} + ToSim());
  ASSERT_EQ(found.exitCode, 0) << found;
  const QJsonArray printers = found.Json().value("printers").toArray();
  ASSERT_EQ(printers.size(), 1) << found;
  const QString host = printers[0].toObject().value("ip").toString();
  const CliRun set = RunCli({"--net", host + QStringLiteral(":%1").arg(sim_->TcpPort()), "clock",
                             "set", "2030-01-02T03:04:05"});
  ASSERT_EQ(set.exitCode, 0) << set;
  ASSERT_TRUE(sim_->WaitUntil([&] { return sim_->ReceivedCommands().size() >= 2; },
                              std::chrono::seconds(5)));
  EXPECT_EQ(sim_.Received().back(), expected::SetClock("01,02,30,03,04,05"));
}

struct RemoteSetCase {
  std::string label;
  QStringList args;     // after "remote-set MAC"
  QJsonObject network;  // what the JSON says was written (these keys at least)
  std::string blockZeroName;
  std::array<std::uint8_t, 12> addresses;  // block 4: address, mask, gateway
  std::uint8_t mode, source;               // block 5: the address mode bytes
};

// A printer with a static address, so that every change is one.
printer_sim::PrinterState StaticPrinter() {
  printer_sim::PrinterState state;
  state.dhcp = false;
  state.ip = "192.168.7.50";
  state.lastUsedIp = "192.168.7.50";
  state.mask = "255.255.0.0";
  state.gateway = "192.168.7.1";
  state.name = "Lab-1";
  return state;
}

void PrintTo(const RemoteSetCase& row, std::ostream* os) {
  *os << row.label;
}

class CliRemoteSetTest : public CliUdpTest, public ::testing::WithParamInterface<RemoteSetCase> {};

// Two block reads and four block writes on one socket with one sequence number, as the window
// sends them, then the two reads that confirm the change; what --dhcp, --static and --name do
// not change stays as the printer had it.
TEST_P(CliRemoteSetTest, WritesTheSixDatagramSequence) {
  const RemoteSetCase& row = GetParam();
  ASSERT_NO_FATAL_FAILURE(Start(1, {}, StaticPrinter()));
  const CliRun run = RunCli(QStringList{"remote-set", "00:11:22:33:44:55"} + row.args +
                            QStringList{"--yes", "--json"} + ToSim());
  ASSERT_EQ(run.exitCode, 0) << run;
  const QJsonObject json = run.Json();
  EXPECT_EQ(json.value("command").toString(), "remote-set") << run;
  EXPECT_EQ(json.value("result").toString(), "OK") << run;
  EXPECT_EQ(json.value("code").toInt(-1), 0) << run;
  EXPECT_EQ(json.value("mac").toString(), "00:11:22:33:44:55") << run;
  const QJsonObject network = json.value("network").toObject();
  for (auto it = row.network.begin(); it != row.network.end(); ++it) {
    EXPECT_EQ(network.value(it.key()), it.value()) << it.key().toStdString() << ": " << run;
  }

  // Without --name the printer's name comes from a discovery first, as the window's list
  // gives it; with it a discovery after the change shows the new name. The address blocks do
  // not carry it.
  const bool named = row.args.contains(QStringLiteral("--name"));
  ASSERT_TRUE(sim_->WaitUntil([&] { return Datagrams().size() >= 9; }, 5s));
  std::vector<std::string> d = Datagrams();
  ASSERT_EQ(d.size(), 9u);
  const std::size_t first = named ? 8 : 0;  // the discovery
  EXPECT_EQ(d[first].size(), 32u);
  EXPECT_EQ(At(d[first], 9), 2);
  EXPECT_NE(d[first].substr(12, 2), d[named ? 0 : 1].substr(12, 2)) << "one sequence number reused";
  d.erase(d.begin() + static_cast<std::ptrdiff_t>(first));
  const std::vector<std::size_t> sizes = {34, 34, 1064, 1064, 1064, 1064, 34, 34};
  const std::vector<int> commands = {3, 3, 4, 4, 4, 4, 3, 3};
  const std::vector<int> blocks = {4, 5, 0, 4, 5, 7, 4, 5};
  for (std::size_t i = 0; i < d.size(); ++i) {
    ASSERT_EQ(d[i].size(), sizes[i]) << i;
    EXPECT_EQ(At(d[i], 7), 0x02) << i;
    EXPECT_EQ(At(d[i], 9), commands[i]) << i;
    if (i < 6) {
      EXPECT_EQ(d[i].substr(12, 2), d[0].substr(12, 2)) << i;  // one sequence number
    }
    EXPECT_EQ(d[i].substr(22, 6), std::string("\x00\x11\x22\x33\x44\x55", 6)) << i;
    EXPECT_EQ(At(d[i], sizes[i] == 34 ? 32 : 34), blocks[i]) << i;
  }
  EXPECT_EQ(d[2].substr(176, row.blockZeroName.size() + 1),
            row.blockZeroName + std::string(1, '\0'));
  EXPECT_EQ(d[3].substr(69, 12), std::string(row.addresses.begin(), row.addresses.end()));
  EXPECT_EQ(At(d[4], 942), row.mode);
  EXPECT_EQ(At(d[4], 948), row.source);

  const printer_sim::PrinterState state = sim_->State();
  EXPECT_EQ(QString::fromLatin1(state.name.c_str()), row.network.value("name").toString());
  EXPECT_EQ(state.dhcp, row.network.value("dhcp").toBool());
  if (!state.dhcp) {
    EXPECT_EQ(QString::fromStdString(state.ip), row.network.value("ip").toString());
    EXPECT_EQ(QString::fromStdString(state.gateway), row.network.value("gateway").toString());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, CliRemoteSetTest,
    ::testing::Values(
        RemoteSetCase{
            "StaticWithName",
            {"--static", "192.168.1.50", "255.255.255.0", "192.168.1.1", "--name", "Desk-9"},
            QJsonObject{{"dhcp", false},
                        {"ip", "192.168.1.50"},
                        {"mask", "255.255.255.0"},
                        {"gateway", "192.168.1.1"},
                        {"name", "Desk-9"}},
            "Desk-9",
            {0xC0, 0xA8, 0x01, 0x32, 0xFF, 0xFF, 0xFF, 0x00, 0xC0, 0xA8, 0x01, 0x01},
            1,
            1},
        // As in the Ethernet Setup dialog: DHCP leaves the addresses that were read in place.
        RemoteSetCase{"DhcpKeepsNameAndAddresses",
                      {"--dhcp"},
                      QJsonObject{{"dhcp", true},
                                  {"ip", "192.168.7.50"},
                                  {"mask", "255.255.0.0"},
                                  {"gateway", "192.168.7.1"},
                                  {"name", "Lab-1"}},
                      "Lab-1",
                      {0xC0, 0xA8, 0x07, 0x32, 0xFF, 0xFF, 0x00, 0x00, 0xC0, 0xA8, 0x07, 0x01},
                      8,
                      4},
        // Latin-1 on the wire, Unicode in the JSON.
        RemoteSetCase{"Latin1NameBeforeTheMode",
                      {"--name", QStringLiteral("Caf\u00e9"), "--static", "10.0.0.9", "255.0.0.0",
                       "10.0.0.1"},
                      QJsonObject{{"dhcp", false},
                                  {"ip", "10.0.0.9"},
                                  {"mask", "255.0.0.0"},
                                  {"gateway", "10.0.0.1"},
                                  {"name", QStringLiteral("Caf\u00e9")}},
                      "Caf\xE9",
                      {10, 0, 0, 9, 255, 0, 0, 0, 10, 0, 0, 1},
                      1,
                      1}),
    [](const ::testing::TestParamInfo<RemoteSetCase>& info) { return info.param.label; });

// A MAC that no printer has: no discovery answer names it, or, with --name, no answer comes to
// the block reads (two waits of 3 s). Either way "Receive Data Error" that names the MAC, and
// nothing is written.
TEST_F(CliUdpTest, RemoteSet_NoPrinterWithThatMac_ExitsThreeWithoutWriting) {
  ASSERT_NO_FATAL_FAILURE(Start(1, {}, StaticPrinter()));
  for (const QStringList& extra : {QStringList{}, QStringList{"--name", "Desk-9"}}) {
    sim_->ClearLog();
    const CliRun run =
        RunCli(QStringList{"--json", "remote-set", "00:11:22:33:44:99", "--dhcp", "--yes"} + extra +
               ToSim());
    EXPECT_EQ(run.exitCode, 3) << run;
    const std::string message =
        "Receive Data Error: no printer with MAC 00:11:22:33:44:99 "
        "answered " +
        std::string(extra.isEmpty() ? "the discovery"
                                    : "the read of its "
                                      "settings");
    EXPECT_EQ(run.Err(), "q73580-cli: " + message + "\n") << run;
    const QJsonObject json = run.Json();
    EXPECT_EQ(json.value("command").toString(), "remote-set") << run;
    EXPECT_EQ(json.value("result").toString().toStdString(), message) << run;
    EXPECT_EQ(json.value("code").toInt(), 3) << run;
    EXPECT_LT(run.seconds, 9.0) << run;
    EXPECT_FALSE(Datagrams().empty());
    for (const std::string& datagram : Datagrams()) {
      EXPECT_NE(datagram.size(), 1064u) << "a block write went out";
    }
    EXPECT_EQ(sim_->State(), StaticPrinter());
  }
}

// A recording stand-in for the desktop's URL opener, first on PATH.
class CliWebTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    record_ = dir_.filePath(QStringLiteral("opened"));
    QFile script(dir_.filePath(QStringLiteral("xdg-open")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '%1.tmp' && "
                                "mv '%1.tmp' '%1'\n")
                     .arg(record_)
                     .toLocal8Bit());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }

  CliRunOptions WithOpener(bool present) const {
    CliRunOptions options;
    // The stand-in needs mv from the system; without it PATH holds an empty folder only.
    const QString empty = dir_.filePath(QStringLiteral("empty"));
    QDir().mkpath(empty);
    options.environment.insert("PATH",
                               present ? dir_.path() + QStringLiteral(":/usr/bin:/bin") : empty);
    return options;
  }

  // What the opener was given, once it has run; empty if it never ran.
  QByteArray Opened() const {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!QFile::exists(record_) && std::chrono::steady_clock::now() < deadline) {
      QThread::msleep(20);
    }
    QFile file(record_);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  QTemporaryDir dir_;
  QString record_;
};

TEST_F(CliWebTest, HandsTheUrlToTheDesktopsOpener) {
  const CliRun run = RunCli({"web", "192.168.0.20"}, WithOpener(true));
  EXPECT_EQ(run.exitCode, 0) << run;
  EXPECT_EQ(run.Out(), "http://192.168.0.20\n") << run;
  EXPECT_EQ(Opened(), "1\nhttp://192.168.0.20\n");
}

TEST_F(CliWebTest, Json_CarriesTheUrl) {
  const CliRun run = RunCli({"--json", "web", "printer-7.example"}, WithOpener(true));
  EXPECT_EQ(run.exitCode, 0) << run;
  EXPECT_EQ(
      run.Json(),
      (QJsonObject{
          {"command", "web"}, {"result", "OK"}, {"code", 0}, {"url", "http://printer-7.example"}}))
      << run;
  EXPECT_EQ(Opened(), "1\nhttp://printer-7.example\n");
}

// Without an opener the URL is still printed, for the technician to open by hand.
TEST_F(CliWebTest, NoOpener_PrintsTheUrlAndExitsOne) {
  const CliRun run = RunCli({"web", "192.168.0.20"}, WithOpener(false));
  EXPECT_EQ(run.exitCode, 1) << run;
  EXPECT_TRUE(run.out.contains("http://192.168.0.20")) << run;
  EXPECT_TRUE(run.err.startsWith("q73580-cli: ")) << run;
}

}  // namespace
