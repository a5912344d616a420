// Reads a fuzzer's bytes as a stream of small numbers; past the end every read gives 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tamblin::fuzz {

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool empty() const { return at_ >= size_; }
  uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
  template <typename T>
  T raw() {
    T value{};
    const size_t n = at_ + sizeof(T) <= size_ ? sizeof(T) : size_ - (at_ < size_ ? at_ : size_);
    if (n > 0) std::memcpy(&value, data_ + at_, n);
    at_ += n;
    return value;
  }
  // Mostly small numbers, sometimes any 32-bit value.
  int32_t number(int32_t smallRange) {
    const uint8_t kind = byte();
    if (kind < 200) return static_cast<int32_t>(kind % smallRange);
    if (kind < 230) return -static_cast<int32_t>(byte());
    return raw<int32_t>();
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

}  // namespace tamblin::fuzz
