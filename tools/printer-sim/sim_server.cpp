#include "printer-sim/sim_server.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>

#include <array>

#include "printer-sim/sim_server_impl.h"

namespace printer_sim {

SimServer::Impl::Impl(SimServerConfig c)
    : config(std::move(c)),
      state(config.initialState),
      fleet(config.printerCount, ParseIpv4(config.fleetTcpFirst).value_or(kDerivedAddressBase)),
      faults(config.faults),
      log(config.logCapacity) {
  // Printer 0 too is reached at the address its discovery reply carries.
  if (auto first = ParseIpv4(config.fleetTcpFirst)) {
    state.ip = state.lastUsedIp = state.dhcpLeaseIp = Ipv4Text(*first);
  }
  // Lives as long as the server so that SetFaults can wake the loop without racing Stop.
  std::array<int, 2> wake{};
  if (pipe2(wake.data(), O_NONBLOCK | O_CLOEXEC) == 0) {
    wakeRead.Reset(wake[0]);
    wakeWrite.Reset(wake[1]);
  }
}

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
    for (std::size_t i = 0; i < listeners.size(); ++i) {
      if (fds[first++].revents & POLLIN) {
        AcceptAll(static_cast<int>(i), neverRead);
      }
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
  // At the limit, new connections wait in the listen queue until one of ours closes.
  const short accepting = TcpChannelCount() < kMaxTcpConnections ? short{POLLIN} : short{0};
  for (const UniqueFd& listener : listeners) {
    fds.push_back({listener.Get(), accepting, 0});
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

void SimServer::Impl::CloseAll() {
  channels.clear();
  listeners.clear();
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

bool SimServer::Impl::OpenListeners(bool neverRead, std::uint16_t& boundPort, std::string* error) {
  const std::optional<Ipv4> first = ParseIpv4(config.fleetTcpFirst);
  if (!config.fleetTcpFirst.empty() && !first) {
    if (error) {
      *error = "not a numeric IPv4 address: " + config.fleetTcpFirst;
    }
    return false;
  }
  const int count = first ? fleet.Count() : 1;
  std::uint16_t port = config.tcpPort;
  for (int i = 0; i < count; ++i) {
    const std::string host = first ? Ipv4Text(*first + static_cast<Ipv4>(i)) : config.tcpHost;
    // The first takes any free port when asked to; the others take the same one.
    listeners.push_back(
        OpenTcpListener(host, port, neverRead ? kNeverReadReceiveBuffer : 0, &boundPort, error));
    if (!listeners.back().Valid()) {
      return false;
    }
    port = boundPort;
  }
  return true;
}

std::vector<PrinterState> SimServer::Impl::EveryPrinter() const {
  // O(count): a discovery of a thousand printers must stay quick.
  std::vector<PrinterState> printers;
  printers.reserve(static_cast<std::size_t>(fleet.Count()));
  for (int i = 0; i < fleet.Count(); ++i) {
    printers.push_back(fleet.At(state, i));
  }
  return printers;
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
    if (!d.OpenListeners(neverRead, boundPort, error)) {
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
  return impl_->Locked(&Impl::running);
}

std::uint16_t SimServer::TcpPort() const {
  return impl_->Locked(&Impl::port);
}

std::string SimServer::PtyPath() const {
  return impl_->Locked(&Impl::ptyPath);
}

std::uint16_t SimServer::UdpPort() const {
  return impl_->Locked(&Impl::boundUdpPort);
}

std::vector<PrinterState> SimServer::Printers() const {
  return impl_->Locked(&Impl::EveryPrinter);
}

std::vector<LogEntry> SimServer::ReceivedCommands() const {
  return impl_->Locked([](const Impl& d) { return d.log.Entries(); });
}

std::uint64_t SimServer::ReceivedCount() const {
  return impl_->Locked([](const Impl& d) { return d.log.TotalAppended(); });
}

void SimServer::ClearLog() {
  std::lock_guard lock(impl_->mu);
  impl_->log.Clear();
}

PrinterState SimServer::State() const {
  return impl_->Locked(&Impl::state);
}

void SimServer::SetState(PrinterState state) {
  std::lock_guard lock(impl_->mu);
  impl_->state = std::move(state);
}

FaultSwitches SimServer::Faults() const {
  return impl_->Locked(&Impl::faults);
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
  return impl_->Locked(&Impl::accepted);
}

std::size_t SimServer::OpenConnections() const {
  return impl_->Locked(&Impl::openTcp);
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
