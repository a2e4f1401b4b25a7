// export and apply of q73580-cli, run as a program against a fleet of virtual printers. The UDP
// requests go to 127.0.0.1 only (--to 127.0.0.1 --udp-port <its port>).

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "support/virtual_printer.h"

namespace {

using namespace std::chrono_literals;

// The row export writes for a printer as the virtual printer holds it.
std::string ExportedRow(const printer_sim::PrinterState& printer) {
  const bool quoted = printer.name.find(',') != std::string::npos;
  const std::string name = quoted ? "\"" + printer.name + "\"" : printer.name;
  return printer.mac + "," + name + "," + (printer.dhcp ? "dhcp," : "static,") +
         (printer.dhcp ? printer.lastUsedIp : printer.ip) + "," + printer.mask + "," +
         printer.gateway;
}

std::size_t BlockWrites(const std::vector<std::string>& datagrams) {
  return static_cast<std::size_t>(std::count_if(
      datagrams.begin(), datagrams.end(), [](const std::string& d) { return d.size() == 1064; }));
}

class CliFleetTest : public ::testing::Test {
 protected:
  void Start(int printers, printer_sim::FaultSwitches faults = {}) {
    printer_sim::SimServerConfig config;
    config.printerCount = printers;
    config.faults = faults;
    ASSERT_TRUE(sim_.Start({.tcp = false, .udp = true}, config)) << sim_.Error();
  }

  QStringList ToSim() const {
    return {"--to", "127.0.0.1", "--udp-port", QString::number(sim_.UdpPort()), "--timeout", "0.3"};
  }

  // The CSV export should print for the printers as they are now, in MAC order.
  std::string ExpectedExport() const {
    std::vector<printer_sim::PrinterState> printers = sim_->Printers();
    std::sort(printers.begin(), printers.end(),
              [](const auto& a, const auto& b) { return a.mac < b.mac; });
    std::string csv = "mac,name,mode,ip,mask,gateway\n";
    for (const printer_sim::PrinterState& printer : printers) {
      csv += ExportedRow(printer) + "\n";
    }
    return csv;
  }

  QString WriteFile(const std::string& name, const std::string& content) {
    const QString path = dir_.filePath(QString::fromStdString(name));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content.data(), static_cast<qint64>(content.size()));
    return path;
  }

  CliRun Apply(const QString& file, const QStringList& extra) {
    sim_->ClearLog();
    return RunCli(QStringList{"apply", file} + extra + ToSim());
  }

  // The result of each printer in apply's JSON, by MAC.
  static std::map<QString, QString> Results(const CliRun& run) {
    std::map<QString, QString> results;
    for (const QJsonValue& printer : run.Json().value("printers").toArray()) {
      results[printer.toObject().value("mac").toString()] =
          printer.toObject().value("result").toString();
    }
    return results;
  }

  QTemporaryDir dir_;
  VirtualPrinter sim_;
};

class CliExportTest : public CliFleetTest, public ::testing::WithParamInterface<int> {};

// Every printer once, in MAC order, with its name, mode and addresses; the JSON says the same.
TEST_P(CliExportTest, ListsEveryPrinterByMac) {
  ASSERT_NO_FATAL_FAILURE(Start(GetParam()));
  const CliRun csv = RunCli(QStringList{"export"} + ToSim());
  ASSERT_EQ(csv.exitCode, 0) << csv;
  EXPECT_EQ(csv.Out(), ExpectedExport());
  EXPECT_EQ(csv.Err(), "");

  const CliRun json = RunCli(QStringList{"export", "--json"} + ToSim());
  ASSERT_EQ(json.exitCode, 0) << json;
  const QJsonArray rows = QJsonDocument::fromJson(json.out).array();
  ASSERT_EQ(rows.size(), GetParam()) << json;
  const QStringList lines = QString::fromStdString(csv.Out()).split('\n', Qt::SkipEmptyParts);
  for (qsizetype i = 0; i < rows.size(); ++i) {
    const QJsonObject row = rows[i].toObject();
    QStringList fields;
    for (const char* key : {"mac", "name", "mode", "ip", "mask", "gateway"}) {
      fields << row.value(QLatin1String(key)).toString();
    }
    EXPECT_EQ(fields.join(','), lines[i + 1]);
  }
}

INSTANTIATE_TEST_SUITE_P(Fleets, CliExportTest, ::testing::Values(1, 5, 50));

// The whole round: export, edit, look at the dry run, apply, export again; a second apply of the
// same file then finds nothing to do and writes nothing.
TEST_F(CliFleetTest, EditedExportAppliedThenAppliedAgainWritesNothing) {
  ASSERT_NO_FATAL_FAILURE(Start(5));
  const CliRun exported = RunCli(QStringList{"export"} + ToSim());
  ASSERT_EQ(exported.exitCode, 0) << exported;
  std::string edited = exported.Out();
  const auto replace = [&edited](const std::string& from, const std::string& to) {
    const std::size_t at = edited.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    edited.replace(at, from.size(), to);
  };
  replace("Q73580-2,dhcp,192.168.0.21,255.255.255.0,0.0.0.0",
          "\"Front desk, 2\",static,10.0.0.21,255.0.0.0,10.0.0.1");
  replace("Q73580-4,", "Stores,");
  const QString file = WriteFile("site.csv", edited);

  const CliRun dry = Apply(file, {"--dry-run"});
  ASSERT_EQ(dry.exitCode, 0) << dry;
  EXPECT_NE(dry.Out().find("name 'Q73580-2' → 'Front desk, 2', mode dhcp → static, ip "
                           "192.168.0.21 → 10.0.0.21, mask 255.255.255.0 → 255.0.0.0, gateway "
                           "0.0.0.0 → 10.0.0.1"),
            std::string::npos)
      << dry;
  EXPECT_EQ(BlockWrites(sim_.Datagrams()), 0u) << "a dry run wrote";

  const CliRun applied = Apply(file, {"--yes", "--json"});
  ASSERT_EQ(applied.exitCode, 0) << applied;
  const std::map<QString, QString> results = Results(applied);
  ASSERT_EQ(results.size(), 5u) << applied;
  EXPECT_EQ(std::count_if(results.begin(), results.end(),
                          [](const auto& r) { return r.second == "changed"; }),
            2)
      << applied;
  EXPECT_EQ(BlockWrites(sim_.Datagrams()), 8u) << "four writes for each changed printer";
  const CliRun after = RunCli(QStringList{"export"} + ToSim());
  EXPECT_EQ(after.Out(), edited);
  EXPECT_EQ(after.Out(), ExpectedExport());

  const CliRun again = Apply(file, {"--yes", "--json"});
  ASSERT_EQ(again.exitCode, 0) << again;
  for (const auto& [mac, result] : Results(again)) {
    EXPECT_EQ(result, "unchanged") << mac.toStdString();
  }
  EXPECT_EQ(BlockWrites(sim_.Datagrams()), 0u) << "an unchanged printer was written";
}

// A printer that acknowledges writes but keeps its settings is "failed", whether its address
// blocks read back show it (the third) or only a discovery can (the fourth, given a new name
// alone); a row whose printer does not answer is "not found", and the exit status says that not
// every row took.
TEST_F(CliFleetTest, IgnoredWritesFailAndAbsentPrintersAreNotFound) {
  printer_sim::FaultSwitches faults;
  faults.blockWrites = printer_sim::FaultSwitches::BlockWrites::Unapplied;
  faults.blockWritesOn = {2, 3};
  ASSERT_NO_FATAL_FAILURE(Start(4, faults));
  const QString file = WriteFile("site.csv",
                                 "mac,name,mode,ip,mask,gateway\n"
                                 "00:11:22:33:44:56,Two,static,10.0.0.2,255.0.0.0,10.0.0.1\n"
                                 "00:11:22:33:44:57,Q73580-3,static,10.0.0.3,255.0.0.0,10.0.0.1\n"
                                 "00:11:22:33:44:58,Four,dhcp,,,\n"
                                 "00:11:22:33:44:99,Gone,dhcp,,,\n");
  const CliRun run = Apply(file, {"--yes", "--json"});
  EXPECT_EQ(run.exitCode, 75) << run;
  EXPECT_EQ(Results(run), (std::map<QString, QString>{{"00:11:22:33:44:56", "changed"},
                                                      {"00:11:22:33:44:57", "failed"},
                                                      {"00:11:22:33:44:58", "failed"},
                                                      {"00:11:22:33:44:99", "not found"}}))
      << run;
  EXPECT_NE(run.Err().find("3 of 4 printers did not end as the file says"), std::string::npos)
      << run;
}

// A printer that answers the discovery but not the block reads is left out of the export and
// named on standard error; the exit status says that the list is not whole.
TEST_F(CliFleetTest, ExportLeavesOutAPrinterWhoseBlocksDoNotAnswer) {
  printer_sim::FaultSwitches faults;
  faults.blockReadsUnansweredOn = {1};
  ASSERT_NO_FATAL_FAILURE(Start(3, faults));
  const CliRun run = RunCli(QStringList{"export"} + ToSim());
  EXPECT_EQ(run.exitCode, 75) << run;
  std::string expected = ExpectedExport();
  const std::size_t row = expected.find("00:11:22:33:44:56");
  expected.erase(row, expected.find('\n', row) + 1 - row);
  EXPECT_EQ(run.Out(), expected);
  EXPECT_NE(run.Err().find("00:11:22:33:44:56 (Q73580-2): no reply when blocks 4 and 5 were read"),
            std::string::npos)
      << run;
}

// A file through a pipe arrives in pieces; all of them count, up to the last row.
TEST_F(CliFleetTest, FileFromAPipeIsReadWhole) {
  ASSERT_NO_FATAL_FAILURE(Start(1));
  CliRunOptions piped;
  piped.stdinData = "mac,name,mode,ip,mask,gateway\n" + QByteArray(600 * 1024, ' ') +
                    "\n00:11:22:33:44:99,Gone,dhcp,,,\n";
  const CliRun run = RunCli(QStringList{"apply", "-", "--yes", "--json"} + ToSim(), piped);
  EXPECT_EQ(run.exitCode, 75) << run;
  EXPECT_EQ(Results(run), (std::map<QString, QString>{{"00:11:22:33:44:99", "not found"}})) << run;
}

// A spreadsheet's file in the Windows code page is read, and said so on standard error only.
TEST_F(CliFleetTest, Windows1252FileIsReadAndNoticed) {
  ASSERT_NO_FATAL_FAILURE(Start(1));
  const QString file = WriteFile("site.csv",
                                 "mac;name;mode;ip;mask;gateway;\r\n"
                                 "00:11:22:33:44:55;Caf\xE9;dhcp;;;;\r\n");
  const CliRun run = Apply(file, {"--dry-run", "--json"});
  ASSERT_EQ(run.exitCode, 0) << run;
  EXPECT_EQ(run.Err(),
            "q73580-cli: " + file.toStdString() + " is not UTF-8; read as Windows-1252\n");
  const QJsonArray printers = run.Json().value("printers").toArray();
  ASSERT_EQ(printers.size(), 1) << run;
  EXPECT_EQ(printers[0].toObject().value("changes").toArray().first().toString(),
            QString::fromUtf8("name 'Q73580' → 'Café'"))
      << run;
}

// clock set --all reaches each printer at the address its discovery reply carries and sets that
// printer's own clock; a printer that keeps silent and one whose reply carries no address (DHCP
// without a lease) are lines of their own, and the exit status says that not all were set.
TEST_F(CliFleetTest, ClockSetAllSetsEachPrinterAndNamesThoseItCouldNot) {
  printer_sim::SimServerConfig config;
  config.printerCount = 4;
  config.faults.silentOn = {"DIAGNOSTIC REPORT HOUR"};
  config.faults.commandFaultsOn = {2};
  ASSERT_TRUE(sim_.Start({.tcp = false, .udp = true, .fleetTcp = true}, config)) << sim_.Error();
  printer_sim::PrinterState first = sim_->State();
  first.clockOffset = -std::chrono::days(366);
  first.lastUsedIp = "0.0.0.0";
  sim_->SetState(first);
  const QString fleet = Arg(FleetTcpFirst()).chopped(1);  // "127.X.Y."

  const CliRun set = RunCli(QStringList{"clock", "set", "--all", "--from-pc", "--json"} + ToSim());
  EXPECT_EQ(set.exitCode, 75) << set;
  std::map<QString, QJsonObject> printers;
  for (const QJsonValue& printer : set.Json().value("printers").toArray()) {
    printers[printer.toObject().value("mac").toString()] = printer.toObject();
  }
  ASSERT_EQ(printers.size(), 4u) << set;
  EXPECT_EQ(printers["00:11:22:33:44:55"].value("result"), "failed") << set;
  EXPECT_TRUE(printers["00:11:22:33:44:55"].value("reason").toString().contains("no address"))
      << set;
  EXPECT_EQ(printers["00:11:22:33:44:57"].value("result"), "failed") << set;
  const QDateTime now = QDateTime::currentDateTime();
  for (const char* mac : {"00:11:22:33:44:56", "00:11:22:33:44:58"}) {
    const QJsonObject& printer = printers[mac];
    EXPECT_EQ(printer.value("result"), "set") << mac << ": " << set;
    EXPECT_TRUE(printer.value("ip").toString().startsWith(fleet)) << set;
    const auto at = [&](const char* key) {
      return QDateTime::fromString(printer.value(key)["text"].toString(), Qt::ISODate);
    };
    EXPECT_NEAR(at("before").daysTo(now), 366, 1) << set;
    EXPECT_LT(std::abs(at("after").secsTo(now)), 60) << set;
  }
  // Each printer's own clock: the silent one and the first keep theirs.
  const std::vector<printer_sim::PrinterState> after = sim_->Printers();
  EXPECT_EQ(after[0].clockOffset, first.clockOffset);
  EXPECT_LT(std::chrono::abs(after[1].clockOffset), std::chrono::minutes(1));
  EXPECT_EQ(after[2].clockOffset, first.clockOffset);
  EXPECT_LT(std::chrono::abs(after[3].clockOffset), std::chrono::minutes(1));

  const CliRun get = RunCli(QStringList{"clock", "get", "--all"} + ToSim());
  EXPECT_EQ(get.exitCode, 75) << get;
  EXPECT_NE(
      get.Out().find(
          ("00:11:22:33:44:57  Q73580-3  " + fleet + "3  failed  Receive Data").toStdString()),
      std::string::npos)
      << get;
  EXPECT_NE(get.Out().find("Clock read from 2 of 4 printers.\n"), std::string::npos) << get;
  EXPECT_NE(get.Err().find("2 of 4 printers' clocks could not be read"), std::string::npos) << get;
}

// One bad row stops the whole file before anything goes out, and says where; so does a missing
// --yes without a terminal.
TEST_F(CliFleetTest, BadRowOrMissingYesSendsNothing) {
  ASSERT_NO_FATAL_FAILURE(Start(3));
  const std::string good =
      "mac,name,mode,ip,mask,gateway\n"
      "00:11:22:33:44:56,Two,static,10.0.0.2,255.0.0.0,10.0.0.1\n";
  const CliRun bad =
      Apply(WriteFile("bad.csv", good + "00:11:22:33:44:57,Sixteen-letters!,dhcp,,,\n"), {"--yes"});
  EXPECT_EQ(bad.exitCode, 65) << bad;
  EXPECT_NE(bad.Err().find("line 3"), std::string::npos) << bad;
  EXPECT_NE(bad.Err().find("name"), std::string::npos) << bad;
  EXPECT_TRUE(sim_.Datagrams().empty());

  const CliRun unasked = Apply(WriteFile("good.csv", good), {});
  EXPECT_EQ(unasked.exitCode, 64) << unasked;
  EXPECT_TRUE(sim_.Datagrams().empty());
  EXPECT_EQ(sim_->Printers()[1].name, "Q73580-2");
}

}  // namespace
