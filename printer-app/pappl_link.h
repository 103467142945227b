// pappl_link.h: the printer link over PAPPL's devices, jobs and printers:
// the device as a PrinterPort, the job as a LinkJob, what each printer's
// device is known to answer, and the status poll of idle printers.
#ifndef LORVEX_PRINTER_APP_PAPPL_LINK_H
#define LORVEX_PRINTER_APP_PAPPL_LINK_H

#include <pappl/pappl.h>

#include "printer_link.h"

namespace receipt {

class PapplDevice : public PrinterPort {
 public:
  explicit PapplDevice(pappl_device_t* device) : device_(device) {}
  long Write(const uint8_t* data, size_t size) override;
  long Read(uint8_t* buffer, size_t size) override;
  void Flush() override;

 private:
  pappl_device_t* device_;
};

// A job being printed, and its printer.
class PapplLinkJob : public LinkJob {
 public:
  explicit PapplLinkJob(pappl_job_t* job);
  bool Canceled() override;
  void SetMessage(const std::string& message) override;
  void ShowStatus(const PrinterStatus& status) override;
  bool MayAsk() override;
  Answering Known() override;
  void Remember(Answering answering) override;

 private:
  pappl_job_t* job_;
  pappl_printer_t* printer_;
};

// Asks an idle printer's status and shows it: PAPPL's status callback, and
// the poll every few seconds. True when it could be asked.
bool PollStatusCallback(pappl_printer_t* printer);

// Shows `status` on the printer: its state reasons, message and paper roll.
void ShowStatus(pappl_printer_t* printer, const PrinterStatus& status);

}  // namespace receipt

#endif  // LORVEX_PRINTER_APP_PAPPL_LINK_H
