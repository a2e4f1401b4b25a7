#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace printer_sim {

// The interface the last DIAGNOSTIC INTERFACE query selected.
enum class DiagnosticInterface { None, Usb, Com, Lpt, Net };

std::string_view ToString(DiagnosticInterface value);

// Everything the printer remembers. Member defaults are the factory defaults.
struct PrinterState {
  // Printer clock minus host wall clock, so the printer's clock keeps ticking.
  std::chrono::seconds clockOffset{0};
  bool dhcp = true;
  std::string ip = "0.0.0.0";
  std::string mask = "255.255.255.0";
  std::string gateway = "0.0.0.0";
  std::string lastUsedIp = "192.168.1.100";   // the address in use
  std::string dhcpLeaseIp = "192.168.1.100";  // what lastUsedIp becomes in DHCP mode
  std::string name = "Q73580";
  std::string mac = "00:11:22:33:44:55";
  std::string model = "Q73580";
  std::string status = "Ready";
  // What a discovery reply reports; empty = derived from `status`.
  std::optional<std::uint8_t> udpState;
  std::uint8_t udpErrorFlags = 0;  // the cause when the state is 3 (error)
  DiagnosticInterface diagnosticInterface = DiagnosticInterface::None;

  bool operator==(const PrinterState&) const = default;
};

void ApplyDhcp(PrinterState& state);
void ApplyStaticAddress(PrinterState& state, std::string ip, std::string mask, std::string gateway);

// Back to `factory`, except what a reset cannot change: the hardware identity and the
// interface the reset itself arrived on.
void ResetToFactory(PrinterState& state, const PrinterState& factory);

}  // namespace printer_sim
