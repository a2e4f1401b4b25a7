#include "netsetup/remote_ip_change.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "protocol/address_text.h"

namespace {

using namespace config_block;

IpBytes IpAt(const std::vector<std::uint8_t>& reply, std::size_t offset) {
  return {reply[offset], reply[offset + 1], reply[offset + 2], reply[offset + 3]};
}

void PutIp(std::uint8_t* request, std::size_t offset, const NetConfigRecord::Text& text) {
  const IpBytes bytes = TextToIp(text.View());
  std::copy(bytes.begin(), bytes.end(), request + offset);
}

}  // namespace

void TakeBlockReadReply(std::uint8_t block, const std::vector<std::uint8_t>& reply,
                        NetConfigRecord& config) {
  if (block == 4 && reply.size() >= Gateway + 4) {
    config.ip.Assign(IpToText(IpAt(reply, Address)));
    config.lastUsedIp = config.ip;
    config.mask.Assign(IpToText(IpAt(reply, Mask)));
    config.gateway.Assign(IpToText(IpAt(reply, Gateway)));
  } else if (block == 5 && reply.size() > AddressMode) {
    config.dhcp = reply[AddressMode] == 8 ? 1 : 0;
  }
}

bool RunRemoteIpChange(const NetSetupExchange& exchange, std::uint32_t sequence,
                       const RemoteChangeTarget& target,
                       const std::function<void(NetConfigRecord&)>& edit, int waitMs) {
  const std::optional<MacBytes> mac = TextToMac(target.macText);
  if (!mac) {
    return false;
  }
  // One buffer for all six requests: each step changes only its own bytes.
  std::array<std::uint8_t, MaxDatagram> request{};
  NetSetupHeader{NetSetupCommand::CmdReadBlock, 2, sequence, *mac, true}.WriteTo(request.data());

  const std::unique_ptr<NetSetupExchange::Session> session = exchange.OpenSession();
  if (!session) {
    return false;
  }

  // A field whose read got no usable reply opens empty.
  NetConfigRecord config;
  request[32] = 4;
  request[33] = 0;
  TakeBlockReadReply(4, session->Request(request.data(), ReadRequestSize, waitMs), config);
  request[32] = 5;
  TakeBlockReadReply(5, session->Request(request.data(), ReadRequestSize, waitMs), config);
  config.netName.Assign(target.caption);  // cut to the field's 63 characters

  edit(config);
  if (config.accepted == 0) {
    return false;
  }

  NetSetupHeader{NetSetupCommand::CmdWriteBlock, 1032, sequence, *mac, true}.WriteTo(
      request.data());
  auto write = [&](std::uint8_t block) {
    request[32] = 0;
    request[33] = 0;
    request[34] = block;
    request[35] = 0;
    session->Request(request.data(), WriteRequestSize, waitMs);
  };
  const std::string_view name = config.netName.View();
  std::memcpy(request.data() + Name, name.data(), name.size());
  request[Name + name.size()] = 0;
  write(0);
  PutIp(request.data(), Address, config.ip);
  PutIp(request.data(), Mask, config.mask);
  PutIp(request.data(), Gateway, config.gateway);
  write(4);
  request[AddressMode] = config.dhcp != 0 ? 8 : 1;
  request[AddressSource] = config.dhcp != 0 ? 4 : 1;
  write(5);
  write(7);
  return true;
}
