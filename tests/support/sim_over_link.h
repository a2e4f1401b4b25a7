#pragma once

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "link/link_facade.h"
#include "link/network_stream.h"
#include "link/parallel_port.h"
#include "link/serial_port.h"
#include "protocol/printer_operations.h"
#include "support/expected_commands.h"
#include "support/linked_printer.h"
#include "support/virtual_printer.h"

// The core talking to the virtual printer over one real link: a TCP connection on loopback, a
// pseudo-terminal as a COM port, or a FIFO as a parallel port. The facade holds only the port
// of that link, aimed at the printer.
class SimOverLink : public ::testing::Test {
 protected:
  explicit SimOverLink(Via via) : via_(via) {}

  void SetUp() override { StartSim(printer_sim::SimServerConfig{}); }

  // (Re)starts the printer with `config` and a facade aimed at it; `timing` is the TCP port's.
  void StartSim(printer_sim::SimServerConfig config, NetworkTiming timing = NetworkTiming()) {
    link_.reset();
    ASSERT_TRUE(sim_.Start(Over(via_), std::move(config))) << sim_.Error();

    LinkPorts ports;
    switch (via_) {
      case Via::Tcp:
        ports.ethernet = std::make_unique<NetworkStream>(ResolveHostIPv4, timing);
        target_.Host.Assign("127.0.0.1");
        target_.Port = sim_.TcpPort();
        break;
      case Via::Pty:
        ports.com = std::make_unique<SerialPort>();
        ASSERT_LT(sim_.PtyPath().size(), serial_.PortName.Capacity);
        serial_.PortName.Assign(sim_.PtyPath());
        break;
      case Via::Fifo:
        ports.lpt = std::make_unique<ParallelPort>();
        lptDevice_.Assign(sim_.FifoPath());
        break;
    }
    link_ = std::make_unique<LinkFacade>(std::move(ports));
    link_->SetLinkTargets(serial_, lptDevice_, target_);
  }

  // The facade's name for the link.
  LinkKind Kind() const {
    return std::array{LinkKind::Ethernet, LinkKind::Com, LinkKind::Lpt}.at(
        static_cast<std::size_t>(via_));
  }

  CommandResult Run(PrinterOperation operation, OperationRecord record = {}) {
    return RunPrinterOperation(*link_, operation, Kind(), record);
  }

  // The lines the printer received, exactly as they came.
  std::vector<std::string> Received() const { return sim_.Received(); }
  // Waits for a command that gets no reply to reach the printer. On a pty also the way to let
  // the printer read a command before the next open discards what it has not read yet.
  bool WaitReceivedCount(std::uint64_t count) { return sim_.WaitReceived(count); }

  const Via via_;
  SerialSettings serial_;
  LptDeviceName lptDevice_ = DefaultLptDeviceName;
  NetTarget target_;
  VirtualPrinter sim_;
  std::unique_ptr<LinkFacade> link_;
};

// The fixture over one link.
template <Via V>
class SimOver : public SimOverLink {
 protected:
  SimOver() : SimOverLink(V) {}
};
using SimOverTcp = SimOver<Via::Tcp>;
using SimOverFifo = SimOver<Via::Fifo>;

// The fixture over the link a table row names.
class SimOverEachLink : public SimOverLink, public ::testing::WithParamInterface<Via> {
 protected:
  SimOverEachLink() : SimOverLink(GetParam()) {}
};

// Seconds since `start`, for upper bounds derived from the link's waits.
inline double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
