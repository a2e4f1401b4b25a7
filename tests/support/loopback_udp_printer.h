#pragma once

// A printer on 127.0.0.1 that answers each UDP request with whatever datagrams a test scripts:
// floods, noise of any length, replies cut short, paced or as fast as the receiver takes them.
// The virtual printer answers as a printer does; this one answers as a test needs.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

// Answers requests on 127.0.0.1 from a thread of its own, only ever to 127.0.0.1. It waits
// before each datagram until the receiving socket has room, so that nothing is lost on the way
// and every datagram reaches the receiver; it stops sending once the receiving socket is gone,
// after 10000 requests, after two minutes, or when it is destroyed.
class LoopbackUdpPrinter {
 public:
  using Clock = std::chrono::steady_clock;

  // The answer to one request: datagrams sent back to the requester, in order.
  struct Answer {
    std::vector<std::string> datagrams;
    std::chrono::milliseconds gap{0};  // between two datagrams; 0 = as the receiver takes them
  };
  // What became of one answer.
  struct Served {
    std::vector<Clock::time_point> sent;  // one per datagram that went out
    std::uint64_t drops = 0;              // the receiver's drops after the last one
  };
  using Script = std::function<Answer(const std::string& request)>;

  explicit LoopbackUdpPrinter(Script script) : script_(std::move(script)) {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
  }
  ~LoopbackUdpPrinter() {
    stop_ = true;
    if (thread_.joinable()) {
      thread_.join();
    }
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  LoopbackUdpPrinter(const LoopbackUdpPrinter&) = delete;
  LoopbackUdpPrinter& operator=(const LoopbackUdpPrinter&) = delete;

  // 0 when no socket could be bound.
  std::uint16_t Port() const { return port_; }
  // Waits, bounded, until `count` answers are complete: the last one may still be going out
  // when the receiver has had what it takes.
  std::vector<Served> WaitForAnswers(std::size_t count) const {
    std::unique_lock lock(mu_);
    answered_.wait_for(lock, std::chrono::seconds(10), [&] { return served_.size() >= count; });
    return served_;
  }

 private:
  // What one UDP socket of this host holds now, from /proc/net/udp.
  struct SocketState {
    std::uint64_t queued = 0;  // bytes waiting to be read
    std::uint64_t drops = 0;   // datagrams it had no room for
  };

  static std::optional<SocketState> FindSocket(std::uint16_t localPort) {
    std::ifstream table("/proc/net/udp");
    std::string line;
    std::getline(table, line);  // the column names
    while (std::getline(table, line)) {
      std::istringstream fields(line);
      std::vector<std::string> f;
      for (std::string field; fields >> field;) {
        f.push_back(field);
      }
      // sl local rem st tx:rx tr:when retrnsmt uid timeout inode ref pointer drops
      if (f.size() < 13) {
        continue;
      }
      const std::size_t colon = f[1].find(':');
      if (colon == std::string::npos ||
          std::stoul(f[1].substr(colon + 1), nullptr, 16) != localPort) {
        continue;
      }
      const std::size_t queues = f[4].find(':');
      SocketState state;
      state.queued = std::stoull(f[4].substr(queues + 1), nullptr, 16);
      state.drops = std::stoull(f[12]);
      return state;
    }
    return std::nullopt;
  }

  void Run() {
    const auto deadline = Clock::now() + std::chrono::minutes(2);
    for (int requests = 0; requests < 10000 && !stop_ && Clock::now() < deadline;) {
      pollfd ready{fd_, POLLIN, 0};
      if (::poll(&ready, 1, 100) != 1) {
        continue;
      }
      std::string request(4096, '\0');
      sockaddr_in from{};
      socklen_t length = sizeof from;
      const ssize_t got = ::recvfrom(fd_, request.data(), request.size(), 0,
                                     reinterpret_cast<sockaddr*>(&from), &length);
      if (got < 0 || from.sin_addr.s_addr != htonl(INADDR_LOOPBACK)) {
        continue;  // only this host's own requests are answered
      }
      ++requests;
      request.resize(static_cast<std::size_t>(got));
      const Answer answer = script_(request);
      Served served;
      const std::uint16_t receiver = ntohs(from.sin_port);
      sockaddr_in to{};
      to.sin_family = AF_INET;
      to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      to.sin_port = from.sin_port;
      for (const std::string& datagram : answer.datagrams) {
        if (!WaitForRoom(receiver)) {
          break;
        }
        ::sendto(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to),
                 sizeof to);
        served.sent.push_back(Clock::now());
        if (answer.gap.count() > 0) {
          std::this_thread::sleep_for(answer.gap);
        }
      }
      if (const auto state = FindSocket(receiver)) {
        served.drops = state->drops;
      }
      {
        std::lock_guard lock(mu_);
        served_.push_back(std::move(served));
      }
      answered_.notify_all();
    }
  }

  // False when the receiver is gone, or has had no room for 5 s.
  bool WaitForRoom(std::uint16_t receiver) const {
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (!stop_ && Clock::now() < deadline) {
      const std::optional<SocketState> state = FindSocket(receiver);
      if (!state) {
        return false;
      }
      if (state->queued < 32 * 1024) {
        return true;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return false;
  }

  Script script_;
  int fd_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  mutable std::mutex mu_;
  mutable std::condition_variable answered_;
  std::vector<Served> served_;
};
