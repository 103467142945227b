// Feeds the status answer readers whatever a printer may send back: any
// bytes, in any number. A reading must be one of the two shapes and never
// both, a refusal leaves the status as it was, and every status has a
// message that matches whether it blocks printing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "printer_status.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i)
    if (receipt::IsRealTimeAnswer(data[i]) && receipt::IsDoneAnswer(data[i])) abort();
  receipt::PrinterStatus status;
  status.paperNearEnd = true;
  const receipt::PrinterStatus before = status;
  if (!receipt::ParseStatusAnswers(data, size, &status) && !(status == before)) abort();
  if (size > 0) {
    const receipt::PrinterStatus kept = status;
    if (!receipt::ParseDoneAnswer(data[size - 1], &status) && !(status == kept)) abort();
  }
  const bool blocked = status.Blocked();
  const bool said = !receipt::StatusMessage(status).empty();
  if (blocked && !said) abort();
  return 0;
}
