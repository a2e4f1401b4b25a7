#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "support/sim_over_link.h"

namespace {

using printer_sim::FaultSwitches;

// What a faulty printer does to a read over TCP. What the read keeps of the record is left to
// the unit tests; here the result, the time and what the core sent after the fault count.
struct FaultCase {
  const char* name;
  std::function<void(FaultSwitches&)> arrange;
  PrinterOperation operation;  // ReadClock or ReadNetwork
  CommandResult expected;
  double maxSeconds;      // from the link's waits: 1 s of readiness per silent byte
  const char* neverSent;  // a report that must not follow the fault, or nullptr
};

void PrintTo(const FaultCase& c, std::ostream* os) {
  *os << c.name;
}

std::function<void(FaultSwitches&)> SilentOn(const char* command) {
  return [command](FaultSwitches& f) { f.silentOn.insert(command); };
}

template <typename T>
std::function<void(FaultSwitches&)> Only(printer_sim::Fault<T> FaultSwitches::*fault, T value,
                                         const char* command = "") {
  return [=](FaultSwitches& f) { f.*fault = {value, command}; };
}

const FaultCase Cases[] = {
    {"SilentHour", SilentOn("DIAGNOSTIC REPORT HOUR"), PrinterOperation::ReadClock,
     CommandResult::ReceiveDataError, 2.5, "DIAGNOSTIC REPORT MINUTE\r\n"},
    {"SilentInterface", SilentOn("DIAGNOSTIC INTERFACE NET"), PrinterOperation::ReadNetwork,
     CommandResult::ReceiveDataError, 2.5, "DIAGNOSTIC REPORT CONFIGIP\r\n"},
    {"SilentLastUsedIp", SilentOn("DIAGNOSTIC REPORT LASTUSEDIP"), PrinterOperation::ReadNetwork,
     CommandResult::ReceiveDataError, 2.5, "DIAGNOSTIC REPORT NETNAME\r\n"},
    {"SilentNetName", SilentOn("DIAGNOSTIC REPORT NETNAME"), PrinterOperation::ReadNetwork,
     CommandResult::Ok, 2.5, "DIAGNOSTIC REPORT MACADDR\r\n"},
    {"SilentMacAddr", SilentOn("DIAGNOSTIC REPORT MACADDR"), PrinterOperation::ReadNetwork,
     CommandResult::Ok, 2.5, nullptr},
    {"EndlessLeadIn", Only(&FaultSwitches::leadInGarbage, std::size_t{200000}),
     PrinterOperation::ReadClock, CommandResult::ReceiveDataError, 3.0,
     "DIAGNOSTIC REPORT YEAR\r\n"},
    {"SlowByteByByte", Only(&FaultSwitches::slowByteDelayMs, 2), PrinterOperation::ReadNetwork,
     CommandResult::Ok, 5.0, nullptr},
    {"ClosedMidFrame", Only(&FaultSwitches::closeMidFrame, true, "DIAGNOSTIC REPORT MONTH"),
     PrinterOperation::ReadClock, CommandResult::ReceiveDataError, 2.5,
     "DIAGNOSTIC REPORT DATE\r\n"},
    {"OversizedFrame", Only(&FaultSwitches::oversizedFrame, true, "DIAGNOSTIC REPORT CONFIGIP"),
     PrinterOperation::ReadNetwork, CommandResult::ReceiveDataError, 2.0,
     "DIAGNOSTIC REPORT GATEWAY\r\n"},
    {"LengthDoesNotMatch", Only(&FaultSwitches::badLength, true, "DIAGNOSTIC REPORT SECOND"),
     PrinterOperation::ReadClock, CommandResult::ReceiveDataError, 2.0, nullptr},
};

class FaultyPrinter : public SimOverTcp, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FaultyPrinter, EndsWithItsResultWithinTheLinkWaits) {
  const FaultCase& c = GetParam();
  FaultSwitches faults;
  c.arrange(faults);
  sim_->SetFaults(faults);

  ClockRecord clock;
  NetConfigRecord config;
  const auto start = std::chrono::steady_clock::now();
  const CommandResult result = c.operation == PrinterOperation::ReadClock
                                   ? Run(c.operation, &clock)
                                   : Run(c.operation, &config);
  const double seconds = SecondsSince(start);

  EXPECT_EQ(result, c.expected);
  EXPECT_LT(seconds, c.maxSeconds);
  if (c.neverSent != nullptr) {
    EXPECT_EQ(std::ranges::count(Received(), std::string(c.neverSent)), 0);
  }
  // The link was closed: the next operation works on a fresh connection.
  sim_->SetFaults({});
  EXPECT_EQ(Run(PrinterOperation::ReadClock, &clock), CommandResult::Ok);
}

INSTANTIATE_TEST_SUITE_P(OverTcp, FaultyPrinter, ::testing::ValuesIn(Cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimOverTcp, PeerThatNeverReads_EndsTheWriteAfterItsBoundedOffers) {
  printer_sim::SimServerConfig config;
  config.faults.neverRead = true;
  NetworkTiming timing;
  timing.sendMs = 200;
  StartSim(config, timing);

  const LinkHandle handle = link_->OpenLink(LinkKind::Ethernet);
  ASSERT_NE(handle, InvalidLink);
  // Far more than the socket buffers on both sides hold.
  const std::vector<char> bulk(64u << 20, 'x');
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(link_->WriteLink(handle, LinkKind::Ethernet, bulk.data(),
                                static_cast<std::uint32_t>(bulk.size())));
  EXPECT_LT(SecondsSince(start), 10.0);
  link_->CloseLink(LinkKind::Ethernet, handle);
}

// A printer that closes the connection ends the read at once, long before the readiness wait.
TEST_F(SimOverTcp, PrinterThatCloses_EndsTheReadBeforeTheReadyWait) {
  printer_sim::SimServerConfig config;
  config.faults.closeMidFrame = {true, "DIAGNOSTIC REPORT MONTH"};
  StartSim(config, NetworkTiming{2000, 10000, 2000, 2});
  ClockRecord clock;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Run(PrinterOperation::ReadClock, &clock), CommandResult::ReceiveDataError);
  EXPECT_LT(SecondsSince(start), 5.0);
}

}  // namespace
