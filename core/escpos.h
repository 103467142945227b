// escpos.h: the ESC/POS commands our printers are sent, as named bytes and
// small builders: the band pipeline's raster records and feeds, the cut,
// the drawer pulse, and the status requests of the printer application.
#ifndef LORVEX_CORE_ESCPOS_H
#define LORVEX_CORE_ESCPOS_H

#include <cstddef>
#include <cstdint>

#include "lxtypes.h"

namespace escpos {

constexpr BYTE kDLE = 0x10;
constexpr BYTE kEOT = 0x04;
constexpr BYTE kESC = 0x1B;
constexpr BYTE kGS = 0x1D;

// GS v 0 m xL xH yL yH: print the raster bit image that follows, yL + 256 yH
// rows of xL + 256 xH bytes, a set bit burning a dot, the leftmost dot in the
// most significant bit. m = 0: normal size. It does not advance the paper.
constexpr size_t kRasterHeaderSize = 8;
constexpr uint32_t kMaxRasterRowBytes = 0xFFFF;
inline void PutRasterHeader(BYTE* out, uint32_t rowBytes, uint32_t rows) {
  out[0] = kGS;
  out[1] = 'v';
  out[2] = '0';
  out[3] = 0x00;                                      // m: normal size
  out[4] = static_cast<BYTE>(rowBytes & 0xFF);        // xL
  out[5] = static_cast<BYTE>((rowBytes >> 8) & 0xFF); // xH
  out[6] = static_cast<BYTE>(rows & 0xFF);            // yL
  out[7] = static_cast<BYTE>((rows >> 8) & 0xFF);     // yH
}

// ESC J n: print the buffer and feed the paper n dot rows.
constexpr size_t kFeedSize = 3;
inline void PutFeed(BYTE* out, BYTE dots) {
  out[0] = kESC;
  out[1] = 'J';
  out[2] = dots;
}

// GS V m n, m = 65 (through the paper) or 66 (leaving a hinge): feed the
// paper to the cutting position plus n dot rows, then cut. Ours: 66, n = 0.
// GS V m with m 0/48 (full) or 1/49 (partial) cuts where the paper stands.
constexpr BYTE kCutFull = 65;
constexpr BYTE kCutPartial = 66;
constexpr BYTE kFeedAndCut[4] = {kGS, 'V', kCutPartial, 0};

// ESC p m t1 t2: pulse the cash-drawer kick on pin 2 (m = 0) or pin 5 (m = 1)
// for t1 x 2 ms, then keep it off for t2 x 2 ms: 50 ms on, 500 ms off.
constexpr size_t kDrawerPulseSize = 5;
inline void PutDrawerPulse(BYTE* out, int pin) {
  out[0] = kESC;
  out[1] = 'p';
  out[2] = pin == 5 ? 1 : 0;
  out[3] = 25;   // t1: 50 ms on
  out[4] = 250;  // t2: 500 ms off
}

// ESC @: initialise the printer (modes back to their defaults, buffer
// cleared).
constexpr BYTE kInitialize[2] = {kESC, '@'};

// DLE EOT n: real-time status, answered at once, ahead of what the printer
// still has to print: n = 1 printer, 2 offline cause, 4 paper roll sensor.
constexpr BYTE kStatusPrinter = 1;
constexpr BYTE kStatusOffline = 2;
constexpr BYTE kStatusPaper = 4;
constexpr BYTE kStatusRequest[9] = {kDLE, kEOT, kStatusPrinter, kDLE, kEOT, kStatusOffline,
                                    kDLE, kEOT, kStatusPaper};
constexpr size_t kStatusAnswers = 3;

// GS r 1: paper sensor status, answered only once the printer has taken in
// everything sent before it.
constexpr BYTE kDoneRequest[3] = {kGS, 'r', 1};

}  // namespace escpos

#endif  // LORVEX_CORE_ESCPOS_H
