#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "link/link_facade.h"
#include "protocol/command_result.h"

// A reply is one frame: lead-in, "{", decimal length, "|", data, "}".
inline constexpr std::uint32_t MaxFrameContent = 1024;  // between the braces
// A device that streams anything but "{" must not keep the reader busy forever.
inline constexpr std::uint32_t MaxFrameLeadIn = 64 * 1024;
// The length field has room for 31 digits.
inline constexpr std::uint32_t MaxLengthDigits = 31;

// The data of one frame followed by a NUL, so that callers can use it as text.
using ReplyBuffer = std::array<char, MaxFrameContent + 1>;

// Reads one frame byte by byte. A frame whose closing brace never comes is judged by what
// arrived before the link went quiet. True with the data and its byte count on success.
bool ReadReplyFrame(LinkFacade& link, LinkHandle handle, LinkKind kind, ReplyBuffer& data,
                    std::uint32_t& length);

// Writes one command and reads the frame that answers it.
CommandResult ExchangeCommand(LinkFacade& link, LinkHandle handle, LinkKind kind,
                              std::string_view command, ReplyBuffer& data, std::uint32_t& length);

// Writes one command that is not answered.
CommandResult WriteCommand(LinkFacade& link, LinkHandle handle, LinkKind kind,
                           std::string_view command);

// The reply data as text: up to its first NUL.
std::string_view ReplyText(const ReplyBuffer& data, std::uint32_t length);
