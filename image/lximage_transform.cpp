// lximage_transform.cpp: geometric transforms.
//
// Holds: Flip, Mirror, Rotate180, RotateLeft, RotateRight, both Crop forms,
// SelectionFlip, SelectionMirror, AlphaFlip and AlphaMirror.
//
// Pixel mappings in stored coordinates, source W x H (target <- source):
//   Flip        (x, y) <- (x, H-1-y)            in place, whole rows
//   Mirror      (x, y) <- (W-1-x, y)
//   Rotate180   (x, y) <- (W-1-x, H-1-y)
//   RotateLeft  (x, y) <- (y, H-1-x)            target H x W, counter-clockwise
//   RotateRight (x, y) <- (W-1-y, x)            target H x W, clockwise
// Every transform but Flip builds a working image and moves it in with
// Transfer; selection and alpha bytes follow the pixel mapping.
#include <cstring>

#include "lxalloc.h"
#include "lximage.h"

namespace {

constexpr long kTile = 64;

// Reverses a row of `width` pixels of `bytes` bytes each.
void ReverseRow(const BYTE* src, BYTE* dst, long width, int bytes) {
  if (bytes == 1) {
    for (long x = 0; x < width; ++x) dst[x] = src[width - 1 - x];
    return;
  }
  const BYTE* s = src + 3 * (width - 1);
  for (long x = 0; x < width; ++x, s -= 3, dst += 3) {
    dst[0] = s[0];
    dst[1] = s[1];
    dst[2] = s[2];
  }
}

inline BYTE GetPacked(const BYTE* row, long x, int bpp) {
  if (bpp == 1) return static_cast<BYTE>((row[x >> 3] >> (7 - (x & 7))) & 1);
  return static_cast<BYTE>((x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4));
}

inline void SetPacked(BYTE* row, long x, int bpp, BYTE v) {
  if (bpp == 1) {
    const BYTE mask = static_cast<BYTE>(0x80 >> (x & 7));
    row[x >> 3] = (v & 1) ? static_cast<BYTE>(row[x >> 3] | mask) : static_cast<BYTE>(row[x >> 3] & ~mask);
  } else if (x & 1) {
    row[x >> 1] = static_cast<BYTE>((row[x >> 1] & 0xF0) | (v & 0x0F));
  } else {
    row[x >> 1] = static_cast<BYTE>((row[x >> 1] & 0x0F) | ((v & 0x0F) << 4));
  }
}

// Copies pixel `from` of a source row to pixel `to` of a target row, both of
// depth 4, 8 or 24.
inline void CopyPixel(const BYTE* src, long from, BYTE* dst, long to, int bpp) {
  if (bpp == 8) {
    dst[to] = src[from];
  } else if (bpp == 24) {
    dst[3 * to] = src[3 * from];
    dst[3 * to + 1] = src[3 * from + 1];
    dst[3 * to + 2] = src[3 * from + 2];
  } else {
    SetPacked(dst, to, 4, GetPacked(src, from, 4));
  }
}

// Swaps rows i and rows-1-i of a block of `rows` rows `stride` bytes apart.
void SwapRows(BYTE* base, long rows, size_t stride, BYTE* scratch) {
  for (long i = 0; i < rows / 2; ++i) {
    BYTE* a = base + static_cast<size_t>(i) * stride;
    BYTE* b = base + static_cast<size_t>(rows - 1 - i) * stride;
    std::memcpy(scratch, a, stride);
    std::memcpy(a, b, stride);
    std::memcpy(b, scratch, stride);
  }
}

// Reverses each of the `rows` unpadded rows of `width` bytes into `dst`.
void MirrorPlane(const BYTE* src, BYTE* dst, long width, long rows) {
  for (long y = 0; y < rows; ++y) {
    ReverseRow(src + static_cast<size_t>(y) * width, dst + static_cast<size_t>(y) * width, width, 1);
  }
}

}  // namespace

// ---- flips --------------------------------------------------------------------

bool LxImage::Flip(bool bFlipSelection, bool bFlipAlpha) {
  if (!dib) return false;
  BYTE* scratch = static_cast<BYTE*>(LxAlloc(info.effWidth));
  if (!scratch) return false;
  SwapRows(info.pixels, header.biHeight, info.effWidth, scratch);
  LxRelease(scratch);
  if (bFlipSelection) SelectionFlip();
  if (bFlipAlpha) AlphaFlip();
  return true;
}

bool LxImage::SelectionFlip() {
  if (!selection) return false;
  BYTE* scratch = static_cast<BYTE*>(LxAlloc(GetWidth()));
  if (!scratch) return false;
  SwapRows(selection, header.biHeight, GetWidth(), scratch);
  LxRelease(scratch);
  const LONG h = header.biHeight;
  const LONG oldTop = info.selectionBox.top;
  info.selectionBox.top = h - info.selectionBox.bottom;
  info.selectionBox.bottom = h - oldTop;
  return true;
}

bool LxImage::AlphaFlip() {
  if (!alpha) return false;
  BYTE* scratch = static_cast<BYTE*>(LxAlloc(GetWidth()));
  if (!scratch) return false;
  SwapRows(alpha, header.biHeight, GetWidth(), scratch);
  LxRelease(scratch);
  return true;
}

// ---- mirror -------------------------------------------------------------------

bool LxImage::Mirror(bool bMirrorSelection, bool bMirrorAlpha) {
  if (!dib) return false;
  LxImage work(*this, false, true, true);
  if (!work.IsValid()) return false;
  if (header.biBitCount < 8) work.Clear(0);  // pixels are set one by one

  const long width = header.biWidth;
  const int bpp = header.biBitCount;
  for (long y = 0; y < header.biHeight; ++y) {
    const BYTE* src = info.pixels + static_cast<size_t>(y) * info.effWidth;
    BYTE* dst = work.info.pixels + static_cast<size_t>(y) * work.info.effWidth;
    if (bpp >= 8) {
      ReverseRow(src, dst, width, bpp / 8);
    } else {
      for (long x = 0; x < width; ++x) SetPacked(dst, x, bpp, GetPacked(src, width - 1 - x, bpp));
    }
  }
  if (bMirrorSelection) work.SelectionMirror();
  if (bMirrorAlpha) work.AlphaMirror();
  Transfer(work, true);
  return true;
}

bool LxImage::SelectionMirror() {
  if (!selection) return false;
  const long width = header.biWidth;
  BYTE* mirrored = static_cast<BYTE*>(LxAlloc(static_cast<size_t>(GetWidth()) * GetHeight()));
  if (!mirrored) return false;
  MirrorPlane(selection, mirrored, width, header.biHeight);
  LxRelease(selection);
  selection = mirrored;
  const LONG oldRight = info.selectionBox.right;
  info.selectionBox.right = width - info.selectionBox.left;
  info.selectionBox.left = width - oldRight;
  return true;
}

bool LxImage::AlphaMirror() {
  if (!alpha) return false;
  BYTE* mirrored = static_cast<BYTE*>(LxAlloc(static_cast<size_t>(GetWidth()) * GetHeight()));
  if (!mirrored) return false;
  MirrorPlane(alpha, mirrored, header.biWidth, header.biHeight);
  LxRelease(alpha);
  alpha = mirrored;
  return true;
}

// ---- turns --------------------------------------------------------------------

bool LxImage::MakeTurnTarget(LxImage& work, DWORD width, DWORD height, bool withSelection) {
  work.CopyInfo(*this);
  if (!work.Create(width, height, header.biBitCount, info.type)) return false;
  work.SetPalette(GetPalette(), 256);
  if (alpha && !work.AlphaCreate()) return false;
  if (withSelection && selection && !work.SelectionCreate()) return false;
  return true;
}

bool LxImage::Rotate180(LxImage* iDst) {
  if (!dib) return false;
  LxImage work;
  if (!MakeTurnTarget(work, GetWidth(), GetHeight(), false)) return false;
  if (header.biBitCount < 8) work.Clear(0);  // pixels are set one by one

  const long width = header.biWidth;
  const long height = header.biHeight;
  const int bpp = header.biBitCount;
  for (long y = 0; y < height; ++y) {
    info.progress = static_cast<int32_t>(100ll * y / height);
    const BYTE* src = info.pixels + static_cast<size_t>(y) * info.effWidth;
    BYTE* dst = work.info.pixels + static_cast<size_t>(height - 1 - y) * work.info.effWidth;
    if (bpp >= 8) {
      ReverseRow(src, dst, width, bpp / 8);
    } else {
      for (long x = 0; x < width; ++x) SetPacked(dst, width - 1 - x, bpp, GetPacked(src, x, bpp));
    }
    if (alpha) {
      ReverseRow(alpha + static_cast<size_t>(y) * width,
                 work.alpha + static_cast<size_t>(height - 1 - y) * width, width, 1);
    }
  }
  return (iDst ? iDst : this)->Transfer(work, true);
}

bool LxImage::RotateLeft(LxImage* iDst) { return QuarterTurn(iDst, true); }

bool LxImage::RotateRight(LxImage* iDst) { return QuarterTurn(iDst, false); }

// Both quarter turns: the target is H wide and W high. Counter-clockwise
// (left), target (x, y) takes source (y, H-1-x); clockwise, (W-1-y, x).
bool LxImage::QuarterTurn(LxImage* iDst, bool left) {
  if (!dib) return false;
  const long W = header.biWidth;
  const long H = header.biHeight;
  LxImage work;
  if (!MakeTurnTarget(work, static_cast<DWORD>(H), static_cast<DWORD>(W), true)) return false;
  const int bpp = header.biBitCount;
  const size_t srcStride = info.effWidth;
  const size_t dstStride = work.info.effWidth;
  BYTE* const dstBase = work.info.pixels;

  // Alpha and selection bytes of the target block [x0, x1) x [y0, y1).
  auto turnPlanes = [&](long x0, long x1, long y0, long y1) {
    if (!alpha && !selection) return;
    for (long y = y0; y < y1; ++y) {
      for (long x = x0; x < x1; ++x) {
        const size_t to = static_cast<size_t>(y) * H + x;
        const size_t from = left ? static_cast<size_t>(H - 1 - x) * W + y
                                 : static_cast<size_t>(x) * W + (W - 1 - y);
        if (alpha) work.alpha[to] = alpha[from];
        if (selection) work.selection[to] = selection[from];
      }
    }
  };

  if (bpp == 1) {
    // Each source bit is tested once and ORed into a cleared target. Source
    // pixel x of row y lands in target row x (left) or W-1-x (right), at
    // column H-1-y (left) or y (right); the bits of the source's row padding
    // would land past the target's rows and are dropped.
    work.Clear(0);
    for (long y = 0; y < H; ++y) {
      const BYTE* src = info.pixels + static_cast<size_t>(y) * srcStride;
      const long column = left ? H - 1 - y : y;
      const BYTE mask = static_cast<BYTE>(0x80 >> (column & 7));
      for (size_t j = 0; j < srcStride; ++j) {
        const BYTE bits = src[j];
        for (int k = 0; k < 8; ++k) {
          const long x = static_cast<long>(8 * j + k);
          if (x >= W) break;
          const long row = left ? x : W - 1 - x;
          if (bits & (0x80 >> k)) dstBase[static_cast<size_t>(row) * dstStride + (column >> 3)] |= mask;
        }
      }
    }
    turnPlanes(0, H, 0, W);
  } else {
    // 64 x 64 tiles keep the column-wise side of the copy within a few rows.
    if (bpp == 4) work.Clear(0);  // nibbles are set one by one
    for (long tx0 = 0; tx0 < H; tx0 += kTile) {
      const long tx1 = tx0 + kTile < H ? tx0 + kTile : H;
      for (long ty0 = 0; ty0 < W; ty0 += kTile) {
        const long ty1 = ty0 + kTile < W ? ty0 + kTile : W;
        if (left) {
          // Target column x comes from source row H-1-x, read along the row.
          for (long x = tx0; x < tx1; ++x) {
            info.progress = static_cast<int32_t>(100ll * x / H);
            const BYTE* src = info.pixels + static_cast<size_t>(H - 1 - x) * srcStride;
            BYTE* dst = dstBase + static_cast<size_t>(ty0) * dstStride;
            for (long y = ty0; y < ty1; ++y, dst += dstStride) CopyPixel(src, y, dst, x, bpp);
          }
        } else {
          // Target row y comes from source column W-1-y, walked up the rows.
          for (long y = ty0; y < ty1; ++y) {
            info.progress = static_cast<int32_t>(100ll * y / W);
            const BYTE* src = info.pixels + static_cast<size_t>(tx0) * srcStride;
            BYTE* dst = dstBase + static_cast<size_t>(y) * dstStride;
            for (long x = tx0; x < tx1; ++x, src += srcStride) CopyPixel(src, W - 1 - y, dst, x, bpp);
          }
        }
        turnPlanes(tx0, tx1, ty0, ty1);
      }
    }
  }

  if (selection) {
    const RECT old = info.selectionBox;
    RECT& box = work.info.selectionBox;
    if (left) {
      box.left = H - old.top;
      box.top = old.right;
      box.right = H - old.bottom;
      box.bottom = old.left;
    } else {
      box.left = old.bottom;
      box.top = W - old.left;
      box.right = old.top;
      box.bottom = W - old.right;
    }
  }
  return (iDst ? iDst : this)->Transfer(work, true);
}

// ---- crop ---------------------------------------------------------------------

bool LxImage::Crop(const RECT& rect, LxImage* iDst) {
  return Crop(rect.left, rect.top, rect.right, rect.bottom, iDst);
}

bool LxImage::Crop(long left, long top, long right, long bottom, LxImage* iDst) {
  if (!dib) return false;
  const long W = header.biWidth;
  const long H = header.biHeight;
  auto clamp = [](long v, long limit) { return v < 0 ? 0 : (v > limit ? limit : v); };
  left = clamp(left, W);
  right = clamp(right, W);
  top = clamp(top, H);
  bottom = clamp(bottom, H);
  if (left == right || top == bottom) return false;

  const long x0 = left < right ? left : right;
  const long x1 = left < right ? right : left;
  // top and bottom count from the picture's top edge; stored rows from below.
  const long y0 = H - (top > bottom ? top : bottom);
  const long y1 = H - (top < bottom ? top : bottom);
  const long newWidth = x1 - x0;
  const long newHeight = y1 - y0;

  const int bpp = header.biBitCount;
  LxImage work(static_cast<DWORD>(newWidth), static_cast<DWORD>(newHeight), bpp, info.type);
  if (!work.IsValid()) {
    std::memcpy(info.lastError, work.info.lastError, sizeof(info.lastError));
    return false;
  }
  work.SetPalette(GetPalette(), GetNumColors());
  if (bpp < 8) work.Clear(0);  // pixels are set one by one
  work.info.transIndex = info.transIndex;
  work.info.transColor = info.transColor;

  for (long y = y0; y < y1; ++y) {
    info.progress = static_cast<int32_t>(100ll * (y - y0) / newHeight);
    const BYTE* src = info.pixels + static_cast<size_t>(y) * info.effWidth;
    BYTE* dst = work.info.pixels + static_cast<size_t>(y - y0) * work.info.effWidth;
    if (bpp >= 8) {
      std::memcpy(dst, src + (x0 * bpp) / 8, static_cast<size_t>(newWidth * bpp) / 8);
    } else {
      for (long x = x0; x < x1; ++x) SetPacked(dst, x - x0, bpp, GetPacked(src, x, bpp));
    }
  }

  if (alpha) {
    if (!work.AlphaCreate()) return false;
    for (long y = y0; y < y1; ++y) {
      std::memcpy(work.alpha + static_cast<size_t>(y - y0) * newWidth,
                  alpha + static_cast<size_t>(y) * W + x0, static_cast<size_t>(newWidth));
    }
  }
  return (iDst ? iDst : this)->Transfer(work, true);
}
