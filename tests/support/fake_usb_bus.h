#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "link/usb_bus.h"
#include "link/usb_printer_port.h"
#include "printer-sim/command_interpreter.h"

// The vendor number the build looks for, as a number.
inline std::uint16_t PrinterVendorNumber() {
  return static_cast<std::uint16_t>(std::stoul(std::string(PrinterVendorId), nullptr, 16));
}

// A USB bus whose printer is the virtual printer's command interpreter, in process: what goes
// out is fed to it, its replies wait for the IN requests. No call ever waits; a read with
// nothing queued times out at once.
class FakeUsbBus : public UsbBus {
 public:
  // 4 March 2026 13:07:09 on the printer's clock.
  static constexpr std::chrono::sys_seconds PrinterNow =
      std::chrono::sys_days{std::chrono::year{2026} / 3 / 4} + std::chrono::hours{13} +
      std::chrono::minutes{7} + std::chrono::seconds{9};

  // Knobs.
  std::vector<UsbDeviceEntry> devices;  // as listed; slots are filled in by the listing
  bool openFails = false;
  bool claimFails = false;
  OpenFailure refusal{OpenFailureCause::Other, "refused"};  // why an open or claim failed
  std::set<std::size_t> withoutPrinterInterface;            // indices into `devices`
  std::uint16_t inMaxPacket = 64;
  int shortOutAt = -1;            // this OUT transfer (from 0) moves one byte less and fails
  bool inAlwaysTimesOut = false;  // IN transfers report a timeout even when they bring data
  printer_sim::PrinterState state;
  printer_sim::FaultSwitches faults;

  // What happened.
  std::optional<std::size_t> openedSlot;  // while a device is open
  std::vector<std::size_t> openAttempts;  // slots, in order
  int claims = 0;
  int releases = 0;
  std::vector<std::uint32_t> outSizes;
  std::vector<std::uint32_t> inRequests;
  std::vector<std::string> commands;  // complete lines the printer received

  // A device holding the printer's vendor number at bus 1, port 1.
  FakeUsbBus() { devices.push_back(Device(PrinterVendorNumber(), 0x0001, 1, {1})); }

  static UsbDeviceEntry Device(std::uint16_t vendor, std::uint16_t product, std::uint8_t bus,
                               std::vector<std::uint8_t> ports) {
    return UsbDeviceEntry{bus, std::move(ports), vendor, product, 0, {}};
  }

  bool Open() const { return openedSlot.has_value(); }
  bool Claimed() const { return claims > releases; }

  std::vector<UsbDeviceEntry> ListDevices() override {
    std::vector<UsbDeviceEntry> listed = devices;
    for (std::size_t i = 0; i < listed.size(); ++i) {
      listed[i].slot = i;
    }
    return listed;
  }

  bool HasPrinterInterface(const UsbDeviceEntry& device) override {
    return withoutPrinterInterface.count(device.slot) == 0;
  }

  bool OpenDevice(const UsbDeviceEntry& device) override {
    openAttempts.push_back(device.slot);
    failure_ = {};
    if (openFails || device.slot >= devices.size()) {
      failure_ = refusal;
      return false;
    }
    openedSlot = device.slot;
    return true;
  }

  std::optional<UsbPrinterEndpoints> ClaimPrinterInterface() override {
    failure_ = {};
    if (!Open() || claimFails) {
      failure_ = refusal;
      return std::nullopt;
    }
    ++claims;
    return UsbPrinterEndpoints{0x01, 0x82, inMaxPacket};
  }

  UsbTransfer BulkOut(const std::uint8_t* data, std::uint32_t count,
                      std::chrono::milliseconds) override {
    if (!Claimed()) {
      return {0, true};
    }
    const bool cut = static_cast<int>(outSizes.size()) == shortOutAt;
    outSizes.push_back(count);
    const std::uint32_t moved = cut && count > 0 ? count - 1 : count;
    for (const auto& outcome : interpreter_.Feed(
             std::string_view(reinterpret_cast<const char*>(data), moved), state, faults)) {
      commands.push_back(outcome.raw);
      if (outcome.reply) {
        queued_ += outcome.reply->bytes;
      }
    }
    return {moved, cut};
  }

  // Sends the queued reply in packets of inMaxPacket; a packet bigger than the room left in
  // the request overflows it, as on a real bus, and is lost.
  UsbTransfer BulkIn(std::uint8_t* data, std::uint32_t capacity,
                     std::chrono::milliseconds) override {
    inRequests.push_back(capacity);
    if (!Claimed()) {
      return {0, true};
    }
    const std::uint32_t maxPacket = inMaxPacket != 0 ? inMaxPacket : 64;
    std::uint32_t moved = 0;
    while (!queued_.empty()) {
      const auto packet =
          static_cast<std::uint32_t>(std::min<std::size_t>(queued_.size(), maxPacket));
      if (packet > capacity - moved) {
        queued_.erase(0, packet);
        return {moved, true};
      }
      std::copy_n(queued_.data(), packet, data + moved);
      queued_.erase(0, packet);
      moved += packet;
      if (packet < maxPacket || moved == capacity) {
        break;  // a short packet ends the transfer
      }
    }
    return {moved, moved == 0 || inAlwaysTimesOut};
  }

  void ReleaseInterface() override {
    if (Claimed()) {
      ++releases;
    }
  }

  void CloseDevice() override { openedSlot.reset(); }

  OpenFailure LastFailure() const override { return failure_; }

 private:
  OpenFailure failure_;
  printer_sim::CommandInterpreter interpreter_{printer_sim::PrinterState{},
                                               [] { return PrinterNow; }};
  std::string queued_;
};
