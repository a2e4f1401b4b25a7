#include "link/network_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/closed_tcp_port.h"

// The stream's ways to fail before a connection exists. What it does on a connection is tested
// against the virtual printer (tests/e2e).

namespace {

class NetworkStreamTest : public ::testing::Test {
 protected:
  NetworkStreamTest() { net_.Host.Assign("printer.test"); }

  // Opens a stream whose resolver records what it was asked and gives `answer_`.
  LinkHandle Open() {
    NetworkStream stream(
        [this](const QString& host) {
          asked_.push_back(host);
          return answer_;
        },
        NetworkTiming{2000, 2000, 2000, 2});
    return stream.Open(LinkTargets{&serial_, &lptDevice_, &net_});
  }

  SerialSettings serial_;
  LptDeviceName lptDevice_;
  NetTarget net_;
  std::optional<QHostAddress> answer_ = QHostAddress(QHostAddress::LocalHost);
  std::vector<QString> asked_;
};

// Literals only: a name would go to the system's resolver.
TEST(ResolveHostIPv4, TakesADottedAddressAsItIsAndRefusesIPv6) {
  EXPECT_EQ(ResolveHostIPv4(QStringLiteral("192.168.1.50")),
            QHostAddress(QStringLiteral("192.168.1.50")));
  EXPECT_EQ(ResolveHostIPv4(QStringLiteral("::1")), std::nullopt);
}

TEST_F(NetworkStreamTest, Open_FailsWithoutAHostOrAnAddressForIt) {
  answer_.reset();
  EXPECT_EQ(Open(), InvalidLink);
  EXPECT_EQ(asked_, std::vector<QString>{QStringLiteral("printer.test")});
  net_.Host.Clear();
  EXPECT_EQ(Open(), InvalidLink);
  EXPECT_EQ(asked_.size(), 1u);  // an empty host is not even looked up
}

// A text of digits and dots that is no address fails at once; a name still goes to the resolver.
struct LookupCase {
  const char* host;
  bool lookedUp;
};

class NetworkStreamLookup : public NetworkStreamTest,
                            public ::testing::WithParamInterface<LookupCase> {};

TEST_P(NetworkStreamLookup, AsksTheResolverOnlyAboutNames) {
  answer_.reset();  // nothing to connect to, whatever is asked
  net_.Host.Assign(GetParam().host);
  EXPECT_EQ(Open(), InvalidLink);
  EXPECT_EQ(asked_, GetParam().lookedUp ? std::vector<QString>{QString::fromLatin1(GetParam().host)}
                                        : std::vector<QString>{});
}

INSTANTIATE_TEST_SUITE_P(Hosts, NetworkStreamLookup,
                         ::testing::Values(LookupCase{"192.168.1.256", false},
                                           LookupCase{"1.2.3", false}, LookupCase{"1..2.3", false},
                                           LookupCase{"printer-7", true},
                                           LookupCase{"10.0.0.5", true}));

TEST_F(NetworkStreamTest, Open_FailsWhenTheConnectionIsRefused) {
  net_.Port = ClosedTcpPort();
  ASSERT_NE(net_.Port, 0);
  EXPECT_EQ(Open(), InvalidLink);
  EXPECT_EQ(asked_.size(), 1u);
}

}  // namespace
