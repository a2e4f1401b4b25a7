// Discovery as the product does it: a broadcast to 255.255.255.255. Runs only inside the private
// network namespace that tests/e2e/netns-run makes, so nothing leaves this machine.

#include <gtest/gtest.h>

#include <QNetworkInterface>
#include <set>

#include "network_setup_flow.h"

namespace {

// True inside the namespace: loopback and the q73v0/q73v1 pair, nothing else.
bool InsidePrivateNamespace() {
  const std::set<QString> allowed = {"lo", "q73v0", "q73v1"};
  bool pair = false;
  const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
  for (const QNetworkInterface& interface : interfaces) {
    if (!allowed.contains(interface.name())) {
      return false;
    }
    pair = pair || interface.name() == QStringLiteral("q73v0");
  }
  return pair;
}

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
  printer_sim::SimServer sim(config);
  std::string error;
  ASSERT_TRUE(sim.Start(&error)) << error;

  const NetworkSetupFlow flow = RunNetworkSetupFlow(TFormMain::Services(), sim.TcpPort());
  EXPECT_EQ(flow.rowsListed, 1);
  EXPECT_EQ(flow.firstRowAddress, "10.99.0.1");
  EXPECT_TRUE(flow.messages.empty());

  // The request on the wire, byte for byte, with the window's first sequence number.
  const std::string expected(
      "\x00\x20\x00\x01\x00\x01\x08\x00\x00\x02\x00\x00\x00\x01\x00\x00"
      "\x01\x00\x00\x00\x00\x00\xFF\xFF\xFF\xFF\xFF\xFF\x00\x00\x00\x00",
      32);
  bool seen = false;
  for (const auto& entry : sim.ReceivedCommands()) {
    seen = seen || (entry.transport == printer_sim::Transport::Udp && entry.raw == expected);
  }
  EXPECT_TRUE(seen);
}

}  // namespace
