// Applies random sequences of transforms and halftones to small random
// images of every depth, with and without selection and alpha.
#include <vector>

#include "fuzz_input.h"
#include "lximage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  static const DWORD kDepths[] = {1, 4, 8, 24};
  const DWORD width = in.Range(1, 48);
  const DWORD height = in.Range(1, 48);
  LxImage img(width, height, kDepths[in.Byte() % 4], in.Byte() % 20);
  if (!img.IsValid()) return 0;
  img.SetStdPalette();
  BYTE* bits = img.GetBits(0);
  for (DWORD i = 0; i < img.GetEffWidth() * height; ++i) bits[i] = in.Byte();
  if (in.Flag()) img.AlphaCreate();
  if (in.Flag()) img.SelectionCreate();

  LxImage other;
  for (int step = 0; step < 12 && in.left(); ++step) {
    LxImage* dst = in.Flag() ? &other : nullptr;
    switch (in.Byte() % 12) {
      case 0: img.Flip(in.Flag(), in.Flag()); break;
      case 1: img.Mirror(in.Flag(), in.Flag()); break;
      case 2: img.Rotate180(dst); break;
      case 3: img.RotateLeft(dst); break;
      case 4: img.RotateRight(dst); break;
      case 5: {
        const long l = static_cast<int8_t>(in.Byte()), t = static_cast<int8_t>(in.Byte());
        const long r = static_cast<int8_t>(in.Byte()), b = static_cast<int8_t>(in.Byte());
        img.Crop(l, t, r, b, dst);
        break;
      }
      case 6: img.Dither(static_cast<int8_t>(in.Byte())); break;
      case 7: img.Threshold(in.Byte()); break;
      case 8: img.GrayScale(); break;
      case 9: img.SelectionFlip(); img.AlphaMirror(); break;
      case 10: img.SelectionMirror(); img.AlphaFlip(); break;
      default: {
        RGBQUAD c = {in.Byte(), in.Byte(), in.Byte(), in.Byte()};
        img.Threshold2(in.Byte(), in.Flag(), c, in.Flag());
        break;
      }
    }
    if (dst && other.IsValid() && in.Flag()) img.Transfer(other);
  }
  volatile BYTE sink = img.GetPixelGray(static_cast<long>(width / 2), static_cast<long>(height / 2));
  (void)sink;
  return 0;
}
