// host_records.h: the records the raster host hands a render plug-in, with
// the platform's published layouts and calling conventions. The platform SDK
// we build with does not carry them, so they are declared here.
#ifndef LORVEX_PLUGIN_HOST_RECORDS_H
#define LORVEX_PLUGIN_HOST_RECORDS_H

#include <cstddef>

#include "lxwin.h"

typedef DEVMODEW* PLXDEVMODE;

struct _DEVOBJ;
typedef struct _DEVOBJ* PDEVOBJ;
typedef void* PDEVOEM;

// The host's helper procedures; the host calls and is called with WINAPI.
typedef DWORD(APIENTRY* PFN_DrvWriteSpoolBuf)(PDEVOBJ pdevobj, PVOID pBuffer, DWORD cbSize);
typedef INT(APIENTRY* PFN_DrvXMoveTo)(PDEVOBJ pdevobj, INT x, DWORD dwFlags);
typedef INT(APIENTRY* PFN_DrvYMoveTo)(PDEVOBJ pdevobj, INT y, DWORD dwFlags);
typedef BOOL(APIENTRY* PFN_DrvGetDriverSetting)(PVOID pdriverobj, PCSTR Feature, PVOID pOutput,
                                                DWORD cbSize, PDWORD pcbNeeded,
                                                PDWORD pdwOptionsReturned);
typedef BOOL(APIENTRY* PFN_DrvGetStandardVariable)(PDEVOBJ pdevobj, DWORD dwIndex, PVOID pBuffer,
                                                   DWORD cbSize, PDWORD pcbNeeded);
typedef PVOID PFN_DrvUnidriverTextOut;  // never called by the plug-in
typedef DWORD(APIENTRY* PFN_DrvWriteAbortBuf)(PDEVOBJ pdevobj, PVOID pBuffer, DWORD cbSize,
                                              DWORD dwWait);

// Entry 0 writes to the job's spool stream; entry 3 reads a feature setting.
typedef struct _DRVPROCS {
  PFN_DrvWriteSpoolBuf DrvWriteSpoolBuf;
  PFN_DrvXMoveTo DrvXMoveTo;
  PFN_DrvYMoveTo DrvYMoveTo;
  PFN_DrvGetDriverSetting DrvGetDriverSetting;
  PFN_DrvGetStandardVariable BGetStandardVariable;
  PFN_DrvUnidriverTextOut DrvUnidriverTextOut;
  PFN_DrvWriteAbortBuf DrvWriteAbortBuf;
} DRVPROCS, *PDRVPROCS;

// The device object: one per device context.
typedef struct _DEVOBJ {
  DWORD dwSize;
  PDEVOEM pdevOEM;      // the plug-in's own device data
  HANDLE hEngine;
  HANDLE hPrinter;
  HANDLE hOEM;
  PLXDEVMODE pPublicDM; // the job's public devmode
  PVOID pOEMDM;
  PDRVPROCS pDrvProcs;
} DEVOBJ;

// The band's extra parameters.
typedef struct _IPPARAMS {
  DWORD dwSize;
  POINT ptOffset;
  PSTR pHalftoneOption;  // name of the selected halftone option
  BOOL bBanding;         // the host renders the page in bands
  BOOL bBlankBand;       // nothing is drawn in this band
} IPPARAMS, *PIPPARAMS;

// The devmode call's parameters.
typedef struct _OEMDMPARAM {
  DWORD cbSize;
  PVOID pdriverobj;
  HANDLE hPrinter;
  HANDLE hModule;
  PLXDEVMODE pPublicDMIn;
  PLXDEVMODE pPublicDMOut;
  PVOID pOEMDMIn;
  PVOID pOEMDMOut;
  DWORD cbBufSize;
} OEMDMPARAM, *POEMDMPARAM;

#if defined(_WIN32)
#if defined(_WIN64)
static_assert(sizeof(DEVOBJ) == 64, "DEVOBJ layout");
static_assert(sizeof(IPPARAMS) == 32, "IPPARAMS layout");
static_assert(sizeof(OEMDMPARAM) == 72, "OEMDMPARAM layout");
#else
static_assert(sizeof(DEVOBJ) == 32, "DEVOBJ layout");
static_assert(sizeof(IPPARAMS) == 24, "IPPARAMS layout");
static_assert(sizeof(OEMDMPARAM) == 36, "OEMDMPARAM layout");
#endif
static_assert(offsetof(DRVPROCS, DrvGetDriverSetting) == 3 * sizeof(void*), "DRVPROCS entry 3");
#endif

#endif  // LORVEX_PLUGIN_HOST_RECORDS_H
