#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "netsetup/remote_ip_change.h"
#include "protocol/printer_records.h"

// What speaks against a remote change having taken: writes nobody acknowledged, blocks that did
// not answer when read back (`read` is empty when none could be asked for), and settings that
// differ from `written`. Empty when the printer confirms the change.
std::vector<std::string> RemoteChangeDoubts(const std::optional<AddressBlocks>& read,
                                            const NetConfigRecord& written,
                                            const std::vector<std::uint8_t>& unanswered);
