#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "sim_fixture.h"

namespace {

using printer_sim::FaultSwitches;

struct FaultCase {
  const char* name;
  std::function<void(FaultSwitches&)> arrange;
  PrinterOperation operation;  // ReadClock or ReadNetwork
  CommandResult expected;
  double maxSeconds;      // from the link's waits: 1 s of readiness per silent byte
  const char* neverSent;  // a report that must not follow the fault, or nullptr
  std::function<void(const ClockRecord&, const NetConfigRecord&)> check;
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

constexpr ClockRecord Untouched{-1, -1, -1, -1, -1, -1};

const FaultCase Cases[] = {
    {"SilentYear", SilentOn("DIAGNOSTIC REPORT YEAR"), PrinterOperation::ReadClock,
     CommandResult::ReceiveDataError, 2.5, "DIAGNOSTIC REPORT MONTH\r\n",
     [](const ClockRecord& c, const NetConfigRecord&) { EXPECT_EQ(c, Untouched); }},
    {"SilentHour", SilentOn("DIAGNOSTIC REPORT HOUR"), PrinterOperation::ReadClock,
     CommandResult::ReceiveDataError, 2.5, "DIAGNOSTIC REPORT MINUTE\r\n",
     [](const ClockRecord& c, const NetConfigRecord&) {
       EXPECT_GT(c.year, 2000);
       EXPECT_GE(c.date, 1);
       EXPECT_EQ(c.hour, -1);
       EXPECT_EQ(c.second, -1);
     }},
    {"SilentInterface", SilentOn("DIAGNOSTIC INTERFACE NET"), PrinterOperation::ReadNetwork,
     CommandResult::ReceiveDataError, 2.5, "DIAGNOSTIC REPORT CONFIGIP\r\n", nullptr},
    {"SilentLastUsedIp", SilentOn("DIAGNOSTIC REPORT LASTUSEDIP"), PrinterOperation::ReadNetwork,
     CommandResult::ReceiveDataError, 2.5, "DIAGNOSTIC REPORT NETNAME\r\n",
     [](const ClockRecord&, const NetConfigRecord& n) {
       EXPECT_EQ(n.mask, "255.255.255.0");
       EXPECT_EQ(n.lastUsedIp, "old");
     }},
    {"SilentNetName", SilentOn("DIAGNOSTIC REPORT NETNAME"), PrinterOperation::ReadNetwork,
     CommandResult::Ok, 2.5, "DIAGNOSTIC REPORT MACADDR\r\n",
     [](const ClockRecord&, const NetConfigRecord& n) {
       EXPECT_EQ(n.netName, "");
       EXPECT_EQ(n.macAddr, "old");
     }},
    {"SilentMacAddr", SilentOn("DIAGNOSTIC REPORT MACADDR"), PrinterOperation::ReadNetwork,
     CommandResult::Ok, 2.5, nullptr,
     [](const ClockRecord&, const NetConfigRecord& n) {
       EXPECT_EQ(n.netName, "Q73580");
       EXPECT_EQ(n.macAddr, "");
     }},
    {"LeadInGarbage", Only(&FaultSwitches::leadInGarbage, std::size_t{500}),
     PrinterOperation::ReadClock, CommandResult::Ok, 2.0, nullptr, nullptr},
    {"LeadInAcrossTwoFills",
     Only(&FaultSwitches::leadInGarbage, std::size_t{5000}, "DIAGNOSTIC REPORT YEAR"),
     PrinterOperation::ReadClock, CommandResult::Ok, 2.0, nullptr,
     [](const ClockRecord& c, const NetConfigRecord&) { EXPECT_GT(c.year, 2000); }},
    {"EndlessLeadIn", Only(&FaultSwitches::leadInGarbage, std::size_t{200000}),
     PrinterOperation::ReadClock, CommandResult::ReceiveDataError, 3.0,
     "DIAGNOSTIC REPORT YEAR\r\n", nullptr},
    {"SlowByteByByte", Only(&FaultSwitches::slowByteDelayMs, 2), PrinterOperation::ReadNetwork,
     CommandResult::Ok, 5.0, nullptr,
     [](const ClockRecord&, const NetConfigRecord& n) { EXPECT_EQ(n.netName, "Q73580"); }},
    {"ClosedMidFrame", Only(&FaultSwitches::closeMidFrame, true, "DIAGNOSTIC REPORT MONTH"),
     PrinterOperation::ReadClock, CommandResult::ReceiveDataError, 2.5,
     "DIAGNOSTIC REPORT DATE\r\n", nullptr},
    {"OversizedFrame", Only(&FaultSwitches::oversizedFrame, true, "DIAGNOSTIC REPORT CONFIGIP"),
     PrinterOperation::ReadNetwork, CommandResult::ReceiveDataError, 2.0,
     "DIAGNOSTIC REPORT GATEWAY\r\n", nullptr},
    {"LengthDoesNotMatch", Only(&FaultSwitches::badLength, true, "DIAGNOSTIC REPORT SECOND"),
     PrinterOperation::ReadClock, CommandResult::ReceiveDataError, 2.0, nullptr,
     [](const ClockRecord& c, const NetConfigRecord&) {
       EXPECT_GE(c.minute, 0);
       EXPECT_EQ(c.second, -1);
     }},
};

class FaultyPrinter : public SimOverTcp, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FaultyPrinter, EndsWithItsResultWithinTheLinkWaits) {
  const FaultCase& c = GetParam();
  FaultSwitches faults;
  c.arrange(faults);
  sim_->SetFaults(faults);

  ClockRecord clock = Untouched;
  NetConfigRecord config;
  config.lastUsedIp.Assign("old");
  config.macAddr.Assign("old");
  const auto start = std::chrono::steady_clock::now();
  const CommandResult result = c.operation == PrinterOperation::ReadClock
                                   ? Run(c.operation, &clock)
                                   : Run(c.operation, &config);
  const double seconds = SecondsSince(start);

  EXPECT_EQ(result, c.expected);
  EXPECT_LT(seconds, c.maxSeconds);
  if (c.neverSent != nullptr) {
    EXPECT_FALSE(WasReceived(c.neverSent));
  }
  if (c.check) {
    c.check(clock, config);
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

}  // namespace
