// The virtual printer's side of the UDP setup protocol, datagram by datagram, as its server
// dispatches them: discovery requests, block reads and block writes, answered without sockets.
// Every answer is also read back with the utility's own parsers.
//
// Input: byte 0 gives the number of printers (bits 0-2, plus one) and whether the first starts
// with a static address (bit 3). The rest are datagrams, cut apart by "\" and any character
// ("\\" is a backslash).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "netsetup/discovery_protocol.h"
#include "netsetup/remote_ip_change.h"
#include "printer-sim/printer_fleet.h"
#include "printer-sim/udp_config_blocks.h"
#include "printer-sim/udp_discovery.h"

namespace {

namespace sim = printer_sim;

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "sim_datagrams: %s\n", what);
    std::abort();
  }
}

std::vector<std::string> SplitDatagrams(std::string_view rest) {
  std::vector<std::string> datagrams(1);
  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '\\' && i + 1 < rest.size()) {
      if (rest[i + 1] == '\\') {
        datagrams.back() += '\\';
      } else {
        datagrams.emplace_back();
      }
      ++i;
    } else {
      datagrams.back() += rest[i];
    }
  }
  return datagrams;
}

const std::uint8_t* Bytes(std::string_view text) {
  return reinterpret_cast<const std::uint8_t*>(text.data());
}

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; });
  return text;
}

bool IsCanonicalAddress(const std::string& text) {
  const auto parsed = sim::ParseIpv4(text);
  return parsed && sim::Ipv4Text(*parsed) == text;
}

// A reply starts with the request's header, marked as coming from one printer and carrying
// its own data length.
void CheckReplyHeader(std::string_view request, std::string_view reply) {
  Require(reply.size() >= sim::kUdpHeaderSize && reply.size() <= sim::kMaxUdpReply,
          "a reply outside 32 to 2048 bytes");
  for (std::size_t i = 0; i < sim::kUdpHeaderSize; ++i) {
    if (i == 7 || i == 10 || i == 11 || (i >= 22 && i < 28)) {
      continue;
    }
    Require(reply[i] == request[i], "a reply header that is not the request's");
  }
  Require(reply[7] == 0x02, "a reply not marked as from one printer");
  const std::size_t declared =
      static_cast<std::uint8_t>(reply[10]) << 8 | static_cast<std::uint8_t>(reply[11]);
  Require(declared == reply.size() - sim::kUdpHeaderSize, "a reply with a wrong data length");
}

void CheckDiscoveryReply(std::string_view request, const std::string& reply,
                         const sim::PrinterState& printer) {
  CheckReplyHeader(request, reply);
  const std::optional<DiscoveryReply> row = ParseDiscoveryReply(Bytes(reply), reply.size());
  Require(row.has_value(), "the utility refuses a discovery reply");
  Require(row->mac == Upper(printer.mac), "the listed MAC is not the printer's");
  Require(row->ip == printer.lastUsedIp, "the listed address is not the one in use");
  const std::string name = printer.name.substr(0, printer.name.find('\0'));
  Require(row->name == name.substr(0, sim::kMaxUdpReply - sim::reply_offset::kName - 1),
          "the listed name is not the printer's");
  const std::string model = printer.model.substr(0, printer.model.find('\0'));
  Require(row->model == model.substr(0, sim::reply_offset::kModelField - 1),
          "the listed model is not the printer's");
  Require(row->status == StatusText(sim::UdpStateByte(printer), printer.udpErrorFlags),
          "the listed status is not the printer's");
}

void CheckBlockRead(std::string_view request, const std::string& reply,
                    const sim::PrinterState& printer, std::uint8_t block) {
  CheckReplyHeader(request, reply);
  Require(reply.size() == sim::kBlockReplySize, "a block read answered with another size");
  NetConfigRecord config;
  config.dhcp = 2;
  TakeBlockReadReply(block, std::vector<std::uint8_t>(reply.begin(), reply.end()), config);
  if (block == 4) {
    Require(config.ip == (printer.dhcp ? printer.lastUsedIp : printer.ip) &&
                config.mask == printer.mask && config.gateway == printer.gateway,
            "the utility reads other addresses than the printer's");
  } else if (block == 5) {
    Require(config.dhcp == (printer.dhcp ? 1 : 0), "the utility reads another address mode");
  } else {
    Require(config.dhcp == 2 && config.ip.Empty(), "a block without content changed the record");
  }
}

// What a write did to the printer it was addressed to.
void CheckWriteApplied(std::string_view request, std::uint8_t block,
                       const sim::PrinterState& before, const sim::PrinterState& after) {
  using namespace sim::block_offset;
  auto ipAt = [&](std::size_t offset) {
    return IpToText({static_cast<std::uint8_t>(request[offset]),
                     static_cast<std::uint8_t>(request[offset + 1]),
                     static_cast<std::uint8_t>(request[offset + 2]),
                     static_cast<std::uint8_t>(request[offset + 3])});
  };
  switch (block) {
    case 0: {
      const std::string_view text = request.substr(kName);
      Require(after.name == text.substr(0, text.find('\0')), "block 0 wrote another name");
      break;
    }
    case 4:
      Require(after.ip == ipAt(kIp) && after.mask == ipAt(kMask) && after.gateway == ipAt(kGateway),
              "block 4 wrote other addresses");
      Require(after.lastUsedIp == (before.dhcp ? before.lastUsedIp : after.ip),
              "block 4 left the address in use wrong");
      break;
    case 5:
      Require(after.dhcp == (static_cast<std::uint8_t>(request[kAddressMode]) == 8),
              "block 5 wrote another address mode");
      break;
    default:
      Require(after == before, "a block without content changed the printer");
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) {
    return 0;
  }
  const int count = (data[0] & 0x07) + 1;
  sim::PrinterFleet fleet(count);
  sim::PrinterState first;
  if (data[0] & 0x08) {
    sim::ApplyStaticAddress(first, "192.168.0.10", "255.255.255.0", "192.168.0.1");
  }

  for (const std::string& datagram :
       SplitDatagrams(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1))) {
    const bool discovery = sim::IsDiscoveryRequest(datagram);
    const std::optional<sim::BlockRequest> block =
        discovery ? std::nullopt : sim::ParseBlockRequest(datagram);
    Require(sim::RequestCommand(datagram).has_value() == (datagram.size() >= sim::kUdpHeaderSize),
            "a header read from a datagram too short for one");
    Require(!(discovery || block) || datagram.size() >= sim::kUdpHeaderSize,
            "a request taken from a datagram shorter than a header");

    if (discovery) {
      for (int i = 0; i < count; ++i) {
        const sim::PrinterState printer = fleet.At(first, i);
        CheckDiscoveryReply(datagram, sim::BuildDiscoveryReply(datagram, printer), printer);
      }
      continue;
    }
    if (!block) {
      continue;
    }
    const std::optional<int> target = fleet.Find(first, block->target);
    if (!target) {
      continue;
    }
    Require(*target >= 0 && *target < count, "a printer found outside the count");
    if (!block->write) {
      const sim::PrinterState printer = fleet.At(first, *target);
      CheckBlockRead(datagram, sim::BuildBlockReadReply(datagram, printer), printer, block->block);
      continue;
    }
    CheckReplyHeader(datagram, sim::BuildBlockWriteAck(datagram));
    std::vector<sim::PrinterState> before;
    for (int i = 0; i < count; ++i) {
      before.push_back(fleet.At(first, i));
    }
    // Printer 0 as stored, without the "-1" a discovery may add.
    const sim::PrinterState beforeTarget =
        *target == 0 ? first : before[static_cast<std::size_t>(*target)];
    const bool applied = fleet.Apply(datagram, *target, first);
    const sim::PrinterState after = *target == 0 ? first : fleet.At(first, *target);
    if (applied) {
      CheckWriteApplied(datagram, block->block, beforeTarget, after);
    } else {
      Require(after == beforeTarget, "a refused write changed the printer");
    }
    for (const std::string* text : {&after.ip, &after.mask, &after.gateway, &after.lastUsedIp}) {
      Require(IsCanonicalAddress(*text), "an address the printer cannot report back");
    }
    for (int i = 0; i < count; ++i) {
      Require(i == *target || fleet.At(first, i) == before[static_cast<std::size_t>(i)],
              "a write changed another printer");
    }
  }
  return 0;
}
