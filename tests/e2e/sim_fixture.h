#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "link/link_facade.h"
#include "link/network_stream.h"
#include "protocol/printer_operations.h"
#include "support/expected_commands.h"
#include "support/virtual_printer.h"

// The core talking to the virtual printer over a real TCP connection on loopback.
class SimOverTcp : public ::testing::Test {
 protected:
  void SetUp() override { StartSim(printer_sim::SimServerConfig{}); }

  void StartSim(printer_sim::SimServerConfig config, NetworkTiming timing = NetworkTiming()) {
    link_.reset();
    ASSERT_TRUE(sim_.Start({}, std::move(config))) << sim_.Error();

    LinkPorts ports;
    ports.ethernet = std::make_unique<NetworkStream>(ResolveHostIPv4, timing);
    link_ = std::make_unique<LinkFacade>(std::move(ports));
    link_->SetLinkTargets(serial_, lptDevice_, target_);
    target_.Host.Assign("127.0.0.1");
    target_.Port = sim_.TcpPort();
  }

  CommandResult Run(PrinterOperation operation, OperationRecord record = {}) {
    return RunPrinterOperation(*link_, operation, LinkKind::Ethernet, record);
  }

  // The lines the printer received, exactly as they came.
  std::vector<std::string> Received() const { return sim_.Received(); }
  // Waits for a command that gets no reply to reach the printer.
  bool WaitReceivedCount(std::uint64_t count) { return sim_.WaitReceived(count); }

  SerialSettings serial_;
  LptDeviceName lptDevice_ = DefaultLptDeviceName;
  NetTarget target_;
  VirtualPrinter sim_;
  std::unique_ptr<LinkFacade> link_;
};

// Seconds since `start`, for upper bounds derived from the link's waits.
inline double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
