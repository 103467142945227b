// fuzz_input.h: takes numbers and bytes off the front of a fuzzer's input.
#ifndef LORVEX_FUZZ_FUZZ_INPUT_H
#define LORVEX_FUZZ_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  uint8_t Byte() {
    if (!size_) return 0;
    --size_;
    return *data_++;
  }
  uint32_t Word() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | Byte();
    return v;
  }
  // A number in [lo, hi].
  uint32_t Range(uint32_t lo, uint32_t hi) { return lo + Word() % (hi - lo + 1); }
  bool Flag() { return Byte() & 1; }
  const uint8_t* rest() const { return data_; }
  size_t left() const { return size_; }

 private:
  const uint8_t* data_;
  size_t size_;
};

#endif  // LORVEX_FUZZ_FUZZ_INPUT_H
