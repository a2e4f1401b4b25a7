// The replies to the block reads of a remote address change, taken into the record that the
// Ethernet Setup dialog shows and the block writes send back.
//
// Input: byte 0 is the block that was read, the rest is the datagram that answered it (cut at
// the receive buffer's 2048 bytes, as the exchange does).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "netsetup/discovery_protocol.h"
#include "netsetup/remote_ip_change.h"
#include "protocol/address_text.h"

namespace {

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "block_read: %s\n", what);
    std::abort();
  }
}

void RequireBounded(const NetConfigRecord::Text& text) {
  Require(text.Length() <= NetConfigRecord::Text::Capacity, "a record text lost its NUL");
  Require(text.CStr()[NetConfigRecord::Text::Capacity] == '\0', "a record text ends without NUL");
}

// What the write of block 4 would send for a text, and what the read gave.
bool WritesBack(const NetConfigRecord::Text& text, const std::vector<std::uint8_t>& reply,
                std::size_t offset) {
  const IpBytes written = TextToIp(text.View());
  return std::equal(written.begin(), written.end(), reply.begin() + static_cast<long>(offset));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) {
    return 0;
  }
  const std::uint8_t block = data[0];
  const std::vector<std::uint8_t> reply(data + 1, data + 1 + std::min(size - 1, MaxDatagram));

  NetConfigRecord before;
  before.dhcp = 2;
  before.ip.Assign("ip before");
  before.mask.Assign("mask before");
  before.gateway.Assign("gateway before");
  before.lastUsedIp.Assign("last used before");
  before.netName.Assign("name before");
  before.macAddr.Assign("mac before");
  before.accepted = 3;
  NetConfigRecord config = before;
  TakeBlockReadReply(block, reply, config);

  for (const auto* text : {&config.ip, &config.mask, &config.gateway, &config.lastUsedIp,
                           &config.netName, &config.macAddr}) {
    RequireBounded(*text);
  }
  Require(config.netName == before.netName && config.macAddr == before.macAddr &&
              config.accepted == before.accepted,
          "a block read changed a field no block read carries");

  const bool addresses = block == 4 && reply.size() >= config_block::Gateway + 4;
  const bool mode = block == 5 && reply.size() > config_block::AddressMode;
  if (addresses) {
    Require(WritesBack(config.ip, reply, config_block::Address) &&
                WritesBack(config.mask, reply, config_block::Mask) &&
                WritesBack(config.gateway, reply, config_block::Gateway),
            "an address read from a block does not write back as the same bytes");
    Require(config.lastUsedIp == config.ip, "the address in use differs from the one read");
  } else {
    Require(config.ip == before.ip && config.mask == before.mask &&
                config.gateway == before.gateway && config.lastUsedIp == before.lastUsedIp,
            "addresses taken from a reply that does not carry them");
  }
  if (mode) {
    Require(config.dhcp == (reply[config_block::AddressMode] == 8 ? 1 : 0),
            "the address mode is not taken from its byte");
  } else {
    Require(config.dhcp == before.dhcp, "an address mode taken from a reply without one");
  }
  return 0;
}
