// lximage_gray.cpp: gray conversion and threshold.
//
// Holds: GrayScale, Threshold (level and mask forms) and Threshold2. The
// two-level image that Threshold leaves is 1 bit per pixel with palette entry
// 0 black and entry 1 white; a set bit is a pixel lighter than the threshold.
#include <cstring>

#include "lximage.h"
#include "lximage_private.h"

bool LxImage::GrayScale() {
  if (!dib) return false;
  const DWORD width = GetWidth();
  const DWORD height = GetHeight();

  if (header.biBitCount <= 8) {
    // The blue byte of every entry becomes the entry's gray level; it is what
    // every pixel turns into.
    RGBQUAD* pal = GetPalette();
    for (DWORD i = 0; i < header.biClrUsed; ++i) {
      pal[i].rgbBlue = LxGrayLevel(pal[i].rgbRed, pal[i].rgbGreen, pal[i].rgbBlue);
    }
    if (info.transIndex >= 0 && static_cast<DWORD>(info.transIndex) < header.biClrUsed) {
      info.transIndex = pal[info.transIndex].rgbBlue;
    }

    if (header.biBitCount == 8) {
      BYTE lut[256];
      bool identity = true;
      for (int i = 0; i < 256; ++i) {
        lut[i] = pal[i].rgbBlue;
        identity = identity && lut[i] == i;
      }
      if (!identity) {
        BYTE* p = info.pixels;
        for (DWORD n = header.biSizeImage; n; --n, ++p) *p = lut[*p];
      }
      SetGrayPalette();
      return true;
    }

    LxImage gray;
    gray.CopyInfo(*this);
    if (!gray.Create(width, height, 8, info.type)) return false;
    gray.SetGrayPalette();
    gray.SelectionCopy(*this);
    gray.AlphaCopy(*this);
    const int bpp = header.biBitCount;
    for (DWORD y = 0; y < height; ++y) {
      const BYTE* s = info.pixels + static_cast<size_t>(y) * info.effWidth;
      BYTE* d = gray.info.pixels + static_cast<size_t>(y) * gray.info.effWidth;
      for (DWORD x = 0; x < width; ++x) {
        const BYTE index = bpp == 4 ? static_cast<BYTE>((x & 1) ? (s[x >> 1] & 0x0F) : (s[x >> 1] >> 4))
                                    : static_cast<BYTE>((s[x >> 3] >> (7 - (x & 7))) & 1);
        d[x] = pal[index].rgbBlue;
      }
    }
    Transfer(gray, true);
    return true;
  }

  LxImage gray;
  gray.CopyInfo(*this);
  if (!gray.Create(width, height, 8, info.type)) return false;
  gray.SetGrayPalette();
  gray.SelectionCopy(*this);
  gray.AlphaCopy(*this);
  for (DWORD y = 0; y < height; ++y) {
    const BYTE* s = info.pixels + static_cast<size_t>(y) * info.effWidth;
    BYTE* d = gray.info.pixels + static_cast<size_t>(y) * gray.info.effWidth;
    for (DWORD x = 0; x < width; ++x, s += 3) d[x] = LxGrayLevel(s[2], s[1], s[0]);
  }
  Transfer(gray, true);
  return true;
}

bool LxImage::GrayScaleOrKeep() {
  // A failed conversion of a 4-bit image has already put gray levels into
  // the palette's blue bytes and the transparent index: put them back.
  RGBQUAD saved[16];
  const DWORD entries = header.biClrUsed <= 16 ? header.biClrUsed : 0;
  if (entries) std::memcpy(saved, GetPalette(), entries * sizeof(RGBQUAD));
  const int32_t savedTrans = info.transIndex;
  if (GrayScale()) return true;
  if (entries && GetPalette()) std::memcpy(GetPalette(), saved, entries * sizeof(RGBQUAD));
  info.transIndex = savedTrans;
  return false;
}

bool LxImage::Threshold(BYTE level) {
  if (!dib) return false;
  if (header.biBitCount == 1) return true;
  // Thresholding unconverted pixels would read colour bytes as gray levels.
  if (!GrayScaleOrKeep()) return false;
  const BYTE levels[1] = {level};
  return ThresholdInto(levels, nullptr);
}

bool LxImage::Threshold(LxImage* pThresholdMask) {
  if (!dib) return false;
  if (header.biBitCount == 1) return true;
  if (!pThresholdMask) return false;
  if (!pThresholdMask->IsValid() || !pThresholdMask->IsGrayScale() ||
      pThresholdMask->header.biWidth != header.biWidth ||
      pThresholdMask->header.biHeight != header.biHeight) {
    SetLastErrorText("invalid ThresholdMask");
    return false;
  }
  if (!GrayScaleOrKeep()) return false;
  return ThresholdInto(nullptr, pThresholdMask);
}

bool LxImage::ThresholdInto(const BYTE* level, LxImage* mask) {
  const DWORD width = GetWidth();
  const DWORD height = GetHeight();
  LxImage result(width, height, 1, 0);
  if (!result.IsValid()) {
    std::memcpy(info.lastError, result.info.lastError, sizeof(info.lastError));
    return false;
  }

  DWORD y = 0;
  for (; y < height; ++y) {
    info.progress = static_cast<int32_t>(100ull * y / height);
    if (info.escape) break;
    const BYTE* g = info.pixels + static_cast<size_t>(y) * info.effWidth;
    BYTE* d = result.info.pixels + static_cast<size_t>(y) * result.info.effWidth;
    if (level) {
      lximage_detail::PackAbove(g, *level, width, d, result.info.effWidth);
    } else {
      // The mask may be of any depth whose palette is the identity gray.
      std::memset(d, 0, result.info.effWidth);
      for (DWORD x = 0; x < width; ++x) {
        if (g[x] > mask->BlindGetPixelIndex(static_cast<long>(x), static_cast<long>(y))) {
          d[x >> 3] = static_cast<BYTE>(d[x >> 3] | (0x80 >> (x & 7)));
        }
      }
    }
  }
  // Rows an escape left unvisited are black rather than undefined.
  if (y < height) {
    std::memset(result.info.pixels + static_cast<size_t>(y) * result.info.effWidth, 0,
                static_cast<size_t>(height - y) * result.info.effWidth);
  }

  result.SetPaletteColor(0, 0, 0, 0, 0);
  result.SetPaletteColor(1, 255, 255, 255, 0);
  Transfer(result, true);
  return true;
}

bool LxImage::Threshold2(BYTE level, bool bDirection, RGBQUAD nBkgndColor, bool bSetAlpha) {
  if (!dib) return false;
  if (header.biBitCount == 1) return true;

  LxImage gray(*this, true, false, false);
  if (!gray.IsValid()) {
    std::memcpy(info.lastError, gray.info.lastError, sizeof(info.lastError));
    return false;
  }
  gray.GrayScale();

  const long width = header.biWidth;
  const long height = header.biHeight;
  long left = 0, right = width, bottom = 0, top = height;
  if (selection) {
    // The box may hold anything a caller stored; keep the walk inside.
    left = info.selectionBox.left > 0 ? info.selectionBox.left : 0;
    right = info.selectionBox.right < width ? info.selectionBox.right : width;
    bottom = info.selectionBox.bottom > 0 ? info.selectionBox.bottom : 0;
    top = info.selectionBox.top < height ? info.selectionBox.top : height;
  }

  for (long y = bottom; y < top; ++y) {
    info.progress = static_cast<int32_t>(100ll * y / height);
    if (info.escape) break;
    const BYTE* g = gray.info.pixels + static_cast<size_t>(y) * gray.info.effWidth;
    for (long x = left; x < right; ++x) {
      if (!BlindSelectionIsInside(x, y)) continue;
      const bool paint = bDirection ? g[x] >= level : g[x] < level;
      if (paint) BlindSetPixelColor(x, y, nBkgndColor, bSetAlpha);
    }
  }
  return true;
}
