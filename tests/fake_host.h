// fake_host.h: a raster host of our own for tests: answers feature settings
// from a table and keeps every spool write.
#ifndef LORVEX_TESTS_FAKE_HOST_H
#define LORVEX_TESTS_FAKE_HOST_H

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "band_host.h"

struct FakeHost {
  DEVOBJ devobj{};  // first, so the host finds itself from the device object
  DRVPROCS procs{};
  DEVMODEW devmode{};
  std::map<std::string, std::string> settings;
  std::vector<std::vector<BYTE>> writes;
  std::vector<std::string> queried;
  // Misbehaviours a host may show.
  bool leaveUnterminated = false;  // fills the whole buffer, no NUL
  bool answerZeroSize = false;     // says 0 bytes are needed

  FakeHost() {
    devobj.dwSize = sizeof(DEVOBJ);
    devobj.pDrvProcs = &procs;
    devobj.pPublicDM = &devmode;
    devmode.dmSize = sizeof(DEVMODEW);
    devmode.dmOrientation = DMORIENT_PORTRAIT;
    devmode.dmCopies = 1;
    procs.DrvWriteSpoolBuf = &WriteSpoolBuf;
    procs.DrvGetDriverSetting = &GetDriverSetting;
  }
  FakeHost(const FakeHost&) = delete;
  FakeHost& operator=(const FakeHost&) = delete;

  PDEVOBJ pdevobj() { return &devobj; }

  std::vector<BYTE> Stream() const {
    std::vector<BYTE> all;
    for (const auto& w : writes) all.insert(all.end(), w.begin(), w.end());
    return all;
  }

  static FakeHost* From(PVOID pdevobj) { return reinterpret_cast<FakeHost*>(pdevobj); }

  static DWORD APIENTRY WriteSpoolBuf(PDEVOBJ pdevobj, PVOID buffer, DWORD size) {
    const BYTE* p = static_cast<const BYTE*>(buffer);
    From(pdevobj)->writes.emplace_back(p, p + size);
    return size;
  }

  static BOOL APIENTRY GetDriverSetting(PVOID pdriverobj, PCSTR feature, PVOID output, DWORD size,
                                        PDWORD needed, PDWORD options) {
    FakeHost* host = From(pdriverobj);
    host->queried.push_back(feature);
    const auto it = host->settings.find(feature);
    const std::string value = it == host->settings.end() ? "" : it->second;
    const DWORD want = host->leaveUnterminated ? static_cast<DWORD>(value.size())
                                               : static_cast<DWORD>(value.size() + 1);
    if (options) *options = 1;
    if (needed) *needed = host->answerZeroSize ? 0 : want;
    if (!output || size < want) return FALSE;
    std::memcpy(output, value.c_str(), want);
    return TRUE;
  }
};

#endif  // LORVEX_TESTS_FAKE_HOST_H
