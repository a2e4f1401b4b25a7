#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

// A NUL-terminated single-byte text in a field of N bytes, as the records exchange them.
// Every write is bounded: at most N - 1 characters are kept and the field always ends in NUL.
template <std::size_t N>
class FixedText {
  static_assert(N >= 1, "a text field needs room for its terminator");

 public:
  static constexpr std::size_t Capacity = N - 1;

  constexpr FixedText() = default;
  FixedText(std::string_view text) { Assign(text); }  // NOLINT: records take literals

  // Keeps the text up to its first NUL, cut to Capacity characters.
  // Returns false when it had to cut.
  bool Assign(std::string_view text) {
    text = text.substr(0, std::min(text.find('\0'), text.size()));
    const std::size_t kept = std::min(text.size(), Capacity);
    // g++ 12 at -O3 warns that this copy reads past a short std::string inlined from the
    // caller, for lengths that `kept` rules out: false positives of two of its warnings.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
#pragma GCC diagnostic ignored "-Wstringop-overread"
#endif
    std::memmove(chars_.data(), text.data(), kept);  // the text may be our own
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
    std::fill(chars_.begin() + static_cast<std::ptrdiff_t>(kept), chars_.end(), '\0');
    return kept == text.size();
  }

  void Clear() {
    chars_.fill('\0');
  }

  std::string_view View() const {
    return std::string_view(chars_.data(), Length());
  }
  const char* CStr() const {
    return chars_.data();
  }
  std::size_t Length() const {
    return static_cast<std::size_t>(std::find(chars_.begin(), chars_.end(), '\0') - chars_.begin());
  }
  bool Empty() const {
    return chars_[0] == '\0';
  }

  friend bool operator==(const FixedText& a, const FixedText& b) {
    return a.View() == b.View();
  }
  friend bool operator==(const FixedText& a, std::string_view b) {
    return a.View() == b;
  }

 private:
  std::array<char, N> chars_{};
};
