// q73580-cli by real broadcast, as a technician runs it: discovery to 255.255.255.255, the clock
// set over TCP at the address found, and the remote change. Runs only inside the private network
// namespace that tests/e2e/netns-run makes, so nothing leaves this machine.

#include <QJsonArray>
#include <QTemporaryDir>
#include <chrono>
#include <string>

#include "cli_runner.h"
#include "support/expected_commands.h"
#include "support/private_namespace.h"
#include "support/virtual_printer.h"

namespace {

using namespace std::chrono_literals;

TEST(CliByBroadcast, DiscoverThenSetTheClockAndTheAddressOfWhatItFound) {
  if (!InsidePrivateNamespace()) {
    GTEST_SKIP() << "sends a broadcast: run only through tests/e2e/netns-run";
  }
  // A printer as on a real network: TCP on its own address, port 9100; UDP on 0.0.0.0:22368.
  printer_sim::SimServerConfig config;
  config.tcpHost = "10.99.0.1";
  config.tcpPort = 9100;
  config.udp = true;
  VirtualPrinter sim;
  ASSERT_TRUE(sim.StartAsConfigured(config)) << sim.Error();

  const CliRun found = RunCli({"discover", "--json"});
  ASSERT_EQ(found.exitCode, 0) << found;
  const QJsonArray printers = found.Json().value("printers").toArray();
  ASSERT_EQ(printers.size(), 1) << found;
  const QJsonObject printer = printers[0].toObject();
  EXPECT_EQ(printer.value("ip").toString(), "10.99.0.1") << found;
  EXPECT_EQ(printer.value("mac").toString(), "00:11:22:33:44:55") << found;

  // The default port is the printer's 9100.
  sim->ClearLog();
  const CliRun set =
      RunCli({"--net", printer.value("ip").toString(), "clock", "set", "2030-01-02T03:04:05"});
  ASSERT_EQ(set.exitCode, 0) << set;
  ASSERT_TRUE(sim.WaitReceived(1));
  EXPECT_EQ(sim.Received().at(0), expected::SetClock("01,02,30,03,04,05"));

  const CliRun changed =
      RunCli({"remote-set", printer.value("mac").toString(), "--static", "10.99.0.1",
              "255.255.255.0", "10.99.0.254", "--name", "Desk-9", "--yes"});
  ASSERT_EQ(changed.exitCode, 0) << changed;
  EXPECT_FALSE(sim->State().dhcp);
  EXPECT_EQ(sim->State().gateway, "10.99.0.254");

  const CliRun again = RunCli({"--json", "discover"});
  ASSERT_EQ(again.exitCode, 0) << again;
  const QJsonArray now = again.Json().value("printers").toArray();
  ASSERT_EQ(now.size(), 1) << again;
  EXPECT_EQ(now[0].toObject().value("name").toString(), "Desk-9") << again;
}

// The clocks of a site by broadcast: each printer found is set over TCP at the address its reply
// carries, here loopback addresses of the namespace's own.
TEST(CliByBroadcast, ClockSetAllSetsEveryPrinterFound) {
  if (!InsidePrivateNamespace()) {
    GTEST_SKIP() << "sends a broadcast: run only through tests/e2e/netns-run";
  }
  printer_sim::SimServerConfig config;
  config.fleetTcpFirst = "127.0.1.1";
  config.udp = true;
  config.printerCount = 3;
  VirtualPrinter sim;
  ASSERT_TRUE(sim.StartAsConfigured(config)) << sim.Error();

  const CliRun set = RunCli({"clock", "set", "--all", "2030-01-02T03:04:05", "--json"});
  ASSERT_EQ(set.exitCode, 0) << set;
  const QJsonArray printers = set.Json().value("printers").toArray();
  ASSERT_EQ(printers.size(), 3) << set;
  for (qsizetype i = 0; i < printers.size(); ++i) {
    const QJsonObject printer = printers[i].toObject();
    EXPECT_EQ(printer.value("ip").toString(), QStringLiteral("127.0.1.%1").arg(i + 1)) << set;
    EXPECT_TRUE(printer.value("after")["text"].toString().startsWith("2030-01-02T03:0")) << set;
  }
  for (const printer_sim::PrinterState& printer : sim->Printers()) {
    EXPECT_GT(printer.clockOffset, std::chrono::days(365)) << printer.mac;
  }
}

// A site of three printers exported and applied back by broadcast, as a technician does it.
TEST(CliByBroadcast, ExportEditApply) {
  if (!InsidePrivateNamespace()) {
    GTEST_SKIP() << "sends a broadcast: run only through tests/e2e/netns-run";
  }
  printer_sim::SimServerConfig config;
  config.tcp = false;
  config.udp = true;
  config.printerCount = 3;
  VirtualPrinter sim;
  ASSERT_TRUE(sim.StartAsConfigured(config)) << sim.Error();

  const CliRun exported = RunCli({"export"});
  ASSERT_EQ(exported.exitCode, 0) << exported;
  QString csv = QString::fromStdString(exported.Out());
  ASSERT_EQ(csv.count('\n'), 4) << exported;
  csv.replace("Q73580-3,dhcp,192.168.0.22,255.255.255.0,0.0.0.0",
              "Back office,static,10.99.0.3,255.255.255.0,10.99.0.254");
  const QTemporaryDir dir;
  const QString file = WriteTextFile(dir, "site.csv", csv);
  ASSERT_FALSE(file.isEmpty());

  const CliRun applied = RunCli({"apply", file, "--yes"});
  ASSERT_EQ(applied.exitCode, 0) << applied;
  EXPECT_NE(applied.Out().find("00:11:22:33:44:57  Back office  changed"), std::string::npos)
      << applied;
  const CliRun again = RunCli({"export"});
  EXPECT_EQ(QString::fromStdString(again.Out()), csv) << again;
}

}  // namespace
