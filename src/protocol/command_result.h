#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include <QtGlobal>

// The result of every printer operation; only the windows turn it into words.
enum class CommandResult : std::int32_t {
  Ok = 0,
  OpenPortError = 1,
  TransmitDataError = 2,
  ReceiveDataError = 3,
  OpenFileError = 4,
  InvalidOperation = 5,
};

// The message shown for each result, by code. The texts are the printer tools' own; the windows
// show them translated in this context, the command-line program as they are.
inline constexpr const char* ResultMessagesContext = "CommandResult";
inline constexpr std::array<std::string_view, 6> ResultMessages = {
    "",
    QT_TRANSLATE_NOOP("CommandResult", "Open Port Error"),
    QT_TRANSLATE_NOOP("CommandResult", "Transmit Data Error"),
    QT_TRANSLATE_NOOP("CommandResult", "Receive Data Error"),
    QT_TRANSLATE_NOOP("CommandResult", "Open File Error"),
    QT_TRANSLATE_NOOP("CommandResult", "Unknow Error"),
};

// The message for a result; a code outside the table reads as the unknown error.
std::string_view ResultMessage(CommandResult result);
