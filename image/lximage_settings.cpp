// lximage_settings.cpp: settings accessors, byte order, format-type table and
// version.
#include <cmath>
#include <cctype>

#include "lximage.h"

namespace {
// Extensions in the order the name test runs, each with its type id.
struct TypeName {
  const char* ext;
  DWORD id;
};

const TypeName kTypeNames[] = {
    {"bmp", 1},  {"jpg", 3},  {"jpe", 3},  {"jfi", 3},  {"gif", 2},  {"png", 4},  {"ico", 5},
    {"cur", 5},  {"tif", 6},  {"tga", 7},  {"pcx", 8},  {"wbm", 9},  {"wmf", 10}, {"emf", 10},
    {"jp2", 11}, {"j2k", 11}, {"jpc", 12}, {"j2c", 12}, {"pgx", 13}, {"ras", 15}, {"pnm", 14},
    {"pgm", 14}, {"ppm", 14}, {"mng", 17}, {"jng", 17}, {"ska", 18}, {"nef", 19}, {"crw", 19},
    {"cr2", 19}, {"dng", 19}, {"arw", 19}, {"erf", 19}, {"3fr", 19}, {"dcr", 19}, {"raw", 19},
    {"x3f", 19}, {"mef", 19}, {"raf", 19}, {"mrw", 19}, {"pef", 19}, {"sr2", 19}, {"orf", 19},
};

long PelsPerMeter(long dpi) { return static_cast<long>(std::floor(dpi * 10000.0 / 254.0 + 0.5)); }
}  // namespace

bool LxImage::SetType(DWORD type) {
  if ((type >= 1 && type <= 15) || (type >= 17 && type <= 19)) {
    info.type = type;
    return true;
  }
  info.type = 0;
  return false;
}

void LxImage::SetTransIndex(long idx) {
  // Signed comparison: a negative index (no transparency) always stays.
  info.transIndex = idx < static_cast<long>(header.biClrUsed) ? static_cast<int32_t>(idx) : 0;
}

RGBQUAD LxImage::GetTransColor() {
  if (header.biBitCount < 24 && info.transIndex >= 0) {
    RGBQUAD none = {0, 0, 0, 0};
    RGBQUAD* pal = GetPalette();
    return pal && static_cast<DWORD>(info.transIndex) < header.biClrUsed ? pal[info.transIndex]
                                                                         : none;
  }
  return info.transColor;
}

void LxImage::SetTransColor(RGBQUAD rgb) {
  rgb.rgbReserved = 0;
  info.transColor = rgb;
}

void LxImage::SetJpegQualityF(float q) { info.jpegQuality = q > 0 ? q : 0.0f; }

BYTE LxImage::GetJpegQuality() const {
  const float q = info.jpegQuality + 0.5f;
  if (!(q > 0)) return 0;
  return q >= 255.0f ? 255 : static_cast<BYTE>(q);
}

LxImage* LxImage::GetFrame(long nFrame) const {
  if (!frames || info.numFrames <= 0) return nullptr;
  if (nFrame < 0) nFrame = info.numFrames - 1;
  if (nFrame >= info.numFrames) return nullptr;
  return frames[nFrame];
}

LxImage* LxImage::GetLayer(long n) const {
  if (!layers || info.numLayers <= 0) return nullptr;
  if (n < 0) n = info.numLayers - 1;
  if (n >= info.numLayers) return nullptr;
  return layers[n];
}

void LxImage::SetXDPI(long dpi) {
  if (dpi <= 0) dpi = 96;
  info.xDpi = static_cast<int32_t>(dpi);
  header.biXPelsPerMeter = static_cast<LONG>(PelsPerMeter(dpi));
  if (dib) static_cast<BITMAPINFOHEADER*>(dib)->biXPelsPerMeter = header.biXPelsPerMeter;
}

void LxImage::SetYDPI(long dpi) {
  if (dpi <= 0) dpi = 96;
  info.yDpi = static_cast<int32_t>(dpi);
  header.biYPelsPerMeter = static_cast<LONG>(PelsPerMeter(dpi));
  if (dib) static_cast<BITMAPINFOHEADER*>(dib)->biYPelsPerMeter = header.biYPelsPerMeter;
}

void LxImage::GetOffset(long* x, long* y) const {
  if (x) *x = info.xOffset;
  if (y) *y = info.yOffset;
}

void LxImage::SetOffset(long x, long y) {
  info.xOffset = static_cast<int32_t>(x);
  info.yOffset = static_cast<int32_t>(y);
}

DWORD LxImage::GetCodecOption(DWORD imagetype) const {
  DWORD index = GetTypeIndexFromId(imagetype);
  if (index == 0) index = GetTypeIndexFromId(info.type);
  return info.codecOptions[index];
}

bool LxImage::SetCodecOption(DWORD opt, DWORD imagetype) {
  DWORD index = GetTypeIndexFromId(imagetype);
  if (index == 0) index = GetTypeIndexFromId(info.type);
  info.codecOptions[index] = opt;
  return true;
}

void LxImage::SetFlags(DWORD flags, bool bLockReservedFlags) {
  info.flags = bLockReservedFlags ? (flags & 0x0000FFFFu) : flags;
}

BYTE LxImage::GetColorType() const {
  if (alpha) return 4;
  return header.biBitCount <= 8 ? 1 : 2;
}

// ---- byte order ---------------------------------------------------------------

long LxImage::ntohl(long dword) const {
  if (info.littleEndianHost) return dword;
  const uint32_t v = static_cast<uint32_t>(dword);
  return static_cast<long>(static_cast<int32_t>(((v & 0xFF) << 24) | ((v & 0xFF00) << 8) |
                                                ((v >> 8) & 0xFF00) | (v >> 24)));
}

short LxImage::ntohs(short word) const {
  if (info.littleEndianHost) return word;
  const uint16_t v = static_cast<uint16_t>(word);
  return static_cast<short>(static_cast<uint16_t>((v << 8) | (v >> 8)));
}

void LxImage::bihtoh(BITMAPINFOHEADER* bih) {
  if (!bih) return;
  bih->biSize = static_cast<DWORD>(ntohl(static_cast<long>(bih->biSize)));
  bih->biWidth = static_cast<LONG>(ntohl(bih->biWidth));
  bih->biHeight = static_cast<LONG>(ntohl(bih->biHeight));
  bih->biPlanes = static_cast<WORD>(ntohs(static_cast<short>(bih->biPlanes)));
  bih->biBitCount = static_cast<WORD>(ntohs(static_cast<short>(bih->biBitCount)));
  bih->biCompression = static_cast<DWORD>(ntohl(static_cast<long>(bih->biCompression)));
  bih->biSizeImage = static_cast<DWORD>(ntohl(static_cast<long>(bih->biSizeImage)));
  bih->biXPelsPerMeter = static_cast<LONG>(ntohl(bih->biXPelsPerMeter));
  bih->biYPelsPerMeter = static_cast<LONG>(ntohl(bih->biYPelsPerMeter));
  bih->biClrUsed = static_cast<DWORD>(ntohl(static_cast<long>(bih->biClrUsed)));
  bih->biClrImportant = static_cast<DWORD>(ntohl(static_cast<long>(bih->biClrImportant)));
}

// ---- type table and version -----------------------------------------------

DWORD LxImage::GetTypeIdFromName(const char* ext) {
  if (!ext) return 0;
  char key[3];
  for (int i = 0; i < 3; ++i) {
    if (!ext[i]) return 0;  // shorter than any extension
    key[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(ext[i])));
  }
  for (const TypeName& t : kTypeNames) {
    if (key[0] == t.ext[0] && key[1] == t.ext[1] && key[2] == t.ext[2]) return t.id;
  }
  return 0;
}

DWORD LxImage::GetTypeIndexFromId(DWORD id) {
  if (id <= 15) return id;
  if (id >= 17 && id <= 19) return id - 1;
  return 0;
}

DWORD LxImage::GetTypeIdFromIndex(DWORD index) {
  if (index <= 15) return index;
  if (index <= 18) return index + 1;
  return 0;
}

DWORD LxImage::GetNumTypes() { return 18; }

const char* LxImage::GetVersion() { return "LxImage 6.0.0"; }

float LxImage::GetVersionNumber() { return 6.0f; }
