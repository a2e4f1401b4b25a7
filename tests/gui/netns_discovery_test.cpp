// Discovery as the product does it: a broadcast to 255.255.255.255. Runs only inside the private
// network namespace that tests/e2e/netns-run makes, so nothing leaves this machine.

#include <gtest/gtest.h>

#include <QRadioButton>
#include <algorithm>

#include "network_setup_flow.h"
#include "support/private_namespace.h"

namespace {

TEST(DiscoveryByBroadcast, ListsTheVirtualPrinterAndReadsItOverTcp) {
  if (!InsidePrivateNamespace()) {
    GTEST_SKIP() << "sends a broadcast: run only through tests/e2e/netns-run";
  }
  printer_sim::SimServerConfig config;
  config.tcpHost = "10.99.0.1";
  config.tcpPort = 0;
  config.udp = true;  // 0.0.0.0:22368, as a printer listens
  config.initialState.dhcp = false;
  config.initialState.ip = "10.99.0.1";
  config.initialState.lastUsedIp = "10.99.0.1";
  VirtualPrinter sim;
  ASSERT_TRUE(sim.StartAsConfigured(config)) << sim.Error();

  const NetworkSetupFlow flow = RunNetworkSetupFlow(TFormMain::Services(), sim.TcpPort());
  EXPECT_EQ(flow.rowsListed, 1);
  EXPECT_EQ(flow.firstRowAddress, "10.99.0.1");
  EXPECT_TRUE(flow.messages.empty());

  // The request on the wire, byte for byte, with the window's first sequence number.
  const std::string expected(
      "\x00\x20\x00\x01\x00\x01\x08\x00\x00\x02\x00\x00\x00\x01\x00\x00"
      "\x01\x00\x00\x00\x00\x00\xFF\xFF\xFF\xFF\xFF\xFF\x00\x00\x00\x00",
      32);
  const std::vector<std::string> datagrams = sim.Datagrams();
  EXPECT_NE(std::ranges::find(datagrams, expected), datagrams.end());
}

}  // namespace

namespace {

TEST(RemoteChangeByBroadcast, ChangesTheVirtualPrintersAddressAndName) {
  if (!InsidePrivateNamespace()) {
    GTEST_SKIP() << "sends a broadcast: run only through tests/e2e/netns-run";
  }
  printer_sim::SimServerConfig config;
  config.tcp = false;
  config.udp = true;
  VirtualPrinter sim;
  ASSERT_TRUE(sim.StartAsConfigured(config)) << sim.Error();

  NetTarget target;
  TFormNetSetup window(
      LayoutScale(), NetSetupExchange(), [](const QUrl&) {}, nullptr);
  window.BeginSetup(target);
  auto* list = window.findChild<QTreeWidget*>(QStringLiteral("ListView1"));
  ASSERT_EQ(list->topLevelItemCount(), 1);

  WithModal(
      "FormEthernetSetup",
      [](QWidget* dialog) {
        Named<QRadioButton>(dialog, "RadioStaticIP")->click();
        Named<QLineEdit>(dialog, "EditIP")->setText("192.168.1.50");
        Named<QLineEdit>(dialog, "EditMask")->setText("255.255.255.0");
        Named<QLineEdit>(dialog, "EditGateWay")->setText("192.168.1.1");
        Named<QLineEdit>(dialog, "EditDeviceName")->setText("Desk-9");
        Named<QPushButton>(dialog, "ButtonOK")->click();
      },
      [&window] { Named<QPushButton>(&window, "ButtonChangeIP")->click(); });
  EXPECT_EQ(list->topLevelItemCount(), 0);

  window.findChild<QPushButton*>(QStringLiteral("ButtonDiscover"))->click();
  ASSERT_EQ(list->topLevelItemCount(), 1);
  EXPECT_EQ(list->topLevelItem(0)->text(0), "Desk-9");
  EXPECT_EQ(list->topLevelItem(0)->text(2), "192.168.1.50");
  EXPECT_FALSE(sim->State().dhcp);
  EXPECT_EQ(sim->State().gateway, "192.168.1.1");
}

}  // namespace
