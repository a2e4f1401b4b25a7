#pragma once

// The inside of SimServer, shared by sim_server.cpp (lifecycle and poll loop),
// sim_channels.cpp (TCP, pty and FIFO) and sim_datagrams.cpp (UDP).

#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "printer-sim/outgoing_queue.h"
#include "printer-sim/posix_endpoints.h"
#include "printer-sim/printer_fleet.h"
#include "printer-sim/sim_server.h"
#include "printer-sim/udp_config_blocks.h"
#include "printer-sim/udp_discovery.h"
#include "printer-sim/unique_fd.h"

namespace printer_sim {

using SteadyClock = std::chrono::steady_clock;

constexpr std::size_t kMaxTcpConnections = 256;
constexpr int kNeverReadReceiveBuffer = 4096;

// One reply datagram, sent `copies` times to the requester.
struct OutgoingDatagram {
  sockaddr_in to;
  std::string bytes;
  std::size_t copies;
};

struct Channel {
  Channel(Transport transport, int id, int fd, CommandInterpreter interpreter, int printer)
      : transport(transport),
        id(id),
        printer(printer),
        fd(fd),
        interpreter(std::move(interpreter)),
        out(transport == Transport::Tcp) {}

  std::string Name() const { return std::string(ToString(transport)) + "#" + std::to_string(id); }

  Transport transport;
  int id;
  int printer;  // whose state it talks to: 0 but on a fleet's own TCP sides
  int fd;
  UniqueFd owned;  // TCP only; the pty and FIFO descriptors belong to their endpoints
  CommandInterpreter interpreter;
  OutgoingQueue out;
  bool readClosed = false;
  bool dead = false;
};

// Defined in sim_datagrams.cpp.
struct Datagram;
struct DatagramOutcome;

struct SimServer::Impl {
  explicit Impl(SimServerConfig c);

  // Server thread.
  void Run();
  void BuildPollSet(std::vector<pollfd>& fds, int& timeoutMs, bool neverRead);
  void CloseAll();

  // Byte streams: sim_channels.cpp.
  bool OpenListeners(bool neverRead, std::uint16_t& boundPort, std::string* error);
  void AddChannel(Transport transport, int fd, UniqueFd owned = {}, int printer = 0);
  std::size_t TcpChannelCount() const;
  void AcceptAll(int printer, bool neverRead);
  void ReadFrom(Channel& channel);
  void Feed(Channel& channel, std::string_view bytes);
  void WriteTo(Channel& channel);

  // Datagrams: sim_datagrams.cpp. A datagram is classified, applied to the printers, logged
  // and answered, each step by one function.
  void ReadDatagrams();
  void HandleDatagram(std::string_view bytes, const sockaddr_in& from);
  Datagram Classify(std::string_view bytes, const sockaddr_in& from);
  DatagramOutcome Apply(const Datagram& datagram);
  void Answer(const Datagram& datagram, DatagramOutcome outcome, const std::string& prefix);
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
  // What `read` (a member, or a function of the Impl) gives, taken under the lock.
  template <typename Read>
  auto Locked(Read read) const {
    std::lock_guard lock(mu);
    return std::invoke(read, *this);
  }
  // Every printer as a discovery reports it now. Called with `mu` held.
  std::vector<PrinterState> EveryPrinter() const;

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
  std::vector<UniqueFd> listeners;  // one for printer 0, or one for each printer of the fleet
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

}  // namespace printer_sim
