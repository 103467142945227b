// host_support.h: pieces every raster host of ours shares: the answer to a
// feature-setting query, and the host interface with nothing implemented.
#ifndef LORVEX_TOOLS_HOST_SUPPORT_H
#define LORVEX_TOOLS_HOST_SUPPORT_H

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "oem_interfaces.h"

// Answers DrvGetDriverSetting from a table of feature -> option name: the
// needed size (the text and its end), and the text when the buffer holds it.
// A feature not in the table has the empty option.
inline BOOL AnswerDriverSetting(const std::map<std::string, std::string>& settings, PCSTR feature,
                                PVOID output, DWORD size, PDWORD needed, PDWORD options) {
  const auto it = settings.find(feature ? feature : "");
  const std::string value = it == settings.end() ? std::string() : it->second;
  const DWORD want = static_cast<DWORD>(value.size() + 1);
  if (options) *options = 1;
  if (needed) *needed = want;
  if (!output || size < want) return FALSE;
  std::memcpy(output, value.c_str(), want);
  return TRUE;
}

// The host interface published to the plug-in, every helper answering
// E_NOTIMPL; hosts override what they offer.
class DriverUniBase : public IPrintOemDriverUni {
 public:
  HRESULT STDMETHODCALLTYPE DrvGetDriverSetting(PVOID, PCSTR, PVOID, DWORD, PDWORD, PDWORD) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DrvWriteSpoolBuf(PDEVOBJ, PVOID, DWORD, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DrvXMoveTo(PDEVOBJ, INT, DWORD, INT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DrvYMoveTo(PDEVOBJ, INT, DWORD, INT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DrvGetStandardVariable(PDEVOBJ, DWORD, PVOID, DWORD, PDWORD) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DrvGetGPDData(PDEVOBJ, DWORD, PVOID, PVOID, DWORD, PDWORD) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DrvUniTextOut(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*, BRUSHOBJ*,
                                          BRUSHOBJ*, POINTL*, MIX) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DrvWriteAbortBuf(PDEVOBJ, PVOID, DWORD, DWORD) override { return E_NOTIMPL; }
};

// One band as the raster host hands it over: 8-bit gray rows padded to four
// bytes, first row first, with its bitmap header.
struct HostBand {
  BITMAPINFOHEADER header{};
  std::vector<BYTE> rows;
};

// Cuts a band out of a page of `width` x `height` gray bytes (top row first).
// Portrait bands are the rows first .. first+count-1; landscape bands are
// runs of columns counted from the right edge, which the plug-in's quarter
// turn brings to the top.
inline HostBand CutBand(const BYTE* page, DWORD width, DWORD height, bool landscape, DWORD first,
                        DWORD count) {
  HostBand band;
  const DWORD bw = landscape ? count : width;
  const DWORD bh = landscape ? height : count;
  const DWORD stride = (bw + 3) / 4 * 4;
  band.rows.assign(size_t{stride} * bh, 255);
  for (DWORD r = 0; r < bh; ++r) {
    const size_t from = landscape ? size_t{r} * width + (width - first - count) : size_t{first + r} * width;
    std::memcpy(&band.rows[size_t{r} * stride], page + from, bw);
  }
  band.header.biSize = sizeof(BITMAPINFOHEADER);
  band.header.biWidth = static_cast<LONG>(bw);
  band.header.biHeight = static_cast<LONG>(bh);
  band.header.biPlanes = 1;
  band.header.biBitCount = 8;
  band.header.biSizeImage = stride * bh;
  return band;
}

// The band parameters of a job: its halftone option and whether the host
// renders in bands.
inline IPPARAMS BandParams(const std::string& halftone, bool banding) {
  IPPARAMS params{};
  params.dwSize = sizeof(params);
  params.pHalftoneOption = const_cast<PSTR>(halftone.c_str());
  params.bBanding = banding;
  params.bBlankBand = FALSE;
  return params;
}

#endif  // LORVEX_TOOLS_HOST_SUPPORT_H
