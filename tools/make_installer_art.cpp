// make-installer-art: draws the installer's logo (bitmap 106: 308 x 87,
// 1 bit per pixel, printed on the test page) and its icon (107: 32 x 32 and
// 16 x 16), from a small pixel font and a receipt-printer pictogram of our
// own. The files in installer/art/ are its output; a test draws them again
// and compares.
//
//   make-installer-art OUTPUT-DIR
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "pixel_font.h"
#include "tool_usage.h"

namespace {

// A canvas of 0/1 pixels, 1 = ink.
struct Canvas {
  int width, height;
  std::vector<uint8_t> ink;
  Canvas(int w, int h) : width(w), height(h), ink(static_cast<size_t>(w) * h, 0) {}
  void Set(int x, int y, uint8_t v = 1) {
    if (x >= 0 && y >= 0 && x < width && y < height) ink[static_cast<size_t>(y) * width + x] = v;
  }
  uint8_t At(int x, int y) const { return ink[static_cast<size_t>(y) * width + x]; }
  void Fill(int x0, int y0, int x1, int y1, uint8_t v = 1) {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) Set(x, y, v);
  }
  void Frame(int x0, int y0, int x1, int y1, int t) {
    Fill(x0, y0, x1, y0 + t);
    Fill(x0, y1 - t, x1, y1);
    Fill(x0, y0, x0 + t, y1);
    Fill(x1 - t, y0, x1, y1);
  }
};

// Text at (x, y) in the pixel font; answers the x after the text.
int Text(Canvas& canvas, int x, int y, const std::string& text, int scale, int gap) {
  return pixel_font::DrawText([&](int px, int py) { canvas.Set(px, py); }, x, y, text.c_str(), scale, gap);
}

// The pictogram: a printer body with a receipt coming out of its top,
// drawn into the box (x, y, size x size) on a 64-unit grid.
void Printer(Canvas& c, int x, int y, int size) {
  auto u = [size](int v) { return v * size / 64; };
  // The receipt: outline, torn top edge, lines of text.
  c.Frame(x + u(14), y + u(6), x + u(50), y + u(36), std::max(1, u(2)));
  for (int i = 0; i < 9; ++i) c.Fill(x + u(14 + 4 * i), y + u(2 + (i % 2) * 4), x + u(18 + 4 * i), y + u(8));
  for (int line = 0; line < 3; ++line)
    c.Fill(x + u(20), y + u(13 + 7 * line), x + u(line == 2 ? 36 : 44), y + u(16 + 7 * line));
  // The body, with its paper slot and a status light.
  c.Fill(x + u(2), y + u(34), x + u(62), y + u(62));
  c.Fill(x + u(12), y + u(38), x + u(52), y + u(41), 0);
  c.Fill(x + u(50), y + u(50), x + u(56), y + u(56), 0);
}

void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void InfoHeader(std::vector<uint8_t>& b, int w, int h, int bpp, uint32_t imageBytes, uint32_t colours) {
  Put32(b, 40);
  Put32(b, static_cast<uint32_t>(w));
  Put32(b, static_cast<uint32_t>(h));
  Put16(b, 1);
  Put16(b, static_cast<uint32_t>(bpp));
  Put32(b, 0);  // BI_RGB
  Put32(b, imageBytes);
  Put32(b, 0);
  Put32(b, 0);
  Put32(b, colours);
  Put32(b, 0);
}

// A 1-bit BMP file: palette entry 0 black, 1 white; ink is black.
std::vector<uint8_t> Bmp1(const Canvas& c) {
  const int stride = ((c.width + 31) / 32) * 4;
  const uint32_t image = static_cast<uint32_t>(stride * c.height);
  std::vector<uint8_t> b = {'B', 'M'};
  Put32(b, 14 + 40 + 8 + image);
  Put32(b, 0);
  Put32(b, 14 + 40 + 8);
  InfoHeader(b, c.width, c.height, 1, image, 2);
  Put32(b, 0x00000000);
  Put32(b, 0x00FFFFFF);
  for (int y = c.height - 1; y >= 0; --y) {
    std::vector<uint8_t> row(static_cast<size_t>(stride), 0);
    for (int x = 0; x < c.width; ++x)
      if (!c.At(x, y)) row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

// One icon image: 32-bit colour (ink dark blue on a light-blue tile with a
// transparent corner-free border) and its AND mask.
std::vector<uint8_t> IconImage(int size) {
  Canvas ink(size, size);
  Printer(ink, 0, 0, size);
  std::vector<uint8_t> b;
  const int maskStride = ((size + 31) / 32) * 4;
  InfoHeader(b, size, size * 2, 32, static_cast<uint32_t>(size * size * 4 + maskStride * size), 0);
  for (int y = size - 1; y >= 0; --y)
    for (int x = 0; x < size; ++x) {
      const bool on = ink.At(x, y);
      // Blue as the splash's, opaque where inked, transparent elsewhere.
      b.push_back(on ? 160 : 0);
      b.push_back(on ? 100 : 0);
      b.push_back(on ? 0 : 0);
      b.push_back(on ? 255 : 0);
    }
  for (int y = size - 1; y >= 0; --y) {
    std::vector<uint8_t> row(static_cast<size_t>(maskStride), 0);
    for (int x = 0; x < size; ++x)
      if (!ink.At(x, y)) row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

std::vector<uint8_t> Ico() {
  const int sizes[] = {32, 16};
  std::vector<std::vector<uint8_t>> images;
  for (int s : sizes) images.push_back(IconImage(s));
  std::vector<uint8_t> b;
  Put16(b, 0);
  Put16(b, 1);  // icon
  Put16(b, 2);
  uint32_t offset = 6 + 16 * 2;
  for (size_t i = 0; i < images.size(); ++i) {
    b.push_back(static_cast<uint8_t>(sizes[i]));
    b.push_back(static_cast<uint8_t>(sizes[i]));
    b.push_back(0);
    b.push_back(0);
    Put16(b, 1);
    Put16(b, 32);
    Put32(b, static_cast<uint32_t>(images[i].size()));
    Put32(b, offset);
    offset += static_cast<uint32_t>(images[i].size());
  }
  for (const auto& image : images) b.insert(b.end(), image.begin(), image.end());
  return b;
}

bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (AnswerHelp(argc, argv, "usage: make-installer-art OUTPUT-DIR\n  Draws the installer's logo and icon into OUTPUT-DIR.\n")) return 0;
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-installer-art OUTPUT-DIR\n");
    return 2;
  }
  Canvas logo(308, 87);
  logo.Frame(0, 0, 308, 87, 2);
  Printer(logo, 8, 12, 64);
  Text(logo, 84, 8, "LORVEX", 6, 6);
  Text(logo, 84, 60, "80MM RECEIPT DRIVER", 2, 1);
  const std::string dir = argv[1];
  if (!Write(dir + "/logo.bmp", Bmp1(logo)) || !Write(dir + "/installer.ico", Ico())) {
    std::fprintf(stderr, "make-installer-art: cannot write into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
