// make-pwg: writes test documents for the printer application: an image as
// a PWG raster page (8-bit sGray or 1-bit black), laid in the middle of a
// wider page line, optionally several pages, or a damaged copy.
//
//   make-pwg IMAGE OUT.pwg PAGE-WIDTH [--bits 1|8] [--pages N] [--height H]
//
// --height H claims H rows in the header (more than are written: a
// truncated document). Exit 0 when written.
#include <cups/raster.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "image_rows.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: make-pwg IMAGE OUT.pwg PAGE-WIDTH [--bits 1|8] [--pages N] [--height H]\n");
    return 2;
  }
  const unsigned pageWidth = static_cast<unsigned>(std::atoi(argv[3]));
  unsigned bits = 8, pages = 1, claimed = 0;
  for (int i = 4; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--bits")) bits = static_cast<unsigned>(std::atoi(argv[i + 1]));
    if (!std::strcmp(argv[i], "--pages")) pages = static_cast<unsigned>(std::atoi(argv[i + 1]));
    if (!std::strcmp(argv[i], "--height")) claimed = static_cast<unsigned>(std::atoi(argv[i + 1]));
  }
  std::string why;
  std::unique_ptr<GrayRows> rows = OpenGrayRows(argv[1], &why);
  if (!rows || rows->Width() > pageWidth) {
    std::fprintf(stderr, "make-pwg: %s\n", rows ? "image wider than the page" : why.c_str());
    return 1;
  }
  const unsigned w = rows->Width(), h = rows->Height(), left = (pageWidth - w) / 2;
  std::vector<uint8_t> image(size_t{w} * h);
  for (unsigned y = 0; y < h; ++y) rows->Next(&image[size_t{y} * w]);

  const int fd = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
  cups_raster_t* out = fd < 0 ? nullptr : cupsRasterOpen(fd, CUPS_RASTER_WRITE_PWG);
  if (out == nullptr) return 1;
  cups_page_header2_t header{};
  pwg_media_t* media = pwgMediaForPWG("om_receipt-80mm_80x297mm");
  cupsRasterInitPWGHeader(&header, media, bits == 1 ? "black_1" : "sgray_8", 203, 203, "one-sided", nullptr);
  header.cupsWidth = pageWidth;
  header.cupsHeight = claimed ? claimed : h;
  header.cupsBytesPerLine = bits == 1 ? (pageWidth + 7) / 8 : pageWidth;
  header.PageSize[1] = header.cupsHeight * 72 / 203;
  std::vector<uint8_t> line(header.cupsBytesPerLine);
  for (unsigned p = 0; p < pages; ++p) {
    if (!cupsRasterWriteHeader2(out, &header)) return 1;
    for (unsigned y = 0; y < h; ++y) {
      if (bits == 1) {
        std::fill(line.begin(), line.end(), 0);
        for (unsigned x = 0; x < w; ++x)
          if (image[size_t{y} * w + x] < 128) line[(left + x) / 8] |= static_cast<uint8_t>(0x80 >> ((left + x) % 8));
      } else {
        std::fill(line.begin(), line.end(), 255);
        std::memcpy(&line[left], &image[size_t{y} * w], w);
      }
      cupsRasterWritePixels(out, line.data(), static_cast<unsigned>(line.size()));
    }
  }
  cupsRasterClose(out);
  close(fd);
  return 0;
}
