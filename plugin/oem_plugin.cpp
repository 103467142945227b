// oem_plugin.cpp: the COM shell of the render plug-in.
#include "oem_plugin.h"

#include <cstring>
#include <new>

#include "band_host.h"
#include "trace.h"

LONG volatile g_cObjects = 0;
LONG volatile g_cServerLocks = 0;

namespace {

// The methods the host may call beyond the required ones. OutputCharStr and
// TextOutAsBitmap are reported although they answer E_NOTIMPL.
const char* const kImplementedMethods[] = {"CommandCallback", "FilterGraphics", "ImageProcessing",
                                           "OutputCharStr",   "SetBandSize",    "TextOutAsBitmap"};

constexpr DWORD kDriverVersion = 0x00010000;

PFN_EngCreatePalette g_engCreatePaletteForTests = nullptr;

// Function pointers of one type to another, as the host's tables need them.
template <typename To, typename From>
To FunctionCast(From function) {
  return reinterpret_cast<To>(reinterpret_cast<void (*)()>(function));
}

void WriteDefaultDevmode(OemDevmode* out) {
  out->dwSize = sizeof(OemDevmode);
  out->dwSignature = kDevmodeSignature;
  out->dwVersion = kDevmodeVersion;
  out->dwPrivateData = 0;
}

// The device context's COemPDEV, found from a surface through its device.
COemPDEV* PdevOf(SURFOBJ* pso) {
  if (!pso || !pso->dhpdev) return nullptr;
  PDEVOBJ pdevobj = reinterpret_cast<PDEVOBJ>(pso->dhpdev);
  return static_cast<COemPDEV*>(pdevobj->pdevOEM);
}

// Each hook calls the host's own function for its index with its arguments
// unchanged and answers its result; without one it answers FALSE.
BOOL APIENTRY HookStartBanding(SURFOBJ* pso, POINTL* pptl) {
  COemPDEV* pdev = PdevOf(pso);
  if (!pdev || !pdev->pfnDrvStartBanding) return FALSE;
  return FunctionCast<PFN_DrvStartBanding>(pdev->pfnDrvStartBanding)(pso, pptl);
}

BOOL APIENTRY HookNextBand(SURFOBJ* pso, POINTL* pptl) {
  COemPDEV* pdev = PdevOf(pso);
  if (!pdev || !pdev->pfnDrvNextBand) return FALSE;
  return FunctionCast<PFN_DrvNextBand>(pdev->pfnDrvNextBand)(pso, pptl);
}

BOOL APIENTRY HookStartPage(SURFOBJ* pso) {
  COemPDEV* pdev = PdevOf(pso);
  if (!pdev || !pdev->pfnDrvStartPage) return FALSE;
  return FunctionCast<PFN_DrvStartPage>(pdev->pfnDrvStartPage)(pso);
}

BOOL APIENTRY HookSendPage(SURFOBJ* pso) {
  COemPDEV* pdev = PdevOf(pso);
  if (!pdev || !pdev->pfnDrvSendPage) return FALSE;
  return FunctionCast<PFN_DrvSendPage>(pdev->pfnDrvSendPage)(pso);
}

BOOL APIENTRY HookStartDoc(SURFOBJ* pso, LPWSTR pwszDocName, DWORD dwJobId) {
  COemPDEV* pdev = PdevOf(pso);
  if (!pdev || !pdev->pfnDrvStartDoc) return FALSE;
  return FunctionCast<PFN_DrvStartDoc>(pdev->pfnDrvStartDoc)(pso, pwszDocName, dwJobId);
}

BOOL APIENTRY HookEndDoc(SURFOBJ* pso, FLONG fl) {
  COemPDEV* pdev = PdevOf(pso);
  if (!pdev) return FALSE;
  // A buffer whose count says 0 is still memory: it is freed too.
  if (pdev->pScratch) LocalFree(pdev->pScratch);
  pdev->pScratch = nullptr;
  pdev->cbScratch = 0;
  if (!pdev->pfnDrvEndDoc) return FALSE;
  return FunctionCast<PFN_DrvEndDoc>(pdev->pfnDrvEndDoc)(pso, fl);
}

BOOL APIENTRY HookTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra,
                          RECTL* prclOpaque, BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque,
                          POINTL* pptlOrg, MIX mix) {
  COemPDEV* pdev = PdevOf(pso);
  if (!pdev || !pdev->pfnDrvTextOut) return FALSE;
  return FunctionCast<PFN_DrvTextOut>(pdev->pfnDrvTextOut)(pso, pstro, pfo, pco, prclExtra,
                                                               prclOpaque, pboFore, pboOpaque,
                                                               pptlOrg, mix);
}

// The hooks handed to the host, in this order.
const DRVFN kHooks[] = {
    {INDEX_DrvStartBanding, FunctionCast<PFN>(&HookStartBanding)},
    {INDEX_DrvNextBand, FunctionCast<PFN>(&HookNextBand)},
    {INDEX_DrvStartPage, FunctionCast<PFN>(&HookStartPage)},
    {INDEX_DrvSendPage, FunctionCast<PFN>(&HookSendPage)},
    {INDEX_DrvStartDoc, FunctionCast<PFN>(&HookStartDoc)},
    {INDEX_DrvEndDoc, FunctionCast<PFN>(&HookEndDoc)},
    {INDEX_DrvTextOut, FunctionCast<PFN>(&HookTextOut)},
};

}  // namespace

// ---- private devmode -------------------------------------------------------

BOOL ConvertOEMDevmode(const OemDevmode* in, OemDevmode* out) {
  if (!in || !out) {
    Trace(trace_lines::kConvertInvalid);
    return FALSE;
  }
  out->dwPrivateData = 0;
  if (in->dwSignature == out->dwSignature) {
    // A corrupt size must not take us past the 16-byte record.
    DWORD size = in->dwSize < out->dwSize ? in->dwSize : out->dwSize;
    if (size > sizeof(OemDevmode)) size = sizeof(OemDevmode);
    std::memmove(out, in, size);
  } else {
    out->dwSignature = kDevmodeSignature;
  }
  out->dwSize = sizeof(OemDevmode);
  out->dwVersion = kDevmodeVersion;
  return TRUE;
}

// ---- COemPDEV ----------------------------------------------------------------

COemPDEV::~COemPDEV() {
  if (pScratch) LocalFree(pScratch);
}

void COemPDEV::Keep(ULONG index, PFN function) {
  switch (index) {
    case INDEX_DrvEnableSurface: pfnDrvEnableSurface = function; break;
    case INDEX_DrvStartBanding: pfnDrvStartBanding = function; break;
    case INDEX_DrvNextBand: pfnDrvNextBand = function; break;
    case INDEX_DrvStartPage: pfnDrvStartPage = function; break;
    case INDEX_DrvSendPage: pfnDrvSendPage = function; break;
    case INDEX_DrvStartDoc: pfnDrvStartDoc = function; break;
    case INDEX_DrvEndDoc: pfnDrvEndDoc = function; break;
    case INDEX_DrvTextOut: pfnDrvTextOut = function; break;
    case INDEX_DrvQueryFont: pfnDrvQueryFont = function; break;
    default: break;
  }
}

PFN_EngCreatePalette FindEngCreatePalette() {
#if defined(_WIN32)
  // Looked up at run time: a static import would keep the DLL from loading
  // where gdi32 has no such export.
  HMODULE gdi = GetModuleHandleA("gdi32.dll");
  if (!gdi) gdi = LoadLibraryA("gdi32.dll");
  if (!gdi) return nullptr;
  return FunctionCast<PFN_EngCreatePalette>(GetProcAddress(gdi, "EngCreatePalette"));
#else
  return g_engCreatePaletteForTests;
#endif
}

void SetEngCreatePaletteForTests(PFN_EngCreatePalette function) { g_engCreatePaletteForTests = function; }

// ---- COemUni2 ----------------------------------------------------------------

COemUni2::COemUni2() : m_cRef(1), m_pOEMHelp(nullptr) {}

COemUni2::~COemUni2() = default;

void COemUni2::ReleaseHostInterface() {
  if (m_pOEMHelp) {
    m_pOEMHelp->Release();
    m_pOEMHelp = nullptr;
  }
}

HRESULT STDMETHODCALLTYPE COemUni2::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown)) {
    Trace(trace_lines::kQueryIUnknown);
  } else if (IsEqualIID(riid, IID_IPrintOemUni2)) {
    Trace(trace_lines::kQueryUni2);
  } else if (IsEqualIID(riid, IID_IPrintOemUni3)) {
    Trace(trace_lines::kQueryUni3);
  } else {
    Trace(trace_lines::kQueryRefused);
    TraceInterfaceId(riid);
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  *ppv = static_cast<IPrintOemUni3*>(this);
  static_cast<IUnknown*>(*ppv)->AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE COemUni2::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_cRef)); }

ULONG STDMETHODCALLTYPE COemUni2::Release() {
  const LONG count = InterlockedDecrement(&m_cRef);
  if (count != 0) return static_cast<ULONG>(count);
  ReleaseHostInterface();
  InterlockedDecrement(&g_cObjects);
  delete this;
  return 0;
}

HRESULT STDMETHODCALLTYPE COemUni2::GetInfo(DWORD dwMode, PVOID pBuffer, DWORD cbSize,
                                            PDWORD pcbNeeded) {
  constexpr DWORD kSignatureMode = 1;
  constexpr DWORD kVersionMode = 3;
  if (!pcbNeeded || (dwMode != kSignatureMode && dwMode != kVersionMode)) {
    Trace(trace_lines::kGetInfoInvalid);
    SetLastError(ERROR_INVALID_PARAMETER);
    return E_FAIL;
  }
  *pcbNeeded = sizeof(DWORD);
  if (cbSize < sizeof(DWORD) || !pBuffer) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return E_FAIL;
  }
  const DWORD value = dwMode == kSignatureMode ? kDevmodeSignature : kDevmodeVersion;
  std::memcpy(pBuffer, &value, sizeof(value));
  return S_OK;
}

HRESULT STDMETHODCALLTYPE COemUni2::DevMode(DWORD dwMode, POEMDMPARAM pOemDMParam) {
  enum : DWORD { kSize = 1, kDefault = 2, kConvert = 3, kMerge = 4 };
  if (!pOemDMParam || dwMode < kSize || dwMode > kMerge) {
    Trace(trace_lines::kDevModeInvalid);
    SetLastError(ERROR_INVALID_PARAMETER);
    return E_FAIL;
  }
  OemDevmode* in = static_cast<OemDevmode*>(pOemDMParam->pOEMDMIn);
  OemDevmode* out = static_cast<OemDevmode*>(pOemDMParam->pOEMDMOut);
  switch (dwMode) {
    case kSize:
      pOemDMParam->cbBufSize = sizeof(OemDevmode);
      break;
    case kDefault:
      if (out) WriteDefaultDevmode(out);
      break;
    case kConvert:
      ConvertOEMDevmode(in, out);
      break;
    case kMerge:
      // A merge always ends with the default record.
      ConvertOEMDevmode(in, out);
      if (out) WriteDefaultDevmode(out);
      break;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE COemUni2::EnableDriver(DWORD, DWORD, PDRVENABLEDATA pded) {
  if (!pded) return E_POINTER;
  pded->iDriverVersion = kDriverVersion;
  pded->c = sizeof(kHooks) / sizeof(kHooks[0]);
  pded->pdrvfn = const_cast<DRVFN*>(kHooks);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE COemUni2::DisableDriver() {
  ReleaseHostInterface();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE COemUni2::EnablePDEV(PDEVOBJ pdevobj, PWSTR, ULONG, HSURF*, ULONG,
                                               GDIINFO* pGdiInfo, ULONG, DEVINFO* pDevInfo,
                                               DRVENABLEDATA* pded, PDEVOEM* pDevOem) {
  if (!pDevOem) return E_POINTER;
  *pDevOem = nullptr;
  // The process-wide count follows the most recent device context, for
  // whatever reads it; each device context keeps its own as well.
  int16_t copies = g_nCopies.load();
  if (pdevobj && pdevobj->pPublicDM) {
    const short asked = pdevobj->pPublicDM->dmCopies;
    copies = static_cast<int16_t>(asked > 1 ? asked : 1);
    g_nCopies = copies;
  }

  COemPDEV* pdev = new (std::nothrow) COemPDEV;
  if (!pdev) return E_OUTOFMEMORY;
  pdev->nCopies = copies;
  if (pded && pded->pdrvfn) {
    for (ULONG i = 0; i < pded->c; ++i) pdev->Keep(pded->pdrvfn[i].iFunc, pded->pdrvfn[i].pfn);
  }

  if (pDevInfo) {
    if (pGdiInfo && pGdiInfo->cBitsPixel == 24) {
      if (PFN_EngCreatePalette create = FindEngCreatePalette()) {
        pDevInfo->hpalDefault = create(PAL_BGR, 0, nullptr, 0, 0, 0);
      }
    }
    pdev->hpalDefault = pDevInfo->hpalDefault;
  }
  *pDevOem = pdev;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE COemUni2::DisablePDEV(PDEVOBJ pdevobj) {
  if (pdevobj && pdevobj->pdevOEM) {
    delete static_cast<COemPDEV*>(pdevobj->pdevOEM);
    pdevobj->pdevOEM = nullptr;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE COemUni2::ResetPDEV(PDEVOBJ, PDEVOBJ) { return S_OK; }

HRESULT STDMETHODCALLTYPE COemUni2::PublishDriverInterface(IUnknown* pIUnknown) {
  if (!m_pOEMHelp) {
    void* help = nullptr;
    if (!pIUnknown || FAILED(pIUnknown->QueryInterface(IID_IPrintOemDriverUni, &help)) || !help) {
      m_pOEMHelp = nullptr;
      return E_FAIL;
    }
    m_pOEMHelp = static_cast<IPrintOemDriverUni*>(help);
  }
  DbgTrace("PublishDriverInterface");
  return S_OK;
}

HRESULT STDMETHODCALLTYPE COemUni2::GetImplementedMethod(PSTR pMethodName) {
  if (!pMethodName) return S_FALSE;
  for (const char* name : kImplementedMethods) {
    if (std::strcmp(pMethodName, name) == 0) return S_OK;
  }
  return S_FALSE;
}

HRESULT STDMETHODCALLTYPE COemUni2::DriverDMS(PVOID, PVOID, DWORD, PDWORD) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE COemUni2::CommandCallback(PDEVOBJ, DWORD, DWORD, PDWORD, INT* piResult) {
  if (piResult) *piResult = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE COemUni2::ImageProcessing(PDEVOBJ pdevobj, PBYTE pSrcBitmap,
                                                    PBITMAPINFOHEADER pBitmapInfoHeader,
                                                    PBYTE pColorTable, DWORD dwCallbackID,
                                                    PIPPARAMS pIPParams, PBYTE* ppbResult) {
  return ProcessBand(pdevobj, pSrcBitmap, pBitmapInfoHeader, pColorTable, dwCallbackID, pIPParams,
                     ppbResult);
}

HRESULT STDMETHODCALLTYPE COemUni2::FilterGraphics(PDEVOBJ pdevobj, PBYTE pBuf, DWORD dwLen) {
  // Before the host has published its interface there is nowhere to write.
  if (!m_pOEMHelp) return E_FAIL;
  DWORD written = 0;
  m_pOEMHelp->DrvWriteSpoolBuf(pdevobj, pBuf, dwLen, &written);
  return written == dwLen ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE COemUni2::Compression(PDEVOBJ, PBYTE, PBYTE, DWORD, DWORD, INT*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE COemUni2::HalftonePattern(PDEVOBJ, PBYTE, DWORD, DWORD, DWORD, DWORD, PBYTE,
                                                    DWORD) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE COemUni2::MemoryUsage(PDEVOBJ, POEMMEMORYUSAGE) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE COemUni2::TTYGetInfo(PDEVOBJ, DWORD, PVOID, DWORD, DWORD*) {
  DbgTrace("TTYGetInfo");
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COemUni2::DownloadFontHeader(PDEVOBJ, PUNIFONTOBJ, DWORD*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE COemUni2::DownloadCharGlyph(PDEVOBJ, PUNIFONTOBJ, HGLYPH, PDWORD, DWORD*) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE COemUni2::TTDownloadMethod(PDEVOBJ, PUNIFONTOBJ, DWORD*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE COemUni2::OutputCharStr(PDEVOBJ, PUNIFONTOBJ, DWORD, DWORD, PVOID) {
  DbgTrace("OutputCharStr");
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COemUni2::SendFontCmd(PDEVOBJ, PUNIFONTOBJ, PFINVOCATION) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE COemUni2::TextOutAsBitmap(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*,
                                                    RECTL*, BRUSHOBJ*, BRUSHOBJ*, POINTL*, MIX) {
  DbgTrace("TextOutAsBitmap");
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COemUni2::GetPDEVAdjustment(PDEVOBJ, DWORD, PVOID, DWORD, BOOL*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE COemUni2::WritePrinter(PDEVOBJ, PVOID, DWORD, PDWORD) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE COemUni2::DownloadPattern(PDEVOBJ, SURFOBJ*, BRUSHOBJ*, DWORD) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE COemUni2::SetBandSize(PDEVOBJ, DWORD iFormat, DWORD dwPageWidthBytes,
                                                DWORD dwPageHeight, DWORD dwMaxHeight,
                                                DWORD* pdwRequiredHeight) {
  DbgTrace("SetBandSize iFormat=%d, dwPageWidthBytes=%d, dwPageHeight=%d, dwMaxHeight=%d, "
           "pdwRequiredHeight=%d",
           static_cast<int>(iFormat), static_cast<int>(dwPageWidthBytes),
           static_cast<int>(dwPageHeight), static_cast<int>(dwMaxHeight),
           pdwRequiredHeight ? static_cast<int>(*pdwRequiredHeight) : 0);
  if (!pdwRequiredHeight) return E_POINTER;
  *pdwRequiredHeight = dwMaxHeight;
  return S_OK;
}

// ---- COemCF ------------------------------------------------------------------

COemCF::COemCF() : m_cRef(1) {}

HRESULT STDMETHODCALLTYPE COemCF::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE COemCF::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_cRef)); }

ULONG STDMETHODCALLTYPE COemCF::Release() {
  const LONG count = InterlockedDecrement(&m_cRef);
  if (count == 0) delete this;
  return static_cast<ULONG>(count);
}

HRESULT STDMETHODCALLTYPE COemCF::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (pUnkOuter) return CLASS_E_NOAGGREGATION;
  COemUni2* object = new (std::nothrow) COemUni2;
  if (!object) return E_OUTOFMEMORY;
  InterlockedIncrement(&g_cObjects);
  const HRESULT hr = object->QueryInterface(riid, ppv);
  object->Release();
  return hr;
}

HRESULT STDMETHODCALLTYPE COemCF::LockServer(BOOL fLock) {
  if (fLock) {
    InterlockedIncrement(&g_cServerLocks);
  } else {
    InterlockedDecrement(&g_cServerLocks);
  }
  return S_OK;
}

// ---- exports -----------------------------------------------------------------

extern "C" HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!IsEqualCLSID(rclsid, CLSID_OEMRENDER)) {
    Trace(trace_lines::kClassNotAvailable);
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  COemCF* factory = new (std::nothrow) COemCF;
  if (!factory) return E_OUTOFMEMORY;
  const HRESULT hr = factory->QueryInterface(riid, ppv);
  factory->Release();
  return hr;
}

extern "C" HRESULT STDMETHODCALLTYPE DllCanUnloadNow() {
  return (g_cObjects == 0 && g_cServerLocks == 0) ? S_OK : S_FALSE;
}
