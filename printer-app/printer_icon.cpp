// printer_icon.cpp: draws the icon shape by shape, each pixel sampled 4 x 4
// times so that edges are smooth at 48 pixels as at 512.
#include "printer_icon.h"

#include <algorithm>
#include <cmath>

#include <stb_image_write.h>

namespace {

struct Color {
  float r, g, b;
};

// The shapes, in a unit square with y downwards; later ones lie on top.
struct Shape {
  enum Kind { kRoundedBox, kCircle } kind;
  float x0, y0, x1, y1;  // box; a circle's centre is (x0, y0) and its radius x1
  float radius;          // box corners
  Color color;
};

constexpr Color kPaper{1.0f, 1.0f, 1.0f};
constexpr Color kPaperEdge{0.62f, 0.66f, 0.70f};
constexpr Color kInk{0.22f, 0.25f, 0.29f};
constexpr Color kBody{0.17f, 0.22f, 0.29f};
constexpr Color kFront{0.27f, 0.33f, 0.41f};
constexpr Color kSlot{0.05f, 0.06f, 0.08f};
constexpr Color kLight{0.20f, 0.80f, 0.40f};

const Shape kShapes[] = {
    // The receipt, edge then paper, with lines of print on it.
    {Shape::kRoundedBox, 0.245f, 0.035f, 0.755f, 0.60f, 0.02f, kPaperEdge},
    {Shape::kRoundedBox, 0.26f, 0.05f, 0.74f, 0.60f, 0.015f, kPaper},
    {Shape::kRoundedBox, 0.32f, 0.12f, 0.68f, 0.15f, 0.01f, kInk},
    {Shape::kRoundedBox, 0.32f, 0.20f, 0.60f, 0.225f, 0.01f, kInk},
    {Shape::kRoundedBox, 0.32f, 0.27f, 0.66f, 0.295f, 0.01f, kInk},
    {Shape::kRoundedBox, 0.32f, 0.34f, 0.54f, 0.365f, 0.01f, kInk},
    // The printer, its front and the slot the receipt comes out of.
    {Shape::kRoundedBox, 0.08f, 0.44f, 0.92f, 0.93f, 0.09f, kBody},
    {Shape::kRoundedBox, 0.14f, 0.70f, 0.86f, 0.86f, 0.04f, kFront},
    {Shape::kRoundedBox, 0.20f, 0.46f, 0.80f, 0.52f, 0.02f, kSlot},
    {Shape::kCircle, 0.76f, 0.78f, 0.035f, 0.0f, 0.0f, kLight},
};

bool Inside(const Shape& s, float x, float y) {
  if (s.kind == Shape::kCircle) return (x - s.x0) * (x - s.x0) + (y - s.y0) * (y - s.y0) <= s.x1 * s.x1;
  if (x < s.x0 || x > s.x1 || y < s.y0 || y > s.y1) return false;
  // Outside the corner circles, a point in a corner square is outside.
  const float cx = std::clamp(x, s.x0 + s.radius, s.x1 - s.radius);
  const float cy = std::clamp(y, s.y0 + s.radius, s.y1 - s.radius);
  return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= s.radius * s.radius;
}

}  // namespace

std::vector<uint8_t> PrinterIconPixels(unsigned size) {
  constexpr int kSamples = 4;
  std::vector<uint8_t> rgba(size_t{size} * size * 4, 0);
  for (unsigned py = 0; py < size; ++py) {
    for (unsigned px = 0; px < size; ++px) {
      float r = 0, g = 0, b = 0, a = 0;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const float x = (static_cast<float>(px) + (sx + 0.5f) / kSamples) / static_cast<float>(size);
          const float y = (static_cast<float>(py) + (sy + 0.5f) / kSamples) / static_cast<float>(size);
          const Shape* top = nullptr;
          for (const Shape& s : kShapes)
            if (Inside(s, x, y)) top = &s;
          if (top == nullptr) continue;
          r += top->color.r;
          g += top->color.g;
          b += top->color.b;
          a += 1;
        }
      }
      uint8_t* out = &rgba[(size_t{py} * size + px) * 4];
      if (a == 0) continue;
      // Colour averaged over the covered samples; coverage as alpha.
      out[0] = static_cast<uint8_t>(std::lround(255 * r / a));
      out[1] = static_cast<uint8_t>(std::lround(255 * g / a));
      out[2] = static_cast<uint8_t>(std::lround(255 * b / a));
      out[3] = static_cast<uint8_t>(std::lround(255 * a / (kSamples * kSamples)));
    }
  }
  return rgba;
}

std::vector<uint8_t> PrinterIconPng(unsigned size) {
  if (size == 0) return {};
  const std::vector<uint8_t> pixels = PrinterIconPixels(size);
  std::vector<uint8_t> bytes;
  auto append = [](void* context, void* data, int length) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const auto* from = static_cast<const uint8_t*>(data);
    out->insert(out->end(), from, from + length);
  };
  if (!stbi_write_png_to_func(append, &bytes, static_cast<int>(size), static_cast<int>(size), 4, pixels.data(),
                              static_cast<int>(size * 4)))
    return {};
  return bytes;
}
