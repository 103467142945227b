// document_filters.h: PAPPL's callbacks for the documents the printer
// application prints, each only unpacking PAPPL's job for the job core:
// PWG and Apple raster, PNG and JPEG into the page encoder, and the
// printer's own ESC/POS stream checked whole and passed on.
#ifndef LORVEX_PRINTER_APP_DOCUMENT_FILTERS_H
#define LORVEX_PRINTER_APP_DOCUMENT_FILTERS_H

#include <pappl/pappl.h>

// The printer's own format: the ESC/POS stream of the band pipeline.
constexpr const char* kDriverFormat = "application/vnd.lorvex-escpos";

// MIME filter callbacks (image/pwg-raster and image/urf; image/png and
// image/jpeg) to kDriverFormat.
bool RasterFilterCallback(pappl_job_t* job, pappl_device_t* device, void* data);
bool ImageFilterCallback(pappl_job_t* job, pappl_device_t* device, void* data);

// The driver's print-file callback: a document in kDriverFormat.
bool RawFileCallback(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device);

// PAPPL wants raster callbacks of every driver, and calls them only for
// documents no filter of ours takes: we take every format we advertise, so
// these refuse whatever reaches them.
bool NoRasterJobCallback(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device);
bool NoRasterPageCallback(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device, unsigned page);
bool NoRasterLineCallback(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device, unsigned y,
                          const unsigned char* line);

#endif  // LORVEX_PRINTER_APP_DOCUMENT_FILTERS_H
