// host_support.h: pieces every raster host of ours shares: the answer to a
// feature-setting query, and the host interface with nothing implemented.
#ifndef LORVEX_TOOLS_HOST_SUPPORT_H
#define LORVEX_TOOLS_HOST_SUPPORT_H

#include <cstring>
#include <map>
#include <string>

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

#endif  // LORVEX_TOOLS_HOST_SUPPORT_H
