#include "protocol/reply_frame.h"

#include <algorithm>
#include <cstdint>
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

// Bytes the command language sends: printable ASCII and the line ends. A reply made mostly of
// others is what a wrong baud rate turns the printer's text into.
bool IsLanguageByte(std::uint8_t byte) {
  return (byte >= 0x20 && byte < 0x7F) || byte == '\r' || byte == '\n' || byte == '\t';
}

// Checks the content between the braces and delivers its data; otherwise says what was wrong,
// with the length field's value in `declared` and the data's byte count in `carried`.
TransferFailureCause ParseFrameContent(const std::uint8_t* content, std::uint32_t count,
                                       ReplyBuffer& data, std::uint32_t& length,
                                       std::uint64_t& declared, std::uint32_t& carried) {
  std::uint32_t pos = 0;
  std::uint32_t digits = 0;
  declared = 0;
  carried = 0;
  while (pos < count && IsDigit(content[pos])) {
    if (++digits > MaxLengthDigits) {
      return TransferFailureCause::BadFrame;
    }
    // 31 digits overflow any integer, so the value stops growing at the largest one the cause
    // can name; it still differs from every possible data count, and the cause tells the truth
    // for every length a printer could mean.
    declared = std::min<std::uint64_t>(declared * 10 + (content[pos] - '0'), UINT32_MAX);
    ++pos;
  }
  if (pos == count || content[pos] != Separator) {
    return TransferFailureCause::BadFrame;
  }
  ++pos;
  const std::uint32_t dataCount = count - pos;
  carried = dataCount;
  if (declared != dataCount) {
    return TransferFailureCause::LengthMismatch;
  }
  std::memcpy(data.data(), content + pos, dataCount);
  data[dataCount] = '\0';
  length = dataCount;
  return TransferFailureCause::None;
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
  std::uint32_t foreign = 0;  // bytes outside the command language, lead-in and frame
  // Keeps what the link said of a read of this frame that failed, and adds what the frame had;
  // a link that cannot receive, or bytes that came damaged, say more than the frame can.
  link.NoteTransferFailure({});
  std::uint32_t carried = 0;
  auto fail = [&](TransferFailureCause cause, std::uint32_t received, std::uint32_t declared) {
    TransferFailure failure = link.LastTransferFailure();
    if (failure.cause != TransferFailureCause::CannotReceive &&
        failure.cause != TransferFailureCause::ReceiveBroken) {
      failure.cause = cause;
    }
    failure.received = received;
    failure.total = declared;
    failure.carried = carried;
    // Only a serial line has a baud rate to get wrong.
    failure.unreadable = kind == LinkKind::Com && foreign * 2 > received;
    link.NoteTransferFailure(failure);
    return false;
  };
  for (;;) {
    if (!link.ReadLinkByte(handle, kind, byte)) {
      qCDebug(TraceWire, "%s < no frame; %u bytes before the link went quiet: %s", name, leadIn,
              TraceEscaped(leadInText).c_str());
      return fail(leadIn == 0 ? TransferFailureCause::NoReply : TransferFailureCause::NoFrame,
                  leadIn, 0);
    }
    if (byte == OpenBrace) {
      break;
    }
    foreign += IsLanguageByte(byte) ? 0 : 1;
    if (leadIn < LeadInShown) {
      leadInText += static_cast<char>(byte);
    }
    if (++leadIn > MaxFrameLeadIn) {
      qCDebug(TraceWire, "%s < no frame within %u bytes: %s...", name, MaxFrameLeadIn,
              TraceEscaped(leadInText).c_str());
      return fail(TransferFailureCause::NoFrame, leadIn, 0);
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
      return fail(TransferFailureCause::FrameTooLong, leadIn + 1 + count + 1, MaxFrameContent);
    }
    foreign += IsLanguageByte(byte) ? 0 : 1;
    content[count++] = byte;
  }
  std::uint64_t declared = 0;
  const TransferFailureCause cause =
      ParseFrameContent(content.data(), count, data, length, declared, carried);
  qCDebug(TraceWire, "%s < {%s%s", name, contentText().c_str(),
          !closed                               ? " (no closing brace)"
          : cause == TransferFailureCause::None ? "}"
                                                : "} (not a valid frame)");
  if (cause != TransferFailureCause::None) {
    return fail(closed ? cause : TransferFailureCause::FrameCutOff,
                leadIn + 1 + count + (closed ? 1 : 0), static_cast<std::uint32_t>(declared));
  }
  return true;
}

namespace {

// The command as the causes name it: without its line end.
std::string CommandName(std::string_view command) {
  while (!command.empty() && (command.back() == '\n' || command.back() == '\r')) {
    command.remove_suffix(1);
  }
  return std::string(command);
}

// Names the command in the cause the link and the frame reader left.
void NoteCommand(LinkFacade& link, std::string_view command) {
  TransferFailure failure = link.LastTransferFailure();
  failure.command = CommandName(command);
  link.NoteTransferFailure(std::move(failure));
}

}  // namespace

CommandResult ExchangeCommand(LinkFacade& link, LinkHandle handle, LinkKind kind,
                              std::string_view command, ReplyBuffer& data, std::uint32_t& length) {
  const CommandResult written = WriteCommand(link, handle, kind, command);
  if (written != CommandResult::Ok) {
    return written;
  }
  if (!ReadReplyFrame(link, handle, kind, data, length)) {
    NoteCommand(link, command);
    return CommandResult::ReceiveDataError;
  }
  return CommandResult::Ok;
}

CommandResult WriteCommand(LinkFacade& link, LinkHandle handle, LinkKind kind,
                           std::string_view command) {
  if (!link.WriteLink(handle, kind, command.data(), static_cast<std::uint32_t>(command.size()))) {
    NoteCommand(link, command);
    return CommandResult::TransmitDataError;
  }
  return CommandResult::Ok;
}

std::string_view ReplyText(const ReplyBuffer& data, std::uint32_t length) {
  const std::string_view all(data.data(), std::min<std::size_t>(length, MaxFrameContent));
  return all.substr(0, all.find('\0'));
}
