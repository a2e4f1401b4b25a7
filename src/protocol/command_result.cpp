#include "protocol/command_result.h"

std::string_view ResultMessage(CommandResult result) {
  const auto code = static_cast<std::int32_t>(result);
  if (code < 0 || code >= static_cast<std::int32_t>(ResultMessages.size())) {
    return ResultMessages[static_cast<std::size_t>(CommandResult::InvalidOperation)];
  }
  return ResultMessages[static_cast<std::size_t>(code)];
}
