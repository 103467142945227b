// print_host.cpp: the raster host of lorvex-print.
#include "print_host.h"

#include <cstring>

#include "host_support.h"

PrintHost::PrintHost(const PrintJob& job) : job_(job) {
  devobj_.dwSize = sizeof(DEVOBJ);
  devobj_.pDrvProcs = &procs_;
  devobj_.pPublicDM = &devmode_;
  devmode_.dmSize = sizeof(DEVMODEW);
  devmode_.dmOrientation = job.landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
  procs_.DrvWriteSpoolBuf = &WriteSpoolBuf;
  procs_.DrvGetDriverSetting = &GetDriverSetting;
}

HRESULT PrintHost::SendBand(BYTE* rows, DWORD width, DWORD height, DWORD rowBytes,
                            BandProcessor process) {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = static_cast<LONG>(width);
  header.biHeight = static_cast<LONG>(height);
  header.biPlanes = 1;
  header.biBitCount = 8;
  header.biSizeImage = rowBytes * height;
  IPPARAMS params{};
  params.dwSize = sizeof(params);
  params.pHalftoneOption = const_cast<PSTR>(job_.halftone.c_str());
  params.bBanding = job_.banding;
  params.bBlankBand = FALSE;
  PBYTE result = nullptr;
  return process(&devobj_, rows, &header, nullptr, kBandCallbackID, &params, &result);
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
