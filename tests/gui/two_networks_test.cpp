// A technician's laptop as it is in the field: the default route over one network (Wi-Fi), a
// cable to the printer on a second one, and a desktop firewall. Real broadcasts, in network
// namespaces of the test's own (tests/support/two_networks.h); skipped where none can be made.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QJsonArray>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QUdpSocket>
#include <algorithm>
#include <array>
#include <memory>

#include "cli/cli_runner.h"
#include "dialogs/net_setup_window.h"
#include "support/two_networks.h"
#include "support/virtual_printer.h"
#include "support/window_harness.h"

namespace {

constexpr std::array<const char*, 2> Macs = {"00:11:22:33:44:01", "00:11:22:33:44:02"};
constexpr std::array<const char*, 2> Names = {"Office", "Cabled"};

// Block writes a printer received: the six requests of a change are 34-byte reads and 1064-byte
// writes.
int BlockWrites(const VirtualPrinter& printer) {
  const std::vector<std::string> datagrams = printer.Datagrams();
  return static_cast<int>(std::ranges::count_if(
      datagrams, [](const std::string& datagram) { return datagram.size() == 1064; }));
}
// Block reads and writes a printer received that were meant for another printer: they went out
// of an interface where that one was not found.
int OthersRequests(const VirtualPrinter& printer, int which) {
  const std::string mac =
      QByteArray::fromHex(QByteArray(Macs[which]).replace(':', "")).toStdString();
  const std::vector<std::string> datagrams = printer.Datagrams();
  return static_cast<int>(std::ranges::count_if(datagrams, [&](const std::string& datagram) {
    return datagram.size() > 32 && datagram.substr(22, 6) != mac;
  }));
}

// The port the shipped firewalld service opens, for UDP; 0 when it names none.
int PortOfTheShippedService() {
  QFile file(QStringLiteral(Q73580_FIREWALLD_SERVICE));
  if (!file.open(QIODevice::ReadOnly)) {
    return 0;
  }
  static const QRegularExpression port(
      QStringLiteral(R"re(<port protocol="udp" port="(\d+)"/>)re"));
  const QRegularExpressionMatch match = port.match(QString::fromUtf8(file.readAll()));
  return match.hasMatch() ? match.captured(1).toInt() : 0;
}

class TwoNetworksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = networks_.Build(); !why.empty()) {
      GTEST_SKIP() << why;
    }
    ASSERT_TRUE(TwoNetworks::OnThePc());
    for (int i = 0; i < 2; ++i) {
      printer_sim::SimServerConfig config;
      config.tcp = false;
      config.udp = true;  // 0.0.0.0:22368, as a printer listens
      config.udpAnswerAny = true;
      config.initialState.mac = Macs[i];
      config.initialState.name = Names[i];
      config.initialState.dhcp = false;
      config.initialState.ip = TwoNetworks::Networks[i].printerAddress;
      config.initialState.lastUsedIp = config.initialState.ip;
      const bool started =
          networks_.InPrinter(i, [&] { return printers_[i].StartAsConfigured(config); });
      ASSERT_TRUE(started) << printers_[i].Error();
    }
  }

  // The desktop firewall's default for incoming traffic: dropped, except loopback and what
  // belongs to a connection this PC started; plus, when given, UDP to `openPort`.
  void Firewall(int openPort = 0) {
    QString text =
        "table inet desktop {\n"
        "  chain input {\n"
        "    type filter hook input priority filter; policy drop;\n"
        "    ct state established,related accept\n"
        "    iif lo accept\n";
    if (openPort != 0) {
      text += QStringLiteral("    udp dport %1 accept\n").arg(openPort);
    }
    text += "  }\n}\n";
    const QTemporaryDir dir;
    const QString rules = WriteTextFile(dir, "rules.nft", text);
    ASSERT_FALSE(rules.isEmpty());
    TwoNetworks::Run({"nft", "flush", "ruleset"});
    ASSERT_EQ(TwoNetworks::Run({"nft", "-f", rules.toStdString()}), 0)
        << "nft could not load the rules (is nftables installed?)";
  }

  QJsonArray Discover(const QStringList& more = {}) {
    EXPECT_TRUE(TwoNetworks::OnThePc());
    const CliRun run = RunCli(QStringList{"discover", "--json"} + more);
    EXPECT_EQ(run.exitCode, 0) << run;
    return run.Json().value("printers").toArray();
  }

  TwoNetworks networks_;
  std::array<VirtualPrinter, 2> printers_;
};

QJsonObject InterfaceOf(int network) {
  return QJsonObject{{"name", TwoNetworks::Networks[network].pcInterface},
                     {"address", TwoNetworks::Networks[network].pcAddress}};
}

// The printer on the cable, whose network has no default route, answers the broadcast too, and
// each row tells where its answer came in; --interface keeps to one of them.
TEST_F(TwoNetworksTest, DiscoveryFindsThePrinterOfEveryNetwork) {
  const QJsonArray found = Discover();
  ASSERT_EQ(found.size(), 2) << QJsonDocument(found).toJson().toStdString();
  for (const QJsonValue& printer : found) {
    const int network = printer["mac"].toString() == Macs[0] ? 0 : 1;
    EXPECT_EQ(printer["ip"].toString(), TwoNetworks::Networks[network].printerAddress);
    EXPECT_EQ(printer["interface"].toObject(), InterfaceOf(network));
  }

  const QJsonArray cabled = Discover({"--interface", TwoNetworks::Networks[1].pcInterface});
  ASSERT_EQ(cabled.size(), 1);
  EXPECT_EQ(cabled[0]["mac"].toString(), Macs[1]);
  EXPECT_EQ(printers_[0].Datagrams().size(), 1u) << "the second discovery reached printer 1";

  const CliRun unknown = RunCli({"discover", "--interface", "wlan9"});
  EXPECT_EQ(unknown.exitCode, 64) << unknown;
  EXPECT_NE(unknown.Err().find("there are q73n1, q73n2"), std::string::npos) << unknown;
}

// The remote change goes out of the interface its printer was found on, and nowhere else.
TEST_F(TwoNetworksTest, RemoteSetWritesToThePrinterOnTheCable) {
  const CliRun run = RunCli({"remote-set", Macs[1], "--static", "10.77.2.50", "255.255.255.0",
                             "10.77.2.254", "--name", "Bench", "--yes"});
  ASSERT_EQ(run.exitCode, 0) << run;
  EXPECT_EQ(BlockWrites(printers_[1]), 4);
  EXPECT_EQ(printers_[1]->State().ip, "10.77.2.50");
  EXPECT_EQ(printers_[1]->State().name, "Bench");
  EXPECT_EQ(OthersRequests(printers_[0], 0), 0) << "the change went out over the first network";
}

// A site file edited and applied: a printer on each network changes.
TEST_F(TwoNetworksTest, ApplyChangesAPrinterOnEachNetwork) {
  const CliRun exported = RunCli({"export"});
  ASSERT_EQ(exported.exitCode, 0) << exported;
  QString csv = QString::fromStdString(exported.Out());
  ASSERT_EQ(csv.count('\n'), 3) << exported;
  csv.replace("Office,static,10.77.1.2,", "Office-2,static,10.77.1.20,");
  csv.replace("Cabled,static,10.77.2.2,", "Cabled-2,static,10.77.2.20,");
  const QTemporaryDir dir;
  const QString file = WriteTextFile(dir, "site.csv", csv);
  ASSERT_FALSE(file.isEmpty());

  const CliRun applied = RunCli({"apply", file, "--yes"});
  ASSERT_EQ(applied.exitCode, 0) << applied;
  EXPECT_EQ(printers_[0]->State().ip, "10.77.1.20");
  EXPECT_EQ(printers_[1]->State().ip, "10.77.2.20");
  EXPECT_EQ(printers_[1]->State().name, "Cabled-2");
  EXPECT_EQ(OthersRequests(printers_[0], 0), 0) << "printer 2's requests reached network 1";
  EXPECT_EQ(OthersRequests(printers_[1], 1), 0) << "printer 1's requests reached network 2";
}

// The window lists both printers, says in each row's tooltip where it was found, and changes the
// second row's printer through its own network only.
TEST_F(TwoNetworksTest, WindowListsBothAndChangesTheSecondRowsPrinterOnly) {
  NetTarget target;
  TFormNetSetup window(
      LayoutScale(), NetSetupExchange(), [](const QUrl&) {}, nullptr);
  window.BeginSetup(target);
  auto* list = window.findChild<QTreeWidget*>(QStringLiteral("ListView1"));
  ASSERT_EQ(list->topLevelItemCount(), 2);
  QTreeWidgetItem* cabled = list->topLevelItem(0);
  if (cabled->text(1) != Macs[1]) {
    cabled = list->topLevelItem(1);
  }
  ASSERT_EQ(cabled->text(1), Macs[1]);
  EXPECT_EQ(cabled->toolTip(3), "found on q73n2, 10.77.2.1");
  list->setCurrentItem(cabled);
  for (VirtualPrinter& printer : printers_) {
    printer->ClearLog();
  }

  const bool changed = WithModal(
      "FormEthernetSetup",
      [](QWidget* dialog) {
        Named<QRadioButton>(dialog, "RadioStaticIP")->click();
        Named<QLineEdit>(dialog, "EditIP")->setText("10.77.2.60");
        Named<QPushButton>(dialog, "ButtonOK")->click();
      },
      [&window] { Named<QPushButton>(&window, "ButtonChangeIP")->click(); });
  ASSERT_TRUE(changed);
  EXPECT_EQ(BlockWrites(printers_[1]), 4);
  EXPECT_EQ(printers_[1]->State().ip, "10.77.2.60");
  EXPECT_EQ(printers_[0].Datagrams().size(), 0u) << "the change went out over the first network";
}

// Behind a desktop firewall the answers, which come from the printers' own addresses, are not
// taken for answers to the broadcast: nothing is found, and the CLI says why. The rule the
// shipped firewalld service describes lets them in.
TEST_F(TwoNetworksTest, DesktopFirewallHidesPrintersUntilTheShippedPortIsOpen) {
  ASSERT_NO_FATAL_FAILURE(Firewall());
  const CliRun hidden = RunCli({"discover"});
  EXPECT_EQ(hidden.exitCode, 0) << hidden;
  const int port = PortOfTheShippedService();
  ASSERT_NE(port, 0);
  EXPECT_EQ(hidden.Err(),
            "q73580-cli: No printer answered on q73n1, q73n2. A firewall that drops incoming UDP "
            "hides printers: allow UDP port " +
                std::to_string(port) + " (see \"Firewalls\").\n")
      << hidden;

  ASSERT_NO_FATAL_FAILURE(Firewall(port));
  EXPECT_EQ(Discover().size(), 2);
}

// Another program holding the port, even one that would share it: the exchange sends from one the
// system chooses, and still finds both printers where no firewall stands in the way, while none
// of their answers reaches the other program.
TEST_F(TwoNetworksTest, TakenPortFallsBackToOneTheSystemChooses) {
  QUdpSocket holder;
  ASSERT_TRUE(holder.bind(QHostAddress(QHostAddress::AnyIPv4),
                          static_cast<quint16>(PortOfTheShippedService()),
                          QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint));
  EXPECT_EQ(Discover().size(), 2);
  EXPECT_FALSE(holder.hasPendingDatagrams()) << "an answer reached the other program";
}

}  // namespace
