// printer_status.h: what a receipt printer says of itself, in ESC/POS.
//
// Two kinds of question, two kinds of answer byte:
// - DLE EOT n (10 04 n) is real-time: the printer answers at once, ahead of
//   what it still has to print. n = 1 printer, 2 offline cause, 4 paper
//   roll sensor. Every answer has bits 1 and 4 set and bits 0 and 7 clear.
// - GS r 1 (1D 72 01) waits its turn in the data: the printer answers it
//   only once it has processed everything sent before, so its answer means
//   "the job is in". The answer has bits 4 and 7 clear.
// A byte of neither shape is not taken for an answer: printers differ, and
// what does not parse is ignored.
#ifndef LORVEX_PRINTER_APP_PRINTER_STATUS_H
#define LORVEX_PRINTER_APP_PRINTER_STATUS_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "escpos.h"

namespace receipt {

// DLE EOT 1, DLE EOT 2, DLE EOT 4: printer, offline cause, paper roll; and
// GS r 1, answered after everything before it.
using escpos::kDoneRequest;
using escpos::kStatusAnswers;
using escpos::kStatusRequest;

struct PrinterStatus {
  bool offline = false;       // DLE EOT 1 bit 3
  bool coverOpen = false;     // DLE EOT 2 bit 2
  bool paperEnd = false;      // DLE EOT 2 bit 5, DLE EOT 4 bits 5-6, GS r 1 bits 2-3
  bool paperNearEnd = false;  // DLE EOT 4 bits 2-3, GS r 1 bits 0-1
  bool error = false;         // DLE EOT 2 bit 6

  // Printing cannot go on until someone sees to the printer.
  bool Blocked() const { return paperEnd || coverOpen || offline || error; }
  bool operator==(const PrinterStatus& o) const {
    return offline == o.offline && coverOpen == o.coverOpen && paperEnd == o.paperEnd &&
           paperNearEnd == o.paperNearEnd && error == o.error;
  }
};

// True when `byte` has the shape of a DLE EOT answer.
bool IsRealTimeAnswer(uint8_t byte);
// True when `byte` has the shape of a GS r 1 answer.
bool IsDoneAnswer(uint8_t byte);

// Reads the answers to kStatusRequest, in order (up to kStatusAnswers
// bytes). False, with `status` untouched, when any byte is not of the
// shape of a DLE EOT answer or fewer than three came.
bool ParseStatusAnswers(const uint8_t* answers, size_t count, PrinterStatus* status);

// Adds the paper sensor bits of a GS r 1 answer to `status`; false when
// `byte` is not one.
bool ParseDoneAnswer(uint8_t byte, PrinterStatus* status);

// The paper roll's level as printer-supply says it: 0 at its end, 10 near
// its end, else -3 ("some remaining": the printer says no more); -2
// (unknown) for a printer that has not said.
constexpr int kPaperLevelUnknown = -2;
int PaperLevel(const PrinterStatus& status);

// The answer byte a printer in `status` gives to DLE EOT n (n 1 to 4) and
// to GS r n (n 1 paper sensors, 2 drawer kick connector: not known, 0), as
// the server answers a point-of-sale client for it. DLE EOT 3 (error cause)
// says an unrecoverable error when the printer reports one.
uint8_t RealTimeAnswerFor(int n, const PrinterStatus& status);
uint8_t DoneAnswerFor(int n, const PrinterStatus& status);

// One sentence for the person at the printer, or "" when all is well.
std::string StatusMessage(const PrinterStatus& status);

}  // namespace receipt

#endif  // LORVEX_PRINTER_APP_PRINTER_STATUS_H
