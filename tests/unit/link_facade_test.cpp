#include "link/link_facade.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/fake_link_port.h"

namespace {

using namespace std::chrono_literals;

class LinkFacadeTest : public FakePortsTest<FakeLinkPort> {
 protected:
  bool Read(LinkKind kind, char& c) {
    std::uint8_t byte = 0;
    const bool ok = facade_->ReadLinkByte(handle_, kind, byte);
    c = static_cast<char>(byte);
    return ok;
  }

  LinkHandle handle_ = 7;
};

class NoLinkTest : public LinkFacadeTest, public ::testing::WithParamInterface<std::int32_t> {};

TEST_P(NoLinkTest, EveryCallFailsWithoutTouchingAPort) {
  const auto kind = static_cast<LinkKind>(GetParam());
  EXPECT_EQ(facade_->OpenLink(kind), InvalidLink);
  EXPECT_FALSE(facade_->WriteLink(handle_, kind, "x", 1));
  std::uint8_t byte = 0;
  EXPECT_FALSE(facade_->ReadLinkByte(handle_, kind, byte));
  for (FakeLinkPort* port : ports_) {
    EXPECT_TRUE(port->events.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(OutOfRangeKinds, NoLinkTest, ::testing::Values(4, -1, 1000));

TEST(LinkFacadeWithoutTargets, OpenLink_IsInvalidAndOpensNothing) {
  LinkPorts ports;
  ports.usb = std::make_unique<FakeLinkPort>();
  const auto& port = static_cast<const FakeLinkPort&>(*ports.usb);
  LinkFacade facade(std::move(ports));
  EXPECT_EQ(facade.OpenLink(LinkKind::Usb), InvalidLink);
  EXPECT_TRUE(port.opens.empty());
}

TEST_F(LinkFacadeTest, OpenLink_SeesRecordsChangedAfterTheyWereSet) {
  serial_.PortName.Assign("/dev/ttyS3");
  lptDevice_.Assign("/dev/usb/lp1");
  net_.Host.Assign("10.1.2.3");
  net_.Port = 9101;
  ASSERT_NE(facade_->OpenLink(LinkKind::Com), InvalidLink);
  ASSERT_EQ(Port(LinkKind::Com).opens.size(), 1u);
  const LinkTargets& seen = Port(LinkKind::Com).opens[0];
  EXPECT_EQ(seen.serial->PortName, "/dev/ttyS3");
  EXPECT_EQ(*seen.lptDevice, "/dev/usb/lp1");
  EXPECT_EQ(seen.net->Host, "10.1.2.3");
  EXPECT_EQ(seen.net->Port, 9101);
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
  EXPECT_TRUE(facade_->WriteLink(handle_, c.kind, data.data(), c.length));
  std::vector<std::size_t> sizes;
  std::string written;
  for (const std::string& chunk : Port(c.kind).chunks) {
    sizes.push_back(chunk.size());
    written += chunk;
  }
  EXPECT_EQ(sizes, c.chunks);
  EXPECT_EQ(written, data);
  EXPECT_EQ(processEvents_, static_cast<int>(c.chunks.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Table, WriteChunkingTest,
    ::testing::Values(ChunkCase{LinkKind::Usb, 130, {64, 64, 2}},
                      ChunkCase{LinkKind::Usb, 64, {64}}, ChunkCase{LinkKind::Usb, 65, {64, 1}},
                      ChunkCase{LinkKind::Usb, 0, {}}, ChunkCase{LinkKind::Com, 130, {64, 64, 2}},
                      ChunkCase{LinkKind::Com, 0, {}},
                      ChunkCase{LinkKind::Ethernet, 2500, {1024, 1024, 452}},
                      ChunkCase{LinkKind::Ethernet, 0, {}}, ChunkCase{LinkKind::Lpt, 3000, {3000}},
                      ChunkCase{LinkKind::Lpt, 0, {0}}));

TEST_F(LinkFacadeTest, WriteLink_StopsAtTheFirstShortChunk) {
  const std::string data = Pattern(200);
  Port().chunkResults = {64, 10};
  EXPECT_FALSE(facade_->WriteLink(handle_, LinkKind::Usb, data.data(), 200));
  EXPECT_EQ(Port().chunks.size(), 2u);
  EXPECT_EQ(processEvents_, 1);
  // The cause counts what went out: the whole first chunk and the part of the second.
  EXPECT_EQ(facade_->LastTransferFailure().cause, TransferFailureCause::WriteStopped);
  EXPECT_EQ(facade_->LastTransferFailure().sent, 74u);
  EXPECT_EQ(facade_->LastTransferFailure().total, 200u);
}

TEST_F(LinkFacadeTest, WriteLink_FailsWhenLptTakesLessThanAll) {
  Port(LinkKind::Lpt).chunkResults = {2999};
  EXPECT_FALSE(facade_->WriteLink(handle_, LinkKind::Lpt, Pattern(3000).data(), 3000));
  EXPECT_EQ(processEvents_, 0);
}

class ReadingKindTest : public LinkFacadeTest, public ::testing::WithParamInterface<LinkKind> {};

TEST_P(ReadingKindTest, OpenLink_ForgetsUnreadBytesOfThatKindOnly) {
  const LinkKind other = GetParam() == LinkKind::Usb ? LinkKind::Com : LinkKind::Usb;
  Port(GetParam()).fills = {"abc", "x"};
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
  // One fill is handed out byte by byte, in order, before the port is asked again.
  for (std::uint32_t i = 0; i < ReceiveBuffer::Size; ++i) {
    ASSERT_TRUE(Read(GetParam(), c)) << "byte " << i;
    ASSERT_EQ(c, static_cast<char>('a' + i % 26)) << "byte " << i;
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
  Port(LinkKind::Lpt).fills = {"x"};
  char c = 0;
  EXPECT_FALSE(Read(LinkKind::Lpt, c));
  EXPECT_TRUE(Port(LinkKind::Lpt).events.empty());
}

// How long an empty buffer is waited for: one fill, except the serial rule of six fills with a
// pause after each that comes up empty.
struct WaitCase {
  LinkKind kind;
  std::deque<std::string> fills;
  bool read;
  int fillCalls;
  std::size_t pauses;
};

void PrintTo(const WaitCase& c, std::ostream* out) {
  PrintTo(c.kind, out);
  *out << ", " << c.fills.size() << " fills";
}

class EmptyBufferWaitTest : public LinkFacadeTest,
                            public ::testing::WithParamInterface<WaitCase> {};

TEST_P(EmptyBufferWaitTest, ReadLinkByte_FillsAsTheKindWaits) {
  const WaitCase& w = GetParam();
  Port(w.kind).fills = w.fills;
  char c = 0;
  EXPECT_EQ(Read(w.kind, c), w.read);
  EXPECT_EQ(Port(w.kind).fillCalls, w.fillCalls);
  EXPECT_EQ(pauses_, std::vector<std::chrono::milliseconds>(w.pauses, 200ms));
}

INSTANTIATE_TEST_SUITE_P(Table, EmptyBufferWaitTest,
                         ::testing::Values(WaitCase{LinkKind::Usb, {}, false, 1, 0},
                                           WaitCase{LinkKind::Ethernet, {}, false, 1, 0},
                                           WaitCase{LinkKind::Com, {}, false, 6, 6},
                                           WaitCase{LinkKind::Com, {"", "", "z"}, true, 3, 2}));

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
