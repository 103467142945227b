// lximage_probe.h: test access to LxImage's protected members, and helpers
// shared by the image tests.
#ifndef LORVEX_TESTS_LXIMAGE_PROBE_H
#define LORVEX_TESTS_LXIMAGE_PROBE_H

#include <cstdlib>
#include <random>
#include <vector>

#include "lxalloc.h"
#include "lximage.h"

class LxImageProbe : public LxImage {
 public:
  using LxImage::LxImage;
  using LxImage::alpha;
  using LxImage::BlindAlphaGet;
  using LxImage::BlindGetPixelColor;
  using LxImage::BlindGetPixelIndex;
  using LxImage::BlindGetPixelPointer;
  using LxImage::BlindSelectionGet;
  using LxImage::BlindSelectionIsInside;
  using LxImage::BlindSetPixelColor;
  using LxImage::BlindSetPixelIndex;
  using LxImage::bihtoh;
  using LxImage::CompareColors;
  using LxImage::CopyInfo;
  using LxImage::frames;
  using LxImage::Ghost;
  using LxImage::header;
  using LxImage::info;
  using LxImage::layers;
  using LxImage::ntohl;
  using LxImage::ntohs;
  using LxImage::selection;
  using LxImage::SelectionGet;
  using LxImage::SelectionSet;

  // Hands the image `count` owned frame images of 2 x 2 pixels.
  void AttachFrames(int count) {
    frames = static_cast<LxImage**>(LxAlloc(sizeof(LxImage*) * count));
    for (int i = 0; i < count; ++i) frames[i] = new LxImage(2, 2, 8, 0);
    info.numFrames = count;
  }
  // Hands the image `count` owned layer images whose parent is this image.
  void AttachLayers(int count) {
    layers = static_cast<LxImage**>(LxAlloc(sizeof(LxImage*) * count));
    for (int i = 0; i < count; ++i) {
      LxImageProbe* layer = new LxImageProbe(2, 2, 8, 0);
      layer->info.parent = this;
      layers[i] = layer;
    }
    info.numLayers = count;
  }
};

// Makes the next allocation fail after `count` successful ones, for the life
// of the object.
class AllocationFailure {
 public:
  explicit AllocationFailure(int count) { LxFailAllocationAfter(count); }
  ~AllocationFailure() { LxFailAllocationAfter(-1); }
};

// Fills every pixel of an indexed or 24-bit image with random values, through
// the checked setters (so padding stays as it was).
inline void FillRandom(LxImage& img, std::mt19937& rng) {
  for (long y = 0; y < static_cast<long>(img.GetHeight()); ++y) {
    for (long x = 0; x < static_cast<long>(img.GetWidth()); ++x) {
      const uint32_t v = rng();
      if (img.GetBpp() == 24) {
        RGBQUAD c = {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16), 0};
        img.SetPixelColor(x, y, c);
      } else {
        img.SetPixelIndex(x, y, static_cast<BYTE>(v));
      }
    }
  }
}

// Every pixel value of an image, row 0 first, whatever its depth.
inline std::vector<uint32_t> Pixels(LxImage& img) {
  std::vector<uint32_t> out;
  for (long y = 0; y < static_cast<long>(img.GetHeight()); ++y) {
    for (long x = 0; x < static_cast<long>(img.GetWidth()); ++x) {
      if (img.GetBpp() == 24) {
        out.push_back(LxImage::RGBQUADtoRGB(img.GetPixelColor(x, y, false)));
      } else {
        out.push_back(img.GetPixelIndex(x, y));
      }
    }
  }
  return out;
}

#endif  // LORVEX_TESTS_LXIMAGE_PROBE_H
