#include "printer-sim/sim_server.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include "printer-sim/outgoing_queue.h"
#include "printer-sim/posix_endpoints.h"
#include "printer-sim/printer_fleet.h"
#include "printer-sim/udp_config_blocks.h"
#include "printer-sim/udp_discovery.h"
#include "printer-sim/unique_fd.h"

namespace printer_sim {
namespace {

using SteadyClock = std::chrono::steady_clock;
using BlockWrites = FaultSwitches::BlockWrites;

bool TakesBlockWrites(BlockWrites writes) {
  return writes == BlockWrites::Applied || writes == BlockWrites::ShortAck;
}

constexpr std::size_t kMaxTcpConnections = 256;
// A reader that never drains its replies must not make the queue grow without end.
constexpr std::size_t kMaxQueuedBytes = 64 * 1024 * 1024;
constexpr int kNeverReadReceiveBuffer = 4096;
constexpr std::size_t kLoggedReplyBytes = 200;
constexpr std::size_t kLoggedDatagramBytes = kMaxUdpReply;
// Per poll round, so that a flood neither blocks the loop nor starves the other endpoints.
constexpr int kDatagramsPerRound = 64;
constexpr std::size_t kMaxQueuedDatagrams = 100000;
// A sender not yet known as local makes us look at the interfaces again, at most this often.
constexpr auto kHostAddressRefresh = std::chrono::seconds(1);

std::string PeerText(const sockaddr_in& address) {
  return Ipv4Text(ntohl(address.sin_addr.s_addr)) + ":" + std::to_string(ntohs(address.sin_port));
}

// One reply datagram, sent `copies` times to the requester.
struct OutgoingDatagram {
  sockaddr_in to;
  std::string bytes;
  std::size_t copies;
};

struct Channel {
  Channel(Transport transport, int id, int fd, CommandInterpreter interpreter)
      : transport(transport),
        id(id),
        fd(fd),
        interpreter(std::move(interpreter)),
        out(transport == Transport::Tcp) {}

  std::string Name() const { return std::string(ToString(transport)) + "#" + std::to_string(id); }

  Transport transport;
  int id;
  int fd;
  UniqueFd owned;  // TCP only; the pty and FIFO descriptors belong to their endpoints
  CommandInterpreter interpreter;
  OutgoingQueue out;
  bool readClosed = false;
  bool dead = false;
};

}  // namespace

struct SimServer::Impl {
  explicit Impl(SimServerConfig c)
      : config(std::move(c)),
        state(config.initialState),
        fleet(config.printerCount),
        faults(config.faults),
        log(config.logCapacity) {
    // Lives as long as the server so that SetFaults can wake the loop without racing Stop.
    std::array<int, 2> wake{};
    if (pipe2(wake.data(), O_NONBLOCK | O_CLOEXEC) == 0) {
      wakeRead.Reset(wake[0]);
      wakeWrite.Reset(wake[1]);
    }
  }

  // Server thread.
  void Run();
  void BuildPollSet(std::vector<pollfd>& fds, int& timeoutMs, bool neverRead);
  void AcceptAll(bool neverRead);
  void ReadFrom(Channel& channel);
  void Feed(Channel& channel, std::string_view bytes);
  void WriteTo(Channel& channel);
  void ReadDatagrams();
  void HandleDatagram(std::string_view bytes, const sockaddr_in& from);
  void SendDatagrams();
  void Emit(const std::string& line) const {
    if (config.logSink) {
      config.logSink(line);
    }
  }
  void Notify() {
    {
      std::lock_guard lock(mu);
      ++generation;
    }
    cv.notify_all();
  }
  void Wake() const {
    char byte = 1;
    [[maybe_unused]] ssize_t ignored = write(wakeWrite.Get(), &byte, 1);
  }
  void AddChannel(Transport transport, int fd, UniqueFd owned = {}) {
    auto channel = std::make_unique<Channel>(
        transport, ++lastChannelId, fd, CommandInterpreter(config.factoryDefaults, config.clock));
    channel->owned = std::move(owned);
    channels.push_back(std::move(channel));
  }
  void CloseAll();
  std::size_t TcpChannelCount() const {
    return static_cast<std::size_t>(
        std::count_if(channels.begin(), channels.end(),
                      [](const auto& channel) { return channel->transport == Transport::Tcp; }));
  }

  const SimServerConfig config;

  mutable std::mutex mu;
  mutable std::condition_variable cv;
  std::uint64_t generation = 0;
  PrinterState state;
  PrinterFleet fleet;  // printer 0 is `state`
  FaultSwitches faults;
  CommandLog log;
  std::size_t accepted = 0;
  std::size_t openTcp = 0;
  std::uint16_t port = 0;
  std::string ptyPath;
  std::uint16_t boundUdpPort = 0;
  bool running = false;

  std::mutex lifecycle;  // serialises Start and Stop
  UniqueFd wakeRead, wakeWrite;
  std::thread thread;
  std::atomic<bool> stopRequested{false};

  // Owned by the server thread while it runs.
  UniqueFd listener;
  PtyEndpoint pty;
  FifoEndpoint fifo;
  std::vector<std::unique_ptr<Channel>> channels;
  UniqueFd udp;
  int udpChannelId = 0;
  std::vector<Ipv4> hostAddresses;
  SteadyClock::time_point hostAddressesRead;
  std::deque<OutgoingDatagram> udpOut;
  int lastChannelId = 0;
  std::vector<char> readBuffer = std::vector<char>(64 * 1024);
};

void SimServer::Impl::Run() {
  std::vector<pollfd> fds;
  while (!stopRequested.load()) {
    bool neverRead;
    {
      std::lock_guard lock(mu);
      neverRead = faults.neverRead;
    }
    int timeoutMs = -1;
    BuildPollSet(fds, timeoutMs, neverRead);
    if (poll(fds.data(), fds.size(), timeoutMs) < 0 && errno != EINTR) {
      Emit(LogTimestamp() + " poll failed: " + strerror(errno));
      break;
    }
    if (fds[0].revents & POLLIN) {
      std::array<char, 64> drain;
      while (read(wakeRead.Get(), drain.data(), drain.size()) > 0) {
      }
    }
    std::size_t first = 1;
    if (listener.Valid() && (fds[first++].revents & POLLIN)) {
      AcceptAll(neverRead);
    }
    if (udp.Valid()) {
      short revents = fds[first++].revents;
      if (revents & POLLIN) {
        ReadDatagrams();
      }
      // Not waiting for POLLOUT first: a datagram socket is writable almost always.
      SendDatagrams();
    }
    // Channels accepted just now are not in `fds` yet.
    std::size_t polled = fds.size() - first;
    for (std::size_t i = 0; i < polled; ++i) {
      Channel& channel = *channels[i];
      short revents = fds[first + i].revents;
      if (revents & POLLIN) {
        ReadFrom(channel);
      } else if (revents & (POLLERR | POLLHUP | POLLNVAL)) {
        // Cannot happen for the pty or FIFO while we hold their other ends; drop it rather
        // than spin.
        channel.dead = true;
        Emit(LogTimestamp() + " " + channel.Name() + " hang-up");
      } else if (revents & POLLRDHUP) {
        channel.readClosed = true;
      }
      if (!channel.dead) {
        WriteTo(channel);
      }
      if (channel.transport == Transport::Tcp && channel.readClosed && channel.out.Empty()) {
        channel.dead = true;
      }
    }
    std::size_t closedTcp = 0;
    std::erase_if(channels, [&](const std::unique_ptr<Channel>& channel) {
      if (channel->dead) {
        Emit(LogTimestamp() + " " + channel->Name() + " closed");
        closedTcp += channel->transport == Transport::Tcp;
      }
      return channel->dead;
    });
    if (closedTcp > 0) {
      {
        std::lock_guard lock(mu);
        openTcp -= closedTcp;
      }
      Notify();
    }
  }
}

void SimServer::Impl::BuildPollSet(std::vector<pollfd>& fds, int& timeoutMs, bool neverRead) {
  auto now = SteadyClock::now();
  fds.clear();
  fds.push_back({wakeRead.Get(), POLLIN, 0});
  if (listener.Valid()) {
    // At the limit, new connections wait in the listen queue until one of ours closes.
    fds.push_back(
        {listener.Get(), TcpChannelCount() < kMaxTcpConnections ? short{POLLIN} : short{0}, 0});
  }
  if (udp.Valid()) {
    fds.push_back({udp.Get(), static_cast<short>(POLLIN | (udpOut.empty() ? 0 : POLLOUT)), 0});
  }
  for (const auto& channel : channels) {
    short events = 0;
    if (!channel->readClosed) {
      // Without reading, a peer that closes is still noticed.
      bool reads = !(neverRead && channel->transport == Transport::Tcp);
      events |= reads ? POLLIN : POLLRDHUP;
    }
    if (channel->out.WantsWrite(now)) {
      events |= POLLOUT;
    } else if (auto due = channel->out.NextDue()) {
      auto wait = std::chrono::ceil<std::chrono::milliseconds>(*due - now).count();
      int ms = static_cast<int>(std::clamp<long long>(wait, 0, 60000));
      timeoutMs = timeoutMs < 0 ? ms : std::min(timeoutMs, ms);
    }
    fds.push_back({channel->fd, events, 0});
  }
}

void SimServer::Impl::AcceptAll(bool neverRead) {
  std::string peer;
  while (TcpChannelCount() < kMaxTcpConnections) {
    UniqueFd fd = AcceptConnection(listener.Get(), &peer);
    if (!fd.Valid()) {
      break;
    }
    if (neverRead) {
      SetReceiveBuffer(fd.Get(), kNeverReadReceiveBuffer);
    }
    int raw = fd.Get();
    AddChannel(Transport::Tcp, raw, std::move(fd));
    Emit(LogTimestamp() + " " + channels.back()->Name() + " connected from " + peer);
    {
      std::lock_guard lock(mu);
      ++accepted;
      ++openTcp;
    }
    Notify();
  }
}

void SimServer::Impl::ReadFrom(Channel& channel) {
  ssize_t n;
  do {
    n = read(channel.fd, readBuffer.data(), readBuffer.size());
  } while (n < 0 && errno == EINTR);
  if (n > 0) {
    Feed(channel, std::string_view(readBuffer.data(), static_cast<std::size_t>(n)));
  } else if (n == 0) {
    // The peer finished sending; replies still owed go out before the connection closes.
    channel.readClosed = true;
  } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
    Emit(LogTimestamp() + " " + channel.Name() + " read failed: " + strerror(errno));
    channel.dead = true;
  }
}

void SimServer::Impl::Feed(Channel& channel, std::string_view bytes) {
  std::vector<CommandOutcome> outcomes;
  {
    std::lock_guard lock(mu);
    outcomes = channel.interpreter.Feed(bytes, state, faults);
    for (const CommandOutcome& outcome : outcomes) {
      log.Append(LogEntry{channel.transport, channel.id, outcome.raw, outcome.kind, {}});
    }
    ++generation;
  }
  cv.notify_all();

  std::string prefix = LogTimestamp() + " " + channel.Name();
  for (CommandOutcome& outcome : outcomes) {
    std::string line = prefix + " <- \"" + EscapeBytes(outcome.raw, kLoggedReplyBytes) + "\"";
    if (outcome.kind == CommandKind::Unknown) {
      line += " (unknown)";
    } else if (outcome.silenced) {
      line += " (no reply: silenced)";
    }
    Emit(line);
    if (!outcome.reply || channel.transport == Transport::Fifo) {
      continue;
    }
    ReplyPlan& plan = *outcome.reply;
    plan.closeAfter = plan.closeAfter && channel.transport == Transport::Tcp;
    line = prefix + " -> \"" + EscapeBytes(plan.bytes, kLoggedReplyBytes) + "\"";
    if (plan.byteDelay.count() > 0) {
      line += " (one byte every " + std::to_string(plan.byteDelay.count()) + " ms)";
    }
    if (plan.closeAfter) {
      line += " (then close)";
    }
    if (channel.out.PendingBytes() + plan.bytes.size() > kMaxQueuedBytes) {
      line += " (dropped: too much unsent)";
    } else {
      channel.out.Push(std::move(plan));
    }
    Emit(line);
  }
}

void SimServer::Impl::WriteTo(Channel& channel) {
  if (!channel.out.WantsWrite(SteadyClock::now())) {
    return;
  }
  switch (channel.out.Write(channel.fd, SteadyClock::now())) {
    case OutgoingQueue::WriteResult::Done:
    case OutgoingQueue::WriteResult::Blocked:
      break;
    case OutgoingQueue::WriteResult::Close:
      channel.dead = true;
      break;
    case OutgoingQueue::WriteResult::Error:
      Emit(LogTimestamp() + " " + channel.Name() + " write failed: " + strerror(errno));
      channel.out.Clear();
      channel.dead = channel.transport == Transport::Tcp;
      break;
  }
}

void SimServer::Impl::ReadDatagrams() {
  // Bounded, so that a flood of requests cannot hold the loop.
  for (int i = 0; i < kDatagramsPerRound; ++i) {
    sockaddr_in from{};
    socklen_t length = sizeof from;
    ssize_t n = recvfrom(udp.Get(), readBuffer.data(), readBuffer.size(), 0,
                         reinterpret_cast<sockaddr*>(&from), &length);
    if (n < 0) {
      if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        Emit(LogTimestamp() + " udp#" + std::to_string(udpChannelId) +
             " receive failed: " + strerror(errno));
      }
      return;
    }
    HandleDatagram(std::string_view(readBuffer.data(), static_cast<std::size_t>(n)), from);
  }
}

void SimServer::Impl::HandleDatagram(std::string_view bytes, const sockaddr_in& from) {
  Ipv4 source = ntohl(from.sin_addr.s_addr);
  bool allowed = MayAnswer(source, hostAddresses, config.udpAnswerAny);
  if (!allowed && SteadyClock::now() - hostAddressesRead >= kHostAddressRefresh) {
    hostAddresses = LocalIpv4Addresses();
    hostAddressesRead = SteadyClock::now();
    allowed = MayAnswer(source, hostAddresses, config.udpAnswerAny);
  }
  bool discovery = IsDiscoveryRequest(bytes);
  std::optional<BlockRequest> block = discovery ? std::nullopt : ParseBlockRequest(bytes);
  std::string peer = PeerText(from);
  std::vector<PrinterState> printers;  // what the reply is about
  FaultSwitches udpFaults;
  std::optional<int> target;
  BlockWrites writes = BlockWrites::Applied;
  bool applied = false;
  {
    std::lock_guard lock(mu);
    CommandKind kind = discovery || (block && !block->write) ? CommandKind::Query
                       : block                               ? CommandKind::Set
                                                             : CommandKind::Unknown;
    log.Append(LogEntry{Transport::Udp, udpChannelId, std::string(bytes), kind, peer});
    if (block) {
      target = fleet.Find(state, block->target);
    }
    if (block && target) {
      writes = faults.BlockWritesTo(*target);
      // Applied at once, even when the reply is silenced: only the acknowledgement goes missing.
      if (block->write && allowed && TakesBlockWrites(writes)) {
        applied = fleet.Apply(bytes, *target, state);
      }
      if (!block->write) {
        printers.push_back(fleet.At(state, *target));
      }
    }
    ++generation;
    if (discovery || block) {
      udpFaults = faults;
    }
    if (discovery && allowed) {
      // O(count): a discovery of a thousand printers must stay quick.
      printers.reserve(static_cast<std::size_t>(fleet.Count()));
      for (int i = 0; i < fleet.Count(); ++i) {
        printers.push_back(fleet.At(state, i));
      }
    }
  }
  cv.notify_all();

  std::string prefix = LogTimestamp() + " udp#" + std::to_string(udpChannelId);
  std::string line =
      prefix + " <- " + peer + " \"" + EscapeBytes(bytes, kLoggedDatagramBytes) + "\"";
  std::string blockText = block ? " block " + std::to_string(block->block) : std::string();
  if (block && target && fleet.Count() > 1) {
    blockText += (block->write ? " to printer " : " of printer ") + std::to_string(*target + 1);
  }
  bool answer = false;
  if (auto command = RequestCommand(bytes); !command) {
    line += " (ignored: shorter than a header)";
  } else if (!discovery && !block) {
    line += " (ignored: command " + std::to_string(*command) +
            (*command == kUdpCmdDiscover ? " not to every MAC)" : ")");
  } else if (block && !target) {
    line += " (ignored:" + blockText + " for no printer's MAC)";
  } else if (!allowed) {
    line += " (ignored: not from this host)";
  } else if (block && !block->write && udpFaults.blockReadsUnansweredOn.contains(*target)) {
    line += " (ignored: read of" + blockText + ", left unanswered)";
  } else if (block && block->write && writes == BlockWrites::Unanswered) {
    line += " (ignored: write of" + blockText + ", left unanswered)";
  } else if (block && block->write && !applied && writes != BlockWrites::Unapplied) {
    line += " (ignored: too short for" + blockText + ")";
  } else {
    if (block && block->write) {
      line += applied ? " (wrote" + blockText + ")" : " (not applied:" + blockText + ")";
    }
    if (from.sin_port == 0) {
      line += " (ignored: no port to answer)";
    } else if (udpFaults.udpSilent) {
      line += " (no reply: silent)";
    } else {
      answer = true;
    }
  }
  Emit(line);
  if (!answer) {
    return;
  }

  std::vector<std::string> replies;
  if (block && block->write) {
    std::string ack = BuildBlockWriteAck(bytes);
    if (writes == BlockWrites::ShortAck) {
      ack.resize(kUdpHeaderSize - 1);
    }
    replies.push_back(std::move(ack));
  } else if (block) {
    replies.push_back(BuildBlockReadReply(bytes, printers.front()));
  } else {
    replies.reserve(printers.size());
    for (std::size_t i = 0; i < printers.size(); ++i) {
      PrinterState& printer = printers[i];
      // The first printer is the one behind the TCP side: while it takes its address by DHCP
      // (a made-up lease), a discovery leads to where the TCP side listens.
      if (i == 0 && printer.dhcp && listener.Valid() && config.tcpHost != "0.0.0.0") {
        printer.lastUsedIp = config.tcpHost;
      }
      replies.push_back(BuildDiscoveryReply(bytes, printer));
    }
  }
  std::size_t copies = 1 + (udpFaults.duplicateReplies ? 1 : 0) + udpFaults.floodReplies;
  line = prefix + " -> " + peer + " " + std::to_string(replies.size()) + " repl" +
         (replies.size() == 1 ? "y" : "ies");
  if (copies > 1) {
    line += ", each " + std::to_string(copies) + " times";
  }
  if (udpFaults.shortReply) {
    line += ", each after a 31-byte datagram";
  }
  std::size_t perReply = udpFaults.shortReply ? 2 : 1;
  if (udpOut.size() + perReply * replies.size() > kMaxQueuedDatagrams) {
    Emit(line + " (dropped: too much unsent)");
    return;
  }
  for (std::string& reply : replies) {
    if (udpFaults.shortReply) {
      udpOut.push_back({from, reply.substr(0, kUdpHeaderSize - 1), 1});
    }
    udpOut.push_back({from, std::move(reply), copies});
  }
  Emit(line);
}

void SimServer::Impl::SendDatagrams() {
  for (int sent = 0; sent < kDatagramsPerRound && !udpOut.empty(); ++sent) {
    OutgoingDatagram& next = udpOut.front();
    // Only ever to the requester's own address: never a broadcast, which the socket refuses too.
    ssize_t n = sendto(udp.Get(), next.bytes.data(), next.bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                       reinterpret_cast<const sockaddr*>(&next.to), sizeof next.to);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
      return;  // POLLOUT says when to go on
    }
    if (n < 0) {
      Emit(LogTimestamp() + " udp#" + std::to_string(udpChannelId) + " send to " +
           PeerText(next.to) + " failed: " + strerror(errno));
      udpOut.pop_front();
    } else if (--next.copies == 0) {
      udpOut.pop_front();
    }
  }
}

void SimServer::Impl::CloseAll() {
  channels.clear();
  listener.Reset();
  udp.Reset();
  udpOut.clear();
  if (pty.master.Valid() && !config.ptyLink.empty()) {
    RemoveSymlinkTo(pty.slavePath, config.ptyLink);
  }
  pty = PtyEndpoint{};
  if (fifo.created) {
    unlink(config.fifoPath.c_str());
  }
  fifo = FifoEndpoint{};
  {
    std::lock_guard lock(mu);
    port = 0;
    boundUdpPort = 0;
    ptyPath.clear();
    openTcp = 0;
    running = false;
    ++generation;
  }
  cv.notify_all();
}

SimServer::SimServer(SimServerConfig config) : impl_(std::make_unique<Impl>(std::move(config))) {}

SimServer::~SimServer() {
  Stop();
}

bool SimServer::Start(std::string* error) {
  Impl& d = *impl_;
  std::lock_guard life(d.lifecycle);
  if (d.thread.joinable()) {
    if (error) {
      *error = "already running";
    }
    return false;
  }
  auto fail = [&](const std::string& what) {
    if (error && !what.empty()) {
      *error = what;
    }
    d.CloseAll();
    return false;
  };
  if (!d.wakeRead.Valid()) {
    return fail("cannot create the wake-up pipe");
  }

  std::uint16_t boundPort = 0;
  bool neverRead = Faults().neverRead;
  if (d.config.tcp) {
    d.listener = OpenTcpListener(d.config.tcpHost, d.config.tcpPort,
                                 neverRead ? kNeverReadReceiveBuffer : 0, &boundPort, error);
    if (!d.listener.Valid()) {
      return fail({});
    }
  }
  std::uint16_t udpPort = 0;
  if (d.config.udp) {
    d.udp = OpenUdpSocket(d.config.udpHost, d.config.udpPort, &udpPort, error);
    if (!d.udp.Valid()) {
      return fail({});
    }
    d.udpChannelId = ++d.lastChannelId;
    d.hostAddresses = LocalIpv4Addresses();
    d.hostAddressesRead = SteadyClock::now();
  }
  if (d.config.pty) {
    if (!OpenPty(d.pty, error) ||
        (!d.config.ptyLink.empty() && !ReplaceSymlink(d.pty.slavePath, d.config.ptyLink, error))) {
      return fail({});
    }
    d.AddChannel(Transport::Pty, d.pty.master.Get());
  }
  if (!d.config.fifoPath.empty()) {
    if (!OpenFifo(d.config.fifoPath, d.fifo, error)) {
      return fail({});
    }
    d.AddChannel(Transport::Fifo, d.fifo.readEnd.Get());
  }
  {
    std::lock_guard lock(d.mu);
    d.port = boundPort;
    d.boundUdpPort = udpPort;
    d.ptyPath = d.pty.slavePath;
    d.running = true;
  }
  d.stopRequested = false;
  d.thread = std::thread([&d] { d.Run(); });
  return true;
}

void SimServer::Stop() {
  Impl& d = *impl_;
  std::lock_guard life(d.lifecycle);
  if (!d.thread.joinable()) {
    return;
  }
  d.stopRequested = true;
  d.Wake();
  d.thread.join();
  d.CloseAll();
}

bool SimServer::Running() const {
  std::lock_guard lock(impl_->mu);
  return impl_->running;
}

std::uint16_t SimServer::TcpPort() const {
  std::lock_guard lock(impl_->mu);
  return impl_->port;
}

std::string SimServer::PtyPath() const {
  std::lock_guard lock(impl_->mu);
  return impl_->ptyPath;
}

std::uint16_t SimServer::UdpPort() const {
  std::lock_guard lock(impl_->mu);
  return impl_->boundUdpPort;
}

std::vector<PrinterState> SimServer::Printers() const {
  std::lock_guard lock(impl_->mu);
  const PrinterFleet& fleet = impl_->fleet;
  std::vector<PrinterState> printers;
  printers.reserve(static_cast<std::size_t>(fleet.Count()));
  for (int i = 0; i < fleet.Count(); ++i) {
    printers.push_back(fleet.At(impl_->state, i));
  }
  return printers;
}

std::vector<LogEntry> SimServer::ReceivedCommands() const {
  std::lock_guard lock(impl_->mu);
  return impl_->log.Entries();
}

std::uint64_t SimServer::ReceivedCount() const {
  std::lock_guard lock(impl_->mu);
  return impl_->log.TotalAppended();
}

void SimServer::ClearLog() {
  std::lock_guard lock(impl_->mu);
  impl_->log.Clear();
}

PrinterState SimServer::State() const {
  std::lock_guard lock(impl_->mu);
  return impl_->state;
}

void SimServer::SetState(PrinterState state) {
  std::lock_guard lock(impl_->mu);
  impl_->state = std::move(state);
}

FaultSwitches SimServer::Faults() const {
  std::lock_guard lock(impl_->mu);
  return impl_->faults;
}

void SimServer::SetFaults(FaultSwitches faults) {
  {
    std::lock_guard lock(impl_->mu);
    impl_->faults = std::move(faults);
  }
  // neverRead changes which descriptors the loop polls.
  impl_->Wake();
}

std::size_t SimServer::AcceptedConnections() const {
  std::lock_guard lock(impl_->mu);
  return impl_->accepted;
}

std::size_t SimServer::OpenConnections() const {
  std::lock_guard lock(impl_->mu);
  return impl_->openTcp;
}

bool SimServer::WaitUntil(const std::function<bool()>& condition,
                          std::chrono::milliseconds timeout) const {
  auto deadline = SteadyClock::now() + timeout;
  Impl& d = *impl_;
  while (true) {
    std::uint64_t seen;
    {
      std::lock_guard lock(d.mu);
      seen = d.generation;
    }
    if (condition()) {
      return true;
    }
    std::unique_lock lock(d.mu);
    if (!d.cv.wait_until(lock, deadline, [&] { return d.generation != seen; })) {
      lock.unlock();
      return condition();
    }
  }
}

}  // namespace printer_sim
