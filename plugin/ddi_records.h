// ddi_records.h: the few graphics-engine driver records the plug-in touches,
// with the platform's published layouts (the platform SDK we build with
// cannot provide them), and the signatures of the driver functions it hooks.
#ifndef LORVEX_PLUGIN_DDI_RECORDS_H
#define LORVEX_PLUGIN_DDI_RECORDS_H

#include "lxwin.h"

#if !defined(_WIN32)
typedef struct tagSIZE {
  LONG cx;
  LONG cy;
} SIZEL;
typedef struct _RECTL {
  LONG left, top, right, bottom;
} RECTL;
typedef struct tagLOGFONTW {
  LONG lfHeight;
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  WCHAR lfFaceName[32];
} LOGFONTW;
typedef intptr_t INT_PTR;
#endif

typedef ULONG FLONG;
typedef ULONG MIX;
typedef LONG LDECI4;
typedef struct HSURF__* HSURF;
typedef struct DHSURF__* DHSURF;
typedef struct DHPDEV__* DHPDEV;
typedef struct HDEV__* HDEV;
typedef ULONG HGLYPH;

// Records the plug-in passes through without looking inside.
struct _STROBJ;
struct _FONTOBJ;
struct _CLIPOBJ;
struct _BRUSHOBJ;
struct _UNIFONTOBJ;
struct _FINVOCATION;
struct _OEMMEMORYUSAGE;
typedef struct _STROBJ STROBJ;
typedef struct _FONTOBJ FONTOBJ;
typedef struct _CLIPOBJ CLIPOBJ;
typedef struct _BRUSHOBJ BRUSHOBJ;
typedef struct _UNIFONTOBJ* PUNIFONTOBJ;
typedef struct _FINVOCATION* PFINVOCATION;
typedef struct _OEMMEMORYUSAGE* POEMMEMORYUSAGE;

typedef INT_PTR(APIENTRY* PFN)();

typedef struct _DRVFN {
  ULONG iFunc;
  PFN pfn;
} DRVFN, *PDRVFN;

typedef struct _DRVENABLEDATA {
  ULONG iDriverVersion;
  ULONG c;
  DRVFN* pdrvfn;
} DRVENABLEDATA, *PDRVENABLEDATA;

typedef struct _SURFOBJ {
  DHSURF dhsurf;
  HSURF hsurf;
  DHPDEV dhpdev;  // the printer driver's device: the device object
  HDEV hdev;
  SIZEL sizlBitmap;
  ULONG cjBits;
  PVOID pvBits;
  PVOID pvScan0;
  LONG lDelta;
  ULONG iUniq;
  ULONG iBitmapFormat;
  USHORT iType;
  USHORT fjBitmap;
} SURFOBJ;

typedef struct _CIECHROMA {
  LDECI4 x, y, Y;
} CIECHROMA;

typedef struct _COLORINFO {
  CIECHROMA Red, Green, Blue, Cyan, Magenta, Yellow, AlignmentWhite;
  LDECI4 RedGamma, GreenGamma, BlueGamma;
  LDECI4 MagentaInCyanDye, YellowInCyanDye, CyanInMagentaDye;
  LDECI4 YellowInMagentaDye, CyanInYellowDye, MagentaInYellowDye;
} COLORINFO;

typedef struct _GDIINFO {
  ULONG ulVersion;
  ULONG ulTechnology;
  ULONG ulHorzSize;
  ULONG ulVertSize;
  ULONG ulHorzRes;
  ULONG ulVertRes;
  ULONG cBitsPixel;  // 24: the device needs a BGR palette
  ULONG cPlanes;
  ULONG ulNumColors;
  ULONG flRaster;
  ULONG ulLogPixelsX;
  ULONG ulLogPixelsY;
  ULONG flTextCaps;
  ULONG ulDACRed;
  ULONG ulDACGreen;
  ULONG ulDACBlue;
  ULONG ulAspectX;
  ULONG ulAspectY;
  ULONG ulAspectXY;
  LONG xStyleStep;
  LONG yStyleStep;
  LONG denStyleStep;
  POINTL ptlPhysOffset;
  SIZEL szlPhysSize;
  ULONG ulNumPalReg;
  COLORINFO ciDevice;
  ULONG ulDevicePelsDPI;
  ULONG ulPrimaryOrder;
  ULONG ulHTPatternSize;
  ULONG ulHTOutputFormat;
  ULONG flHTFlags;
  ULONG ulVRefresh;
  ULONG ulBltAlignment;
  ULONG ulPanningHorzRes;
  ULONG ulPanningVertRes;
  ULONG xPanningAlignment;
  ULONG yPanningAlignment;
  ULONG cxHTPat;
  ULONG cyHTPat;
  BYTE* pHTPatA;
  BYTE* pHTPatB;
  BYTE* pHTPatC;
  ULONG flShadeBlend;
  ULONG ulPhysicalPixelCharacteristics;
  ULONG ulPhysicalPixelGamma;
} GDIINFO;

typedef struct _DEVINFO {
  FLONG flGraphicsCaps;
  LOGFONTW lfDefaultFont;
  LOGFONTW lfAnsiVarFont;
  LOGFONTW lfAnsiFixFont;
  ULONG cFonts;
  ULONG iDitherFormat;
  USHORT cxDither;
  USHORT cyDither;
  HPALETTE hpalDefault;
  FLONG flGraphicsCaps2;
} DEVINFO;

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(DRVENABLEDATA) == 12, "DRVENABLEDATA layout");
static_assert(sizeof(SURFOBJ) == 52, "SURFOBJ layout");
static_assert(sizeof(GDIINFO) == 304, "GDIINFO layout");
static_assert(sizeof(DEVINFO) == 300, "DEVINFO layout");
#elif defined(_WIN64) || (!defined(_WIN32) && UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu)
static_assert(sizeof(DRVENABLEDATA) == 16, "DRVENABLEDATA layout");
static_assert(sizeof(SURFOBJ) == 80, "SURFOBJ layout");
static_assert(sizeof(GDIINFO) == 320, "GDIINFO layout");
static_assert(sizeof(DEVINFO) == 312, "DEVINFO layout");
#endif

// Indices of the driver functions in DRVENABLEDATA.
constexpr ULONG INDEX_DrvEnableSurface = 3;
constexpr ULONG INDEX_DrvTextOut = 23;
constexpr ULONG INDEX_DrvQueryFont = 26;
constexpr ULONG INDEX_DrvSendPage = 32;
constexpr ULONG INDEX_DrvStartPage = 33;
constexpr ULONG INDEX_DrvEndDoc = 34;
constexpr ULONG INDEX_DrvStartDoc = 35;
constexpr ULONG INDEX_DrvStartBanding = 57;
constexpr ULONG INDEX_DrvNextBand = 58;

constexpr ULONG PAL_BGR = 0x00000008;

// The hooked driver functions.
typedef BOOL(APIENTRY* PFN_DrvStartBanding)(SURFOBJ* pso, POINTL* pptl);
typedef BOOL(APIENTRY* PFN_DrvNextBand)(SURFOBJ* pso, POINTL* pptl);
typedef BOOL(APIENTRY* PFN_DrvStartPage)(SURFOBJ* pso);
typedef BOOL(APIENTRY* PFN_DrvSendPage)(SURFOBJ* pso);
typedef BOOL(APIENTRY* PFN_DrvStartDoc)(SURFOBJ* pso, LPWSTR pwszDocName, DWORD dwJobId);
typedef BOOL(APIENTRY* PFN_DrvEndDoc)(SURFOBJ* pso, FLONG fl);
typedef BOOL(APIENTRY* PFN_DrvTextOut)(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco,
                                       RECTL* prclExtra, RECTL* prclOpaque, BRUSHOBJ* pboFore,
                                       BRUSHOBJ* pboOpaque, POINTL* pptlOrg, MIX mix);
typedef HPALETTE(APIENTRY* PFN_EngCreatePalette)(ULONG iMode, ULONG cColors, ULONG* pulColors,
                                                 FLONG flRed, FLONG flGreen, FLONG flBlue);

#endif  // LORVEX_PLUGIN_DDI_RECORDS_H
