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

using Request = std::array<std::uint8_t, MaxDatagram>;

// The header every request of one change carries; reads until the writes replace it.
Request ReadRequest(std::uint32_t sequence, const MacBytes& mac) {
  Request request{};
  NetSetupHeader{NetSetupCommand::CmdReadBlock, 2, sequence, mac, true}.WriteTo(request.data());
  return request;
}

// Blocks 4 and 5, into the buffer's read header.
AddressBlocks ReadBlocks(NetSetupExchange::Session& session, Request& request, int waitMs) {
  AddressBlocks read;
  request[32] = 4;
  request[33] = 0;
  read.addressesRead =
      TakeBlockReadReply(4, session.Request(request.data(), ReadRequestSize, waitMs), read.config);
  request[32] = 5;
  read.modeRead =
      TakeBlockReadReply(5, session.Request(request.data(), ReadRequestSize, waitMs), read.config);
  return read;
}

}  // namespace

bool TakeBlockReadReply(std::uint8_t block, const std::vector<std::uint8_t>& reply,
                        NetConfigRecord& config) {
  if (block == 4 && reply.size() >= Gateway + 4) {
    config.ip.Assign(IpToText(IpAt(reply, Address)));
    config.lastUsedIp = config.ip;
    config.mask.Assign(IpToText(IpAt(reply, Mask)));
    config.gateway.Assign(IpToText(IpAt(reply, Gateway)));
    return true;
  }
  if (block == 5 && reply.size() > AddressMode) {
    config.dhcp = reply[AddressMode] == 8 ? 1 : 0;
    return true;
  }
  return false;
}

std::optional<AddressBlocks> ReadAddressBlocks(const NetSetupExchange& exchange,
                                               std::uint32_t sequence, const std::string& macText,
                                               int waitMs) {
  const std::optional<MacBytes> mac = TextToMac(macText);
  if (!mac) {
    return std::nullopt;
  }
  const std::unique_ptr<NetSetupExchange::Session> session = exchange.OpenSession();
  if (!session) {
    return std::nullopt;
  }
  Request request = ReadRequest(sequence, *mac);
  return ReadBlocks(*session, request, waitMs);
}

RemoteChangeResult RunRemoteIpChange(const NetSetupExchange& exchange, std::uint32_t sequence,
                                     const RemoteChangeTarget& target,
                                     const std::function<void(NetConfigRecord&)>& edit, int waitMs,
                                     const RemoteWriteProgress& beforeWrite) {
  RemoteChangeResult result;
  const std::optional<MacBytes> mac = TextToMac(target.macText);
  if (!mac) {
    return result;
  }
  // One buffer for all six requests: each step changes only its own bytes.
  Request request = ReadRequest(sequence, *mac);

  const std::unique_ptr<NetSetupExchange::Session> session = exchange.OpenSession();
  if (!session) {
    return result;
  }

  // A field whose read got no usable reply opens empty.
  NetConfigRecord config = ReadBlocks(*session, request, waitMs).config;
  config.netName.Assign(target.caption);  // cut to the field's 63 characters

  edit(config);
  if (config.accepted == 0) {
    return result;
  }

  NetSetupHeader{NetSetupCommand::CmdWriteBlock, 1032, sequence, *mac, true}.WriteTo(
      request.data());
  int writes = 0;
  auto write = [&](std::uint8_t block) {
    if (beforeWrite) {
      beforeWrite(++writes, 4);
    }
    request[32] = 0;
    request[33] = 0;
    request[34] = block;
    request[35] = 0;
    if (!session->Write(request.data(), WriteRequestSize, waitMs)) {
      result.unanswered.push_back(block);
    }
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
  result.written = true;
  return result;
}
