// The byte streams of SimServer: TCP connections, the pty and the FIFO.

#include <errno.h>
#include <string.h>

#include "printer-sim/sim_server_impl.h"

namespace printer_sim {
namespace {

// A reader that never drains its replies must not make the queue grow without end.
constexpr std::size_t kMaxQueuedBytes = 64 * 1024 * 1024;
constexpr std::size_t kLoggedReplyBytes = 200;

}  // namespace

void SimServer::Impl::AddChannel(Transport transport, int fd, UniqueFd owned, int printer) {
  auto channel =
      std::make_unique<Channel>(transport, ++lastChannelId, fd,
                                CommandInterpreter(config.factoryDefaults, config.clock), printer);
  channel->owned = std::move(owned);
  channels.push_back(std::move(channel));
}

std::size_t SimServer::Impl::TcpChannelCount() const {
  return static_cast<std::size_t>(
      std::count_if(channels.begin(), channels.end(),
                    [](const auto& channel) { return channel->transport == Transport::Tcp; }));
}

void SimServer::Impl::AcceptAll(int printer, bool neverRead) {
  std::string peer;
  while (TcpChannelCount() < kMaxTcpConnections) {
    UniqueFd fd = AcceptConnection(listeners[static_cast<std::size_t>(printer)].Get(), &peer);
    if (!fd.Valid()) {
      break;
    }
    if (neverRead) {
      SetReceiveBuffer(fd.Get(), kNeverReadReceiveBuffer);
    }
    int raw = fd.Get();
    AddChannel(Transport::Tcp, raw, std::move(fd), printer);
    Emit(LogTimestamp() + " " + channels.back()->Name() + " connected from " + peer +
         (listeners.size() > 1 ? " to printer " + std::to_string(printer + 1) : std::string()));
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
    // Printer 0 is `state`; a fleet's other TCP sides change their printers only.
    PrinterState& printer = channel.printer == 0 ? state : fleet.Own(channel.printer, state);
    outcomes = channel.interpreter.Feed(bytes, printer, faults.CommandFaultsFor(channel.printer));
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

}  // namespace printer_sim
