// Text made inside a signal handler: appended into room that the caller gives, never beyond
// it (what does not fit is cut), without allocating and without stdio. Everything here is
// async-signal-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace userdb::crash {

class FixedText {
 public:
  FixedText(char* room, size_t capacity) : room_(room), capacity_(capacity) {}

  FixedText& Append(std::string_view text) {
    const size_t count = text.size() < capacity_ - size_ ? text.size() : capacity_ - size_;
    if (count == 0) return *this;  // an empty view may hold no pointer, which memcpy may not take
    std::memcpy(room_ + size_, text.data(), count);
    size_ += count;
    return *this;
  }
  FixedText& Append(char c) { return Append(std::string_view(&c, 1)); }
  // Blanks up to `width` characters from `start` (the size before the padded part).
  FixedText& PadFrom(size_t start, size_t width) {
    while (size_ < start + width && size_ < capacity_) room_[size_++] = ' ';
    return *this;
  }
  FixedText& Decimal(int64_t value) {
    if (value < 0) Append('-');
    return Unsigned(value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value), 10,
                    1);
  }
  // Lower-case hexadecimal digits, with leading zeros to `digits` at least.
  FixedText& Hex(uint64_t value, int digits = 1) { return Unsigned(value, 16, digits); }
  // Decimal digits with leading zeros to `digits` at least.
  FixedText& Digits(uint64_t value, int digits) { return Unsigned(value, 10, digits); }

  std::string_view View() const { return {room_, size_}; }
  size_t Size() const { return size_; }
  void Clear() { size_ = 0; }

  // The number of digits of `value` in `base`.
  static int DigitCount(uint64_t value, unsigned base) {
    int count = 1;
    while (value >= base) {
      value /= base;
      ++count;
    }
    return count;
  }

 private:
  FixedText& Unsigned(uint64_t value, unsigned base, int digits) {
    char reversed[24];
    int count = 0;
    do {
      reversed[count++] = "0123456789abcdef"[value % base];
      value /= base;
    } while (value != 0);
    for (int i = count; i < digits && i < 64; ++i) Append('0');
    while (count > 0) Append(reversed[--count]);
    return *this;
  }

  char* room_;
  size_t capacity_;
  size_t size_ = 0;
};

}  // namespace userdb::crash
