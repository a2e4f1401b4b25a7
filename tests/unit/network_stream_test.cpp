#include "link/network_stream.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "link/link_facade.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int PeerWaitMs = 5000;  // bound for every wait of the peer

int LoopbackSocket() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ADD_FAILURE() << "cannot bind a loopback socket";
  }
  return fd;
}

std::uint16_t PortOf(int fd) {
  sockaddr_in address{};
  socklen_t size = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  return ntohs(address.sin_port);
}

bool WaitReadable(int fd, int timeoutMs) {
  pollfd entry{fd, POLLIN, 0};
  return ::poll(&entry, 1, timeoutMs) == 1;
}

// The printer's end of the connection: listens on 127.0.0.1 and runs its script on a thread
// of its own while the stream under test blocks.
class LoopbackPeer {
 public:
  LoopbackPeer() : listener_(LoopbackSocket()) { ::listen(listener_, 4); }
  ~LoopbackPeer() {
    Join();
    for (int fd : accepted_) {
      ::close(fd);
    }
    ::close(listener_);
  }

  std::uint16_t Port() const { return PortOf(listener_); }
  bool HasPendingConnection() const { return WaitReadable(listener_, 0); }
  void Run(std::function<void(LoopbackPeer&)> script) {
    thread_ = std::thread([this, script = std::move(script)] { script(*this); });
  }
  void Join() {
    if (thread_.joinable()) {
      thread_.join();
    }
  }

  int Accept() {
    if (!WaitReadable(listener_, PeerWaitMs)) {
      return -1;
    }
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    accepted_.push_back(fd);
    return fd;
  }

  static void Send(int fd, const std::string& bytes) {
    ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  }

  // Reads until `count` bytes came, the client closed, or the peer's wait ran out.
  static std::string Receive(int fd, std::size_t count) {
    std::string got;
    std::vector<char> block(4096);
    while (got.size() < count && WaitReadable(fd, PeerWaitMs)) {
      const ssize_t n = ::recv(fd, block.data(), block.size(), 0);
      if (n <= 0) {
        break;
      }
      got.append(block.data(), static_cast<std::size_t>(n));
    }
    return got;
  }

  static void WaitForClose(int fd) { Receive(fd, SIZE_MAX); }

  std::vector<int> accepted_;

 private:
  int listener_;
  std::thread thread_;
};

std::string Pattern(std::size_t size) {
  std::string text(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    text[i] = static_cast<char>(i * 7 % 251);
  }
  return text;
}

class NetworkStreamTest : public ::testing::Test {
 protected:
  NetworkStreamTest() { net_.Host.Assign("printer.test"); }

  std::unique_ptr<NetworkStream> MakeStream(int readyMs = 2000) {
    NetworkTiming timing;
    timing.connectMs = 2000;
    timing.readyMs = readyMs;
    timing.sendMs = 2000;
    return std::make_unique<NetworkStream>(
        [this](const QString& host) {
          asked_.push_back(host);
          return answer_;
        },
        timing);
  }

  LinkTargets Targets() { return LinkTargets{&serial_, &lptDevice_, &net_}; }

  // A facade whose Ethernet kind is a real stream to the peer.
  std::unique_ptr<LinkFacade> MakeFacade(std::uint16_t port, int readyMs = 2000) {
    net_.Port = port;
    LinkPorts ports;
    ports.ethernet = MakeStream(readyMs);
    auto facade = std::make_unique<LinkFacade>(std::move(ports));
    facade->SetLinkTargets(serial_, lptDevice_, net_);
    return facade;
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

TEST_F(NetworkStreamTest, Open_EmptyHostFailsWithoutResolving) {
  net_.Host.Clear();
  EXPECT_EQ(MakeStream()->Open(Targets()), InvalidLink);
  EXPECT_TRUE(asked_.empty());
}

TEST_F(NetworkStreamTest, Open_FailsWhenTheHostDoesNotResolve) {
  answer_.reset();
  EXPECT_EQ(MakeStream()->Open(Targets()), InvalidLink);
  EXPECT_EQ(asked_, std::vector<QString>{QStringLiteral("printer.test")});
}

TEST_F(NetworkStreamTest, Open_RefusesTheAnyAddressWithoutConnecting) {
  LoopbackPeer peer;
  net_.Port = peer.Port();
  answer_ = QHostAddress(QHostAddress::AnyIPv4);
  const auto start = Clock::now();
  EXPECT_EQ(MakeStream()->Open(Targets()), InvalidLink);
  EXPECT_LT(Clock::now() - start, 1s);
  EXPECT_EQ(asked_.size(), 1u);
  EXPECT_FALSE(peer.HasPendingConnection());
}

TEST_F(NetworkStreamTest, Open_FailsWhenTheConnectionIsRefused) {
  const int closed = LoopbackSocket();
  net_.Port = PortOf(closed);
  ::close(closed);
  EXPECT_EQ(MakeStream()->Open(Targets()), InvalidLink);
}

TEST_F(NetworkStreamTest, Open_UsesTheLow16BitsOfThePort) {
  LoopbackPeer peer;
  net_.Port = 65536 + peer.Port();
  peer.Run([](LoopbackPeer& p) { LoopbackPeer::WaitForClose(p.Accept()); });
  auto stream = MakeStream();
  const LinkHandle handle = stream->Open(Targets());
  EXPECT_NE(handle, InvalidLink);
  stream->Close(handle);
  peer.Join();
  EXPECT_EQ(peer.accepted_.size(), 1u);
}

TEST_F(NetworkStreamTest, Fill_DeliversALongReplyInOrderOverSeveralReceives) {
  const std::string reply = Pattern(5000);
  LoopbackPeer peer;
  net_.Port = peer.Port();
  peer.Run([&reply](LoopbackPeer& p) {
    const int fd = p.Accept();
    LoopbackPeer::Send(fd, reply);
    LoopbackPeer::WaitForClose(fd);
  });
  auto stream = MakeStream();
  const LinkHandle handle = stream->Open(Targets());
  ASSERT_NE(handle, InvalidLink);

  ReceiveBuffer buffer;
  int receives = 0;
  for (int i = 0; i < 50 && buffer.Unread() < reply.size(); ++i) {
    const std::uint32_t before = buffer.Unread();
    ASSERT_TRUE(stream->Fill(handle, buffer));
    EXPECT_LE(buffer.Unread() - before, NetworkStream::MaxReceive);
    ++receives;
  }
  EXPECT_GE(receives, 2);
  std::string got;
  std::uint8_t byte = 0;
  while (buffer.TakeByte(byte)) {
    got += static_cast<char>(byte);
  }
  EXPECT_EQ(got, reply);
  stream->Close(handle);
}

TEST_F(NetworkStreamTest, Fill_GivesUpOnASilentPeer) {
  LoopbackPeer peer;
  net_.Port = peer.Port();
  peer.Run([](LoopbackPeer& p) { LoopbackPeer::WaitForClose(p.Accept()); });
  auto stream = MakeStream(200);
  const LinkHandle handle = stream->Open(Targets());
  ASSERT_NE(handle, InvalidLink);
  ReceiveBuffer buffer;
  const auto start = Clock::now();
  EXPECT_FALSE(stream->Fill(handle, buffer));
  EXPECT_LT(Clock::now() - start, 3s);
  EXPECT_EQ(buffer.Unread(), 0u);
  stream->Close(handle);
}

TEST_F(NetworkStreamTest, ReadLinkByte_FailsPromptlyWhenThePeerCloses) {
  LoopbackPeer peer;
  peer.Run([](LoopbackPeer& p) { ::shutdown(p.Accept(), SHUT_RDWR); });
  auto facade = MakeFacade(peer.Port(), 10000);
  const LinkHandle handle = facade->OpenLink(LinkKind::Ethernet);
  ASSERT_NE(handle, InvalidLink);
  peer.Join();
  std::uint8_t byte = 0;
  const auto start = Clock::now();
  EXPECT_FALSE(facade->ReadLinkByte(handle, LinkKind::Ethernet, byte));
  EXPECT_LT(Clock::now() - start, 5s);  // well inside the ready wait
  facade->CloseLink(LinkKind::Ethernet, handle);
}

TEST_F(NetworkStreamTest, WriteLink_DeliversALongTextWhole) {
  const std::string text = Pattern(2100);
  std::string received;
  LoopbackPeer peer;
  peer.Run([&](LoopbackPeer& p) { received = LoopbackPeer::Receive(p.Accept(), text.size()); });
  auto facade = MakeFacade(peer.Port());
  const LinkHandle handle = facade->OpenLink(LinkKind::Ethernet);
  ASSERT_NE(handle, InvalidLink);
  EXPECT_TRUE(facade->WriteLink(handle, LinkKind::Ethernet, text.data(), 2100));
  peer.Join();
  facade->CloseLink(LinkKind::Ethernet, handle);
  EXPECT_EQ(received, text);
}

TEST_F(NetworkStreamTest, OpenLink_AfterCloseConnectsAfreshWithoutOldBytes) {
  LoopbackPeer peer;
  peer.Run([](LoopbackPeer& p) {
    LoopbackPeer::Send(p.Accept(), "old");
    const int second = p.Accept();
    LoopbackPeer::Send(second, "N");
    LoopbackPeer::WaitForClose(second);
  });
  auto facade = MakeFacade(peer.Port());
  std::uint8_t byte = 0;
  LinkHandle handle = facade->OpenLink(LinkKind::Ethernet);
  ASSERT_NE(handle, InvalidLink);
  ASSERT_TRUE(facade->ReadLinkByte(handle, LinkKind::Ethernet, byte));
  EXPECT_EQ(byte, 'o');
  facade->CloseLink(LinkKind::Ethernet, handle);

  handle = facade->OpenLink(LinkKind::Ethernet);
  ASSERT_NE(handle, InvalidLink);
  ASSERT_TRUE(facade->ReadLinkByte(handle, LinkKind::Ethernet, byte));
  EXPECT_EQ(byte, 'N');
  facade->CloseLink(LinkKind::Ethernet, handle);
  peer.Join();
  EXPECT_EQ(peer.accepted_.size(), 2u);
}

}  // namespace
