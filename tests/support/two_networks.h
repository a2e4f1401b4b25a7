#pragma once

// A technician's PC with two networks, a printer cabled to each: three network namespaces of
// this process's own, held by file descriptors only, so that they vanish with the fixture or
// with the process however it ends, and nothing of them is left on the machine.
//
//   PC namespace                        printer namespaces
//   q73n1 10.77.1.1/24 (default route) -- q73p1 10.77.1.2/24
//   q73n2 10.77.2.1/24                 -- q73p2 10.77.2.2/24
//
// While the fixture lives, the thread that built it stands in the PC's namespace: every socket it
// opens and every program it starts (q73580-cli, nft) is on the PC. A virtual printer started
// through InPrinter() opens its sockets, and runs its thread, in that printer's namespace.

#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QNetworkInterface>
#include <QString>
#include <array>
#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

class TwoNetworks {
 public:
  struct Network {
    const char* pcInterface;
    const char* pcAddress;
    const char* printerInterface;
    const char* printerAddress;
  };
  static constexpr std::array<Network, 2> Networks = {{
      {"q73n1", "10.77.1.1", "q73p1", "10.77.1.2"},
      {"q73n2", "10.77.2.1", "q73p2", "10.77.2.2"},
  }};

  TwoNetworks() = default;
  ~TwoNetworks() {
    if (original_ >= 0) {
      ::setns(original_, CLONE_NEWNET);
    }
    for (int fd : {original_, pc_, printers_[0], printers_[1]}) {
      if (fd >= 0) {
        ::close(fd);
      }
    }
  }
  TwoNetworks(const TwoNetworks&) = delete;
  TwoNetworks& operator=(const TwoNetworks&) = delete;

  // Runs `action` with this thread in printer `which`'s namespace (0 or 1), then back on the PC.
  template <typename Action>
  auto InPrinter(int which, Action&& action) {
    ::setns(printers_[static_cast<std::size_t>(which)], CLONE_NEWNET);
    struct Back {
      int pc;
      ~Back() { ::setns(pc, CLONE_NEWNET); }
    } back{pc_};
    return action();
  }

  // Makes and cables the namespaces, and moves this thread onto the PC. Empty when done, else
  // why it could not be (no root, no veth, no ip command).
  std::string Build() {
    original_ = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    if (original_ < 0) {
      return "cannot open this thread's network namespace";
    }
    for (int* fd : {&pc_, &printers_[0], &printers_[1]}) {
      if (::unshare(CLONE_NEWNET) != 0) {
        return "cannot make a network namespace here (needs root)";
      }
      *fd = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
      const bool up = *fd >= 0 && Run({"ip", "link", "set", "lo", "up"}) == 0;
      ::setns(original_, CLONE_NEWNET);
      if (!up) {
        return "cannot bring up loopback in a new namespace (is 'ip' installed?)";
      }
    }
    if (::setns(pc_, CLONE_NEWNET) != 0) {
      return "cannot enter the PC's namespace";
    }
    for (std::size_t i = 0; i < Networks.size(); ++i) {
      const Network& net = Networks[i];
      const std::string peer =
          "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(printers_[i]);
      const std::string pcAddress = std::string(net.pcAddress) + "/24";
      if (Run({"ip", "link", "add", net.pcInterface, "type", "veth", "peer", "name",
               net.printerInterface, "netns", peer}) != 0 ||
          Run({"ip", "addr", "add", pcAddress, "dev", net.pcInterface}) != 0 ||
          Run({"ip", "link", "set", net.pcInterface, "up"}) != 0) {
        return std::string("cannot cable ") + net.pcInterface + " (veth)";
      }
      const std::string printerAddress = std::string(net.printerAddress) + "/24";
      const bool printerUp = InPrinter(static_cast<int>(i), [&] {
        return Run({"ip", "addr", "add", printerAddress, "dev", net.printerInterface}) == 0 &&
               Run({"ip", "link", "set", net.printerInterface, "up"}) == 0;
      });
      if (!printerUp) {
        return std::string("cannot set up ") + net.printerInterface;
      }
    }
    // The default route goes out over the first network, as over a laptop's Wi-Fi.
    if (Run({"ip", "route", "add", "default", "dev", Networks[0].pcInterface}) != 0) {
      return "cannot add the default route";
    }
    // Both cables carry traffic once each end is up; bounded.
    for (int i = 0; i < 200 && !OnThePc(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return OnThePc() ? std::string() : "the PC's interfaces did not come up";
  }

  // True when this thread is on the PC: its namespace holds loopback and the two cables, both
  // running, and nothing else. The guard in front of every broadcast of these tests.
  static bool OnThePc() {
    std::set<QString> running;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& interface : interfaces) {
      if (interface.flags().testFlag(QNetworkInterface::IsRunning)) {
        running.insert(interface.name());
      }
      if (interface.name() != "lo" && interface.name() != Networks[0].pcInterface &&
          interface.name() != Networks[1].pcInterface) {
        return false;
      }
    }
    return running.contains(Networks[0].pcInterface) && running.contains(Networks[1].pcInterface);
  }

  // Runs a program in this thread's namespace, output discarded, for at most 10 s; its exit
  // status, or -1.
  static int Run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args) {
      argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
      return -1;
    }
    int status = 0;
    for (int i = 0; i < 1000; ++i) {
      if (::waitpid(pid, &status, WNOHANG) == pid) {
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
  }

 private:
  int original_ = -1;
  int pc_ = -1;
  std::array<int, 2> printers_{-1, -1};
};
