// lximage_pixels.cpp: palette, pixel access, selection mask and alpha channel.
//
// Holds: the palette operations (GetPalette ... SetClrImportant), the checked
// and blind pixel accessors, the colour helpers, and the selection and alpha
// operations that the band pipeline and the image operations use.
#include <cstring>

#include "lxalloc.h"
#include "lximage.h"

namespace {
struct Rgb {
  BYTE r, g, b;
};

// The 16-colour table shared by the 4-bit palette and the first 8 entries of
// the 8-bit one.
const Rgb kStd16[16] = {
    {0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
    {0, 0, 128},   {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
    {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
};

// Base colours of the 18 tint-and-shade groups of the 8-bit table.
const Rgb kStdGroups[18] = {
    {255, 170, 0}, {255, 85, 0},   {254, 0, 0},   {255, 0, 85},  {255, 0, 170},  {254, 0, 254},
    {170, 0, 255}, {85, 0, 255},   {0, 0, 254},   {0, 85, 255},  {0, 170, 255},  {0, 254, 254},
    {0, 255, 170}, {0, 255, 85},   {0, 254, 0},   {85, 255, 0},  {170, 255, 0},  {254, 254, 0},
};

const Rgb kStdTail[10] = {
    {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},   {0, 255, 0},
    {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255}, {255, 255, 255},
};

BYTE StdTint(BYTE base, int k) {
  switch (base) {
    case 0: return static_cast<BYTE>(212 - 35 * k);
    case 85: return static_cast<BYTE>(227 - 28 * k);
    case 170: return static_cast<BYTE>(240 - 14 * k);
    default: return 255;
  }
}

BYTE StdShade(BYTE base, int k) {
  switch (base) {
    case 0: return 0;
    case 85: return static_cast<BYTE>(85 - 12 * k);
    case 170: return static_cast<BYTE>(170 - 24 * k);
    default: return k == 0 ? base : static_cast<BYTE>(255 - 35 * k);
  }
}

RGBQUAD Quad(const Rgb& c) {
  RGBQUAD q;
  q.rgbBlue = c.b;
  q.rgbGreen = c.g;
  q.rgbRed = c.r;
  q.rgbReserved = 0;
  return q;
}

bool SameColour(const RGBQUAD& a, const RGBQUAD& b) {
  return a.rgbBlue == b.rgbBlue && a.rgbGreen == b.rgbGreen && a.rgbRed == b.rgbRed &&
         a.rgbReserved == b.rgbReserved;
}
}  // namespace

// ---- palette ----------------------------------------------------------------

RGBQUAD* LxImage::GetPalette() const {
  if (!dib || header.biClrUsed == 0) return nullptr;
  return reinterpret_cast<RGBQUAD*>(static_cast<BYTE*>(dib) + sizeof(BITMAPINFOHEADER));
}

DWORD LxImage::GetPaletteSize() const { return dib ? 4u * header.biClrUsed : 0; }

RGBQUAD LxImage::GetPaletteColor(BYTE idx) {
  RGBQUAD c = {0, 0, 0, 0};
  RGBQUAD* pal = GetPalette();
  if (pal && idx < header.biClrUsed) c = pal[idx];
  return c;
}

bool LxImage::GetPaletteColor(BYTE idx, BYTE* r, BYTE* g, BYTE* b) {
  RGBQUAD* pal = GetPalette();
  if (!pal || idx >= header.biClrUsed) return false;
  if (r) *r = pal[idx].rgbRed;
  if (g) *g = pal[idx].rgbGreen;
  if (b) *b = pal[idx].rgbBlue;
  return true;
}

void LxImage::SetPalette(RGBQUAD* pPal, DWORD nColors) {
  RGBQUAD* pal = GetPalette();
  if (!pal || !pPal) return;
  const DWORD entries = nColors < header.biClrUsed ? nColors : header.biClrUsed;
  std::memmove(pal, pPal, 4u * entries);
  info.nearestValid = false;
}

void LxImage::SetPalette(DWORD n, BYTE* r, BYTE* g, BYTE* b) {
  RGBQUAD* pal = GetPalette();
  if (!pal || !r) return;
  if (!g) g = r;
  if (!b) b = g;
  const DWORD entries = n < header.biClrUsed ? n : header.biClrUsed;
  for (DWORD i = 0; i < entries; ++i) {
    pal[i].rgbRed = r[i];
    pal[i].rgbGreen = g[i];
    pal[i].rgbBlue = b[i];
  }
  info.nearestValid = false;
}

void LxImage::SetPalette(rgb_color* rgb, DWORD nColors) {
  RGBQUAD* pal = GetPalette();
  if (!pal || !rgb) return;
  const DWORD entries = nColors < header.biClrUsed ? nColors : header.biClrUsed;
  for (DWORD i = 0; i < entries; ++i) {
    pal[i].rgbRed = rgb[i].r;
    pal[i].rgbGreen = rgb[i].g;
    pal[i].rgbBlue = rgb[i].b;
  }
  info.nearestValid = false;
}

void LxImage::SetPaletteColor(BYTE idx, BYTE r, BYTE g, BYTE b, BYTE alphaByte) {
  RGBQUAD* pal = GetPalette();
  if (!pal || idx >= header.biClrUsed) return;
  pal[idx].rgbBlue = b;
  pal[idx].rgbGreen = g;
  pal[idx].rgbRed = r;
  pal[idx].rgbReserved = alphaByte;
  info.nearestValid = false;
}

void LxImage::SetPaletteColor(BYTE idx, RGBQUAD c) {
  RGBQUAD* pal = GetPalette();
  if (!pal || idx >= header.biClrUsed) return;
  pal[idx] = c;
  info.nearestValid = false;
}

void LxImage::SetPaletteColor(BYTE idx, DWORD cr) {
  SetPaletteColor(idx, static_cast<BYTE>(cr & 0xFF), static_cast<BYTE>((cr >> 8) & 0xFF),
                  static_cast<BYTE>((cr >> 16) & 0xFF), 0);
}

void LxImage::SetGrayPalette() {
  RGBQUAD* pal = GetPalette();
  if (!pal) return;
  const DWORD n = header.biClrUsed;
  const DWORD step = n > 1 ? 255 / (n - 1) : 0;
  for (DWORD i = 0; i < n; ++i) {
    const BYTE v = static_cast<BYTE>(step * i);
    pal[i].rgbBlue = v;
    pal[i].rgbGreen = v;
    pal[i].rgbRed = v;
  }
}

void LxImage::SetStdPalette() {
  RGBQUAD* pal = GetPalette();
  if (!pal) return;
  switch (header.biBitCount) {
    case 1:
      pal[0] = Quad(kStd16[0]);
      pal[1] = Quad(kStd16[15]);
      break;
    case 4:
      for (int i = 0; i < 16; ++i) pal[i] = Quad(kStd16[i]);
      break;
    case 8: {
      for (int i = 0; i < 8; ++i) pal[i] = Quad(kStd16[i]);
      pal[8] = Quad({192, 220, 192});
      pal[9] = Quad({166, 202, 240});
      for (int g = 0; g < 18; ++g) {
        const Rgb& base = kStdGroups[g];
        for (int k = 0; k < 6; ++k) {
          pal[10 + 12 * g + k] =
              Quad({StdTint(base.r, k), StdTint(base.g, k), StdTint(base.b, k)});
          pal[10 + 12 * g + 6 + k] =
              Quad({StdShade(base.r, k), StdShade(base.g, k), StdShade(base.b, k)});
        }
      }
      for (int j = 0; j < 20; ++j) {
        const BYTE v = static_cast<BYTE>(242 - 12 * j);
        pal[226 + j] = Quad({v, v, v});
      }
      for (int i = 0; i < 10; ++i) pal[246 + i] = Quad(kStdTail[i]);
      break;
    }
    default:
      return;
  }
  info.nearestValid = false;
}

BYTE LxImage::GetNearestIndex(RGBQUAD c) {
  RGBQUAD* pal = GetPalette();
  if (!pal) return 0;
  if (info.nearestValid && SameColour(info.nearestColor, c)) return info.nearestIndex;
  info.nearestColor = c;
  info.nearestValid = true;

  DWORD n = header.biClrUsed;
  if (header.biClrImportant != 0 && header.biClrImportant <= header.biClrUsed) {
    n = header.biClrImportant;
  }
  long best = 200000;
  BYTE answer = 0;
  for (DWORD i = 0; i < n; ++i) {
    const long db = long{pal[i].rgbBlue} - c.rgbBlue;
    const long dg = long{pal[i].rgbGreen} - c.rgbGreen;
    const long dr = long{pal[i].rgbRed} - c.rgbRed;
    const long d = db * db + dg * dg + dr * dr;
    if (d == 0) {
      answer = static_cast<BYTE>(i);
      break;
    }
    if (d < best) {
      best = d;
      answer = static_cast<BYTE>(i);
    }
  }
  info.nearestIndex = answer;
  return answer;
}

bool LxImage::IsGrayScale() {
  RGBQUAD* pal = GetPalette();
  if (!pal) return false;
  for (DWORD i = 0; i < header.biClrUsed; ++i) {
    if (pal[i].rgbBlue != i || pal[i].rgbGreen != i || pal[i].rgbRed != i) return false;
  }
  return true;
}

bool LxImage::IsSamePalette(LxImage& img, bool bCheckAlpha) {
  RGBQUAD* a = GetPalette();
  RGBQUAD* b = img.GetPalette();
  if (!a || !b || header.biClrUsed != img.header.biClrUsed) return false;
  for (DWORD i = 0; i < header.biClrUsed; ++i) {
    if (a[i].rgbBlue != b[i].rgbBlue || a[i].rgbGreen != b[i].rgbGreen ||
        a[i].rgbRed != b[i].rgbRed) {
      return false;
    }
    if (bCheckAlpha && a[i].rgbReserved != b[i].rgbReserved) return false;
  }
  return true;
}

void LxImage::SwapIndex(BYTE idx1, BYTE idx2) {
  RGBQUAD* pal = GetPalette();
  if (!pal || idx1 >= header.biClrUsed || idx2 >= header.biClrUsed) return;
  const RGBQUAD t = pal[idx1];
  pal[idx1] = pal[idx2];
  pal[idx2] = t;
  for (long y = 0; y < header.biHeight; ++y) {
    for (long x = 0; x < header.biWidth; ++x) {
      const BYTE i = BlindGetPixelIndex(x, y);
      if (i == idx1) {
        BlindSetPixelIndex(x, y, idx2);
      } else if (i == idx2) {
        BlindSetPixelIndex(x, y, idx1);
      }
    }
  }
}

void LxImage::SwapRGB2BGR() {
  if (!dib) return;
  if (RGBQUAD* pal = GetPalette()) {
    for (DWORD i = 0; i < header.biClrUsed; ++i) {
      const BYTE t = pal[i].rgbRed;
      pal[i].rgbRed = pal[i].rgbBlue;
      pal[i].rgbBlue = t;
    }
    return;
  }
  for (long y = 0; y < header.biHeight; ++y) {
    BYTE* p = info.pixels + static_cast<size_t>(y) * info.effWidth;
    for (long x = 0; x < header.biWidth; ++x, p += 3) {
      const BYTE t = p[0];
      p[0] = p[2];
      p[2] = t;
    }
  }
}

void LxImage::SetClrImportant(DWORD ncolors) {
  if (ncolors == 0 || ncolors > 256) {
    header.biClrImportant = 0;
    return;
  }
  switch (header.biBitCount) {
    case 1: header.biClrImportant = ncolors < 2 ? ncolors : 2; break;
    case 4: header.biClrImportant = ncolors < 16 ? ncolors : 16; break;
    case 8: header.biClrImportant = ncolors; break;
    default: break;
  }
}

// ---- pixels -----------------------------------------------------------------

BYTE LxImage::GetPixelIndex(long x, long y) {
  if (!dib || header.biClrUsed == 0) return 0;
  if (!IsInside(x, y)) {
    if (info.transIndex >= 0) return static_cast<BYTE>(info.transIndex);
    return BlindGetPixelIndex(0, 0);
  }
  return BlindGetPixelIndex(x, y);
}

BYTE LxImage::BlindGetPixelIndex(long x, long y) {
  const BYTE* row = info.pixels + static_cast<size_t>(y) * info.effWidth;
  switch (header.biBitCount) {
    case 8: return row[x];
    case 4: {
      const BYTE b = row[x >> 1];
      return (x & 1) ? (b & 0x0F) : static_cast<BYTE>(b >> 4);
    }
    case 1: return static_cast<BYTE>((row[x >> 3] >> (7 - (x & 7))) & 1);
    default: return 0;
  }
}

void LxImage::SetPixelIndex(long x, long y, BYTE i) {
  if (!dib || header.biClrUsed == 0 || !IsInside(x, y)) return;
  BlindSetPixelIndex(x, y, i);
}

void LxImage::BlindSetPixelIndex(long x, long y, BYTE i) {
  BYTE* row = info.pixels + static_cast<size_t>(y) * info.effWidth;
  switch (header.biBitCount) {
    case 8:
      row[x] = i;
      break;
    case 4: {
      BYTE& b = row[x >> 1];
      if (x & 1) {
        b = static_cast<BYTE>((b & 0xF0) | (i & 0x0F));
      } else {
        b = static_cast<BYTE>((b & 0x0F) | ((i & 0x0F) << 4));
      }
      break;
    }
    case 1: {
      BYTE& b = row[x >> 3];
      const BYTE mask = static_cast<BYTE>(0x80 >> (x & 7));
      b = (i & 1) ? static_cast<BYTE>(b | mask) : static_cast<BYTE>(b & ~mask);
      break;
    }
    default:
      break;
  }
}

RGBQUAD LxImage::GetPixelColor(long x, long y, bool bGetAlpha) {
  if (dib && IsInside(x, y)) return BlindGetPixelColor(x, y, bGetAlpha);
  // With transparency: the transparent palette entry (all zero when it is
  // not below the entry count), or the transparent colour of a 24-bit image.
  if (info.transIndex >= 0) return GetTransColor();
  if (dib) return BlindGetPixelColor(0, 0, true);
  return info.transColor;
}

RGBQUAD LxImage::BlindGetPixelColor(long x, long y, bool bGetAlpha) {
  RGBQUAD c;
  if (header.biClrUsed) {
    c = GetPalette()[BlindGetPixelIndex(x, y)];
  } else {
    const BYTE* p = info.pixels + static_cast<size_t>(y) * info.effWidth + 3 * x;
    c.rgbBlue = p[0];
    c.rgbGreen = p[1];
    c.rgbRed = p[2];
    c.rgbReserved = 0;
  }
  if (bGetAlpha && alpha) c.rgbReserved = BlindAlphaGet(x, y);
  return c;
}

void LxImage::SetPixelColor(long x, long y, RGBQUAD c, bool bSetAlpha) {
  if (!dib || !IsInside(x, y)) return;
  BlindSetPixelColor(x, y, c, bSetAlpha);
}

void LxImage::SetPixelColor(long x, long y, DWORD c) {
  SetPixelColor(x, y, RGBtoRGBQUAD(c), false);
}

void LxImage::BlindSetPixelColor(long x, long y, RGBQUAD c, bool bSetAlpha) {
  if (header.biClrUsed) {
    BlindSetPixelIndex(x, y, GetNearestIndex(c));
  } else {
    BYTE* p = info.pixels + static_cast<size_t>(y) * info.effWidth + 3 * x;
    p[0] = c.rgbBlue;
    p[1] = c.rgbGreen;
    p[2] = c.rgbRed;
  }
  if (bSetAlpha) AlphaSet(x, y, c.rgbReserved);
}

BYTE LxImage::GetPixelGray(long x, long y) {
  const RGBQUAD c = GetPixelColor(x, y, true);
  return LxGrayLevel(c.rgbRed, c.rgbGreen, c.rgbBlue);
}

void* LxImage::BlindGetPixelPointer(long x, long y) {
  if (header.biClrUsed) return nullptr;
  return info.pixels + static_cast<size_t>(y) * info.effWidth + 3 * x;
}

bool LxImage::IsTransparent(long x, long y) {
  if (!dib) return false;
  if (info.transIndex >= 0) {
    if (header.biClrUsed) {
      if (GetPixelIndex(x, y) == info.transIndex) return true;
    } else {
      const RGBQUAD c = GetPixelColor(x, y, false);
      const RGBQUAD& t = info.transColor;
      if (c.rgbBlue == t.rgbBlue && c.rgbGreen == t.rgbGreen && c.rgbRed == t.rgbRed) return true;
    }
  }
  return alpha && AlphaGet(x, y) == 0;
}

RGBQUAD LxImage::RGBtoRGBQUAD(DWORD cr) {
  RGBQUAD c;
  c.rgbRed = static_cast<BYTE>(cr & 0xFF);
  c.rgbGreen = static_cast<BYTE>((cr >> 8) & 0xFF);
  c.rgbBlue = static_cast<BYTE>((cr >> 16) & 0xFF);
  c.rgbReserved = 0;
  return c;
}

DWORD LxImage::RGBQUADtoRGB(RGBQUAD c) {
  return DWORD{c.rgbRed} | (DWORD{c.rgbGreen} << 8) | (DWORD{c.rgbBlue} << 16);
}

int LxImage::CompareColors(const void* elem1, const void* elem2) {
  const RGBQUAD* a = static_cast<const RGBQUAD*>(elem1);
  const RGBQUAD* b = static_cast<const RGBQUAD*>(elem2);
  return int{LxGrayLevel(a->rgbRed, a->rgbGreen, a->rgbBlue)} -
         int{LxGrayLevel(b->rgbRed, b->rgbGreen, b->rgbBlue)};
}

// ---- selection --------------------------------------------------------------

bool LxImage::SelectionCreate() {
  SelectionDelete();
  if (!dib) return false;
  selection = static_cast<BYTE*>(LxAllocZero(static_cast<size_t>(GetWidth()) * GetHeight()));
  return selection != nullptr;
}

bool LxImage::SelectionDelete() {
  LxRelease(selection);
  selection = nullptr;
  info.selectionBox.left = header.biWidth;
  info.selectionBox.top = 0;
  info.selectionBox.right = 0;
  info.selectionBox.bottom = header.biHeight;
  return true;
}

bool LxImage::SelectionCopy(const LxImage& from) {
  if (!from.selection || from.header.biWidth != header.biWidth ||
      from.header.biHeight != header.biHeight || !dib) {
    return false;
  }
  const size_t n = static_cast<size_t>(GetWidth()) * GetHeight();
  if (!selection) {
    selection = static_cast<BYTE*>(LxAlloc(n));
    if (!selection) return false;
  }
  std::memcpy(selection, from.selection, n);
  info.selectionBox = from.info.selectionBox;
  return true;
}

BYTE LxImage::SelectionGet(long x, long y) {
  if (!selection || !IsInside(x, y)) return 0;
  return selection[x + static_cast<size_t>(y) * GetWidth()];
}

void LxImage::SelectionSet(long x, long y, BYTE level) {
  if (!selection || !IsInside(x, y)) return;
  selection[x + static_cast<size_t>(y) * GetWidth()] = level;
}

BYTE LxImage::BlindSelectionGet(long x, long y) {
  return selection[x + static_cast<size_t>(y) * GetWidth()];
}

bool LxImage::BlindSelectionIsInside(long x, long y) {
  return !selection || selection[x + static_cast<size_t>(y) * GetWidth()] != 0;
}

// ---- alpha ------------------------------------------------------------------

bool LxImage::AlphaCreate() {
  if (!alpha && dib) {
    const size_t n = static_cast<size_t>(GetWidth()) * GetHeight();
    alpha = static_cast<BYTE*>(LxAlloc(n));
    if (alpha) std::memset(alpha, 255, n);
  }
  return alpha != nullptr;
}

bool LxImage::AlphaDelete() {
  LxRelease(alpha);
  alpha = nullptr;
  return true;
}

bool LxImage::AlphaCopy(const LxImage& from) {
  if (!from.alpha || from.header.biWidth != header.biWidth ||
      from.header.biHeight != header.biHeight || !dib) {
    return false;
  }
  const size_t n = static_cast<size_t>(GetWidth()) * GetHeight();
  if (!alpha) {
    alpha = static_cast<BYTE*>(LxAlloc(n));
    if (!alpha) return false;
  }
  std::memcpy(alpha, from.alpha, n);
  info.alphaMax = from.info.alphaMax;
  return true;
}

BYTE LxImage::AlphaGet(long x, long y) {
  if (!alpha || !IsInside(x, y)) return 0;
  return alpha[x + static_cast<size_t>(y) * GetWidth()];
}

void LxImage::AlphaSet(long x, long y, BYTE level) {
  if (!alpha || !IsInside(x, y)) return;
  alpha[x + static_cast<size_t>(y) * GetWidth()] = level;
}

BYTE LxImage::BlindAlphaGet(long x, long y) {
  return alpha[x + static_cast<size_t>(y) * GetWidth()];
}
