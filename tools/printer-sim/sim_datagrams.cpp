// The UDP side of SimServer: discovery, block reads and block writes, one datagram at a time.

#include <arpa/inet.h>
#include <errno.h>
#include <string.h>
#include <sys/socket.h>

#include <array>

#include "printer-sim/sim_server_impl.h"

namespace printer_sim {
namespace {

using BlockWrites = FaultSwitches::BlockWrites;

constexpr std::size_t kLoggedDatagramBytes = kMaxUdpReply;
// Per poll round, so that a flood neither blocks the loop nor starves the other endpoints.
constexpr int kDatagramsPerRound = 64;
constexpr std::size_t kMaxQueuedDatagrams = 100000;
// A sender not yet known as local makes us look at the interfaces again, at most this often.
constexpr auto kHostAddressRefresh = std::chrono::seconds(1);

// Why a datagram gets no reply, in the order they are looked for. Up to TooShortForBlock the
// printers never took the request; from NoPort on they did, but send nothing.
enum class Unanswered {
  ShorterThanHeader,
  NotARequest,
  ForNoPrinter,
  NotFromThisHost,
  ReadLeftUnanswered,
  WriteLeftUnanswered,
  TooShortForBlock,
  NoPort,
  Silent,
  TooMuchUnsent,  // found once the replies are built
};

// What the log says for each, in the order above; "{}" stands for what the datagram asked for.
constexpr std::array<std::string_view, 10> kUnansweredNotes = {
    "ignored: shorter than a header",
    "ignored: command {}",
    "ignored:{} for no printer's MAC",
    "ignored: not from this host",
    "ignored: read of{}, left unanswered",
    "ignored: write of{}, left unanswered",
    "ignored: too short for{}",
    "ignored: no port to answer",
    "no reply: silent",
    "dropped: too much unsent",
};

std::string Note(Unanswered why, const std::string& asked = {}) {
  std::string text(kUnansweredNotes[static_cast<std::size_t>(why)]);
  if (auto at = text.find("{}"); at != std::string::npos) {
    text.replace(at, 2, asked);
  }
  return " (" + text + ")";
}

std::string PeerText(const sockaddr_in& address) {
  return Ipv4Text(ntohl(address.sin_addr.s_addr)) + ":" + std::to_string(ntohs(address.sin_port));
}

}  // namespace

// What a datagram asks for, before the printers are looked at.
struct Datagram {
  std::string_view bytes;
  sockaddr_in from;
  std::string peer;
  bool allowed;  // from this host, or every host is answered
  bool discovery;
  std::optional<BlockRequest> block;

  bool Request() const { return discovery || block; }
  bool Write() const { return block && block->write; }
};

// What the printers made of a datagram, taken under the lock.
struct DatagramOutcome {
  std::optional<int> target;                  // the printer a block request is for
  BlockWrites writes = BlockWrites::Applied;  // what that printer does with block writes
  bool applied = false;                       // whether a block write changed it
  FaultSwitches faults;                       // in force when a request arrived
  std::vector<PrinterState> printers;         // what the reply is about
};

namespace {

std::optional<Unanswered> WhyUnanswered(const Datagram& d, const DatagramOutcome& o) {
  using enum Unanswered;
  const bool read = d.block && !d.block->write;
  // The first that holds is the reason.
  const std::array<std::pair<bool, Unanswered>, 9> reasons = {{
      {!RequestCommand(d.bytes), ShorterThanHeader},
      {!d.Request(), NotARequest},
      {d.block && !o.target, ForNoPrinter},
      {!d.allowed, NotFromThisHost},
      {read && o.target && o.faults.blockReadsUnansweredOn.contains(*o.target), ReadLeftUnanswered},
      {d.Write() && o.writes == BlockWrites::Unanswered, WriteLeftUnanswered},
      {d.Write() && !o.applied && o.writes != BlockWrites::Unapplied, TooShortForBlock},
      {d.from.sin_port == 0, NoPort},
      {o.faults.udpSilent, Silent},
  }};
  for (const auto& [holds, why] : reasons) {
    if (holds) {
      return why;
    }
  }
  return std::nullopt;
}

// What follows the datagram in the log: why it is ignored, or what became of a block write and
// why no reply goes out.
std::string Notes(const Datagram& d, const DatagramOutcome& o, std::optional<Unanswered> why,
                  int printerCount) {
  std::string block = d.block ? " block " + std::to_string(d.block->block) : std::string();
  if (d.block && o.target && printerCount > 1) {
    block += (d.block->write ? " to printer " : " of printer ") + std::to_string(*o.target + 1);
  }
  if (why == Unanswered::NotARequest) {
    std::uint16_t command = *RequestCommand(d.bytes);
    return Note(*why, std::to_string(command) +
                          (command == kUdpCmdDiscover ? " not to every MAC" : std::string()));
  }
  if (why && *why < Unanswered::NoPort) {
    return Note(*why, block);
  }
  std::string notes;
  if (d.Write()) {
    notes = o.applied ? " (wrote" + block + ")" : " (not applied:" + block + ")";
  }
  return why ? notes + Note(*why) : notes;
}

// The replies to a request the printers took: an acknowledgement, a block, or one discovery
// reply per printer. `tcpAddress`: where the TCP side listens, empty when it does not on one.
std::vector<std::string> Replies(const Datagram& d, DatagramOutcome& o,
                                 const std::string& tcpAddress) {
  if (d.Write()) {
    std::string ack = BuildBlockWriteAck(d.bytes);
    if (o.writes == BlockWrites::ShortAck) {
      ack.resize(kUdpHeaderSize - 1);
    }
    return {std::move(ack)};
  }
  if (d.block) {
    return {BuildBlockReadReply(d.bytes, o.printers.front())};
  }
  std::vector<std::string> replies;
  replies.reserve(o.printers.size());
  for (std::size_t i = 0; i < o.printers.size(); ++i) {
    PrinterState& printer = o.printers[i];
    // The first printer is the one behind the TCP side: while it takes its address by DHCP
    // (a made-up lease), a discovery leads to where the TCP side listens.
    if (i == 0 && printer.dhcp && !tcpAddress.empty()) {
      printer.lastUsedIp = tcpAddress;
    }
    replies.push_back(BuildDiscoveryReply(d.bytes, printer));
  }
  return replies;
}

}  // namespace

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
  const Datagram datagram = Classify(bytes, from);
  DatagramOutcome outcome = Apply(datagram);
  const std::optional<Unanswered> why = WhyUnanswered(datagram, outcome);
  const std::string prefix = LogTimestamp() + " udp#" + std::to_string(udpChannelId);
  Emit(prefix + " <- " + datagram.peer + " \"" + EscapeBytes(bytes, kLoggedDatagramBytes) + "\"" +
       Notes(datagram, outcome, why, fleet.Count()));
  if (!why) {
    Answer(datagram, std::move(outcome), prefix);
  }
}

Datagram SimServer::Impl::Classify(std::string_view bytes, const sockaddr_in& from) {
  Ipv4 source = ntohl(from.sin_addr.s_addr);
  bool allowed = MayAnswer(source, hostAddresses, config.udpAnswerAny);
  if (!allowed && SteadyClock::now() - hostAddressesRead >= kHostAddressRefresh) {
    hostAddresses = LocalIpv4Addresses();
    hostAddressesRead = SteadyClock::now();
    allowed = MayAnswer(source, hostAddresses, config.udpAnswerAny);
  }
  bool discovery = IsDiscoveryRequest(bytes);
  return Datagram{bytes,   from,      PeerText(from),
                  allowed, discovery, discovery ? std::nullopt : ParseBlockRequest(bytes)};
}

DatagramOutcome SimServer::Impl::Apply(const Datagram& d) {
  DatagramOutcome o;
  {
    std::lock_guard lock(mu);
    CommandKind kind =
        d.Request() ? (d.Write() ? CommandKind::Set : CommandKind::Query) : CommandKind::Unknown;
    log.Append(LogEntry{Transport::Udp, udpChannelId, std::string(d.bytes), kind, d.peer});
    if (d.block) {
      o.target = fleet.Find(state, d.block->target);
    }
    if (d.block && o.target) {
      o.writes = faults.BlockWritesTo(*o.target);
      // Applied at once, even when the reply is silenced: only the acknowledgement goes missing.
      if (d.block->write && d.allowed &&
          (o.writes == BlockWrites::Applied || o.writes == BlockWrites::ShortAck)) {
        o.applied = fleet.Apply(d.bytes, *o.target, state);
      }
      if (!d.block->write) {
        o.printers.push_back(fleet.At(state, *o.target));
      }
    }
    ++generation;
    if (d.Request()) {
      o.faults = faults;
    }
    if (d.discovery && d.allowed) {
      o.printers = EveryPrinter();
    }
  }
  cv.notify_all();
  return o;
}

void SimServer::Impl::Answer(const Datagram& datagram, DatagramOutcome outcome,
                             const std::string& prefix) {
  // A fleet's printers report the addresses of their own TCP sides already.
  const bool tcpAddress =
      !listeners.empty() && config.fleetTcpFirst.empty() && config.tcpHost != "0.0.0.0";
  std::vector<std::string> replies =
      Replies(datagram, outcome, tcpAddress ? config.tcpHost : std::string());
  const FaultSwitches& udpFaults = outcome.faults;
  std::size_t copies = 1 + (udpFaults.duplicateReplies ? 1 : 0) + udpFaults.floodReplies;
  std::string line = prefix + " -> " + datagram.peer + " " + std::to_string(replies.size()) +
                     " repl" + (replies.size() == 1 ? "y" : "ies");
  if (copies > 1) {
    line += ", each " + std::to_string(copies) + " times";
  }
  if (udpFaults.shortReply) {
    line += ", each after a 31-byte datagram";
  }
  std::size_t perReply = udpFaults.shortReply ? 2 : 1;
  if (udpOut.size() + perReply * replies.size() > kMaxQueuedDatagrams) {
    Emit(line + Note(Unanswered::TooMuchUnsent));
    return;
  }
  for (std::string& reply : replies) {
    if (udpFaults.shortReply) {
      udpOut.push_back({datagram.from, reply.substr(0, kUdpHeaderSize - 1), 1});
    }
    udpOut.push_back({datagram.from, std::move(reply), copies});
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

}  // namespace printer_sim
