#include "protocol/reply_frame.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "common/trace.h"

namespace {

constexpr std::uint8_t OpenBrace = '{';
constexpr std::uint8_t CloseBrace = '}';
constexpr std::uint8_t Separator = '|';

bool IsDigit(std::uint8_t byte) {
  return byte >= '0' && byte <= '9';
}

// Checks the content between the braces and delivers its data.
bool ParseFrameContent(const std::uint8_t* content, std::uint32_t count, ReplyBuffer& data,
                       std::uint32_t& length) {
  std::uint32_t pos = 0;
  std::uint32_t digits = 0;
  std::uint64_t declared = 0;
  while (pos < count && IsDigit(content[pos])) {
    if (++digits > MaxLengthDigits) {
      return false;
    }
    // A frame cannot carry more than MaxFrameContent bytes, so stop growing the value there;
    // it still differs from every possible data count.
    declared = std::min<std::uint64_t>(declared * 10 + (content[pos] - '0'), MaxFrameContent + 1);
    ++pos;
  }
  if (pos == count || content[pos] != Separator) {
    return false;
  }
  ++pos;
  const std::uint32_t dataCount = count - pos;
  if (declared != dataCount) {
    return false;
  }
  std::memcpy(data.data(), content + pos, dataCount);
  data[dataCount] = '\0';
  length = dataCount;
  return true;
}

}  // namespace

bool ReadReplyFrame(LinkFacade& link, LinkHandle handle, LinkKind kind, ReplyBuffer& data,
                    std::uint32_t& length) {
  const char* const name = LinkKindName(kind);
  // The start of what came before the frame, for the trace.
  constexpr std::uint32_t LeadInShown = 64;
  std::string leadInText;
  std::uint8_t byte = 0;
  std::uint32_t leadIn = 0;
  for (;;) {
    if (!link.ReadLinkByte(handle, kind, byte)) {
      qCDebug(TraceWire, "%s < no frame; %u bytes before the link went quiet: %s", name, leadIn,
              TraceEscaped(leadInText).c_str());
      return false;
    }
    if (byte == OpenBrace) {
      break;
    }
    if (leadIn < LeadInShown) {
      leadInText += static_cast<char>(byte);
    }
    if (++leadIn > MaxFrameLeadIn) {
      qCDebug(TraceWire, "%s < no frame within %u bytes: %s...", name, MaxFrameLeadIn,
              TraceEscaped(leadInText).c_str());
      return false;
    }
  }
  if (leadIn != 0) {
    qCDebug(TraceWire, "%s < %u bytes before the frame: %s%s", name, leadIn,
            TraceEscaped(leadInText).c_str(), leadIn > LeadInShown ? "..." : "");
  }

  std::array<std::uint8_t, MaxFrameContent> content{};
  std::uint32_t count = 0;
  auto contentText = [&] {
    return TraceEscaped({reinterpret_cast<const char*>(content.data()), count});
  };
  bool closed = false;
  while (link.ReadLinkByte(handle, kind, byte)) {
    if (byte == CloseBrace) {
      closed = true;
      break;
    }
    if (count == MaxFrameContent) {
      qCDebug(TraceWire, "%s < {%s... longer than %u bytes", name, contentText().c_str(),
              MaxFrameContent);
      return false;
    }
    content[count++] = byte;
  }
  const bool parsed = ParseFrameContent(content.data(), count, data, length);
  qCDebug(TraceWire, "%s < {%s%s", name, contentText().c_str(),
          !closed  ? " (no closing brace)"
          : parsed ? "}"
                   : "} (not a valid frame)");
  return parsed;
}

CommandResult ExchangeCommand(LinkFacade& link, LinkHandle handle, LinkKind kind,
                              std::string_view command, ReplyBuffer& data, std::uint32_t& length) {
  const CommandResult written = WriteCommand(link, handle, kind, command);
  if (written != CommandResult::Ok) {
    return written;
  }
  if (!ReadReplyFrame(link, handle, kind, data, length)) {
    return CommandResult::ReceiveDataError;
  }
  return CommandResult::Ok;
}

CommandResult WriteCommand(LinkFacade& link, LinkHandle handle, LinkKind kind,
                           std::string_view command) {
  if (!link.WriteLink(handle, kind, command.data(), static_cast<std::uint32_t>(command.size()))) {
    return CommandResult::TransmitDataError;
  }
  return CommandResult::Ok;
}

std::string_view ReplyText(const ReplyBuffer& data, std::uint32_t length) {
  const std::string_view all(data.data(), std::min<std::size_t>(length, MaxFrameContent));
  return all.substr(0, all.find('\0'));
}
