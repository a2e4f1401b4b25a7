// The reply frame reader and the two query operations, fed by a scripted link.
//
// Input: byte 0 chooses the link kind (bits 0-1), what runs (bits 2-3: frames one by one,
// ReadClock, ReadNetwork) and whether the open fails (bit 4); byte 1 is a mask of the first
// eight writes that fail. (The 64 KiB limits of the receive buffer and the lead-in are left to
// the unit tests: reading that much per input would slow everything else down.) The rest is what
// the printer sends, cut into blocks by "\" and any character
// ("\\" is a backslash): each block is what one receive brings, an empty block is a receive
// that brings nothing.
//
// Every run happens twice, on two facades with the same script: once through the product's
// code and once through a plain reading of the frame and operation rules written here. Both
// must make the same writes and come to the same result and record.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "link/link_facade.h"
#include "protocol/printer_operations.h"
#include "protocol/reply_frame.h"

namespace {

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "reply_frame: %s\n", what);
    std::abort();
  }
}

struct Script {
  bool openFails = false;
  std::uint8_t writeFailMask = 0;
  std::vector<std::string> blocks;
};

// A port that plays back a script and never waits.
class ScriptPort final : public LinkPort {
 public:
  const Script* script = nullptr;
  std::size_t nextBlock = 0;
  int writes = 0;
  int closes = 0;
  std::string written;

  void Reset(const Script& s) {
    script = &s;
    nextBlock = 0;
    writes = 0;
    closes = 0;
    written.clear();
  }

  LinkHandle Open(const LinkTargets&) override { return script->openFails ? InvalidLink : 5; }

  std::uint32_t WriteChunk(LinkHandle, const std::uint8_t* data, std::uint32_t count) override {
    const bool fails = writes < 8 && ((script->writeFailMask >> writes) & 1) != 0;
    ++writes;
    if (fails) {
      return count / 2;
    }
    written.append(reinterpret_cast<const char*>(data), count);
    return count;
  }

  bool Fill(LinkHandle, ReceiveBuffer& buffer) override {
    if (nextBlock >= script->blocks.size()) {
      return false;
    }
    const std::string& block = script->blocks[nextBlock++];
    buffer.Append(reinterpret_cast<const std::uint8_t*>(block.data()),
                  static_cast<std::uint32_t>(block.size()));
    return !block.empty();
  }

  void Close(LinkHandle) override { ++closes; }
  void WaitForData(LinkHandle, std::chrono::milliseconds) override {}
};

// A facade over four script ports, with the pauses of the serial rule taken out.
struct ScriptedLink {
  SerialSettings serial;
  LptDeviceName lpt{DefaultLptDeviceName};
  NetTarget net;
  std::array<ScriptPort*, 4> ports{};
  std::unique_ptr<LinkFacade> facade;

  ScriptedLink() {
    auto make = [this](std::size_t i) {
      auto port = std::make_unique<ScriptPort>();
      ports[i] = port.get();
      return port;
    };
    facade = std::make_unique<LinkFacade>(LinkPorts{make(0), make(1), make(2), make(3)});
    facade->SetLinkTargets(serial, lpt, net);
    facade->SetPauseHook([](std::chrono::milliseconds) {});
  }

  void Reset(const Script& script) {
    for (ScriptPort* port : ports) {
      port->Reset(script);
    }
  }
  ScriptPort& Port(LinkKind kind) { return *ports[static_cast<std::size_t>(kind)]; }
};

std::vector<std::string> SplitBlocks(std::string_view rest) {
  std::vector<std::string> blocks(1);
  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '\\' && i + 1 < rest.size()) {
      if (rest[i + 1] == '\\') {
        blocks.back() += '\\';
      } else {
        blocks.emplace_back();
      }
      ++i;
    } else {
      blocks.back() += rest[i];
    }
  }
  return blocks;
}

// --- The rules, read plainly -------------------------------------------------------------

bool IsDigit(std::uint8_t c) {
  return c >= '0' && c <= '9';
}

bool ReferenceReadFrame(LinkFacade& link, LinkHandle handle, LinkKind kind, std::string& data) {
  std::uint8_t byte = 0;
  std::uint32_t leadIn = 0;
  for (;;) {
    if (!link.ReadLinkByte(handle, kind, byte)) {
      return false;
    }
    if (byte == '{') {
      break;
    }
    if (++leadIn > MaxFrameLeadIn) {
      return false;
    }
  }
  std::string content;
  while (link.ReadLinkByte(handle, kind, byte) && byte != '}') {
    content += static_cast<char>(byte);
    if (content.size() > MaxFrameContent) {
      return false;
    }
  }
  std::size_t pos = 0;
  while (pos < content.size() && IsDigit(static_cast<std::uint8_t>(content[pos]))) {
    ++pos;
  }
  if (pos == content.size() || content[pos] != '|' || pos > MaxLengthDigits) {
    return false;
  }
  std::string digits = content.substr(0, pos);
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
  data = content.substr(pos + 1);
  return digits == (data.empty() ? std::string() : std::to_string(data.size()));
}

CommandResult ReferenceExchange(LinkFacade& link, LinkHandle handle, LinkKind kind,
                                std::string_view command, std::string& data) {
  if (!link.WriteLink(handle, kind, command.data(), static_cast<std::uint32_t>(command.size()))) {
    return CommandResult::TransmitDataError;
  }
  return ReferenceReadFrame(link, handle, kind, data) ? CommandResult::Ok
                                                      : CommandResult::ReceiveDataError;
}

// Text up to the first NUL.
std::string AsText(const std::string& data) {
  return data.substr(0, data.find('\0'));
}

std::int32_t ReferenceNumber(const std::string& text) {
  std::size_t pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || (text[pos] >= '\t' && text[pos] <= '\r'))) {
    ++pos;
  }
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos++] == '-';
  }
  long long value = 0;
  for (; pos < text.size() && IsDigit(static_cast<std::uint8_t>(text[pos])); ++pos) {
    value = std::min(value * 10 + (text[pos] - '0'), 1LL << 31);
  }
  value = negative ? -value : std::min(value, (1LL << 31) - 1);
  return static_cast<std::int32_t>(value);
}

struct ReferenceNet {
  std::uint8_t dhcp;
  std::string ip, mask, gateway, lastUsedIp, netName, macAddr;
};

std::string Field(const std::string& data) {
  return AsText(data).substr(0, NetConfigRecord::Text::Capacity);
}

CommandResult ReferenceReadClock(LinkFacade& link, LinkKind kind, ClockRecord& clock) {
  const LinkHandle handle = link.OpenLink(kind);
  if (handle == InvalidLink) {
    return CommandResult::OpenPortError;
  }
  static constexpr std::array<std::string_view, 6> Reports = {
      "DIAGNOSTIC REPORT YEAR\r\n", "DIAGNOSTIC REPORT MONTH\r\n",  "DIAGNOSTIC REPORT DATE\r\n",
      "DIAGNOSTIC REPORT HOUR\r\n", "DIAGNOSTIC REPORT MINUTE\r\n", "DIAGNOSTIC REPORT SECOND\r\n"};
  std::array<std::int32_t*, 6> fields = {&clock.year, &clock.month,  &clock.date,
                                         &clock.hour, &clock.minute, &clock.second};
  std::string data;
  CommandResult result =
      ReferenceExchange(link, handle, kind, InterfaceCommands[static_cast<int>(kind)], data);
  for (std::size_t i = 0; i < Reports.size() && result == CommandResult::Ok; ++i) {
    result = ReferenceExchange(link, handle, kind, Reports[i], data);
    if (result == CommandResult::Ok) {
      *fields[i] = ReferenceNumber(AsText(data));
    }
  }
  link.CloseLink(kind, handle);
  return result;
}

CommandResult ReferenceReadNetwork(LinkFacade& link, LinkKind kind, ReferenceNet& net) {
  const LinkHandle handle = link.OpenLink(kind);
  if (handle == InvalidLink) {
    return CommandResult::OpenPortError;
  }
  std::string data;
  auto run = [&]() -> CommandResult {
    CommandResult result =
        ReferenceExchange(link, handle, kind, InterfaceCommands[static_cast<int>(kind)], data);
    if (result != CommandResult::Ok) {
      return result;
    }
    if ((result = ReferenceExchange(link, handle, kind, "DIAGNOSTIC REPORT CONFIGIP\r\n", data)) !=
        CommandResult::Ok) {
      return result;
    }
    net.ip = Field(data);
    net.dhcp = AsText(data) == "0.0.0.0" ? 1 : 0;
    if ((result = ReferenceExchange(link, handle, kind, "DIAGNOSTIC REPORT GATEWAY\r\n", data)) !=
        CommandResult::Ok) {
      return result;
    }
    net.gateway = Field(data);
    if ((result = ReferenceExchange(link, handle, kind, "DIAGNOSTIC REPORT IPMASK\r\n", data)) !=
        CommandResult::Ok) {
      return result;
    }
    net.mask = Field(data);
    if ((result = ReferenceExchange(link, handle, kind, "DIAGNOSTIC REPORT LASTUSEDIP\r\n",
                                    data)) != CommandResult::Ok) {
      return result;
    }
    net.lastUsedIp = Field(data);
    if (ReferenceExchange(link, handle, kind, "DIAGNOSTIC REPORT NETNAME\r\n", data) !=
        CommandResult::Ok) {
      net.netName.clear();
      return CommandResult::Ok;
    }
    net.netName = Field(data);
    if (ReferenceExchange(link, handle, kind, "DIAGNOSTIC REPORT MACADDR\r\n", data) !=
        CommandResult::Ok) {
      net.macAddr.clear();
      return CommandResult::Ok;
    }
    net.macAddr = Field(data);
    return CommandResult::Ok;
  };
  const CommandResult result = run();
  link.CloseLink(kind, handle);
  return result;
}

// --- Checks --------------------------------------------------------------------------------

bool IsKnownResult(CommandResult result) {
  const auto code = static_cast<std::int32_t>(result);
  return code >= 0 && code < static_cast<std::int32_t>(ResultMessages.size());
}

void RequireBounded(const NetConfigRecord::Text& text) {
  Require(text.Length() <= NetConfigRecord::Text::Capacity, "a record text lost its NUL");
  Require(text.CStr()[NetConfigRecord::Text::Capacity] == '\0', "a record text ends without NUL");
}

void CheckFrames(ScriptedLink& real, ScriptedLink& reference, LinkKind kind) {
  const LinkHandle handle = real.facade->OpenLink(kind);
  const LinkHandle referenceHandle = reference.facade->OpenLink(kind);
  Require((handle == InvalidLink) == (referenceHandle == InvalidLink), "open differs");
  if (handle == InvalidLink) {
    return;
  }
  for (int frame = 0; frame < 8; ++frame) {
    ReplyBuffer data;
    data.fill('\xA5');
    std::uint32_t length = 0xDEADBEEF;
    const bool ok = ReadReplyFrame(*real.facade, handle, kind, data, length);
    std::string expected;
    const bool expectedOk = ReferenceReadFrame(*reference.facade, referenceHandle, kind, expected);
    Require(ok == expectedOk, "ReadReplyFrame accepts or refuses unlike the frame rules");
    if (ok) {
      Require(length == expected.size(), "ReadReplyFrame gives the wrong length");
      Require(std::string_view(data.data(), length) == expected, "ReadReplyFrame gives other data");
      Require(data[length] == '\0', "ReadReplyFrame leaves the data without NUL");
      Require(ReplyText(data, length) == AsText(expected), "ReplyText is not the text to its NUL");
    }
    Require(real.Port(kind).nextBlock == reference.Port(kind).nextBlock,
            "ReadReplyFrame reads a different number of bytes");
  }
  real.facade->CloseLink(kind, handle);
  reference.facade->CloseLink(kind, referenceHandle);
}

void CheckReadClock(ScriptedLink& real, ScriptedLink& reference, LinkKind kind) {
  const ClockRecord untouched{-11, -22, -33, -44, -55, -66};
  ClockRecord clock = untouched;
  const CommandResult result =
      RunPrinterOperation(*real.facade, PrinterOperation::ReadClock, kind, &clock);
  ClockRecord expected = untouched;
  const CommandResult expectedResult = ReferenceReadClock(*reference.facade, kind, expected);
  Require(IsKnownResult(result), "ReadClock returned a code outside the table");
  Require(result == expectedResult, "ReadClock ends with another result");
  Require(clock == expected, "ReadClock fills the record unlike the rules");
}

void CheckReadNetwork(ScriptedLink& real, ScriptedLink& reference, LinkKind kind) {
  NetConfigRecord config;
  config.dhcp = 2;
  config.ip.Assign("old ip");
  config.mask.Assign("old mask");
  config.gateway.Assign("old gateway");
  config.lastUsedIp.Assign("old last used");
  config.netName.Assign("old name");
  config.macAddr.Assign("old mac");
  config.accepted = 9;
  ReferenceNet expected{2,          "old ip", "old mask", "old gateway", "old last used",
                        "old name", "old mac"};
  const CommandResult result =
      RunPrinterOperation(*real.facade, PrinterOperation::ReadNetwork, kind, &config);
  const CommandResult expectedResult = ReferenceReadNetwork(*reference.facade, kind, expected);
  Require(IsKnownResult(result), "ReadNetwork returned a code outside the table");
  Require(result == expectedResult, "ReadNetwork ends with another result");
  for (const auto* text : {&config.ip, &config.mask, &config.gateway, &config.lastUsedIp,
                           &config.netName, &config.macAddr}) {
    RequireBounded(*text);
  }
  Require(config.dhcp == expected.dhcp, "ReadNetwork sets dhcp unlike the rules");
  Require(config.ip == expected.ip && config.mask == expected.mask &&
              config.gateway == expected.gateway && config.lastUsedIp == expected.lastUsedIp &&
              config.netName == expected.netName && config.macAddr == expected.macAddr,
          "ReadNetwork fills the record unlike the rules");
  Require(config.accepted == 9, "ReadNetwork touched accepted");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) {
    return 0;
  }
  static ScriptedLink real;
  static ScriptedLink reference;

  const auto kind = static_cast<LinkKind>(data[0] & 0x03);
  const int mode = (data[0] >> 2) & 0x03;
  Script script;
  script.openFails = (data[0] & 0x10) != 0;
  script.writeFailMask = data[1];
  script.blocks = SplitBlocks(std::string_view(reinterpret_cast<const char*>(data) + 2, size - 2));
  real.Reset(script);
  reference.Reset(script);

  switch (mode) {
    case 1:
      CheckReadClock(real, reference, kind);
      break;
    case 2:
      CheckReadNetwork(real, reference, kind);
      break;
    default:
      CheckFrames(real, reference, kind);
      break;
  }
  ScriptPort& port = real.Port(kind);
  ScriptPort& referencePort = reference.Port(kind);
  Require(port.written == referencePort.written, "the commands written differ from the rules");
  Require(port.closes == referencePort.closes, "the link is closed a different number of times");
  Require(port.nextBlock == referencePort.nextBlock, "a different amount of the reply was read");
  return 0;
}
