#include "printer-sim/printer_fleet.h"

#include <algorithm>

#include "printer-sim/udp_discovery.h"

namespace printer_sim {

PrinterFleet::PrinterFleet(int count, Ipv4 addressBase)
    : count_(std::clamp(count, 1, kMaxPrinters)), addressBase_(addressBase) {}

std::optional<int> PrinterFleet::Find(const PrinterState& first, const Mac& mac) const {
  if (!separated_) {
    return FindPrinter(first, count_, mac);
  }
  if (ParseMac(first.mac) == mac) {
    return 0;
  }
  for (std::size_t i = 0; i < others_.size(); ++i) {
    if (ParseMac(others_[i].mac) == mac) {
      return static_cast<int>(i) + 1;
    }
  }
  return std::nullopt;
}

PrinterState PrinterFleet::At(const PrinterState& first, int index) const {
  if (index == 0) {
    return firstWrittenName_ == first.name ? first : DerivedPrinter(first, 0, count_);
  }
  return separated_ ? others_[static_cast<std::size_t>(index - 1)]
                    : DerivedPrinter(first, index, count_, addressBase_);
}

PrinterState& PrinterFleet::Own(int index, PrinterState& first) {
  if (!separated_) {
    others_.reserve(static_cast<std::size_t>(count_ - 1));
    for (int i = 1; i < count_; ++i) {
      others_.push_back(DerivedPrinter(first, i, count_, addressBase_));
    }
    separated_ = true;
  }
  return index == 0 ? first : others_[static_cast<std::size_t>(index - 1)];
}

bool PrinterFleet::Apply(std::string_view request, int index, PrinterState& first) {
  PrinterState& printer = Own(index, first);
  bool applied = ApplyBlockWrite(request, printer);
  if (applied && index == 0 && ParseBlockRequest(request)->block == 0) {
    firstWrittenName_ = first.name;
  }
  return applied;
}

}  // namespace printer_sim
