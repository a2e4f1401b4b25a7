#pragma once

#include <cstdint>

#include "common/fixed_text.h"
#include "common/printer_rules.h"

// The printer's clock as the clock panel shows it. Neither operation checks the ranges.
struct ClockRecord {
  std::int32_t year = 0;  // the full year, e.g. 2026
  std::int32_t month = 0;
  std::int32_t date = 0;
  std::int32_t hour = 0;
  std::int32_t minute = 0;
  std::int32_t second = 0;

  friend bool operator==(const ClockRecord&, const ClockRecord&) = default;
};

// One printer's network configuration as the windows exchange it; plain data, copied by value.
struct NetConfigRecord {
  using Text = FixedText<RecordTextRoom + 1>;

  std::uint8_t dhcp = 0;  // 1: address by DHCP, 0: static address
  Text ip;                // the configured address; "0.0.0.0" while DHCP is on
  Text mask;
  Text gateway;
  Text lastUsedIp;  // the address in use; shown in place of ip while DHCP is on
  Text netName;
  Text macAddr;               // exactly as the printer reports it
  std::uint8_t accepted = 0;  // 1 when the Ethernet setup dialog was left with "Set"

  friend bool operator==(const NetConfigRecord&, const NetConfigRecord&) = default;
};

// The records keep the field widths the printer tools exchange.
static_assert(sizeof(NetConfigRecord::Text) == 64);
static_assert(sizeof(NetConfigRecord) == 1 + 6 * 64 + 1);
static_assert(sizeof(ClockRecord) == 6 * 4);
