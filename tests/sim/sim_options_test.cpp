#include "printer-sim/sim_options.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace printer_sim {
namespace {

struct OptionsCase {
  std::vector<std::string> args;
  bool accepted;
};

void PrintTo(const OptionsCase& c, std::ostream* out) {
  for (const std::string& arg : c.args) {
    *out << arg << ' ';
  }
  *out << (c.accepted ? "accepted" : "refused");
}

class OptionsAcceptanceTest : public testing::TestWithParam<OptionsCase> {};

TEST_P(OptionsAcceptanceTest, AcceptsOrRefuses) {
  SimOptions options;
  std::string error;
  EXPECT_EQ(ParseSimOptions(GetParam().args, options, &error), GetParam().accepted) << error;
  EXPECT_EQ(error.empty(), GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OptionsAcceptanceTest,
    testing::Values(OptionsCase{{}, true}, OptionsCase{{"--tcp", "127.0.0.1:0"}, true},
                    OptionsCase{{"--tcp=127.5.6.7:9100"}, true},
                    // Only loopback unless asked; names are never looked up.
                    OptionsCase{{"--tcp", "10.1.2.3:9100"}, false},
                    OptionsCase{{"--tcp", "0.0.0.0:9100"}, false},
                    OptionsCase{{"--tcp", "localhost:9100"}, false},
                    OptionsCase{{"--tcp", "localhost:9100", "--allow-any-address"}, false},
                    OptionsCase{{"--allow-any-address", "--tcp", "0.0.0.0:9100"}, true},
                    OptionsCase{{"--no-tcp", "--tcp", "127.0.0.1:70000"}, false},
                    OptionsCase{{"--tcp", "127.0.0.1"}, false},
                    OptionsCase{{"--tcp", "10.1.2.3:1", "--no-tcp"}, true},
                    OptionsCase{{"--name"}, false}, OptionsCase{{"--name", "a\"b"}, false},
                    OptionsCase{{"--pty=1"}, false}, OptionsCase{{"--bogus"}, false},
                    OptionsCase{{"--mac", "00:11:22:33:44"}, false},
                    OptionsCase{{"--ip", "printer.local"}, false},
                    OptionsCase{{"--lead-in-garbage", "-1"}, false},
                    OptionsCase{{"--slow-byte-ms", "60001"}, false}));

TEST(SimOptions, BuildsInitialStateFactoryDefaultsAndFaults) {
  SimOptions options;
  std::string error;
  ASSERT_TRUE(ParseSimOptions(
      {"--mac", "aa-bb-cc-dd-ee-0f", "--name=Lab", "--ip", "10.0.0.9", "--gateway", "10.0.0.1",
       "--bad-length", "--faults-only-for", "DIAGNOSTIC REPORT MINUTE", "--lead-in-garbage",
       "100000", "--silent-on", "A", "--silent-on", "B", "--pty-link", "/tmp/x"},
      options, &error))
      << error;
  const SimServerConfig& server = options.server;
  EXPECT_EQ(server.initialState.mac, "AA:BB:CC:DD:EE:0F");
  EXPECT_EQ(server.initialState.name, "Lab");
  EXPECT_FALSE(server.initialState.dhcp);
  EXPECT_EQ(server.initialState.lastUsedIp, "10.0.0.9");
  EXPECT_EQ(server.initialState.gateway, "10.0.0.1");
  // A factory reset keeps identity but not the static address.
  EXPECT_TRUE(server.factoryDefaults.dhcp);
  EXPECT_EQ(server.factoryDefaults.name, "Lab");
  EXPECT_EQ(server.factoryDefaults.mac, "AA:BB:CC:DD:EE:0F");
  EXPECT_EQ(server.faults.badLength.onlyFor, "DIAGNOSTIC REPORT MINUTE");
  EXPECT_EQ(server.faults.leadInGarbage.onlyFor, "DIAGNOSTIC REPORT MINUTE");
  EXPECT_EQ(server.faults.leadInGarbage.value, 100000u);
  EXPECT_EQ(server.faults.silentOn.size(), 2u);
  EXPECT_TRUE(server.pty);
}

}  // namespace
}  // namespace printer_sim
