// print_host.cpp: the raster host of lorvex-print.
#include "print_host.h"


PrintHost::PrintHost(const PrintJob& job) : job_(job) {
  devobj_.dwSize = sizeof(DEVOBJ);
  devobj_.pDrvProcs = &procs_;
  devobj_.pPublicDM = &devmode_;
  devmode_.dmSize = sizeof(DEVMODEW);
  devmode_.dmOrientation = job.landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
  procs_.DrvWriteSpoolBuf = &WriteSpoolBuf;
  procs_.DrvGetDriverSetting = &GetDriverSetting;
}

HRESULT PrintHost::SendBand(HostBand& band, BandProcessor process) {
  IPPARAMS params = BandParams(job_.halftone, job_.banding);
  PBYTE result = nullptr;
  return process(&devobj_, band.rows.data(), &band.header, nullptr, kBandCallbackID, &params, &result);
}

DWORD APIENTRY PrintHost::WriteSpoolBuf(PDEVOBJ pdevobj, PVOID buffer, DWORD size) {
  PrintHost* host = reinterpret_cast<PrintHost*>(pdevobj);
  const BYTE* p = static_cast<const BYTE*>(buffer);
  host->stream_.insert(host->stream_.end(), p, p + size);
  return size;
}

BOOL APIENTRY PrintHost::GetDriverSetting(PVOID pdriverobj, PCSTR feature, PVOID output,
                                          DWORD size, PDWORD needed, PDWORD options) {
  return AnswerDriverSetting(reinterpret_cast<PrintHost*>(pdriverobj)->job_.settings, feature, output,
                             size, needed, options);
}
