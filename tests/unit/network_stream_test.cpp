#include "link/network_stream.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

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

TEST_F(NetworkStreamTest, Open_FailsWhenTheConnectionIsRefused) {
  // A port that was free a moment ago on 127.0.0.1, with nobody listening now.
  const int closed = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  ASSERT_EQ(::bind(closed, reinterpret_cast<sockaddr*>(&address), size), 0);
  ::getsockname(closed, reinterpret_cast<sockaddr*>(&address), &size);
  ::close(closed);
  net_.Port = ntohs(address.sin_port);
  EXPECT_EQ(Open(), InvalidLink);
  EXPECT_EQ(asked_.size(), 1u);
}

}  // namespace
