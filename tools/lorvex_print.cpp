// lorvex-print: prints an image through the plug-in's band processing, the
// way the platform's raster driver drives it, and shows what the printer
// will print.
//
//   lorvex-print [options] IMAGE
//
// The image (PNG, JPEG, BMP, PGM/PPM) becomes 8-bit gray on white, is scaled
// down to the 576-dot line when wider (landscape: when taller), cut into
// bands and sent band by band; the ESC/POS stream goes to a file, standard
// output or a printer device such as /dev/usb/lp0.
#include <getopt.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>


#include "paper_png.h"
#include "image_rows.h"
#include "print_host.h"

namespace {

// The usage text, with the halftone names as the driver lists them.
std::string Usage() {
  std::string halftones;
  for (int i = 0; i < kHalftoneOptions; ++i) {
    halftones += (i ? ", " : "") + std::string(HalftoneOptionName(i)) + (i ? "" : " (default)");
    if (i == 3) halftones += ",\n                          ";
  }
  return "usage: lorvex-print [options] IMAGE\n"
         "  -o, --output PATH        write the ESC/POS stream to PATH ('-' for standard output),\n"
         "                           a file or a printer device such as /dev/usb/lp0\n"
         "      --preview PNG        draw what the printer prints into PNG\n"
         "      --halftone NAME      " + halftones + "\n"
         "      --list-halftones     print the halftone names, one a line, and stop\n"
         "      --offset TEXT        horizontal offset option, e.g. P12 (right) or M12 (left)\n"
         "      --translate TEXT     TRANS_180 prints upside down\n"
         "      --save-paper TEXT    SavePaper_Top, SavePaper_Bottom or SavePaper_TopAndBottom\n"
         "      --landscape          print the image turned a quarter\n"
         "      --copies N           copies (with --banding), 1 to 999\n"
         "      --banding            the host renders in bands: copies and cuts between them\n"
         "      --band-height N      rows per band, 1 to 4096 (default 240); any height gives\n"
         "                           the same paper: each slice is followed by a feed of its\n"
         "                           own rows\n"
         "      --no-scale           never scale the image down\n"
         "  -q, --quiet              no progress bar\n"
         "  -h, --help               this text\n";
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "lorvex-print: %s\n", message.c_str());
  return 2;
}

bool ParseCount(const char* text, long lo, long hi, long* out) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno || end == text || *end || v < lo || v > hi) return false;
  *out = v;
  return true;
}

void Progress(bool show, size_t done, size_t total) {
  if (!show) return;
  const int width = 30;
  const int filled = static_cast<int>(done * width / total);
  std::fprintf(stderr, "\rlorvex-print: [%.*s%*s] %3zu%%", filled,
               "##############################", width - filled, "", done * 100 / total);
  if (done == total) std::fputc('\n', stderr);
  std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
  enum { kPreview = 256, kHalftone, kListHalftones, kOffset, kTranslate, kSavePaper, kLandscape, kCopies,
         kBanding, kBandHeight, kNoScale };
  const option options[] = {
      {"output", required_argument, nullptr, 'o'},   {"preview", required_argument, nullptr, kPreview},
      {"halftone", required_argument, nullptr, kHalftone},
      {"list-halftones", no_argument, nullptr, kListHalftones},
      {"offset", required_argument, nullptr, kOffset},
      {"translate", required_argument, nullptr, kTranslate},
      {"save-paper", required_argument, nullptr, kSavePaper},
      {"landscape", no_argument, nullptr, kLandscape},
      {"copies", required_argument, nullptr, kCopies},
      {"banding", no_argument, nullptr, kBanding},
      {"band-height", required_argument, nullptr, kBandHeight},
      {"no-scale", no_argument, nullptr, kNoScale},
      {"quiet", no_argument, nullptr, 'q'},
      {"help", no_argument, nullptr, 'h'},
      {nullptr, 0, nullptr, 0}};

  PrintJob job;
  std::string output, preview;
  long copies = 1, bandHeight = 240;
  bool scale = true, quiet = false;
  int c;
  opterr = 0;
  while ((c = getopt_long(argc, argv, "o:qh", options, nullptr)) != -1) {
    switch (c) {
      case 'o': output = optarg; break;
      case kPreview: preview = optarg; break;
      case kHalftone:
        if (HalftoneIndexOf(optarg) < 0) return Fail(std::string("unknown halftone '") + optarg + "'\n" + Usage());
        job.halftone = optarg;
        break;
      case kListHalftones:
        for (int i = 0; i < kHalftoneOptions; ++i) std::puts(HalftoneOptionName(i));
        return 0;
      case kOffset: job.settings["HorizontalOffset"] = optarg; break;
      case kTranslate: job.settings["Translate180"] = optarg; break;
      case kSavePaper: job.settings["SavePaperMode"] = optarg; break;
      case kLandscape: job.landscape = true; break;
      case kCopies:
        if (!ParseCount(optarg, 1, 999, &copies)) return Fail("--copies takes a number from 1 to 999");
        break;
      case kBanding: job.banding = true; break;
      case kBandHeight:
        if (!ParseCount(optarg, 1, 4096, &bandHeight)) {
          return Fail("--band-height takes a number from 1 to 4096");
        }
        break;
      case kNoScale: scale = false; break;
      case 'q': quiet = true; break;
      case 'h': std::fputs(Usage().c_str(), stdout); return 0;
      default:
        return Fail(std::string("unknown or incomplete option '") + argv[optind - 1] + "'\n" + Usage());
    }
  }
  if (optind + 1 != argc) return Fail(std::string("name one image to print\n") + Usage());
  if (output.empty() && preview.empty()) return Fail("nothing to do: give --output and/or --preview");
  if (output == "-" && isatty(STDOUT_FILENO)) {
    return Fail("will not write printer commands to a terminal; redirect standard output");
  }

  const char* path = argv[optind];
  std::string why;
  std::unique_ptr<GrayRows> rows = OpenGrayRows(path, &why);
  if (!rows) return Fail(std::string("cannot read image '") + path + "': " + why);

  // The copy count, as the driver's EnablePDEV sets it for the job.
  g_nCopies = static_cast<int16_t>(copies);
  PrintHost host(job);

  // Portrait bands are runs of rows, read from the decoder band by band, so
  // the picture is never held whole. Landscape bands are runs of columns:
  // then the (scaled) picture is read first.
  const unsigned w = rows->Width(), h = rows->Height();
  if (scale && job.landscape && h > kLineDots) {
    const unsigned along = std::max(1u, static_cast<unsigned>((static_cast<unsigned long long>(w) * kLineDots + h / 2) / h));
    rows = ScaleTo(std::move(rows), along, kLineDots);
  } else if (scale && !job.landscape) {
    rows = ScaleDownTo(std::move(rows), kLineDots);
  }
  const unsigned width = rows->Width(), height = rows->Height();
  auto readRows = [&](BYTE* into, unsigned count) {
    for (unsigned y = 0; y < count; ++y)
      if (!rows->Next(into + size_t{y} * width)) return false;
    return true;
  };
  const std::string unreadable = std::string("cannot read image '") + path + "': ";
  std::vector<BYTE> image;
  if (job.landscape) {
    image.resize(size_t{width} * height);
    if (!readRows(image.data(), height)) return Fail(unreadable + rows->Error());
  }

  const unsigned span = job.landscape ? width : height;
  const size_t bands = (static_cast<size_t>(span) + bandHeight - 1) / bandHeight;
  const bool showProgress = !quiet && isatty(STDERR_FILENO) && bands > 4;
  std::vector<BYTE> bandRows;
  for (size_t i = 0; i < bands; ++i) {
    const DWORD first = static_cast<DWORD>(i * bandHeight);
    const DWORD count = first + bandHeight <= span ? static_cast<DWORD>(bandHeight) : span - first;
    HostBand band;
    if (job.landscape) {
      band = CutBand(image.data(), width, height, true, first, count);
    } else {
      bandRows.resize(size_t{width} * count);
      if (!readRows(bandRows.data(), count)) return Fail(unreadable + rows->Error());
      band = CutBand(bandRows.data(), width, count, false, 0, count);
    }
    const HRESULT hr = host.SendBand(band);
    if (FAILED(hr)) {
      char code[16];
      std::snprintf(code, sizeof(code), "0x%08X", static_cast<unsigned>(hr));
      return Fail("band " + std::to_string(i) + " was refused (" + code + ")");
    }
    Progress(showProgress, i + 1, bands);
  }

  const std::vector<BYTE>& stream = host.stream();
  if (!output.empty()) {
    FILE* out = output == "-" ? stdout : std::fopen(output.c_str(), "wb");
    if (!out) return Fail("cannot open '" + output + "': " + std::strerror(errno));
    const bool written = std::fwrite(stream.data(), 1, stream.size(), out) == stream.size();
    const bool closed = out == stdout ? std::fflush(out) == 0 : std::fclose(out) == 0;
    if (!written || !closed) return Fail("cannot write '" + output + "': " + std::strerror(errno));
  }
  if (!preview.empty()) {
    const DecodedStream decoded = DecodeStream(stream.data(), stream.size());
    if (!decoded.ok) {
      return Fail("the stream does not decode at offset " + std::to_string(decoded.errorOffset) + ": " +
                  decoded.error);
    }
    if (!WritePaperPng(LayOut(decoded), preview.c_str())) return Fail("cannot write '" + preview + "'");
  }
  if (!quiet) {
    std::fprintf(stderr, "lorvex-print: %s: %zu bands, %zu bytes%s%s\n", path, bands, stream.size(),
                 output.empty() ? "" : (" to " + output).c_str(),
                 preview.empty() ? "" : (", preview " + preview).c_str());
  }
  return 0;
}
