// receipt_test_page.cpp: draws the test page.
#include "receipt_test_page.h"

#include <stb_image_write.h>

#include "pixel_font.h"
#include "page_encoder.h"

namespace {

// Words above and below the block, in lines of at most 30 characters at
// twice the font's size (12 dots a character), so that they fit the 58 mm
// printer's 384-dot line too.
const char* const kAbove[] = {
    "LORVEX RECEIPT PRINTER TEST",
    "",
    "BELOW IS ONE BLACK BLOCK 240",
    "DOTS (30 MM) TALL, SENT IN",
    "RASTER SLICES OF 24 DOTS EACH.",
};
const char* const kBelow[] = {
    "ONE SOLID BLOCK:",
    "  SLICE-FEED IS SET RIGHT.",
    "",
    "BLACK AND WHITE STRIPES OF",
    "EQUAL WIDTH, TWICE AS TALL:",
    "  SET SLICE-FEED TO NONE.",
    "",
    "ONE THIN BAR ONLY:",
    "  SET SLICE-FEED TO FEED-24.",
};
constexpr unsigned kScale = 2, kLine = 22, kBlock = 240;

}  // namespace

std::vector<uint8_t> TestPagePixels(unsigned width, unsigned* height) {
  const unsigned above = sizeof kAbove / sizeof kAbove[0], below = sizeof kBelow / sizeof kBelow[0];
  *height = 16 + above * kLine + 24 + kBlock + 24 + below * kLine + 16;
  std::vector<uint8_t> page(size_t{width} * *height, 255);
  auto set = [&](int x, int y) {
    if (x >= 0 && y >= 0 && static_cast<unsigned>(x) < width && static_cast<unsigned>(y) < *height)
      page[static_cast<size_t>(y) * width + static_cast<size_t>(x)] = 0;
  };
  unsigned y = 16;
  for (const char* line : kAbove) {
    pixel_font::DrawText(set, 12, static_cast<int>(y), line, kScale, 2);
    y += kLine;
  }
  y += 24;
  for (unsigned r = 0; r < kBlock; ++r)
    for (unsigned x = 48; x < width - 48; ++x) set(static_cast<int>(x), static_cast<int>(y + r));
  y += kBlock + 24;
  for (const char* line : kBelow) {
    pixel_font::DrawText(set, 12, static_cast<int>(y), line, kScale, 2);
    y += kLine;
  }
  return page;
}

bool WriteTestPage(const char* path, unsigned width) {
  unsigned height = 0;
  const std::vector<uint8_t> page = TestPagePixels(width, &height);
  return stbi_write_png(path, static_cast<int>(width), static_cast<int>(height), 1, page.data(),
                        static_cast<int>(width)) != 0;
}

namespace {

std::string Printable(const std::string& text, size_t limit) {
  std::string out;
  for (unsigned char c : text.substr(0, limit)) out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
  return out;
}

}  // namespace

std::string IdentifySlip(const std::string& name, const std::string& address, const std::string& message) {
  std::string slip = "\x1b@\x1b" "a\x01";                       // initialise, centred
  slip += std::string("\x1d!\x11") + Printable(name, 24) + "\n";  // double size: 24 columns
  slip += std::string("\x1d!") + '\0' + Printable(address, 240) + "\n";
  if (!message.empty()) slip += Printable(message, 240) + "\n";
  slip += std::string("\x1b" "d\x03\x1dVB") + '\0';           // three lines, then the cut
  return slip;
}
