#include "link/receive_buffer.h"

ReceiveBuffer::ReceiveBuffer() : storage_(std::make_unique<std::array<std::uint8_t, Size>>()) {}

void ReceiveBuffer::Clear() {
  writeIndex_ = 0;
  readIndex_ = 0;
  unread_ = 0;
  dropped_ = false;
  damaged_ = false;
}

std::uint32_t ReceiveBuffer::Append(const std::uint8_t* data, std::uint32_t count) {
  if (damaged_) {
    return 0;
  }
  const std::uint32_t kept = count <= Free() ? count : Free();
  if (kept < count) {
    dropped_ = true;
  }
  for (std::uint32_t i = 0; i < kept; ++i) {
    (*storage_)[writeIndex_] = data[i];
    writeIndex_ = (writeIndex_ + 1) % Size;
  }
  unread_ += kept;
  return kept;
}

bool ReceiveBuffer::TakeByte(std::uint8_t& byte) {
  if (unread_ == 0) {
    return false;
  }
  byte = (*storage_)[readIndex_];
  readIndex_ = (readIndex_ + 1) % Size;
  --unread_;
  return true;
}
