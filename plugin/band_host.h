// band_host.h: the host-facing side of band processing.
#ifndef LORVEX_PLUGIN_BAND_HOST_H
#define LORVEX_PLUGIN_BAND_HOST_H

#include <atomic>
#include <cstdint>
#include <string>

#include "band_pipeline.h"
#include "host_records.h"

// The job's copy count, process-wide: the most recent EnablePDEV sets it (at
// least 1). Initially 1. A band reads its device context's own count, and
// this one only when the host made no device context through EnablePDEV.
extern std::atomic<int16_t> g_nCopies;

// The callback ID the printer description gives the band processing.
constexpr DWORD kBandCallbackID = 3;

// Reads the selected option of a feature through the host's
// DrvGetDriverSetting (size query, then the text into a zeroed buffer).
// Answers an empty text when the host has no such entry, when the buffer
// cannot be had, or when the host asks for an absurd size. The text is
// always terminated, whatever the host leaves in the buffer.
std::string ReadDriverSetting(PDEVOBJ pdevobj, const char* feature);

// Reads "HorizontalOffset", "Translate180" and "SavePaperMode", in that order.
BandSettings ReadBandSettings(PDEVOBJ pdevobj);

// The band processing as the host calls it. Reads the settings, then:
//  - E_POINTER when ppbResult is null;
//  - E_FAIL with *ppbResult null and nothing written when the call is not for
//    this pipeline (callback ID other than 3), the band is blank, or there is
//    no usable band (missing records, no rows or columns, rows shorter than
//    the width, no memory for its images or records, rows too wide to say);
// Rows are biSizeImage / biHeight bytes apart (rows padded to 4 bytes when
// biSizeImage is 0, as for any uncompressed DIB).
//  - S_OK with *ppbResult set to the value 1 once the band has been written
//    through the host's DrvWriteSpoolBuf.
HRESULT ProcessBand(PDEVOBJ pdevobj, PBYTE pSrcBitmap, PBITMAPINFOHEADER pBitmapInfoHeader,
                    PBYTE pColorTable, DWORD dwCallbackID, PIPPARAMS pIPParams, PBYTE* ppbResult);

#endif  // LORVEX_PLUGIN_BAND_HOST_H
