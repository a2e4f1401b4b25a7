#include "link/link_facade.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "fake_link_port.h"

namespace {

using namespace std::chrono_literals;

std::string Pattern(std::size_t size) {
  std::string text(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    text[i] = static_cast<char>('a' + i % 26);
  }
  return text;
}

class LinkFacadeTest : public ::testing::Test {
 protected:
  LinkFacadeTest() {
    LinkPorts ports;
    ports.usb = MakePort(usb_);
    ports.com = MakePort(com_);
    ports.lpt = MakePort(lpt_);
    ports.ethernet = MakePort(ethernet_);
    facade_ = std::make_unique<LinkFacade>(std::move(ports));
    facade_->SetLinkTargets(serial_, lptDevice_, net_);
    facade_->SetProcessEventsHook([this] { ++processEvents_; });
    facade_->SetPauseHook([this](std::chrono::milliseconds ms) { pauses_.push_back(ms); });
  }

  static std::unique_ptr<FakeLinkPort> MakePort(FakeLinkPort*& raw) {
    auto port = std::make_unique<FakeLinkPort>();
    raw = port.get();
    return port;
  }

  FakeLinkPort& Port(LinkKind kind) {
    switch (kind) {
      case LinkKind::Usb:
        return *usb_;
      case LinkKind::Com:
        return *com_;
      case LinkKind::Lpt:
        return *lpt_;
      case LinkKind::Ethernet:
        break;
    }
    return *ethernet_;
  }

  bool Read(LinkKind kind, char& c) {
    std::uint8_t byte = 0;
    const bool ok = facade_->ReadLinkByte(handle_, kind, byte);
    c = static_cast<char>(byte);
    return ok;
  }

  SerialSettings serial_;
  LptDeviceName lptDevice_{DefaultLptDeviceName};
  NetTarget net_;
  FakeLinkPort* usb_ = nullptr;
  FakeLinkPort* com_ = nullptr;
  FakeLinkPort* lpt_ = nullptr;
  FakeLinkPort* ethernet_ = nullptr;
  std::unique_ptr<LinkFacade> facade_;
  LinkHandle handle_ = 7;
  int processEvents_ = 0;
  std::vector<std::chrono::milliseconds> pauses_;
};

class NoLinkTest : public LinkFacadeTest, public ::testing::WithParamInterface<std::int32_t> {};

TEST_P(NoLinkTest, EveryCallFailsWithoutTouchingAPort) {
  const auto kind = static_cast<LinkKind>(GetParam());
  EXPECT_EQ(facade_->OpenLink(kind), InvalidLink);
  EXPECT_FALSE(facade_->WriteLink(handle_, kind, "x", 1));
  std::uint8_t byte = 0;
  EXPECT_FALSE(facade_->ReadLinkByte(handle_, kind, byte));
  for (FakeLinkPort* port : {usb_, com_, lpt_, ethernet_}) {
    EXPECT_TRUE(port->events.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(OutOfRangeKinds, NoLinkTest, ::testing::Values(4, -1, 1000));

TEST(LinkFacadeWithoutTargets, OpenLink_IsInvalidAndOpensNothing) {
  LinkPorts ports;
  auto usb = std::make_unique<FakeLinkPort>();
  FakeLinkPort* raw = usb.get();
  ports.usb = std::move(usb);
  LinkFacade facade(std::move(ports));
  EXPECT_EQ(facade.OpenLink(LinkKind::Usb), InvalidLink);
  EXPECT_TRUE(raw->opens.empty());
}

TEST_F(LinkFacadeTest, OpenLink_SeesRecordsChangedAfterTheyWereSet) {
  serial_.PortName.Assign("/dev/ttyS3");
  lptDevice_.Assign("/dev/usb/lp1");
  net_.Host.Assign("10.1.2.3");
  net_.Port = 9101;
  ASSERT_NE(facade_->OpenLink(LinkKind::Com), InvalidLink);
  ASSERT_EQ(com_->opens.size(), 1u);
  EXPECT_EQ(com_->opens[0].serialPort, "/dev/ttyS3");
  EXPECT_EQ(com_->opens[0].lptDevice, "/dev/usb/lp1");
  EXPECT_EQ(com_->opens[0].host, "10.1.2.3");
  EXPECT_EQ(com_->opens[0].port, 9101);
}

struct ChunkCase {
  LinkKind kind;
  std::uint32_t length;
  std::vector<std::size_t> chunks;
};

void PrintTo(const ChunkCase& c, std::ostream* out) {
  PrintTo(c.kind, out);
  *out << ", " << c.length << " bytes";
}

class WriteChunkingTest : public LinkFacadeTest, public ::testing::WithParamInterface<ChunkCase> {};

TEST_P(WriteChunkingTest, SplitsIntoChunksOfTheKind) {
  const ChunkCase& c = GetParam();
  const std::string data = Pattern(c.length);
  FakeLinkPort& port = Port(c.kind);
  EXPECT_TRUE(facade_->WriteLink(handle_, c.kind, data.data(), c.length));
  std::vector<std::size_t> sizes;
  for (const std::string& chunk : port.chunks) {
    sizes.push_back(chunk.size());
  }
  EXPECT_EQ(sizes, c.chunks);
  EXPECT_EQ(port.Written(), data);
  EXPECT_EQ(processEvents_, static_cast<int>(c.chunks.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Table, WriteChunkingTest,
    ::testing::Values(ChunkCase{LinkKind::Usb, 130, {64, 64, 2}},
                      ChunkCase{LinkKind::Usb, 64, {64}}, ChunkCase{LinkKind::Usb, 65, {64, 1}},
                      ChunkCase{LinkKind::Usb, 0, {}}, ChunkCase{LinkKind::Com, 130, {64, 64, 2}},
                      ChunkCase{LinkKind::Com, 0, {}},
                      ChunkCase{LinkKind::Ethernet, 2500, {1024, 1024, 452}},
                      ChunkCase{LinkKind::Ethernet, 2100, {1024, 1024, 52}},
                      ChunkCase{LinkKind::Ethernet, 0, {}}, ChunkCase{LinkKind::Lpt, 3000, {3000}},
                      ChunkCase{LinkKind::Lpt, 0, {0}}));

TEST_F(LinkFacadeTest, WriteLink_StopsAtTheFirstShortChunk) {
  const std::string data = Pattern(200);
  usb_->chunkResults = {64, 10};
  EXPECT_FALSE(facade_->WriteLink(handle_, LinkKind::Usb, data.data(), 200));
  EXPECT_EQ(usb_->chunks.size(), 2u);
  EXPECT_EQ(processEvents_, 1);
}

TEST_F(LinkFacadeTest, WriteLink_FailsWhenLptTakesLessThanAll) {
  lpt_->chunkResults = {2999};
  EXPECT_FALSE(facade_->WriteLink(handle_, LinkKind::Lpt, Pattern(3000).data(), 3000));
  EXPECT_EQ(processEvents_, 0);
}

class ReadingKindTest : public LinkFacadeTest, public ::testing::WithParamInterface<LinkKind> {};

TEST_P(ReadingKindTest, ReadLinkByte_HandsOutOneFillByteByByte) {
  FakeLinkPort& port = Port(GetParam());
  port.fills = {"0123456789"};
  std::string got;
  char c = 0;
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(Read(GetParam(), c));
    got += c;
  }
  EXPECT_EQ(got, "0123456789");
  EXPECT_EQ(port.fillCalls, 1);
}

TEST_P(ReadingKindTest, OpenLink_ForgetsUnreadBytesOfThatKindOnly) {
  FakeLinkPort& port = Port(GetParam());
  const LinkKind other = GetParam() == LinkKind::Usb ? LinkKind::Com : LinkKind::Usb;
  port.fills = {"abc", "x"};
  Port(other).fills = {"123"};
  char c = 0;
  ASSERT_TRUE(Read(GetParam(), c));
  ASSERT_TRUE(Read(other, c));
  ASSERT_NE(facade_->OpenLink(GetParam()), InvalidLink);
  ASSERT_TRUE(Read(GetParam(), c));
  EXPECT_EQ(c, 'x');
  ASSERT_TRUE(Read(other, c));
  EXPECT_EQ(c, '2');
}

TEST_P(ReadingKindTest, ReadLinkByte_FailsAfterDropUntilNextOpen) {
  FakeLinkPort& port = Port(GetParam());
  port.fills = {Pattern(ReceiveBuffer::Size + 10), "late"};
  char c = 0;
  for (std::uint32_t i = 0; i < ReceiveBuffer::Size; ++i) {
    ASSERT_TRUE(Read(GetParam(), c)) << "byte " << i;
  }
  EXPECT_FALSE(Read(GetParam(), c));
  EXPECT_EQ(port.fillCalls, 1);

  port.fills = {"fresh"};
  ASSERT_NE(facade_->OpenLink(GetParam()), InvalidLink);
  ASSERT_TRUE(Read(GetParam(), c));
  EXPECT_EQ(c, 'f');
}

INSTANTIATE_TEST_SUITE_P(Kinds, ReadingKindTest,
                         ::testing::Values(LinkKind::Usb, LinkKind::Com, LinkKind::Ethernet));

TEST_F(LinkFacadeTest, ReadLinkByte_OnLptFailsWithoutTouchingThePort) {
  lpt_->fills = {"x"};
  char c = 0;
  EXPECT_FALSE(Read(LinkKind::Lpt, c));
  EXPECT_TRUE(lpt_->events.empty());
}

TEST_F(LinkFacadeTest, ReadLinkByte_UsbAndEthernetTryOneFillWhenEmpty) {
  char c = 0;
  EXPECT_FALSE(Read(LinkKind::Usb, c));
  EXPECT_FALSE(Read(LinkKind::Ethernet, c));
  EXPECT_EQ(usb_->fillCalls, 1);
  EXPECT_EQ(ethernet_->fillCalls, 1);
  EXPECT_TRUE(pauses_.empty());
}

TEST_F(LinkFacadeTest, ReadLinkByte_ComSilentPortGetsSixFillsEachFollowedByPause) {
  char c = 0;
  EXPECT_FALSE(Read(LinkKind::Com, c));
  EXPECT_EQ(com_->fillCalls, 6);
  EXPECT_EQ(pauses_, std::vector<std::chrono::milliseconds>(6, 200ms));
}

TEST_F(LinkFacadeTest, ReadLinkByte_ComStopsWaitingWhenAByteArrives) {
  com_->fills = {"", "", "z"};
  char c = 0;
  ASSERT_TRUE(Read(LinkKind::Com, c));
  EXPECT_EQ(c, 'z');
  EXPECT_EQ(com_->fillCalls, 3);
  EXPECT_EQ(pauses_.size(), 2u);
}

TEST(ReceiveBuffer, WrapsAroundKeepingOrder) {
  ReceiveBuffer buffer;
  const std::string first = Pattern(60000);
  ASSERT_EQ(buffer.Append(reinterpret_cast<const std::uint8_t*>(first.data()), 60000), 60000u);
  std::uint8_t byte = 0;
  for (int i = 0; i < 50000; ++i) {
    ASSERT_TRUE(buffer.TakeByte(byte));
  }
  const std::string second(50000, 'Z');
  ASSERT_EQ(buffer.Append(reinterpret_cast<const std::uint8_t*>(second.data()), 50000), 50000u);
  std::string rest;
  while (buffer.TakeByte(byte) && rest.size() <= 60000) {
    rest += static_cast<char>(byte);
  }
  EXPECT_EQ(rest, first.substr(50000) + second);
  EXPECT_FALSE(buffer.Dropped());
}

TEST(ReceiveBuffer, AppendBeyondFreeDropsTheExcessWithoutOverwriting) {
  ReceiveBuffer buffer;
  const std::string head = Pattern(ReceiveBuffer::Size - 3);
  buffer.Append(reinterpret_cast<const std::uint8_t*>(head.data()), ReceiveBuffer::Size - 3);
  EXPECT_EQ(buffer.Append(reinterpret_cast<const std::uint8_t*>("12345"), 5), 3u);
  EXPECT_TRUE(buffer.Dropped());
  EXPECT_EQ(buffer.Free(), 0u);
  std::uint8_t byte = 0;
  ASSERT_TRUE(buffer.TakeByte(byte));
  EXPECT_EQ(byte, 'a');

  buffer.Clear();
  EXPECT_FALSE(buffer.Dropped());
  EXPECT_EQ(buffer.Unread(), 0u);
}

}  // namespace
