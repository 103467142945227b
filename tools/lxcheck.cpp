// lxcheck: prints, one "name value" line each, the layouts of the records the
// image library shares with Windows and digests of what its operations make
// of fixed pictures. The native build and both Windows builds must print the
// same lines; the Wine checks compare them.
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "lximage.h"
#include "tool_usage.h"

namespace {

// FNV-1a over the pixel rows, without row padding, so that digests do not
// depend on bytes the library leaves undefined.
unsigned long Digest(LxImage& img) {
  uint32_t h = 2166136261u;
  if (!img.IsValid()) return 0;
  const DWORD rowBytes = (img.GetWidth() * img.GetBpp() + 7) / 8;
  const unsigned tailBits = (img.GetWidth() * img.GetBpp()) % 8;
  for (DWORD y = 0; y < img.GetHeight(); ++y) {
    const BYTE* row = img.GetBits(y);
    for (DWORD i = 0; i < rowBytes; ++i) {
      BYTE b = row[i];
      if (i + 1 == rowBytes && tailBits) b = static_cast<BYTE>(b & (0xFF << (8 - tailBits)));
      h = (h ^ b) * 16777619u;
    }
  }
  return h;
}

// A 24-bit picture with gradients in every channel and a few hard edges.
void MakeColourPicture(LxImage& img, DWORD w, DWORD h) {
  img.Create(w, h, 24, 0);
  for (DWORD y = 0; y < h; ++y) {
    for (DWORD x = 0; x < w; ++x) {
      RGBQUAD c;
      c.rgbRed = static_cast<BYTE>(x * 255 / (w - 1));
      c.rgbGreen = static_cast<BYTE>(y * 255 / (h - 1));
      c.rgbBlue = static_cast<BYTE>(((x / 7 + y / 5) % 2) ? 200 : 30);
      c.rgbReserved = 0;
      img.SetPixelColor(static_cast<long>(x), static_cast<long>(y), c);
    }
  }
}

void Line(const char* name, unsigned long value) { std::printf("%s %lu\n", name, value); }

}  // namespace

int main(int argc, char** argv) {
  if (AnswerHelp(argc, argv,
                 "usage: lxcheck\n"
                 "  Prints the record layouts and digests of the image operations, one a line,\n"
                 "  so that the Windows builds can be compared with the native one.\n"))
    return 0;
  Line("sizeof.BITMAPINFOHEADER", sizeof(BITMAPINFOHEADER));
  Line("sizeof.RGBQUAD", sizeof(RGBQUAD));
  Line("sizeof.RECT", sizeof(RECT));
  std::printf("version %s\n", LxImage::GetVersion());

  LxImage one;
  one.Create(1, 1, 1, 0);
  Line("create.1x1x1.size", static_cast<unsigned long>(one.GetSize()));
  LxImage huge;
  Line("create.40000x40000x24", huge.Create(40000, 40000, 24, 0) != nullptr);
  std::printf("create.40000x40000x24.error %s\n", huge.GetLastError());

  LxImage colour;
  MakeColourPicture(colour, 61, 37);
  Line("colour.digest", Digest(colour));
  LxImage gray(colour);
  gray.GrayScale();
  Line("gray.digest", Digest(gray));
  Line("gray.bpp", gray.GetBpp());
  LxImage two(colour);
  two.Threshold(128);
  Line("threshold128.digest", Digest(two));
  Line("threshold128.bpp", two.GetBpp());
  LxImage painted(colour);
  RGBQUAD red = {0, 0, 255, 0};
  painted.Threshold2(100, true, red, false);
  Line("threshold2.digest", Digest(painted));

  // Every halftone method, including numbers outside the table.
  for (long method : {-1L, 0L, 1L, 2L, 3L, 4L, 5L, 6L, 7L, 8L, 100L}) {
    LxImage halftone(colour);
    halftone.Dither(method);
    std::printf("dither.%ld.digest %lu\n", method, Digest(halftone));
  }

  // Every transform on every depth, on sizes that cross the 64-pixel tiles.
  for (int bpp : {1, 4, 8, 24}) {
    LxImage src(gray);
    if (bpp == 1) src.Threshold(100);
    if (bpp == 4) {
      LxImage four(61, 37, 4, 0);
      four.SetStdPalette();
      for (long y = 0; y < 37; ++y)
        for (long x = 0; x < 61; ++x) four.SetPixelIndex(x, y, static_cast<BYTE>((x * y) % 16));
      src.Copy(four);
    }
    if (bpp == 24) src.Copy(colour);
    LxImage big(src);
    big.Crop(0, 0, 70, 100);  // clamps to the picture
    const char* names[] = {"flip", "mirror", "rotate180", "left", "right", "crop"};
    for (int op = 0; op < 6; ++op) {
      LxImage t(src);
      switch (op) {
        case 0: t.Flip(); break;
        case 1: t.Mirror(); break;
        case 2: t.Rotate180(); break;
        case 3: t.RotateLeft(); break;
        case 4: t.RotateRight(); break;
        default: t.Crop(5, 3, 50, 30); break;
      }
      std::printf("%s.%d.digest %lu\n", names[op], bpp, Digest(t));
    }
  }
  return 0;
}
