// job_pictures.h: pictures of what each job printed, drawn from the bytes
// that went to the printer (not from the document), kept in a folder of the
// server's state: "p<printer>-j<job>.png". The newest kKeptPictures stay,
// within kKeptBytes together; older ones are removed as new ones come.
// While a job prints, its bytes gather in "p<printer>-j<job>.bytes" beside
// them; a capture left by a server that stopped mid-job is removed when the
// folder is next opened.
#ifndef LORVEX_PRINTER_APP_JOB_PICTURES_H
#define LORVEX_PRINTER_APP_JOB_PICTURES_H

#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "escpos_render.h"

namespace receipt {

constexpr size_t kKeptPictures = 50;
constexpr uint64_t kKeptBytes = 20u << 20;

class JobPictures {
 public:
  // Makes the folder (mode 0700: receipts carry customers' data) and
  // removes captures that were never finished.
  explicit JobPictures(std::string folder, size_t keep = kKeptPictures, uint64_t keepBytes = kKeptBytes);

  // The bytes of one job on their way to the printer.
  class Capture {
   public:
    ~Capture();
    // False once a write failed (the picture is then not made).
    bool Write(const uint8_t* data, size_t size);

   private:
    friend class JobPictures;
    std::string path_;
    FILE* file_ = nullptr;
    bool ok_ = true;
    int printer_ = 0, job_ = 0;
  };

  // A capture for a job; null when the folder cannot take it.
  std::unique_ptr<Capture> Start(int printer, int job);
  // Draws the job's picture from its capture, removes the capture, and
  // removes the oldest pictures beyond the limits. False with `why` when
  // no picture could be made (the capture is removed all the same).
  bool Finish(std::unique_ptr<Capture> capture, const receipt_render::RenderOptions& options, std::string* why);

  std::string PathOf(int printer, int job) const;
  bool Has(int printer, int job) const;
  // Removes one picture, or every picture of a printer (job 0).
  void Remove(int printer, int job = 0);
  // Removes the oldest pictures beyond kKeptPictures and kKeptBytes.
  void Prune();

 private:
  void PruneLocked();

  std::string folder_;
  size_t keep_;
  uint64_t keepBytes_;
  std::mutex mutex_;  // jobs of several printers finish at once
  receipt_render::GlyphSource glyphs_;
};

}  // namespace receipt

#endif  // LORVEX_PRINTER_APP_JOB_PICTURES_H
