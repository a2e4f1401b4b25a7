#include "link/parity_marks.h"

namespace {

constexpr std::uint8_t Escape = 0xFF;

}  // namespace

void ParityMarkDecoder::Feed(const std::uint8_t* raw, std::uint32_t count, ReceiveBuffer& buffer) {
  for (std::uint32_t i = 0; i < count && state_ != State::Damaged; ++i) {
    const std::uint8_t byte = raw[i];
    if (state_ == State::Escaped) {
      if (byte == Escape) {
        buffer.Append(&byte, 1);
        state_ = State::Plain;
      } else {
        // 0xFF 0x00 begins a mark; anything else after 0xFF is no good byte either.
        state_ = State::Damaged;
        buffer.MarkDamaged();
      }
    } else if (byte == Escape) {
      state_ = State::Escaped;
    } else {
      buffer.Append(&byte, 1);
    }
  }
}
