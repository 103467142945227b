// oem_plugin.h: the plug-in's COM shell: the class factory, the plug-in
// object, the per-device-context object, the hooks and the private devmode.
//
// Life: the host calls DllGetClassObject for the plug-in's class, makes one
// COemUni2 through COemCF, sets it up (GetInfo, DevMode,
// PublishDriverInterface, GetImplementedMethod), hooks seven graphics-engine
// driver functions (EnableDriver), makes a COemPDEV per device context
// (EnablePDEV), sends every band to ImageProcessing, and tears down in
// reverse (DisablePDEV, DisableDriver, Release, DllCanUnloadNow).
#ifndef LORVEX_PLUGIN_OEM_PLUGIN_H
#define LORVEX_PLUGIN_OEM_PLUGIN_H

#include <cstdint>

#include "oem_interfaces.h"

// Live plug-in objects and server locks; changed atomically.
extern LONG volatile g_cObjects;
extern LONG volatile g_cServerLocks;

// The plug-in's part of the printer's devmode: 16 bytes.
constexpr DWORD kDevmodeSignature = 0x4D534654;
constexpr DWORD kDevmodeVersion = 1;
struct OemDevmode {
  DWORD dwSize;
  DWORD dwSignature;
  DWORD dwVersion;
  DWORD dwPrivateData;
};
static_assert(sizeof(OemDevmode) == 16, "the private devmode is 16 bytes");

// Makes `out` a valid private devmode from `in`: with the same signature it
// takes in's bytes (never more than the 16 of the record), with another it
// takes nothing; then size 16, version 1, private field 0. False, with an
// error trace, when either record is missing.
BOOL ConvertOEMDevmode(const OemDevmode* in, OemDevmode* out);

// The per-device-context object: the host's own driver functions behind the
// hooks, and what the device context needs besides.
class COemPDEV {
 public:
  COemPDEV() = default;
  virtual ~COemPDEV();

  // The host's own functions behind our hooks. Those of DrvEnableSurface
  // and DrvQueryFont have no hook of ours; they are kept with the rest so
  // that the device context holds every function of the hooked indices.
  PFN pfnDrvEnableSurface = nullptr;
  PFN pfnDrvStartBanding = nullptr;
  PFN pfnDrvNextBand = nullptr;
  PFN pfnDrvStartPage = nullptr;
  PFN pfnDrvSendPage = nullptr;
  PFN pfnDrvStartDoc = nullptr;
  PFN pfnDrvEndDoc = nullptr;
  PFN pfnDrvTextOut = nullptr;
  PFN pfnDrvQueryFont = nullptr;
  // A buffer nothing fills today; the end of the document releases it.
  BYTE* pScratch = nullptr;
  DWORD cbScratch = 0;
  // The palette the device context was enabled with, as DEVINFO has it.
  HPALETTE hpalDefault = nullptr;
  // This device context's copy count: its own devmode's, at least 1. The
  // band processing reads this one, so that jobs rendered at once in one
  // spooler process keep their own counts.
  int16_t nCopies = 1;

  // Keeps the host's function for one of the hooked indices; others are
  // passed over.
  void Keep(ULONG index, PFN function);
};

// Finds the graphics engine's EngCreatePalette; null where the platform has
// none (Wine's gdi32, the native build), and the palette stays as the host
// gave it.
PFN_EngCreatePalette FindEngCreatePalette();
// Native tests stand in for the graphics engine with this.
void SetEngCreatePaletteForTests(PFN_EngCreatePalette function);

class COemUni2 final : public IPrintOemUni3 {
 public:
  COemUni2();
  COemUni2(const COemUni2&) = delete;
  COemUni2& operator=(const COemUni2&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IPrintOemCommon
  HRESULT STDMETHODCALLTYPE GetInfo(DWORD dwMode, PVOID pBuffer, DWORD cbSize,
                                    PDWORD pcbNeeded) override;
  HRESULT STDMETHODCALLTYPE DevMode(DWORD dwMode, POEMDMPARAM pOemDMParam) override;
  // IPrintOemEngine
  HRESULT STDMETHODCALLTYPE EnableDriver(DWORD DriverVersion, DWORD cbSize,
                                         PDRVENABLEDATA pded) override;
  HRESULT STDMETHODCALLTYPE DisableDriver() override;
  HRESULT STDMETHODCALLTYPE EnablePDEV(PDEVOBJ pdevobj, PWSTR pPrinterName, ULONG cPatterns,
                                       HSURF* phsurfPatterns, ULONG cjGdiInfo, GDIINFO* pGdiInfo,
                                       ULONG cjDevInfo, DEVINFO* pDevInfo, DRVENABLEDATA* pded,
                                       PDEVOEM* pDevOem) override;
  HRESULT STDMETHODCALLTYPE DisablePDEV(PDEVOBJ pdevobj) override;
  HRESULT STDMETHODCALLTYPE ResetPDEV(PDEVOBJ pdevobjOld, PDEVOBJ pdevobjNew) override;
  // IPrintOemUni
  HRESULT STDMETHODCALLTYPE PublishDriverInterface(IUnknown* pIUnknown) override;
  HRESULT STDMETHODCALLTYPE GetImplementedMethod(PSTR pMethodName) override;
  HRESULT STDMETHODCALLTYPE DriverDMS(PVOID, PVOID, DWORD, PDWORD) override;
  HRESULT STDMETHODCALLTYPE CommandCallback(PDEVOBJ pdevobj, DWORD dwCallbackID, DWORD dwCount,
                                            PDWORD pdwParams, INT* piResult) override;
  HRESULT STDMETHODCALLTYPE ImageProcessing(PDEVOBJ pdevobj, PBYTE pSrcBitmap,
                                            PBITMAPINFOHEADER pBitmapInfoHeader,
                                            PBYTE pColorTable, DWORD dwCallbackID,
                                            PIPPARAMS pIPParams, PBYTE* ppbResult) override;
  HRESULT STDMETHODCALLTYPE FilterGraphics(PDEVOBJ pdevobj, PBYTE pBuf, DWORD dwLen) override;
  HRESULT STDMETHODCALLTYPE Compression(PDEVOBJ, PBYTE, PBYTE, DWORD, DWORD, INT*) override;
  HRESULT STDMETHODCALLTYPE HalftonePattern(PDEVOBJ, PBYTE, DWORD, DWORD, DWORD, DWORD, PBYTE,
                                            DWORD) override;
  HRESULT STDMETHODCALLTYPE MemoryUsage(PDEVOBJ, POEMMEMORYUSAGE) override;
  HRESULT STDMETHODCALLTYPE TTYGetInfo(PDEVOBJ, DWORD, PVOID, DWORD, DWORD*) override;
  HRESULT STDMETHODCALLTYPE DownloadFontHeader(PDEVOBJ, PUNIFONTOBJ, DWORD*) override;
  HRESULT STDMETHODCALLTYPE DownloadCharGlyph(PDEVOBJ, PUNIFONTOBJ, HGLYPH, PDWORD, DWORD*) override;
  HRESULT STDMETHODCALLTYPE TTDownloadMethod(PDEVOBJ, PUNIFONTOBJ, DWORD*) override;
  HRESULT STDMETHODCALLTYPE OutputCharStr(PDEVOBJ, PUNIFONTOBJ, DWORD, DWORD, PVOID) override;
  HRESULT STDMETHODCALLTYPE SendFontCmd(PDEVOBJ, PUNIFONTOBJ, PFINVOCATION) override;
  HRESULT STDMETHODCALLTYPE TextOutAsBitmap(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*,
                                            BRUSHOBJ*, BRUSHOBJ*, POINTL*, MIX) override;
  // IPrintOemUni2
  HRESULT STDMETHODCALLTYPE GetPDEVAdjustment(PDEVOBJ, DWORD, PVOID, DWORD, BOOL*) override;
  HRESULT STDMETHODCALLTYPE WritePrinter(PDEVOBJ, PVOID, DWORD, PDWORD) override;
  // IPrintOemUni3
  HRESULT STDMETHODCALLTYPE DownloadPattern(PDEVOBJ, SURFOBJ*, BRUSHOBJ*, DWORD) override;
  HRESULT STDMETHODCALLTYPE SetBandSize(PDEVOBJ pdevobj, DWORD iFormat, DWORD dwPageWidthBytes,
                                        DWORD dwPageHeight, DWORD dwMaxHeight,
                                        DWORD* pdwRequiredHeight) override;

  bool HoldsHostInterface() const { return m_pOEMHelp != nullptr; }

 private:
  ~COemUni2();  // only the last Release deletes
  void ReleaseHostInterface();

  LONG volatile m_cRef;
  IPrintOemDriverUni* m_pOEMHelp;
};

class COemCF final : public IClassFactory {
 public:
  COemCF();
  COemCF(const COemCF&) = delete;
  COemCF& operator=(const COemCF&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override;

 private:
  ~COemCF() = default;
  LONG volatile m_cRef;
};

// The DLL's two entry points.
extern "C" HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv);
extern "C" HRESULT STDMETHODCALLTYPE DllCanUnloadNow();

#endif  // LORVEX_PLUGIN_OEM_PLUGIN_H
