#pragma once

// The one way tests and benchmarks start the virtual printer: in process on loopback
// (VirtualPrinter), or the q73580-printer-sim program itself where a test needs the program
// (VirtualPrinterProgram). Both stop what they started when they go.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "printer-sim/sim_server.h"

// The endpoints a VirtualPrinter opens, all on this host: TCP and UDP on 127.0.0.1 at free
// ports, the FIFO in a folder of its own.
struct Endpoints {
  bool tcp = true;
  bool udp = false;
  bool pty = false;
  bool fifo = false;
  // In place of `tcp`: every printer of the fleet on TCP port 9100, as q73580-cli's --all
  // reaches them, each at an address of its own, FleetTcpFirst() + i.
  bool fleetTcp = false;
};

// The address of a fleet's first TCP side: 127.X.Y.1 from this process's id, so that fleets in
// tests run at the same time do not meet on port 9100. All of 127.0.0.0/8 is loopback on Linux.
inline std::string FleetTcpFirst() {
  const auto pid = static_cast<unsigned>(::getpid());
  return "127." + std::to_string(16 + pid % 200) + "." + std::to_string(pid / 200 % 256) + ".1";
}
// The virtual printer answering the UDP setup protocol only.
constexpr Endpoints UdpOnly{.tcp = false, .udp = true};

// The three links a test reaches the virtual printer by: TCP, its pty as a COM port and its
// FIFO as a parallel port.
enum class Via { Tcp, Pty, Fifo };

inline const char* ViaName(Via via) {
  return std::array{"Tcp", "Pty", "Fifo"}.at(static_cast<std::size_t>(via));
}
// The printer reachable over `via` alone.
constexpr Endpoints Over(Via via) {
  return {.tcp = via == Via::Tcp, .pty = via == Via::Pty, .fifo = via == Via::Fifo};
}

class VirtualPrinter {
 public:
  VirtualPrinter() = default;
  explicit VirtualPrinter(Endpoints endpoints, printer_sim::SimServerConfig config = {}) {
    Start(endpoints, std::move(config));
  }
  ~VirtualPrinter() { Stop(); }
  VirtualPrinter(const VirtualPrinter&) = delete;
  VirtualPrinter& operator=(const VirtualPrinter&) = delete;

  // Starts `config` with `endpoints` in place of its own; a running printer is stopped first.
  bool Start(Endpoints endpoints, printer_sim::SimServerConfig config = {}) {
    Stop();
    config.tcp = endpoints.tcp || endpoints.fleetTcp;
    config.tcpHost = "127.0.0.1";
    config.tcpPort = endpoints.fleetTcp ? 9100 : 0;
    config.fleetTcpFirst = endpoints.fleetTcp ? FleetTcpFirst() : std::string();
    config.udp = endpoints.udp;
    config.udpHost = "127.0.0.1";
    config.udpPort = 0;
    config.pty = endpoints.pty;
    config.fifoPath.clear();
    if (endpoints.fifo) {
      std::string folder = TempFolder() + "/q73580-lpt-XXXXXX";
      if (::mkdtemp(folder.data()) == nullptr) {
        error_ = "mkdtemp " + folder;
        return false;
      }
      folder_ = folder;
      config.fifoPath = folder_ + "/lpt";
    }
    return StartAsConfigured(std::move(config));
  }
  // Starts `config` as it is: only inside the private network namespace, where the printer
  // listens on the addresses and ports of a real network.
  bool StartAsConfigured(printer_sim::SimServerConfig config) {
    sim_ = std::make_unique<printer_sim::SimServer>(std::move(config));
    error_.clear();
    return sim_->Start(&error_);
  }
  void Stop() {
    sim_.reset();
    if (!folder_.empty()) {
      ::unlink((folder_ + "/lpt").c_str());
      ::rmdir(folder_.c_str());
      folder_.clear();
    }
  }

  bool Running() const { return sim_ != nullptr && sim_->Running(); }
  const std::string& Error() const { return error_; }
  printer_sim::SimServer& Sim() const { return *sim_; }
  printer_sim::SimServer* operator->() const { return sim_.get(); }

  std::uint16_t TcpPort() const { return sim_->TcpPort(); }
  std::uint16_t UdpPort() const { return sim_->UdpPort(); }
  std::string PtyPath() const { return sim_->PtyPath(); }
  std::string FifoPath() const { return folder_.empty() ? std::string() : folder_ + "/lpt"; }
  // Where the printer is reached over `via`: "127.0.0.1:PORT", or the pty's or the FIFO's path.
  std::string Target(Via via) const {
    return via == Via::Tcp   ? "127.0.0.1:" + std::to_string(TcpPort())
           : via == Via::Pty ? PtyPath()
                             : FifoPath();
  }

  // The command lines the printer received, exactly as they came (UDP datagrams left out).
  std::vector<std::string> Received() const { return Raw(false); }
  // The UDP datagrams it received, in order.
  std::vector<std::string> Datagrams() const { return Raw(true); }
  // A command that gets no reply may still be on its way when the sender is done.
  bool WaitReceived(std::uint64_t count,
                    std::chrono::milliseconds timeout = std::chrono::seconds(5)) const {
    return sim_->WaitUntil([&] { return sim_->ReceivedCount() >= count; }, timeout);
  }

 private:
  static std::string TempFolder() {
    const char* tmp = ::getenv("TMPDIR");
    return tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  }
  std::vector<std::string> Raw(bool datagrams) const {
    std::vector<std::string> lines;
    for (const auto& entry : sim_->ReceivedCommands()) {
      if ((entry.transport == printer_sim::Transport::Udp) == datagrams) {
        lines.push_back(entry.raw);
      }
    }
    return lines;
  }

  std::unique_ptr<printer_sim::SimServer> sim_;
  std::string folder_;
  std::string error_;
};

// The q73580-printer-sim program, run as a child of the test. Every wait is bounded; a child
// still there at the end is ended by its pid.
class VirtualPrinterProgram {
 public:
  struct Finished {
    int exitCode = -1;  // -1: killed at the time limit, or never started
    std::string out;
    std::string err;
  };

  // Runs the program with `args` to its end.
  static Finished Run(const std::string& path, const std::vector<std::string>& args,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    VirtualPrinterProgram program;
    Finished finished;
    if (!program.Spawn(path, args)) {
      finished.err = program.error_;
      return finished;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (program.ReadSome(deadline)) {
    }
    // With its output closed the program is ending: it gets until the deadline to do so.
    finished.exitCode = program.Stop(SIGKILL, deadline);
    finished.out = std::move(program.out_);
    finished.err = std::move(program.err_);
    return finished;
  }

  VirtualPrinterProgram() = default;
  ~VirtualPrinterProgram() { Stop(); }
  VirtualPrinterProgram(const VirtualPrinterProgram&) = delete;
  VirtualPrinterProgram& operator=(const VirtualPrinterProgram&) = delete;

  // Starts the program with `args` and waits until it has printed the endpoint of every kind in
  // `kinds` ("tcp", "pty", "fifo", "udp"); false when it did not within `limit`.
  bool Start(const std::string& path, const std::vector<std::string>& args,
             const std::vector<std::string>& kinds,
             std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    if (!Spawn(path, args)) {
      return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!HasEndpoints(kinds)) {
      if (!ReadSome(deadline)) {
        error_ = "no endpoints printed; stderr: " + err_;
        return false;
      }
    }
    return true;
  }
  // What the program printed for `kind`: "127.0.0.1:9100" for "tcp", a path for "pty".
  std::string Endpoint(const std::string& kind) const {
    const auto found = endpoints_.find(kind);
    return found == endpoints_.end() ? std::string() : found->second;
  }
  const std::string& Error() const { return error_; }

  // Waits until `graceUntil` for the program to end, then asks it to with `signal` and waits
  // 5 s more before killing it. Its exit status; -1 when it was killed or was not running.
  int Stop(int signal = SIGTERM,
           std::chrono::steady_clock::time_point graceUntil = std::chrono::steady_clock::now()) {
    if (pid_ <= 0) {
      return -1;
    }
    int status = 0;
    pid_t ended = ::waitpid(pid_, &status, WNOHANG);
    while (ended == 0 && std::chrono::steady_clock::now() < graceUntil) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      ended = ::waitpid(pid_, &status, WNOHANG);
    }
    if (ended == 0) {
      ::kill(pid_, signal);
      for (int i = 0; i < 500 && ended == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ended = ::waitpid(pid_, &status, WNOHANG);
      }
      if (ended == 0) {
        ::kill(pid_, SIGKILL);
        ended = ::waitpid(pid_, &status, 0);
      }
    }
    pid_ = -1;
    for (int& fd : pipes_) {
      if (fd >= 0) {
        ::close(fd);
        fd = -1;
      }
    }
    return ended > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  bool Spawn(const std::string& path, const std::vector<std::string>& args) {
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
      error_ = "pipe";
      return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const std::string& arg : args) {
      argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    const int spawned = ::posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    pipes_ = {out[0], err[0]};
    if (spawned != 0) {
      pid_ = -1;
      error_ = "cannot start " + path;
      return false;
    }
    return true;
  }

  // Reads what either pipe has, waiting until `deadline` at most; false once both are closed
  // or the time is up.
  bool ReadSome(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    std::array<pollfd, 2> polled{pollfd{pipes_[0], POLLIN, 0}, pollfd{pipes_[1], POLLIN, 0}};
    if (left.count() <= 0 || (pipes_[0] < 0 && pipes_[1] < 0) ||
        ::poll(polled.data(), polled.size(), static_cast<int>(left.count())) <= 0) {
      return false;
    }
    for (std::size_t i = 0; i < polled.size(); ++i) {
      if ((polled[i].revents & (POLLIN | POLLHUP)) == 0) {
        continue;
      }
      std::array<char, 4096> buffer{};
      const ssize_t n = ::read(pipes_[i], buffer.data(), buffer.size());
      if (n <= 0) {
        ::close(pipes_[i]);
        pipes_[i] = -1;
        continue;
      }
      (i == 0 ? out_ : err_).append(buffer.data(), static_cast<std::size_t>(n));
    }
    return true;
  }

  // Each endpoint is a line "KIND WHERE".
  bool HasEndpoints(const std::vector<std::string>& kinds) {
    for (std::size_t end = out_.find('\n'); end != std::string::npos; end = out_.find('\n')) {
      const std::string line = out_.substr(0, end);
      out_.erase(0, end + 1);
      if (const auto space = line.find(' '); space != std::string::npos) {
        endpoints_[line.substr(0, space)] = line.substr(space + 1);
      }
    }
    for (const std::string& kind : kinds) {
      if (!endpoints_.contains(kind)) {
        return false;
      }
    }
    return true;
  }

  pid_t pid_ = -1;
  std::array<int, 2> pipes_{-1, -1};
  std::string out_;
  std::string err_;
  std::map<std::string, std::string> endpoints_;
  std::string error_;
};
