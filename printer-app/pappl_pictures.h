// pappl_pictures.h: the pictures of what jobs printed, over PAPPL: the bytes
// a job sends are kept as they go to the device, the picture is drawn when
// the job ends, the job lists show it (picture_cb), and
// "/receipt-picture?printer=P&job=J" serves it to whoever may see the job
// list (beyond loopback, the administrator).
#ifndef LORVEX_PRINTER_APP_PAPPL_PICTURES_H
#define LORVEX_PRINTER_APP_PAPPL_PICTURES_H

#include <pappl/pappl.h>

#include <memory>
#include <string>

#include "job_pictures.h"
#include "page_encoder.h"
#include "printer_link.h"

namespace receipt {

// Keeps the pictures in `folder` and serves them; before the system runs.
void StartJobPictures(pappl_system_t* system, const std::string& folder);

// PAPPL's picture_cb.
bool PictureCallback(pappl_job_t* job, char* uri, size_t size);

// The device as a job sees it, its bytes also kept for the job's picture
// (when the job's options keep one). The picture is drawn when it goes.
class PictureTap : public PrinterPort {
 public:
  PictureTap(pappl_job_t* job, const Options& options, PrinterPort& device);
  ~PictureTap() override;
  long Write(const uint8_t* data, size_t size) override;
  long Read(uint8_t* buffer, size_t size) override { return device_.Read(buffer, size); }
  void Flush() override { device_.Flush(); }

 private:
  pappl_job_t* job_;
  PrinterPort& device_;
  receipt_render::RenderOptions render_;
  std::unique_ptr<JobPictures::Capture> capture_;
};

}  // namespace receipt

#endif  // LORVEX_PRINTER_APP_PAPPL_PICTURES_H
