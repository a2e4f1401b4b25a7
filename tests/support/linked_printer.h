#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <array>
#include <chrono>
#include <string>
#include <vector>

#include "support/expected_commands.h"
#include "support/virtual_printer.h"

// The printer's own clock stands still at this time, so that a read is known to the second.
inline std::chrono::sys_seconds PrinterNow() {
  using namespace std::chrono;
  return sys_days{year{2026} / 12 / 8} + hours{10} + minutes{30};
}

// A printer with a static address and a name outside ASCII, which must travel as Latin-1.
inline printer_sim::SimServerConfig LinkedPrinterConfig() {
  printer_sim::SimServerConfig config;
  config.clock = [] { return PrinterNow(); };
  config.initialState.dhcp = false;
  config.initialState.ip = "192.168.7.50";
  config.initialState.mask = "255.255.0.0";
  config.initialState.gateway = "192.168.7.1";
  config.initialState.lastUsedIp = "192.168.7.50";
  config.initialState.name = "Caf\xE9";
  config.initialState.mac = "00:11:22:33:44:55";
  return config;
}

// The line every query begins with over `via`.
inline std::string InterfaceLine(Via via) {
  return expected::Interface(std::array{"NET", "COM", "LPT"}.at(static_cast<std::size_t>(via)));
}

// Names a row of a table over the links by its link.
inline std::string ViaParamName(const ::testing::TestParamInfo<Via>& info) {
  return ViaName(info.param);
}

// The virtual printer on one link, with the command-line options that reach it.
class LinkedPrinter {
 public:
  explicit LinkedPrinter(Via via, printer_sim::SimServerConfig config = LinkedPrinterConfig())
      : via_(via), sim_(Over(via), std::move(config)) {}

  bool Started() const { return sim_.Running(); }
  const std::string& Error() const { return sim_.Error(); }
  printer_sim::SimServer& Sim() { return sim_.Sim(); }

  // What the link is called on the command line and in the JSON "link" object.
  QString Kind() const {
    return QString::fromLatin1(std::array{"net", "com", "lpt"}.at(static_cast<std::size_t>(via_)));
  }
  QString Target() const { return QString::fromStdString(sim_.Target(via_)); }
  QStringList LinkArgs() const { return {QStringLiteral("--") + Kind(), Target()}; }
  std::string InterfaceLine() const { return ::InterfaceLine(via_); }

  // The lines the printer received, exactly as they came.
  std::vector<std::string> Received() const { return sim_.Received(); }
  // A command that gets no reply may still be on its way when the program has ended.
  bool WaitReceived(std::size_t count) { return sim_.WaitReceived(count); }

 private:
  Via via_;
  VirtualPrinter sim_;
};
