#pragma once

#include <QString>

#include "link/transfer_failure.h"

// The words for why a write or a reply failed, shown beside "Transmit Data Error" or "Receive
// Data Error". The windows show them in their language; the command-line program installs no
// translation, so it says them in English.
inline constexpr const char* TransferFailureContext = "TransferFailure";
QString TransferFailureText(const TransferFailure& failure);
