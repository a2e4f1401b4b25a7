#pragma once

#include <QString>
#include <chrono>
#include <string_view>

#include "link/link_port.h"

// The device a parallel port name stands for: "LPTn" is the n-th parallel port of the system,
// a name that begins with '/' is a path, anything else is handed to the system unchanged.
QString ParallelDevicePath(std::string_view portName);

// The parallel kind: write only, one whole write per text, used by one program at a time.
// A printer that stops taking data (off line, out of paper, a reader that never reads) fails
// the write once its bound has passed instead of holding the program.
class ParallelPort final : public LinkPort {
 public:
  // A text may take this long per byte, plus a fixed allowance, before its write fails.
  static constexpr std::chrono::milliseconds WritePerByte{10};
  static constexpr std::chrono::milliseconds WriteAllowance{5000};

  explicit ParallelPort(std::chrono::milliseconds perByte = WritePerByte,
                        std::chrono::milliseconds allowance = WriteAllowance)
      : perByte_(perByte), allowance_(allowance) {}

  LinkHandle Open(const LinkTargets& targets) override;
  std::uint32_t WriteChunk(LinkHandle handle, const std::uint8_t* data,
                           std::uint32_t count) override;
  bool Fill(LinkHandle, ReceiveBuffer&) override { return false; }
  void Close(LinkHandle handle) override;

 private:
  std::chrono::milliseconds perByte_;
  std::chrono::milliseconds allowance_;
};
