#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "fake_link_port.h"
#include "protocol/printer_operations.h"

// Shows a text field as text when an expectation fails.
template <std::size_t N>
void PrintTo(const FixedText<N>& text, std::ostream* out) {
  *out << '"' << text.View() << '"';
}

using Commands = std::vector<std::string>;

inline std::string Frame(const std::string& data) {
  return "{" + std::to_string(data.size()) + "|" + data + "}";
}

// A facade whose four ports are printers that answer every query they know.
class PrinterOperationTest : public ::testing::Test {
 protected:
  PrinterOperationTest() {
    LinkPorts ports;
    ports.usb = MakePrinter(LinkKind::Usb);
    ports.com = MakePrinter(LinkKind::Com);
    ports.lpt = MakePrinter(LinkKind::Lpt);
    ports.ethernet = MakePrinter(LinkKind::Ethernet);
    facade_ = std::make_unique<LinkFacade>(std::move(ports));
    facade_->SetLinkTargets(serial_, lptDevice_, net_);
    facade_->SetPauseHook([](std::chrono::milliseconds) {});
  }

  std::unique_ptr<ScriptedPrinter> MakePrinter(LinkKind kind) {
    auto printer = std::make_unique<ScriptedPrinter>();
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
    printers_[static_cast<int>(kind)] = printer.get();
    return printer;
  }

  ScriptedPrinter& Printer(LinkKind kind = LinkKind::Usb) {
    return *printers_[static_cast<int>(kind)];
  }

  CommandResult Run(PrinterOperation operation, OperationRecord record = {},
                    LinkKind kind = LinkKind::Usb) {
    return RunPrinterOperation(*facade_, operation, kind, record);
  }

  SerialSettings serial_;
  LptDeviceName lptDevice_;
  NetTarget net_;
  ScriptedPrinter* printers_[4] = {};
  std::unique_ptr<LinkFacade> facade_;
};
