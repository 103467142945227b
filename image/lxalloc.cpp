// lxalloc.cpp: malloc and free, with a per-thread failure hook for tests.
#include "lxalloc.h"

#include <cstdlib>

namespace {
thread_local int t_failAfter = -1;

bool ShouldFail() {
  if (t_failAfter < 0) return false;
  if (t_failAfter == 0) {
    t_failAfter = -1;
    return true;
  }
  --t_failAfter;
  return false;
}
}  // namespace

void* LxAlloc(size_t size) {
  if (ShouldFail()) return nullptr;
  return std::malloc(size ? size : 1);
}

void* LxAllocZero(size_t size) {
  if (ShouldFail()) return nullptr;
  return std::calloc(size ? size : 1, 1);
}

void LxRelease(void* block) { std::free(block); }

void LxFailAllocationAfter(int count) { t_failAfter = count; }
