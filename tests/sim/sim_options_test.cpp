#include "printer-sim/sim_options.h"

#include <gtest/gtest.h>

#include <ostream>
#include <set>
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
    testing::Values(
        OptionsCase{{}, true}, OptionsCase{{"--tcp", "127.0.0.1:0"}, true},
        OptionsCase{{"--tcp=127.5.6.7:9100"}, true},
        // Only loopback unless asked; names are never looked up.
        OptionsCase{{"--tcp", "10.1.2.3:9100"}, false},
        OptionsCase{{"--tcp", "0.0.0.0:9100"}, false},
        OptionsCase{{"--tcp", "localhost:9100"}, false},
        OptionsCase{{"--tcp", "localhost:9100", "--allow-any-address"}, false},
        OptionsCase{{"--allow-any-address", "--tcp", "0.0.0.0:9100"}, true},
        OptionsCase{{"--no-tcp", "--tcp", "127.0.0.1:70000"}, false},
        OptionsCase{{"--tcp", "127.0.0.1"}, false},
        OptionsCase{{"--tcp", "10.1.2.3:1", "--no-tcp"}, true}, OptionsCase{{"--name"}, false},
        OptionsCase{{"--name", "a\"b"}, false}, OptionsCase{{"--pty=1"}, false},
        OptionsCase{{"--bogus"}, false}, OptionsCase{{"--mac", "00:11:22:33:44"}, false},
        OptionsCase{{"--ip", "printer.local"}, false},
        OptionsCase{{"--lead-in-garbage", "-1"}, false},
        OptionsCase{{"--slow-byte-ms", "60001"}, false}, OptionsCase{{"--printers", "1000"}, true},
        OptionsCase{{"--printers", "0"}, false}, OptionsCase{{"--printers", "1001"}, false},
        OptionsCase{{"--udp-port", "65536"}, false}, OptionsCase{{"--state", "256"}, false},
        OptionsCase{{"--error-flags", "0x1G"}, false},
        OptionsCase{{"--error-flags", "0x100"}, false},
        OptionsCase{{"--flood-replies", "100001"}, false}, OptionsCase{{"--udp-silent=1"}, false},
        // Printer numbers as in the names, 1 to --printers, and only with a fault to limit.
        OptionsCase{{"--block-writes-on=2", "--block-writes", "unanswered", "--printers", "2"},
                    true},
        OptionsCase{{"--printers", "2", "--block-writes", "unanswered", "--block-writes-on", "3"},
                    false},
        OptionsCase{{"--printers", "2", "--block-writes", "unanswered", "--block-writes-on", "0"},
                    false},
        OptionsCase{{"--printers", "2", "--block-writes", "unanswered", "--block-writes-on", "1,"},
                    false},
        OptionsCase{{"--printers", "2", "--block-writes-on", "1"}, false}));

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

TEST(SimOptions, BuildsUdpSettings) {
  SimOptions defaults;
  ASSERT_TRUE(ParseSimOptions({}, defaults, nullptr));
  EXPECT_TRUE(defaults.server.udp);
  EXPECT_FALSE(defaults.server.udpAnswerAny);
  EXPECT_EQ(defaults.server.udpPort, 22368);

  SimOptions options;
  std::string error;
  ASSERT_TRUE(ParseSimOptions({"--udp-port", "0", "--printers=3", "--state", "3", "--error-flags",
                               "0x41", "--flood-replies", "5", "--short-reply", "--udp-answer-any",
                               "--block-writes", "unapplied", "--block-writes-on", "3,1"},
                              options, &error))
      << error;
  const SimServerConfig& server = options.server;
  EXPECT_EQ(server.udpPort, 0);
  EXPECT_EQ(server.printerCount, 3);
  EXPECT_TRUE(server.udpAnswerAny);
  EXPECT_EQ(server.initialState.udpState, 3);
  EXPECT_EQ(server.initialState.udpErrorFlags, 0x41);
  EXPECT_EQ(server.factoryDefaults.udpErrorFlags, 0x41);  // kept by a factory reset
  EXPECT_EQ(server.faults.floodReplies, 5u);
  EXPECT_TRUE(server.faults.shortReply);
  EXPECT_FALSE(server.faults.duplicateReplies);
  EXPECT_EQ(server.faults.blockWrites, FaultSwitches::BlockWrites::Unapplied);
  EXPECT_EQ(server.faults.blockWritesOn, (std::set<int>{0, 2}));  // counted from 0

  ASSERT_TRUE(ParseSimOptions({"--no-udp"}, options, &error));
  EXPECT_FALSE(options.server.udp);
}

}  // namespace
}  // namespace printer_sim
