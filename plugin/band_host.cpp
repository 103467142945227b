// band_host.cpp: unpacks the host's band call for the band pipeline and hands
// its records to the host's spool writer.
#include "band_host.h"

#include <cstring>

#include "oem_plugin.h"

std::atomic<int16_t> g_nCopies{1};

namespace {

// No option name is longer than this; a host asking for more is answered
// with the default.
constexpr DWORD kMaxSettingBytes = 4096;

class HostSpool : public SpoolSink {
 public:
  explicit HostSpool(PDEVOBJ pdevobj) : pdevobj_(pdevobj) {}
  void Write(const BYTE* data, DWORD size) override {
    // The host's result is not examined: a short write does not stop the band.
    pdevobj_->pDrvProcs->DrvWriteSpoolBuf(pdevobj_, const_cast<BYTE*>(data), size);
  }

 private:
  PDEVOBJ pdevobj_;
};

}  // namespace

std::string ReadDriverSetting(PDEVOBJ pdevobj, const char* feature) {
  if (!pdevobj || !pdevobj->pDrvProcs || !pdevobj->pDrvProcs->DrvGetDriverSetting) return {};
  PFN_DrvGetDriverSetting get = pdevobj->pDrvProcs->DrvGetDriverSetting;
  DWORD needed = 0;
  DWORD options = 0;
  get(pdevobj, feature, nullptr, 0, &needed, &options);
  if (needed > kMaxSettingBytes) return {};
  // One byte more than asked for, left zero, so the text always ends.
  char* buffer = static_cast<char*>(LocalAlloc(LMEM_ZEROINIT, needed + 1));
  if (!buffer) return {};
  if (needed) get(pdevobj, feature, buffer, needed, &needed, &options);
  std::string text(buffer);
  LocalFree(buffer);
  return text;
}

BandSettings ReadBandSettings(PDEVOBJ pdevobj) {
  BandSettings settings;
  settings.offsetNumber = ParseHorizontalOffset(ReadDriverSetting(pdevobj, "HorizontalOffset").c_str());
  settings.halfTurn = ParseTranslate180(ReadDriverSetting(pdevobj, "Translate180").c_str());
  settings.savePaper = ParseSavePaperMode(ReadDriverSetting(pdevobj, "SavePaperMode").c_str());
  return settings;
}

HRESULT ProcessBand(PDEVOBJ pdevobj, PBYTE pSrcBitmap, PBITMAPINFOHEADER pBitmapInfoHeader,
                    PBYTE /*pColorTable: the band is always 8-bit gray*/, DWORD dwCallbackID,
                    PIPPARAMS pIPParams, PBYTE* ppbResult) {
  if (!ppbResult) return E_POINTER;
  *ppbResult = nullptr;
  if (!pdevobj) return E_FAIL;

  BandJob job;
  job.settings = ReadBandSettings(pdevobj);

  if (dwCallbackID != kBandCallbackID || !pIPParams || pIPParams->bBlankBand) return E_FAIL;
  if (!pSrcBitmap || !pBitmapInfoHeader || !pdevobj->pDrvProcs ||
      !pdevobj->pDrvProcs->DrvWriteSpoolBuf) {
    return E_FAIL;
  }
  const LONG width = pBitmapInfoHeader->biWidth;
  const LONG height = pBitmapInfoHeader->biHeight;
  if (width <= 0 || height <= 0) return E_FAIL;

  BandInput band;
  band.rows = pSrcBitmap;
  band.width = static_cast<DWORD>(width);
  band.height = static_cast<DWORD>(height);
  // A size of 0 means, as for any uncompressed DIB, rows padded to 4 bytes.
  band.rowBytes = pBitmapInfoHeader->biSizeImage
                      ? pBitmapInfoHeader->biSizeImage / band.height
                      : ((band.width + 3) / 4) * 4;

  job.halftone = pIPParams->pHalftoneOption;
  // Without a public devmode the band prints as portrait.
  job.landscape = pdevobj->pPublicDM && pdevobj->pPublicDM->dmOrientation == DMORIENT_LANDSCAPE;
  job.banding = pIPParams->bBanding != 0;
  // The device context's own copy count; a host that made none through
  // EnablePDEV (our tools) has the process-wide one.
  job.copies = pdevobj->pdevOEM ? static_cast<const COemPDEV*>(pdevobj->pdevOEM)->nCopies : g_nCopies.load();

  HostSpool spool(pdevobj);
  if (RenderBand(band, job, spool) != BandOutcome::kSent) return E_FAIL;
  *ppbResult = reinterpret_cast<PBYTE>(static_cast<uintptr_t>(1));
  return S_OK;
}
