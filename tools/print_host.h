// print_host.h: a raster host of our own that drives the plug-in's band
// processing the way the platform's driver does: it answers the job's
// feature settings, hands over bands, and collects the spool writes.
#ifndef LORVEX_TOOLS_PRINT_HOST_H
#define LORVEX_TOOLS_PRINT_HOST_H

#include <map>
#include <string>
#include <vector>

#include "band_host.h"
#include "host_support.h"

// The hooks for the plug-in's ProcessBand; the Windows build can route the
// calls through LORVEX.DLL instead.
typedef HRESULT (*BandProcessor)(PDEVOBJ pdevobj, PBYTE pSrcBitmap,
                                 PBITMAPINFOHEADER pBitmapInfoHeader, PBYTE pColorTable,
                                 DWORD dwCallbackID, PIPPARAMS pIPParams, PBYTE* ppbResult);

struct PrintJob {
  std::map<std::string, std::string> settings;  // feature name -> option name
  std::string halftone = HalftoneOptionName(kHalftoneThreshold);
  bool landscape = false;
  bool banding = false;
};

class PrintHost {
 public:
  explicit PrintHost(const PrintJob& job);
  PrintHost(const PrintHost&) = delete;
  PrintHost& operator=(const PrintHost&) = delete;

  // Hands one band to the band processing and answers what it answered.
  HRESULT SendBand(HostBand& band, BandProcessor process = &ProcessBand);

  PDEVOBJ pdevobj() { return &devobj_; }
  const std::vector<BYTE>& stream() const { return stream_; }

 private:
  static DWORD APIENTRY WriteSpoolBuf(PDEVOBJ pdevobj, PVOID buffer, DWORD size);
  static BOOL APIENTRY GetDriverSetting(PVOID pdriverobj, PCSTR feature, PVOID output,
                                        DWORD size, PDWORD needed, PDWORD options);

  DEVOBJ devobj_{};  // first: the callbacks find the host from the device object
  DRVPROCS procs_{};
  DEVMODEW devmode_{};
  PrintJob job_;
  std::vector<BYTE> stream_;
};

#endif  // LORVEX_TOOLS_PRINT_HOST_H
