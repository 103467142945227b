// lximage_container.cpp: the life of an image.
//
// Holds: Startup, the constructors and destructor, operator=, Create,
// CreateFromArray, CreateFromMatrix, Copy, CopyInfo, Ghost, Transfer, Destroy,
// DestroyFrames, Clear, FreeMemory, GetBits, GetSize, IsInside and the
// last-error helper.
#include <cstdint>
#include <cstring>

#include "lxalloc.h"
#include "lximage.h"

namespace {
const char kErrZeroSize[] = "LxImage::Create : width and height must be greater than zero";
const char kErrMaxMemory[] = "LXIMAGE_MAX_MEMORY exceeded";
const char kErrNoMemory[] = "LxImage::Create can't allocate memory";

// The largest DIB block we hand out: GetSize() answers a long, which is 32
// bits on Windows, and every size field of the header is 32 bits.
constexpr uint64_t kMaxBlock = 0x7FFFFFFFu;

DWORD NormalisedBpp(DWORD bpp) {
  if (bpp <= 1) return 1;
  if (bpp <= 4) return 4;
  if (bpp <= 8) return 8;
  return 24;
}

DWORD PaletteEntries(DWORD bpp) {
  switch (bpp) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}
}  // namespace

void LxImage::Startup(DWORD imagetype) {
  dib = nullptr;
  selection = nullptr;
  alpha = nullptr;
  layers = nullptr;
  frames = nullptr;
  std::memset(&header, 0, sizeof(header));
  std::memset(&info, 0, sizeof(info));
  info.type = imagetype;
  info.transIndex = -1;
  info.jpegQuality = 90.0f;
  info.alphaMax = 255;
  info.enabled = true;
  info.littleEndianHost = true;
  SetXDPI(96);
  SetYDPI(96);
}

LxImage::LxImage(DWORD imagetype) { Startup(imagetype); }

LxImage::LxImage(DWORD width, DWORD height, DWORD bpp, DWORD imagetype) {
  Startup(imagetype);
  Create(width, height, bpp, imagetype);
}

LxImage::LxImage(const LxImage& src, bool copypixels, bool copyselection, bool copyalpha) {
  Startup(src.GetType());
  Copy(src, copypixels, copyselection, copyalpha);
}

LxImage& LxImage::operator=(const LxImage& src) {
  if (this != &src) Copy(src);
  return *this;
}

LxImage::~LxImage() {
  DestroyFrames();
  Destroy();
}

void LxImage::SetLastErrorText(const char* text) {
  std::strncpy(info.lastError, text, sizeof(info.lastError) - 1);
  info.lastError[sizeof(info.lastError) - 1] = '\0';
}

void* LxImage::Create(DWORD width, DWORD height, DWORD bpp, DWORD imagetype) {
  if (!Destroy()) return nullptr;

  if (width == 0 || height == 0) {
    SetLastErrorText(kErrZeroSize);
    return nullptr;
  }

  bpp = NormalisedBpp(bpp);

  // The classic wrap-around test on width x height x depth, then the sizes
  // that test cannot see: the pixel count, the row bytes and the whole block
  // must each fit the header's 32-bit fields, and the signed ones the width
  // and height.
  const DWORD p = width * height;
  const DWORD q = p * bpp;
  const uint64_t pixels64 = uint64_t{width} * height;
  const uint64_t effWidth64 = ((uint64_t{width} * bpp + 31) / 32) * 4;
  const uint64_t sizeImage64 = effWidth64 * height;
  const uint64_t block64 = sizeof(BITMAPINFOHEADER) + 4u * PaletteEntries(bpp) + sizeImage64;
  if (q / bpp != p || pixels64 > UINT32_MAX || width > INT32_MAX || height > INT32_MAX ||
      sizeImage64 > UINT32_MAX || block64 > kMaxBlock) {
    SetLastErrorText(kErrMaxMemory);
    return nullptr;
  }

  header.biClrUsed = PaletteEntries(bpp);
  info.type = imagetype;
  header.biHeight = static_cast<LONG>(height);
  header.biBitCount = static_cast<WORD>(bpp);
  info.effWidth = static_cast<DWORD>(effWidth64);
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = static_cast<LONG>(width);
  header.biPlanes = 1;
  header.biCompression = 0;
  header.biSizeImage = static_cast<DWORD>(sizeImage64);

  dib = LxAlloc(static_cast<size_t>(GetSize()));
  if (!dib) {
    SetLastErrorText(kErrNoMemory);
    return nullptr;
  }

  std::memset(static_cast<BYTE*>(dib) + sizeof(BITMAPINFOHEADER), 0, 4u * header.biClrUsed);
  std::memcpy(dib, &header, sizeof(BITMAPINFOHEADER));
  info.pixels = GetBits(0);
  return dib;
}

BYTE* LxImage::GetBits(DWORD row) {
  if (!dib) return nullptr;
  BYTE* base = static_cast<BYTE*>(dib) + static_cast<BITMAPINFOHEADER*>(dib)->biSize +
               GetPaletteSize();
  if (row == 0) return base;
  if (row >= static_cast<DWORD>(header.biHeight)) return nullptr;
  return base + static_cast<size_t>(row) * info.effWidth;
}

long LxImage::GetSize() {
  return static_cast<long>(header.biSize + header.biSizeImage + 4u * header.biClrUsed);
}

bool LxImage::IsInside(long x, long y) const {
  return x >= 0 && y >= 0 && x < header.biWidth && y < header.biHeight;
}

bool LxImage::CreateFromArray(BYTE* src, DWORD width, DWORD height, DWORD bpp,
                              DWORD bytesperline, bool flip) {
  if (!src) return false;
  return CreateFromRows(src, nullptr, width, height, bpp, bytesperline, flip);
}

bool LxImage::CreateFromMatrix(BYTE** rows, DWORD width, DWORD height, DWORD bpp,
                               DWORD bytesperline, bool flip) {
  if (!rows) return false;
  return CreateFromRows(nullptr, rows, width, height, bpp, bytesperline, flip);
}

bool LxImage::CreateFromRows(const BYTE* base, BYTE* const* rows, DWORD width, DWORD height,
                             DWORD bpp, DWORD bytesperline, bool flip) {
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return false;
  if (!Create(width, height, bpp, 0)) return false;

  if (bpp < 24) SetGrayPalette();
  if (bpp == 32) AlphaCreate();

  const DWORD rowBytes = bytesperline < info.effWidth ? bytesperline : info.effWidth;
  for (DWORD i = 0; i < height; ++i) {
    const BYTE* s = rows ? rows[i] : base + static_cast<size_t>(i) * bytesperline;
    if (!s) continue;  // a missing row keeps what Create left
    const DWORD row = flip ? height - 1 - i : i;
    BYTE* d = info.pixels + static_cast<size_t>(row) * info.effWidth;
    if (bpp == 32) {
      BYTE* a = alpha ? alpha + static_cast<size_t>(row) * width : nullptr;
      for (DWORD x = 0; x < width; ++x, s += 4, d += 3) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        if (a) a[x] = s[3];
      }
    } else {
      std::memcpy(d, s, rowBytes);
    }
  }
  return true;
}

void LxImage::Copy(const LxImage& src, bool copypixels, bool copyselection, bool copyalpha) {
  if (&src == this || info.ghostOf) return;
  if (src.info.ghostOf) {
    Ghost(&src);
    return;
  }

  // Release our buffers before taking the source's settings, so that the
  // layer count we release by is our own; our frames stay with their count.
  Destroy();
  const int32_t ownFrames = info.numFrames;
  info = src.info;
  info.numFrames = ownFrames;
  info.numLayers = 0;
  info.pixels = nullptr;
  header = src.header;

  if (!Create(static_cast<DWORD>(src.header.biWidth), static_cast<DWORD>(src.header.biHeight),
              src.header.biBitCount, src.info.type)) {
    return;
  }

  if (copypixels && src.dib) {
    const BITMAPINFOHEADER& sh = src.header;
    const size_t srcSize = sh.biSize + sh.biSizeImage + 4u * sh.biClrUsed;
    const size_t ownSize = static_cast<size_t>(GetSize());
    std::memcpy(dib, src.dib, srcSize < ownSize ? srcSize : ownSize);
  } else {
    SetPalette(src.GetPalette(), 256);
  }

  const size_t n = static_cast<size_t>(GetWidth()) * GetHeight();
  if (copyselection && src.selection) {
    LxRelease(selection);
    selection = static_cast<BYTE*>(LxAlloc(n));
    if (selection) {
      std::memcpy(selection, src.selection, n);
    } else {
      SelectionDelete();
    }
  }
  if (copyalpha && src.alpha) {
    LxRelease(alpha);
    alpha = static_cast<BYTE*>(LxAlloc(n));
    if (alpha) std::memcpy(alpha, src.alpha, n);
  }
}

void LxImage::CopyInfo(const LxImage& src) {
  if (dib) return;
  const int32_t ownFrames = info.numFrames;
  const int32_t ownLayers = info.numLayers;
  info = src.info;
  info.ghostOf = nullptr;
  info.pixels = nullptr;
  info.numFrames = ownFrames;
  info.numLayers = ownLayers;
}

void LxImage::Ghost(const LxImage* from) {
  if (!from) return;
  header = from->header;
  info = from->info;
  dib = from->dib;
  selection = from->selection;
  alpha = from->alpha;
  layers = from->layers;
  frames = from->frames;
  info.ghostOf = const_cast<LxImage*>(from);
}

bool LxImage::Transfer(LxImage& from, bool bTransferFrames) {
  if (info.ghostOf) return false;
  if (&from == this) return true;
  // A ghost does not own what it points at, so it has nothing to hand over.
  if (from.info.ghostOf) return false;
  if (!Destroy()) return false;

  const int32_t ownFrames = info.numFrames;
  const int32_t fromFrames = from.info.numFrames;
  header = from.header;
  info = from.info;
  dib = from.dib;
  selection = from.selection;
  alpha = from.alpha;
  layers = from.layers;
  for (int32_t i = 0; layers && i < info.numLayers; ++i) {
    if (layers[i]) layers[i]->info.parent = this;
  }

  std::memset(&from.header, 0, sizeof(from.header));
  std::memset(&from.info, 0, sizeof(from.info));
  from.dib = nullptr;
  from.selection = nullptr;
  from.alpha = nullptr;
  from.layers = nullptr;

  if (bTransferFrames) {
    info.numFrames = ownFrames;  // DestroyFrames walks our own array
    DestroyFrames();
    frames = from.frames;
    info.numFrames = fromFrames;
    from.frames = nullptr;
  } else {
    // Each frame array keeps the count that describes it.
    info.numFrames = ownFrames;
    from.info.numFrames = fromFrames;
  }
  return true;
}

bool LxImage::Destroy() {
  if (info.ghostOf) return false;
  if (layers) {
    for (int32_t i = 0; i < info.numLayers; ++i) delete layers[i];
    LxRelease(layers);
    layers = nullptr;
  }
  info.numLayers = 0;
  LxRelease(selection);
  selection = nullptr;
  LxRelease(alpha);
  alpha = nullptr;
  LxRelease(dib);
  dib = nullptr;
  info.pixels = nullptr;
  return true;
}

bool LxImage::DestroyFrames() {
  if (info.ghostOf) return false;
  if (!frames) return true;
  for (int32_t i = 0; i < info.numFrames; ++i) delete frames[i];
  LxRelease(frames);
  frames = nullptr;
  info.numFrames = 0;
  return true;
}

void LxImage::Clear(BYTE bval) {
  if (!dib) return;
  if (header.biBitCount == 1) {
    if (bval) bval = 255;
  } else if (header.biBitCount == 4) {
    bval = static_cast<BYTE>((bval % 16) * 17);
  }
  std::memset(info.pixels, bval, header.biSizeImage);
}

void LxImage::FreeMemory(void* memblock) { LxRelease(memblock); }
