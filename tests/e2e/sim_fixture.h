#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "link/link_facade.h"
#include "link/network_stream.h"
#include "printer-sim/sim_server.h"
#include "protocol/printer_operations.h"

// The core talking to the virtual printer over a real TCP connection on loopback.
class SimOverTcp : public ::testing::Test {
 protected:
  void SetUp() override { StartSim(printer_sim::SimServerConfig{}); }

  void StartSim(printer_sim::SimServerConfig config, NetworkTiming timing = NetworkTiming()) {
    sim_.reset();
    link_.reset();
    config.tcpHost = "127.0.0.1";
    config.tcpPort = 0;
    sim_ = std::make_unique<printer_sim::SimServer>(std::move(config));
    std::string error;
    ASSERT_TRUE(sim_->Start(&error)) << error;

    LinkPorts ports;
    ports.ethernet = std::make_unique<NetworkStream>(ResolveHostIPv4, timing);
    link_ = std::make_unique<LinkFacade>(std::move(ports));
    link_->SetLinkTargets(serial_, lptDevice_, target_);
    target_.Host.Assign("127.0.0.1");
    target_.Port = sim_->TcpPort();
  }

  CommandResult Run(PrinterOperation operation, OperationRecord record = {}) {
    return RunPrinterOperation(*link_, operation, LinkKind::Ethernet, record);
  }

  // The lines the printer received, exactly as they came.
  std::vector<std::string> Received() const {
    std::vector<std::string> lines;
    for (const auto& entry : sim_->ReceivedCommands()) {
      lines.push_back(entry.raw);
    }
    return lines;
  }
  // Waits for a command that gets no reply to reach the printer.
  bool WaitReceivedCount(std::uint64_t count) {
    return sim_->WaitUntil([&] { return sim_->ReceivedCount() >= count; }, std::chrono::seconds(5));
  }

  SerialSettings serial_;
  LptDeviceName lptDevice_ = DefaultLptDeviceName;
  NetTarget target_;
  std::unique_ptr<printer_sim::SimServer> sim_;
  std::unique_ptr<LinkFacade> link_;
};

// Seconds since `start`, for upper bounds derived from the link's waits.
inline double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
