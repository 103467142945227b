// oem_interfaces.h: the render plug-in interfaces of the platform's raster
// driver, declared here with their published slot order and calling
// convention (the platform SDK we build with does not carry them).
//
// IPrintOemUni3 derives, one base at a time, from IPrintOemUni2,
// IPrintOemUni, IPrintOemEngine, IPrintOemCommon and IUnknown, so one table
// holds all 30 slots in that order. The host's own interface,
// IPrintOemDriverUni, follows IUnknown with its eight helpers.
#ifndef LORVEX_PLUGIN_OEM_INTERFACES_H
#define LORVEX_PLUGIN_OEM_INTERFACES_H

#include "ddi_records.h"
#include "host_records.h"
#include "lxcom.h"

#if !defined(_WIN32)
#define STDMETHODCALLTYPE
#endif

struct IPrintOemCommon : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetInfo(DWORD dwMode, PVOID pBuffer, DWORD cbSize,
                                            PDWORD pcbNeeded) = 0;                        // 3
  virtual HRESULT STDMETHODCALLTYPE DevMode(DWORD dwMode, POEMDMPARAM pOemDMParam) = 0;  // 4
};

struct IPrintOemEngine : public IPrintOemCommon {
  virtual HRESULT STDMETHODCALLTYPE EnableDriver(DWORD DriverVersion, DWORD cbSize,
                                                 PDRVENABLEDATA pded) = 0;  // 5
  virtual HRESULT STDMETHODCALLTYPE DisableDriver() = 0;                    // 6
  virtual HRESULT STDMETHODCALLTYPE EnablePDEV(PDEVOBJ pdevobj, PWSTR pPrinterName,
                                               ULONG cPatterns, HSURF* phsurfPatterns,
                                               ULONG cjGdiInfo, GDIINFO* pGdiInfo,
                                               ULONG cjDevInfo, DEVINFO* pDevInfo,
                                               DRVENABLEDATA* pded, PDEVOEM* pDevOem) = 0;  // 7
  virtual HRESULT STDMETHODCALLTYPE DisablePDEV(PDEVOBJ pdevobj) = 0;                      // 8
  virtual HRESULT STDMETHODCALLTYPE ResetPDEV(PDEVOBJ pdevobjOld, PDEVOBJ pdevobjNew) = 0; // 9
};

struct IPrintOemUni : public IPrintOemEngine {
  virtual HRESULT STDMETHODCALLTYPE PublishDriverInterface(IUnknown* pIUnknown) = 0;  // 10
  virtual HRESULT STDMETHODCALLTYPE GetImplementedMethod(PSTR pMethodName) = 0;       // 11
  virtual HRESULT STDMETHODCALLTYPE DriverDMS(PVOID pDevObj, PVOID pBuffer, DWORD cbSize,
                                              PDWORD pcbNeeded) = 0;  // 12
  virtual HRESULT STDMETHODCALLTYPE CommandCallback(PDEVOBJ pdevobj, DWORD dwCallbackID,
                                                    DWORD dwCount, PDWORD pdwParams,
                                                    INT* piResult) = 0;  // 13
  virtual HRESULT STDMETHODCALLTYPE ImageProcessing(PDEVOBJ pdevobj, PBYTE pSrcBitmap,
                                                    PBITMAPINFOHEADER pBitmapInfoHeader,
                                                    PBYTE pColorTable, DWORD dwCallbackID,
                                                    PIPPARAMS pIPParams,
                                                    PBYTE* ppbResult) = 0;  // 14
  virtual HRESULT STDMETHODCALLTYPE FilterGraphics(PDEVOBJ pdevobj, PBYTE pBuf,
                                                   DWORD dwLen) = 0;  // 15
  virtual HRESULT STDMETHODCALLTYPE Compression(PDEVOBJ pdevobj, PBYTE pInBuf, PBYTE pOutBuf,
                                                DWORD dwInLen, DWORD dwOutLen,
                                                INT* piResult) = 0;  // 16
  virtual HRESULT STDMETHODCALLTYPE HalftonePattern(PDEVOBJ pdevobj, PBYTE pHTPattern,
                                                    DWORD dwHTPatternX, DWORD dwHTPatternY,
                                                    DWORD dwHTNumPatterns, DWORD dwCallbackID,
                                                    PBYTE pResource, DWORD dwResourceSize) = 0;  // 17
  virtual HRESULT STDMETHODCALLTYPE MemoryUsage(PDEVOBJ pdevobj,
                                                POEMMEMORYUSAGE pMemoryUsage) = 0;  // 18
  virtual HRESULT STDMETHODCALLTYPE TTYGetInfo(PDEVOBJ pdevobj, DWORD dwInfoIndex,
                                               PVOID pOutputBuf, DWORD dwSize,
                                               DWORD* pcbcNeeded) = 0;  // 19
  virtual HRESULT STDMETHODCALLTYPE DownloadFontHeader(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj,
                                                       DWORD* pdwResult) = 0;  // 20
  virtual HRESULT STDMETHODCALLTYPE DownloadCharGlyph(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj,
                                                      HGLYPH hGlyph, PDWORD pdwWidth,
                                                      DWORD* pdwResult) = 0;  // 21
  virtual HRESULT STDMETHODCALLTYPE TTDownloadMethod(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj,
                                                     DWORD* pdwResult) = 0;  // 22
  virtual HRESULT STDMETHODCALLTYPE OutputCharStr(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj,
                                                  DWORD dwType, DWORD dwCount,
                                                  PVOID pGlyph) = 0;  // 23
  virtual HRESULT STDMETHODCALLTYPE SendFontCmd(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj,
                                                PFINVOCATION pFInv) = 0;  // 24
  virtual HRESULT STDMETHODCALLTYPE TextOutAsBitmap(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo,
                                                    CLIPOBJ* pco, RECTL* prclExtra,
                                                    RECTL* prclOpaque, BRUSHOBJ* pboFore,
                                                    BRUSHOBJ* pboOpaque, POINTL* pptlOrg,
                                                    MIX mix) = 0;  // 25
};

struct IPrintOemUni2 : public IPrintOemUni {
  virtual HRESULT STDMETHODCALLTYPE GetPDEVAdjustment(PDEVOBJ pdevobj, DWORD dwAdjustType,
                                                      PVOID pBuf, DWORD cbBuffer,
                                                      BOOL* pbAdjustmentDone) = 0;  // 26
  virtual HRESULT STDMETHODCALLTYPE WritePrinter(PDEVOBJ pdevobj, PVOID pBuf, DWORD cbBuffer,
                                                 PDWORD pcbWritten) = 0;  // 27
};

struct IPrintOemUni3 : public IPrintOemUni2 {
  // The host calls this only for plug-ins that report it implemented; this
  // one does not.
  virtual HRESULT STDMETHODCALLTYPE DownloadPattern(PDEVOBJ pdevobj, SURFOBJ* pso,
                                                    BRUSHOBJ* pbo, DWORD dwPatternID) = 0;  // 28
  virtual HRESULT STDMETHODCALLTYPE SetBandSize(PDEVOBJ pdevobj, DWORD iFormat,
                                                DWORD dwPageWidthBytes, DWORD dwPageHeight,
                                                DWORD dwMaxHeight,
                                                DWORD* pdwRequiredHeight) = 0;  // 29
};

// The host's interface, published to the plug-in.
struct IPrintOemDriverUni : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE DrvGetDriverSetting(PVOID pdriverobj, PCSTR Feature,
                                                        PVOID pOutput, DWORD cbSize,
                                                        PDWORD pcbNeeded,
                                                        PDWORD pdwOptionsReturned) = 0;
  virtual HRESULT STDMETHODCALLTYPE DrvWriteSpoolBuf(PDEVOBJ pdevobj, PVOID pBuffer, DWORD cbSize,
                                                     DWORD* pdwResult) = 0;
  virtual HRESULT STDMETHODCALLTYPE DrvXMoveTo(PDEVOBJ pdevobj, INT x, DWORD dwFlags,
                                               INT* piResult) = 0;
  virtual HRESULT STDMETHODCALLTYPE DrvYMoveTo(PDEVOBJ pdevobj, INT y, DWORD dwFlags,
                                               INT* piResult) = 0;
  virtual HRESULT STDMETHODCALLTYPE DrvGetStandardVariable(PDEVOBJ pdevobj, DWORD dwIndex,
                                                           PVOID pBuffer, DWORD cbSize,
                                                           PDWORD pcbNeeded) = 0;
  virtual HRESULT STDMETHODCALLTYPE DrvGetGPDData(PDEVOBJ pdevobj, DWORD dwType,
                                                  PVOID pInputData, PVOID pBuffer, DWORD cbSize,
                                                  PDWORD pcbNeeded) = 0;
  virtual HRESULT STDMETHODCALLTYPE DrvUniTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo,
                                                  CLIPOBJ* pco, RECTL* prclExtra,
                                                  RECTL* prclOpaque, BRUSHOBJ* pboFore,
                                                  BRUSHOBJ* pboOpaque, POINTL* pptlBrushOrg,
                                                  MIX mix) = 0;
  virtual HRESULT STDMETHODCALLTYPE DrvWriteAbortBuf(PDEVOBJ pdevobj, PVOID pBuffer, DWORD cbSize,
                                                     DWORD dwWait) = 0;
};

// {6D6ABF26-9F38-11D1-882A-00C04FB961EC}: the plug-in object.
constexpr GUID CLSID_OEMRENDER = {0x6D6ABF26, 0x9F38, 0x11D1,
                                  {0x88, 0x2A, 0x00, 0xC0, 0x4F, 0xB9, 0x61, 0xEC}};
constexpr GUID IID_IPrintOemUni = {0xD67EBBF0, 0x78BF, 0x11D1,
                                   {0x94, 0x80, 0x00, 0xA0, 0xC9, 0x06, 0x40, 0xB8}};
constexpr GUID IID_IPrintOemUni2 = {0xB91220AC, 0x15CC, 0x4E7A,
                                    {0xA2, 0x1E, 0x95, 0x91, 0xF3, 0x4D, 0x6F, 0x6C}};
constexpr GUID IID_IPrintOemUni3 = {0x4E4A7747, 0xBC76, 0x4AED,
                                    {0xAC, 0xC8, 0xC7, 0x6A, 0xF2, 0x2A, 0xAD, 0x43}};
constexpr GUID IID_IPrintOemDriverUni = {0xD67EBBF1, 0x78BF, 0x11D1,
                                         {0x94, 0x80, 0x00, 0xA0, 0xC9, 0x06, 0x40, 0xB8}};

#endif  // LORVEX_PLUGIN_OEM_INTERFACES_H
