// lximage_private.h: row kernels shared by the image library's sources.
#ifndef LORVEX_IMAGE_LXIMAGE_PRIVATE_H
#define LORVEX_IMAGE_LXIMAGE_PRIVATE_H

#include <cstring>

#include "lxtypes.h"

namespace lximage_detail {

// Packs one row of gray bytes into 1-bit pixels, most significant bit first:
// a bit is set where the gray level is strictly above its column's level,
// levels[x % 4]. The bits past the last pixel and the row padding up to
// `effWidth` bytes are cleared.
inline void PackAbovePattern(const BYTE* gray, const BYTE levels[4], DWORD width, BYTE* out,
                             DWORD effWidth) {
  const BYTE l0 = levels[0], l1 = levels[1], l2 = levels[2], l3 = levels[3];
  const DWORD full = width / 8;
  for (DWORD j = 0; j < full; ++j, gray += 8) {
    out[j] = static_cast<BYTE>(((gray[0] > l0) << 7) | ((gray[1] > l1) << 6) |
                               ((gray[2] > l2) << 5) | ((gray[3] > l3) << 4) |
                               ((gray[4] > l0) << 3) | ((gray[5] > l1) << 2) |
                               ((gray[6] > l2) << 1) | (gray[7] > l3));
  }
  DWORD used = full;
  if (width & 7) {
    BYTE b = 0;
    for (DWORD k = 0; k < (width & 7); ++k) {
      b = static_cast<BYTE>(b | ((gray[k] > levels[k & 3]) << (7 - k)));
    }
    out[used++] = b;
  }
  if (effWidth > used) std::memset(out + used, 0, effWidth - used);
}

// The same with one level for every column.
inline void PackAbove(const BYTE* gray, BYTE level, DWORD width, BYTE* out, DWORD effWidth) {
  const BYTE levels[4] = {level, level, level, level};
  PackAbovePattern(gray, levels, width, out, effWidth);
}

}  // namespace lximage_detail

#endif  // LORVEX_IMAGE_LXIMAGE_PRIVATE_H
