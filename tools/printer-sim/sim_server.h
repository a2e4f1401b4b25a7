#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "printer-sim/command_interpreter.h"
#include "printer-sim/command_log.h"
#include "printer-sim/fault_switches.h"
#include "printer-sim/printer_state.h"

namespace printer_sim {

struct SimServerConfig {
  bool tcp = true;
  std::string tcpHost = "127.0.0.1";  // numeric IPv4 only
  std::uint16_t tcpPort = 9100;       // 0 = any free port; see TcpPort()
  bool pty = false;                   // serial port: a pseudo-terminal; see PtyPath()
  std::string ptyLink;                // symbolic link to the pty, removed on Stop; empty = none
  std::string fifoPath;               // parallel port: a FIFO that is read, never answered
  // The UDP setup protocol (discovery, configuration block reads and writes); off unless asked for,
  // so that servers in one process or in parallel tests do not compete for its port.
  bool udp = false;
  // Any address, so that broadcasts arrive; see udpAnswerAny for who gets an answer.
  std::string udpHost = "0.0.0.0";  // numeric IPv4 only
  std::uint16_t udpPort = 22368;    // 0 = any free port; see UdpPort()
  // Answer senders on other hosts too. Only for private network namespaces: by default only
  // requests from this host (127.0.0.0/8 or an address of its own) are answered.
  bool udpAnswerAny = false;
  // Printers answering a discovery, 1 to 1000. The first is the one with `initialState`: block
  // writes to it change State(). The others are derived from it (DerivedPrinter) and follow its
  // changes until a block write is applied to any printer; from then on each printer keeps its
  // own settings and a write changes only the printer it is addressed to (see PrinterFleet).
  int printerCount = 1;
  // Printer i's TCP side on an address of its own, this numeric IPv4 address plus i, at tcpPort
  // (0: any free port, the same for every printer), in place of tcpHost. It answers with printer
  // i's own state, and its discovery reply carries that address. Empty: printer 0 alone on TCP.
  std::string fleetTcpFirst;
  PrinterState initialState;
  PrinterState factoryDefaults;  // what INITIALPRINTER restores
  FaultSwitches faults;
  CommandInterpreter::Clock clock;  // empty = this host's local time
  // One line of text per received command, reply and connection event, without a line
  // ending. Called on the server thread.
  std::function<void(std::string_view)> logSink;
  std::size_t logCapacity = 100000;  // received lines kept in memory
};

// The virtual printer: serves the command language on TCP, a pty and a FIFO, and the setup
// protocol on UDP, from one background thread. All public members are thread-safe.
class SimServer {
 public:
  explicit SimServer(SimServerConfig config = {});
  ~SimServer();  // stops
  SimServer(const SimServer&) = delete;
  SimServer& operator=(const SimServer&) = delete;

  // Opens every configured endpoint, then serves them. False with a reason if any failed,
  // in which case nothing stays open.
  bool Start(std::string* error = nullptr);
  // Closes everything and joins the thread. Idempotent; Start may be called again.
  void Stop();
  bool Running() const;

  std::uint16_t TcpPort() const;  // 0 unless listening; with fleetTcpFirst every printer's
  std::string PtyPath() const;    // the pty's device path; empty without a pty
  std::uint16_t UdpPort() const;  // 0 unless bound
  // Every printer as a discovery would report it now; the first is State(), renamed when there
  // are several and its name was not written by a block write.
  std::vector<PrinterState> Printers() const;

  std::vector<LogEntry> ReceivedCommands() const;
  std::uint64_t ReceivedCount() const;  // lines since the last ClearLog, dropped ones too
  void ClearLog();

  PrinterState State() const;
  void SetState(PrinterState state);
  FaultSwitches Faults() const;
  void SetFaults(FaultSwitches faults);  // applies to the next command received

  std::size_t AcceptedConnections() const;  // TCP connections accepted since construction
  std::size_t OpenConnections() const;      // TCP connections open now

  // Waits until `condition` holds, re-checking whenever the server has received a line, accepted
  // or closed a connection. `condition` may call the members above. False on time-out.
  bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace printer_sim
