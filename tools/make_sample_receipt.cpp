// make-sample-receipt: draws the sample receipt kept in samples/receipt.png:
// a logo, lines of text, a gray gradient and a photo-like area, 576 dots wide.
//
//   make-sample-receipt OUT.png
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include <stb_easy_font.h>
#include <stb_image_write.h>

#include "tool_usage.h"

namespace {

constexpr int kWidth = 576;

struct Canvas {
  int height;
  std::vector<unsigned char> gray;
  explicit Canvas(int h) : height(h), gray(static_cast<size_t>(kWidth) * h, 255) {}
  void Fill(int x0, int y0, int x1, int y1, unsigned char v) {
    for (int y = y0 < 0 ? 0 : y0; y < y1 && y < height; ++y)
      for (int x = x0 < 0 ? 0 : x0; x < x1 && x < kWidth; ++x) gray[static_cast<size_t>(y) * kWidth + x] = v;
  }
  // Text in the easy font, each font pixel drawn as a scale x scale block.
  void Text(int x, int y, const char* text, int scale, unsigned char v = 0) {
    static char buffer[120000];
    const int quads = stb_easy_font_print(0, 0, const_cast<char*>(text), nullptr, buffer, sizeof(buffer));
    for (int q = 0; q < quads; ++q) {
      const float* v0 = reinterpret_cast<const float*>(buffer + q * 64);
      const float* v2 = reinterpret_cast<const float*>(buffer + q * 64 + 32);
      Fill(x + static_cast<int>(v0[0] * scale), y + static_cast<int>(v0[1] * scale),
           x + static_cast<int>(v2[0] * scale), y + static_cast<int>(v2[1] * scale), v);
    }
  }
  int TextWidth(const char* text, int scale) { return stb_easy_font_width(const_cast<char*>(text)) * scale; }
  void Centered(int y, const char* text, int scale, unsigned char v = 0) {
    Text((kWidth - TextWidth(text, scale)) / 2, y, text, scale, v);
  }
  // An item line: name on the left, quantity at a fixed column, amount on
  // the right.
  void Line(int y, const char* left, const char* middle, const char* right, int scale) {
    Text(24, y, left, scale);
    Text(250, y, middle, scale);
    Text(kWidth - 24 - TextWidth(right, scale), y, right, scale);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (AnswerHelp(argc, argv, "usage: make-sample-receipt OUT.png\n  Draws the sample receipt (a logo, lines of text, a gradient and a photo-like\n  area, 576 dots wide) into OUT.png.\n")) return 0;
  if (argc != 2) {
    std::fputs("usage: make-sample-receipt OUT.png\n", stderr);
    return 2;
  }
  Canvas c(1000);

  // Logo: a black badge with the name cut out of it, in a ring.
  for (int y = 10; y < 150; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const double dx = x - kWidth / 2.0, dy = (y - 80) * 1.0;
      const double r = std::sqrt(dx * dx + dy * dy);
      if (r > 62 && r < 70) c.gray[static_cast<size_t>(y) * kWidth + x] = 0;
    }
  }
  c.Fill(kWidth / 2 - 150, 58, kWidth / 2 + 150, 102, 0);
  c.Centered(64, "LORVEX", 5, 255);

  int y = 170;
  c.Centered(y, "CORNER CAFE", 3);
  y += 36;
  c.Centered(y, "12 Market Street, Harbour Town", 2);
  y += 24;
  c.Centered(y, "2026-12-07  14:32   Till 2   #00042", 2);
  y += 40;
  c.Line(y, "Flat white", "2 x 3.40", "6.80", 2);
  y += 26;
  c.Line(y, "Croissant", "1 x 2.90", "2.90", 2);
  y += 26;
  c.Line(y, "Orange juice", "1 x 3.50", "3.50", 2);
  y += 30;
  for (int x = 24; x < kWidth - 24; x += 8) c.Fill(x, y, x + 4, y + 2, 0);
  y += 14;
  c.Line(y, "TOTAL EUR", "", "13.20", 3);
  y += 50;

  // A gray ramp, white to black, with a scale under it.
  for (int x = 0; x < kWidth; ++x) c.Fill(x, y, x + 1, y + 60, static_cast<unsigned char>(255 - x * 255 / (kWidth - 1)));
  y += 64;
  for (int x = 0; x < kWidth; x += 72) c.Fill(x, y, x + 1, y + 8, 0);
  y += 20;

  // A photo-like area: soft light and shade with grain.
  unsigned noise = 2024;
  for (int py = 0; py < 240; ++py) {
    for (int x = 0; x < kWidth; ++x) {
      const double u = x / 576.0, v = py / 240.0;
      double level = 0.55 + 0.25 * std::sin(6.0 * u + 1.5 * v) * std::cos(4.0 * v - 2.0 * u);
      level += 0.35 * std::exp(-((u - 0.3) * (u - 0.3) + (v - 0.45) * (v - 0.45)) * 18.0);
      level -= 0.4 * std::exp(-((u - 0.75) * (u - 0.75) + (v - 0.6) * (v - 0.6)) * 25.0);
      noise = noise * 1664525u + 1013904223u;
      level += ((noise >> 24) / 255.0 - 0.5) * 0.08;
      const int g = static_cast<int>(level * 255.0);
      c.gray[static_cast<size_t>(y + py) * kWidth + x] = static_cast<unsigned char>(g < 0 ? 0 : (g > 255 ? 255 : g));
    }
  }
  y += 250;
  c.Centered(y, "Thank you - see you soon!", 2);
  y += 40;

  if (!stbi_write_png(argv[1], kWidth, y, 1, c.gray.data(), kWidth)) {
    std::fprintf(stderr, "make-sample-receipt: cannot write '%s'\n", argv[1]);
    return 2;
  }
  return 0;
}
