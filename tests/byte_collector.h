// byte_collector.h: a printer device for the tests and fuzzers that keeps
// every byte written to it, and can refuse writes after a number of them.
#ifndef LORVEX_TESTS_BYTE_COLLECTOR_H
#define LORVEX_TESTS_BYTE_COLLECTOR_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "page_encoder.h"

class ByteCollector : public receipt::ByteSink {
 public:
  bool Write(const uint8_t* data, size_t size) override {
    if (failAfter >= 0 && static_cast<long>(writes) >= failAfter) return false;
    ++writes;
    bytes.insert(bytes.end(), data, data + size);
    return true;
  }
  std::vector<uint8_t> bytes;
  size_t writes = 0;
  long failAfter = -1;  // writes taken before it refuses; -1 never
};

#endif  // LORVEX_TESTS_BYTE_COLLECTOR_H
