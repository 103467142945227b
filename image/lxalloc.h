// lxalloc.h: the image library's allocator.
//
// Every buffer the library hands out (DIB blocks, selection masks, alpha
// channels, working rows) comes from LxAlloc and goes back through LxRelease,
// which are malloc and free. Tests can make the n-th next allocation on the
// calling thread fail, to prove that every failure path leaves a defined image.
#ifndef LORVEX_IMAGE_LXALLOC_H
#define LORVEX_IMAGE_LXALLOC_H

#include <cstddef>

void* LxAlloc(size_t size);
void* LxAllocZero(size_t size);
void LxRelease(void* block);

// Test hook: after `count` more successful allocations on this thread, the
// next one fails (and the hook disarms). A negative count disarms it.
void LxFailAllocationAfter(int count);

#endif  // LORVEX_IMAGE_LXALLOC_H
