// Fuzzes CreateFromArray with arbitrary geometry, depth, line length and flip,
// then gray conversion, both thresholds and checked pixel reads anywhere.
#include <cstring>
#include <vector>

#include "fuzz_input.h"
#include "lximage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const DWORD width = in.Range(0, 80);
  const DWORD height = in.Range(0, 80);
  static const DWORD kDepths[] = {1, 4, 8, 24, 32, 0, 2, 16};
  const DWORD bpp = kDepths[in.Byte() % 8];
  const DWORD bytesPerLine = in.Range(0, 400);
  const bool flip = in.Flag();

  // The caller's contract: `height` rows `bytesPerLine` apart, each holding
  // at least what one row of the image needs.
  const size_t need = (bpp == 32 ? 4u * width : (width * bpp + 31) / 32 * 4);
  const size_t rowSpan = bytesPerLine > need ? bytesPerLine : need;
  std::vector<BYTE> src(height ? (height - 1) * size_t{bytesPerLine} + rowSpan : 1, 0);
  if (in.left()) {
    for (size_t i = 0; i < src.size(); ++i) src[i] = in.rest()[i % in.left()];
  }

  LxImage img;
  if (!img.CreateFromArray(src.data(), width, height, bpp, bytesPerLine, flip)) return 0;

  const long w = static_cast<long>(img.GetWidth());
  const long h = static_cast<long>(img.GetHeight());
  volatile unsigned sink = 0;
  for (long y = -1; y <= h; y += (h > 8 ? h / 4 : 1)) {
    for (long x = -1; x <= w; x += (w > 8 ? w / 4 : 1)) sink = sink + img.GetPixelGray(x, y);
  }

  LxImage copy(img);
  RGBQUAD colour = {src[0], 0, 255, 0};
  copy.Threshold2(static_cast<BYTE>(width), flip, colour, true);
  LxImage mask(img);
  mask.GrayScale();
  LxImage masked(img);
  masked.Threshold(&mask);

  img.GrayScale();
  img.Threshold(static_cast<BYTE>(bytesPerLine));
  sink = sink + img.GetPixelIndex(w / 2, h / 2);
  (void)sink;
  return 0;
}
