// document_limits.cpp: the checks before a document is printed.
#include "document_limits.h"

#include <cstring>

#include "escpos_grammar.h"

unsigned long long PageMillimetres(unsigned long long height, unsigned rowsPerInch) {
  return rowsPerInch ? (height * 254 + rowsPerInch * 10ULL - 1) / (rowsPerInch * 10ULL) : 0;
}

std::string RefusePageLength(unsigned height, unsigned rowsPerInch) {
  if (rowsPerInch == 0 ||
      static_cast<unsigned long long>(height) * kDpi <= static_cast<unsigned long long>(kMaxPageRows) * rowsPerInch)
    return "";
  return "The page would print " + std::to_string(PageMillimetres(height, rowsPerInch)) +
         " mm long; the longest paper this printer takes is " + std::to_string(kMaxRollMillimetres) + " mm.";
}

std::string RefuseImageSize(unsigned width, unsigned height, unsigned lineDots) {
  const unsigned long long pixels = static_cast<unsigned long long>(width) * height;
  if (width == 0 || height == 0) return "The image has no pixels.";
  // Wider than the line, it is scaled down in proportion.
  const unsigned long long rows =
      width > lineDots ? (static_cast<unsigned long long>(height) * lineDots + width / 2) / width : height;
  if (rows > kMaxPageRows) return RefusePageLength(static_cast<unsigned>(rows), kDpi);
  if (pixels > kMaxImagePixels)
    return "The image has " + std::to_string(width) + " x " + std::to_string(height) + " pixels; at most " +
           std::to_string(kMaxImagePixels / 1000000) + " million are printed.";
  return "";
}

std::string ImageTypeOf(const unsigned char* head, size_t size) {
  auto starts = [&](const char* magic, size_t n) { return size >= n && std::memcmp(head, magic, n) == 0; };
  if (starts("\x89PNG\r\n\x1a\n", 8)) return "image/png";
  if (starts("\xff\xd8\xff", 3)) return "image/jpeg";
  if (starts("GIF87a", 6) || starts("GIF89a", 6)) return "image/gif";
  if (starts("BM", 2)) return "image/bmp";
  if (size >= 2 && head[0] == 'P' && head[1] >= '1' && head[1] <= '7') return "image/x-portable-anymap";
  return "";
}

unsigned PrintableLeft(unsigned width, unsigned bboxLeftPoints, unsigned dpi, unsigned lineDots) {
  unsigned left = static_cast<unsigned>((static_cast<unsigned long long>(bboxLeftPoints) * dpi + 36) / 72);
  if (left == 0 && width > lineDots) left = (width - lineDots) / 2;
  return left < width ? left : 0;
}

std::string CheckRasterPage(const RasterHeader& h, unsigned page, unsigned lineDots, RasterPage* out) {
  if (h.bitsPerPixel != 8 || h.bitsPerColor != 8 || h.colors > 1 || h.space == RasterHeader::kOther)
    return "This printer prints 8-bit gray raster only; page " + std::to_string(page) + " came as " +
           std::to_string(h.bitsPerPixel) + "-bit raster with " + std::to_string(h.colors) + " color(s).";
  if (h.width == 0 || h.width > kMaxRasterWidth || h.height > kMaxRasterHeight || h.xDpi == 0 ||
      h.bytesPerLine != h.width)
    return "The page size " + std::to_string(h.width) + " x " + std::to_string(h.height) + " dots cannot be printed.";
  const std::string tooLong = RefusePageLength(h.height, h.yDpi ? h.yDpi : kDpi);
  if (!tooLong.empty()) return tooLong;
  out->width = h.width;
  out->height = h.height;
  out->left = PrintableLeft(h.width, h.bboxLeftPoints, h.xDpi, lineDots);
  out->black = h.space == RasterHeader::kBlack;
  return "";
}

std::string CheckRawDocument(const uint8_t* data, size_t size, std::string* toSend, size_t* removed) {
  if (size > kMaxRawDocument)
    return "The ESC/POS document is larger than " + std::to_string(kMaxRawDocument >> 20) + " MB.";
  escpos::GrammarError error;
  if (toSend != nullptr) {
    *toSend = escpos::PassThrough(data, size, &error, removed);
    if (error.what.empty()) return "";  // taken (it may send nothing: status requests only)
  } else if (escpos::CheckDocument(data, size, &error)) {
    return "";
  }
  return escpos::RefusalMessage(error);
}
