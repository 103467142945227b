// lxtypes.h: the few Windows records and scalar types the image library uses.
//
// The library keeps the Windows memory layouts so that its DIB blocks can be
// handed to the platform as they are. On Linux it defines the records itself;
// on Windows it takes the platform's own, which have the same layout, so that
// code including both <windows.h> and the library sees one definition.
#ifndef LORVEX_IMAGE_LXTYPES_H
#define LORVEX_IMAGE_LXTYPES_H

#include <cstdint>

#if defined(_WIN32)
#include <windef.h>
#include <wingdi.h>
#else

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;

typedef struct tagRGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
} RGBQUAD;

typedef struct tagBITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
} BITMAPINFOHEADER;

typedef struct tagRECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
} RECT;

#endif  // _WIN32

static_assert(sizeof(RGBQUAD) == 4, "RGBQUAD must keep the Windows layout");
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER must keep the Windows layout");
static_assert(sizeof(RECT) == 16, "RECT must keep the Windows layout");

#endif  // LORVEX_IMAGE_LXTYPES_H
