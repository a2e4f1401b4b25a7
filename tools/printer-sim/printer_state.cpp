#include "printer-sim/printer_state.h"

#include <utility>

namespace printer_sim {

std::string_view ToString(DiagnosticInterface value) {
  switch (value) {
    case DiagnosticInterface::Usb:
      return "USB";
    case DiagnosticInterface::Com:
      return "COM";
    case DiagnosticInterface::Lpt:
      return "LPT";
    case DiagnosticInterface::Net:
      return "NET";
    case DiagnosticInterface::None:
      break;
  }
  return "none";
}

void ApplyDhcp(PrinterState& state) {
  state.dhcp = true;
  state.ip = "0.0.0.0";
  state.lastUsedIp = state.dhcpLeaseIp;
}

void ApplyStaticAddress(PrinterState& state, std::string ip, std::string mask,
                        std::string gateway) {
  state.dhcp = false;
  state.lastUsedIp = ip;
  state.ip = std::move(ip);
  state.mask = std::move(mask);
  state.gateway = std::move(gateway);
}

void ResetToFactory(PrinterState& state, const PrinterState& factory) {
  PrinterState next = factory;
  next.mac = std::move(state.mac);
  next.model = std::move(state.model);
  next.diagnosticInterface = state.diagnosticInterface;
  state = std::move(next);
}

}  // namespace printer_sim
