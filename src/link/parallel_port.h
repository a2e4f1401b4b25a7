#pragma once

#include <QString>
#include <string_view>

#include "link/link_port.h"

// The device a parallel port name stands for: "LPTn" is the n-th parallel port of the system,
// a name that begins with '/' is a path, anything else is handed to the system unchanged.
QString ParallelDevicePath(std::string_view portName);

// The parallel kind: write only, one whole write per text, used by one program at a time.
class ParallelPort final : public LinkPort {
 public:
  LinkHandle Open(const LinkTargets& targets) override;
  std::uint32_t WriteChunk(LinkHandle handle, const std::uint8_t* data,
                           std::uint32_t count) override;
  bool Fill(LinkHandle, ReceiveBuffer&) override { return false; }
  void Close(LinkHandle handle) override;
};
