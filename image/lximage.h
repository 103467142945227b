// lximage.h: LxImage, one raster picture in device-independent-bitmap layout.
//
// An image holds a DIB block (40-byte header, palette, pixel rows stored
// bottom-up and padded to four bytes), a settings record, an optional
// selection mask and alpha channel (one unpadded byte per pixel each) and the
// layer and frame images it owns. Row 0 is the bottom row of the picture and
// every pixel method counts y in stored rows from the bottom; Crop alone takes
// top-down rectangles.
//
// Methods that can fail answer false or null and leave a text in the image's
// last-error field; a later success does not clear it. Out-of-range pixel
// coordinates are never errors: checked reads answer a defined fallback and
// checked writes are ignored. The Blind accessors skip every check and are
// meant for inner loops whose bounds the caller has established.
//
// The sources are split by family:
//   lximage_container.cpp   construction, Create, Copy, Transfer, Destroy
//   lximage_pixels.cpp      palette, pixel access, selection and alpha
//   lximage_settings.cpp    settings accessors, byte order, type table
//   lximage_gray.cpp        GrayScale, Threshold, Threshold2
//   lximage_dither.cpp      Dither
//   lximage_transform.cpp   Flip, Mirror, the turns and Crop
#ifndef LORVEX_IMAGE_LXIMAGE_H
#define LORVEX_IMAGE_LXIMAGE_H

#include <cstddef>

#include "lxtypes.h"

// The render plug-in exports the library's classes; everything else links it
// statically.
#if defined(_WIN32) && defined(LXIMAGE_EXPORTS)
#define LXIMAGE_API __declspec(dllexport)
#else
#define LXIMAGE_API
#endif

// Format type identifiers. No codec is part of this library: the type is a
// label that copies and transforms carry and that indexes the codec options.
enum LxImageType : DWORD {
  LXIMAGE_FORMAT_UNKNOWN = 0,
  LXIMAGE_FORMAT_BMP = 1,
  LXIMAGE_FORMAT_GIF = 2,
  LXIMAGE_FORMAT_JPG = 3,
  LXIMAGE_FORMAT_PNG = 4,
  LXIMAGE_FORMAT_ICO = 5,
  LXIMAGE_FORMAT_TIF = 6,
  LXIMAGE_FORMAT_TGA = 7,
  LXIMAGE_FORMAT_PCX = 8,
  LXIMAGE_FORMAT_WBMP = 9,
  LXIMAGE_FORMAT_WMF = 10,
  LXIMAGE_FORMAT_JP2 = 11,
  LXIMAGE_FORMAT_JPC = 12,
  LXIMAGE_FORMAT_PGX = 13,
  LXIMAGE_FORMAT_PNM = 14,
  LXIMAGE_FORMAT_RAS = 15,
  LXIMAGE_FORMAT_MNG = 17,
  LXIMAGE_FORMAT_SKA = 18,
  LXIMAGE_FORMAT_RAW = 19,
};

constexpr int LXIMAGE_MAX_TYPES = 19;  // entries of the codec option table

class LXIMAGE_API LxImage {
 public:
  struct rgb_color {
    BYTE r, g, b;
  };

  // The settings record; copied as one unit by Copy, CopyInfo, Transfer and
  // Ghost. numFrames and numLayers always describe the arrays this image holds.
  struct ImageInfo {
    DWORD effWidth;          // bytes per stored row
    BYTE* pixels;            // row 0 inside the DIB block
    LxImage* ghostOf;        // the image whose buffers a ghost shares
    LxImage* parent;         // owner of a layer
    DWORD type;              // format type identifier
    char lastError[256];     // text of the last failure
    int32_t progress;        // percentage written by long operations
    int32_t escape;          // non-zero asks long operations to stop
    int32_t transIndex;      // transparent palette index, -1 for none
    RGBQUAD transColor;      // transparent colour
    float jpegQuality;
    BYTE jpegScale;
    int32_t frame;
    int32_t numFrames;
    DWORD frameDelay;
    int32_t xDpi;
    int32_t yDpi;
    RECT selectionBox;       // stored coordinates; top and right exclusive
    BYTE alphaMax;
    bool alphaPaletteEnabled;
    bool enabled;
    int32_t xOffset;
    int32_t yOffset;
    DWORD codecOptions[LXIMAGE_MAX_TYPES];
    RGBQUAD nearestColor;    // cache of the last GetNearestIndex query
    BYTE nearestIndex;
    bool nearestValid;
    int32_t numLayers;
    DWORD flags;
    BYTE disposalMethod;
    bool retrieveAllFrames;
    bool littleEndianHost;
  };

  // ---- construction, copying, moving, destruction (lximage_container.cpp) --
  explicit LxImage(DWORD imagetype = 0);
  LxImage(DWORD width, DWORD height, DWORD bpp, DWORD imagetype = 0);
  LxImage(const LxImage& src, bool copypixels = true, bool copyselection = true,
          bool copyalpha = true);
  LxImage& operator=(const LxImage& src);
  virtual ~LxImage();

  // Allocates a new DIB block of the given size; bit depths are normalised to
  // 1, 4, 8 or 24. Null (and the image empty) on a zero size, a size whose
  // block does not fit 32 bits, a failed allocation, or on a ghost.
  void* Create(DWORD width, DWORD height, DWORD bpp, DWORD imagetype);
  // Fills a new image from packed rows bytesperline apart. Bit depths 1, 4, 8,
  // 24 and 32 (24-bit plus alpha); false for a null source or any other depth.
  bool CreateFromArray(BYTE* src, DWORD width, DWORD height, DWORD bpp,
                       DWORD bytesperline, bool flip);
  bool CreateFromMatrix(BYTE** rows, DWORD width, DWORD height, DWORD bpp,
                        DWORD bytesperline, bool flip);
  // Makes this image a copy of src; layers and frames are never copied. A copy
  // from itself, or into a ghost, changes nothing.
  void Copy(const LxImage& src, bool copypixels = true, bool copyselection = true,
            bool copyalpha = true);
  // Moves src's buffers into this image and leaves src empty. False when this
  // image or src is a ghost.
  bool Transfer(LxImage& from, bool bTransferFrames = true);
  bool Destroy();
  bool DestroyFrames();
  void Clear(BYTE bval = 0);
  void FreeMemory(void* memblock);

  // ---- geometry and raw access ---------------------------------------------
  BYTE* GetBits(DWORD row = 0);
  long GetSize();
  DWORD GetEffWidth() const { return info.effWidth; }
  DWORD GetWidth() const { return static_cast<DWORD>(header.biWidth); }
  DWORD GetHeight() const { return static_cast<DWORD>(header.biHeight); }
  DWORD GetNumColors() const { return header.biClrUsed; }
  DWORD GetClrImportant() const { return header.biClrImportant; }
  WORD GetBpp() const { return header.biBitCount; }
  void* GetDIB() const { return dib; }
  bool IsValid() const { return dib != nullptr; }
  bool IsIndexed() const { return header.biClrUsed != 0; }
  bool IsInside(long x, long y) const;

  // ---- palette (lximage_pixels.cpp) -----------------------------------------
  RGBQUAD* GetPalette() const;
  DWORD GetPaletteSize() const;
  RGBQUAD GetPaletteColor(BYTE idx);
  // False, writing nothing, without a palette or for an index not below the
  // number of entries.
  bool GetPaletteColor(BYTE idx, BYTE* r, BYTE* g, BYTE* b);
  void SetPalette(RGBQUAD* pPal, DWORD nColors = 256);
  void SetPalette(DWORD n, BYTE* r, BYTE* g = nullptr, BYTE* b = nullptr);
  void SetPalette(rgb_color* rgb, DWORD nColors = 256);
  void SetPaletteColor(BYTE idx, BYTE r, BYTE g, BYTE b, BYTE alpha = 0);
  void SetPaletteColor(BYTE idx, RGBQUAD c);
  void SetPaletteColor(BYTE idx, DWORD cr);
  void SetGrayPalette();
  void SetStdPalette();
  BYTE GetNearestIndex(RGBQUAD c);
  bool IsGrayScale();
  bool IsSamePalette(LxImage& img, bool bCheckAlpha = true);
  void SwapIndex(BYTE idx1, BYTE idx2);
  void SwapRGB2BGR();
  void SetClrImportant(DWORD ncolors = 0);

  // ---- pixels ---------------------------------------------------------------
  BYTE GetPixelIndex(long x, long y);
  void SetPixelIndex(long x, long y, BYTE i);
  RGBQUAD GetPixelColor(long x, long y, bool bGetAlpha = true);
  void SetPixelColor(long x, long y, RGBQUAD c, bool bSetAlpha = false);
  void SetPixelColor(long x, long y, DWORD c);
  BYTE GetPixelGray(long x, long y);
  bool IsTransparent(long x, long y);
  bool IsTransparent() const { return info.transIndex >= 0; }
  static RGBQUAD RGBtoRGBQUAD(DWORD cr);
  static DWORD RGBQUADtoRGB(RGBQUAD c);

  // ---- selection and alpha --------------------------------------------------
  bool SelectionCreate();
  bool SelectionDelete();
  bool SelectionIsValid() const { return selection != nullptr; }
  bool SelectionCopy(const LxImage& from);
  bool AlphaCreate();
  bool AlphaDelete();
  bool AlphaIsValid() const { return alpha != nullptr; }
  bool AlphaCopy(const LxImage& from);
  BYTE AlphaGet(long x, long y);
  void AlphaSet(long x, long y, BYTE level);
  BYTE AlphaGetMax() const { return info.alphaMax; }
  void AlphaSetMax(BYTE nAlphaMax) { info.alphaMax = nAlphaMax; }
  bool AlphaPaletteIsEnabled() const { return info.alphaPaletteEnabled; }
  void AlphaPaletteEnable(bool enable = true) { info.alphaPaletteEnabled = enable; }

  // ---- settings (lximage_settings.cpp) --------------------------------------
  DWORD GetType() const { return info.type; }
  bool SetType(DWORD type);
  const char* GetLastError() const { return info.lastError; }
  long GetProgress() const { return info.progress; }
  void SetProgress(long p) { info.progress = static_cast<int32_t>(p); }
  long GetEscape() const { return info.escape; }
  void SetEscape(long i) { info.escape = static_cast<int32_t>(i); }
  long GetTransIndex() const { return info.transIndex; }
  void SetTransIndex(long idx);
  RGBQUAD GetTransColor();
  void SetTransColor(RGBQUAD rgb);
  float GetJpegQualityF() const { return info.jpegQuality; }
  void SetJpegQualityF(float q);
  BYTE GetJpegQuality() const;
  void SetJpegQuality(BYTE q) { info.jpegQuality = static_cast<float>(q); }
  BYTE GetJpegScale() const { return info.jpegScale; }
  void SetJpegScale(BYTE q) { info.jpegScale = q; }
  long GetFrame() const { return info.frame; }
  void SetFrame(long nFrame) { info.frame = static_cast<int32_t>(nFrame); }
  long GetNumFrames() const { return info.numFrames; }
  LxImage* GetFrame(long nFrame) const;
  DWORD GetFrameDelay() const { return info.frameDelay; }
  void SetFrameDelay(DWORD d) { info.frameDelay = d; }
  long GetXDPI() const { return info.xDpi; }
  long GetYDPI() const { return info.yDpi; }
  void SetXDPI(long dpi);
  void SetYDPI(long dpi);
  void GetOffset(long* x, long* y) const;
  void SetOffset(long x, long y);
  DWORD GetCodecOption(DWORD imagetype = 0) const;
  bool SetCodecOption(DWORD opt, DWORD imagetype = 0);
  DWORD GetFlags() const { return info.flags; }
  void SetFlags(DWORD flags, bool bLockReservedFlags = true);
  BYTE GetDisposalMethod() const { return info.disposalMethod; }
  void SetDisposalMethod(BYTE dm) { info.disposalMethod = dm; }
  bool GetRetreiveAllFrames() const { return info.retrieveAllFrames; }
  void SetRetreiveAllFrames(bool flag) { info.retrieveAllFrames = flag; }
  bool IsEnabled() const { return info.enabled; }
  void Enable(bool enable = true) { info.enabled = enable; }
  BYTE GetColorType() const;
  long GetNumLayers() const { return info.numLayers; }
  LxImage* GetLayer(long n) const;
  LxImage* GetParent() const { return info.parent; }

  static DWORD GetTypeIdFromName(const char* ext);
  static DWORD GetTypeIdFromIndex(DWORD index);
  static DWORD GetTypeIndexFromId(DWORD id);
  static DWORD GetNumTypes();
  static const char* GetVersion();
  static float GetVersionNumber();

  // ---- gray conversion and threshold (lximage_gray.cpp) ---------------------
  bool GrayScale();
  bool Threshold(BYTE level);
  bool Threshold(LxImage* pThresholdMask);
  bool Threshold2(BYTE level, bool bDirection, RGBQUAD nBkgndColor,
                  bool bSetAlpha = false);

  // ---- dithering (lximage_dither.cpp) ---------------------------------------
  // Halftones to the two-level image: 0 Floyd-Steinberg, 1 ordered, 2 Burkes,
  // 3 Stucki, 4 Jarvis-Judice-Ninke, 5 Sierra, 6 Stevenson-Arce, 7 Bayer; any
  // other number is Floyd-Steinberg. A 1-bit image is left as it is.
  bool Dither(long method = 0);
  // The same walk, with error diffusion going on past the last row walked:
  // `carry` holds `carryRows` gray rows of GetWidth() bytes that follow it
  // (the next rows the caller walks); they take their shares as the image's
  // own pixels would, and are left with them. Ordered methods leave them as
  // they are.
  bool Dither(long method, BYTE* carry, DWORD carryRows);

  // ---- geometric transforms (lximage_transform.cpp) -------------------------
  bool Flip(bool bFlipSelection = false, bool bFlipAlpha = true);
  bool Mirror(bool bMirrorSelection = false, bool bMirrorAlpha = true);
  bool Rotate180(LxImage* iDst = nullptr);
  bool RotateLeft(LxImage* iDst = nullptr);
  bool RotateRight(LxImage* iDst = nullptr);
  bool Crop(long left, long top, long right, long bottom, LxImage* iDst = nullptr);
  bool Crop(const RECT& rect, LxImage* iDst = nullptr);
  bool SelectionFlip();
  bool SelectionMirror();
  bool AlphaFlip();
  bool AlphaMirror();

 protected:
  void Startup(DWORD imagetype);
  void CopyInfo(const LxImage& src);
  // Shared body of CreateFromArray (rows `bytesperline` apart from `base`)
  // and CreateFromMatrix (one pointer per row in `rows`).
  bool CreateFromRows(const BYTE* base, BYTE* const* rows, DWORD width, DWORD height,
                      DWORD bpp, DWORD bytesperline, bool flip);
  void Ghost(const LxImage* from);
  // Makes the working image of a quarter or half turn: this image's settings
  // and palette, the given size, an alpha channel when this image has one and,
  // when asked, a selection mask when this image has one. False when any of
  // it cannot be allocated.
  bool MakeTurnTarget(LxImage& work, DWORD width, DWORD height, bool withSelection);
  // RotateLeft (left) or RotateRight.
  bool QuarterTurn(LxImage* iDst, bool left);
  // GrayScale, or, when it cannot convert for lack of memory, false with the
  // image exactly as it was (palette and transparent index included).
  bool GrayScaleOrKeep();
  // Thresholds this 8-bit gray image into a new two-level image and moves it
  // in: against *level when it is given, else against mask's pixel indices.
  bool ThresholdInto(const BYTE* level, LxImage* mask);
  // Records a failure text, cut to the field's 255 characters.
  void SetLastErrorText(const char* text);

  BYTE BlindGetPixelIndex(long x, long y);
  void BlindSetPixelIndex(long x, long y, BYTE i);
  RGBQUAD BlindGetPixelColor(long x, long y, bool bGetAlpha = true);
  void BlindSetPixelColor(long x, long y, RGBQUAD c, bool bSetAlpha = false);
  void* BlindGetPixelPointer(long x, long y);
  static int CompareColors(const void* elem1, const void* elem2);

  BYTE SelectionGet(long x, long y);
  void SelectionSet(long x, long y, BYTE level);
  BYTE BlindSelectionGet(long x, long y);
  bool BlindSelectionIsInside(long x, long y);
  BYTE BlindAlphaGet(long x, long y);

  long ntohl(long dword) const;
  short ntohs(short word) const;
  void bihtoh(BITMAPINFOHEADER* bih);

  void* dib;                 // DIB block: header, palette, pixel rows
  BITMAPINFOHEADER header;   // authoritative header
  ImageInfo info;
  BYTE* selection;           // width x height mask, or null
  BYTE* alpha;               // width x height channel, or null
  LxImage** layers;          // numLayers owned images
  LxImage** frames;          // numFrames owned images
};

// Gray level of a colour: the integer weights sum to 1024.
inline BYTE LxGrayLevel(BYTE r, BYTE g, BYTE b) {
  return static_cast<BYTE>((306u * r + 601u * g + 117u * b) >> 10);
}

#endif  // LORVEX_IMAGE_LXIMAGE_H
