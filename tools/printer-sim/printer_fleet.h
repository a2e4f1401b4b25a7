#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "printer-sim/printer_state.h"
#include "printer-sim/udp_config_blocks.h"
#include "printer-sim/udp_discovery.h"

// The printers answering the UDP setup protocol, without any I/O.
namespace printer_sim {

// Printer 0 is the one behind the TCP side; its state is owned elsewhere and passed to every call
// as `first`, since it changes between them. Until a block write is applied to any printer, the
// others are derived from it (DerivedPrinter) and follow its changes. From then on each keeps its
// own state, so that a fleet can be configured printer by printer.
class PrinterFleet {
 public:
  // `count` is clamped to 1..kMaxPrinters; printer i from 1 has the address `addressBase` + i.
  explicit PrinterFleet(int count, Ipv4 addressBase = kDerivedAddressBase);

  int Count() const { return count_; }
  bool Separated() const { return separated_; }

  std::optional<int> Find(const PrinterState& first, const Mac& mac) const;

  // Printer `index` as a discovery reports it. Printer 0 is `first`, with the "-1" of
  // DerivedPrinter unless its name was written by a block write.
  PrinterState At(const PrinterState& first, int index) const;

  // Applies the block write `request` to printer `index`: to `first` when 0. Separates the fleet
  // first. False, with the printer untouched, as ApplyBlockWrite.
  bool Apply(std::string_view request, int index, PrinterState& first);

  // Printer `index` itself, for a change of its own over TCP: `first` when 0. Separates the fleet.
  PrinterState& Own(int index, PrinterState& first);

 private:
  int count_;
  Ipv4 addressBase_;
  bool separated_ = false;
  std::vector<PrinterState> others_;  // printers 1..count-1 once separated
  // What block 0 last wrote to printer 0: while it is still its name, no "-1" is added.
  std::optional<std::string> firstWrittenName_;
};

}  // namespace printer_sim
