#pragma once

#include <array>
#include <cstdint>
#include <memory>

// A ring of 64 KiB that one port fills and ReadLinkByte drains one byte at a time.
// A fill never overwrites unread bytes: what does not fit is dropped, and the buffer remembers
// that so the reader can fail instead of splicing a reply together from what is left.
class ReceiveBuffer {
 public:
  static constexpr std::uint32_t Size = 65536;

  ReceiveBuffer();

  // Forgets every unread byte; OpenLink does this for its kind.
  void Clear();

  // Appends up to Free() bytes in order; returns how many were kept.
  std::uint32_t Append(const std::uint8_t* data, std::uint32_t count);

  // A byte arrived damaged: the bytes before it stay readable, nothing after it is kept until
  // Clear, so the reader fails at the damaged byte.
  void MarkDamaged() { damaged_ = true; }

  // Takes the next unread byte; false when none is left.
  bool TakeByte(std::uint8_t& byte);

  std::uint32_t Unread() const { return unread_; }
  std::uint32_t Free() const { return Size - unread_; }
  bool Dropped() const { return dropped_; }
  bool Damaged() const { return damaged_; }

 private:
  std::unique_ptr<std::array<std::uint8_t, Size>> storage_;
  std::uint32_t writeIndex_ = 0;
  std::uint32_t readIndex_ = 0;
  std::uint32_t unread_ = 0;
  bool dropped_ = false;
  bool damaged_ = false;
};
