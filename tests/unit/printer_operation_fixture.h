#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "protocol/printer_operations.h"
#include "support/fake_link_port.h"

// Shows a text field as text when an expectation fails.
template <std::size_t N>
void PrintTo(const FixedText<N>& text, std::ostream* out) {
  *out << '"' << text.View() << '"';
}

using Commands = std::vector<std::string>;

inline std::string Frame(const std::string& data) {
  return "{" + std::to_string(data.size()) + "|" + data + "}";
}

inline NetConfigRecord Config(std::uint8_t dhcp, const char* ip, const char* mask,
                              const char* gateway, const char* name) {
  NetConfigRecord config;
  config.dhcp = dhcp;
  config.ip.Assign(ip);
  config.mask.Assign(mask);
  config.gateway.Assign(gateway);
  config.netName.Assign(name);
  return config;
}

// A facade whose four ports are printers that answer every query they know.
class PrinterOperationTest : public FakePortsTest<ScriptedPrinter> {
 protected:
  PrinterOperationTest() {
    for (ScriptedPrinter* printer : ports_) {
      printer->answers = {
          {"DIAGNOSTIC INTERFACE USB", "{0|}"},
          {"DIAGNOSTIC INTERFACE COM", "{0|}"},
          {"DIAGNOSTIC INTERFACE NET", "{0|}"},
          {"DIAGNOSTIC REPORT YEAR", "{4|2026}"},
          {"DIAGNOSTIC REPORT MONTH", "{2|03}"},
          {"DIAGNOSTIC REPORT DATE", "{2|14}"},
          {"DIAGNOSTIC REPORT HOUR", "{2|09}"},
          {"DIAGNOSTIC REPORT MINUTE", "{2|26}"},
          {"DIAGNOSTIC REPORT SECOND", "{2|53}"},
          {"DIAGNOSTIC REPORT CONFIGIP", Frame("192.168.1.50")},
          {"DIAGNOSTIC REPORT GATEWAY", Frame("192.168.1.1")},
          {"DIAGNOSTIC REPORT IPMASK", Frame("255.255.255.0")},
          {"DIAGNOSTIC REPORT LASTUSEDIP", Frame("192.168.1.51")},
          {"DIAGNOSTIC REPORT NETNAME", Frame("Label-7")},
          {"DIAGNOSTIC REPORT MACADDR", Frame("00:11:22:33:44:55")},
      };
    }
  }

  ScriptedPrinter& Printer(LinkKind kind = LinkKind::Usb) { return Port(kind); }

  CommandResult Run(PrinterOperation operation, OperationRecord record = {},
                    LinkKind kind = LinkKind::Usb) {
    return RunPrinterOperation(*facade_, operation, kind, record);
  }
};
