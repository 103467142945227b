// paper_png.cpp: the preview's picture of the paper.
#include "paper_png.h"

#include <stb_image_write.h>

bool WritePaperPng(const Paper& paper, const char* path) {
  const uint32_t width = paper.width ? paper.width : 1;
  const uint32_t height = paper.height ? paper.height : 1;
  std::vector<uint8_t> rgb(size_t{width} * height * 3, 255);
  for (uint32_t y = 0; y < paper.height; ++y) {
    for (uint32_t x = 0; x < paper.width; ++x) {
      if (paper.dots[size_t{y} * paper.width + x]) {
        uint8_t* p = &rgb[(size_t{y} * width + x) * 3];
        p[0] = p[1] = p[2] = 0;
      }
    }
  }
  for (uint32_t cut : paper.cuts) {
    for (uint32_t dy = 0; dy < 2; ++dy) {
      const uint32_t y = cut + dy < height ? cut + dy : height - 1;
      for (uint32_t x = 0; x < width; ++x) {
        if ((x / 8) % 2) continue;  // dashes of 8 dots
        uint8_t* p = &rgb[(size_t{y} * width + x) * 3];
        p[0] = 220;
        p[1] = 0;
        p[2] = 0;
      }
    }
  }
  // A drawer pulse: a blue wedge at the left edge, 12 dots high.
  for (uint32_t row : paper.drawers) {
    for (uint32_t dy = 0; dy < 12; ++dy) {
      const uint32_t y = row + dy < height ? row + dy : height - 1;
      for (uint32_t x = 0; x < 12 - (dy > 6 ? dy - 6 : 6 - dy) && x < width; ++x) {
        uint8_t* p = &rgb[(size_t{y} * width + x) * 3];
        p[0] = 0;
        p[1] = 60;
        p[2] = 220;
      }
    }
  }
  return stbi_write_png(path, static_cast<int>(width), static_cast<int>(height), 3, rgb.data(),
                        static_cast<int>(width * 3)) != 0;
}
