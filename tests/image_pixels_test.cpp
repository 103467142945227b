// Tests of the palette, pixel access, selection and alpha of LxImage.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "lximage_probe.h"

namespace {

RGBQUAD Rgb(BYTE r, BYTE g, BYTE b, BYTE reserved = 0) {
  RGBQUAD c;
  c.rgbRed = r;
  c.rgbGreen = g;
  c.rgbBlue = b;
  c.rgbReserved = reserved;
  return c;
}

void ExpectColour(const RGBQUAD& c, BYTE r, BYTE g, BYTE b, const char* what) {
  EXPECT_EQ(c.rgbRed, r) << what;
  EXPECT_EQ(c.rgbGreen, g) << what;
  EXPECT_EQ(c.rgbBlue, b) << what;
}

using DepthWidth = std::tuple<int, DWORD>;
class PixelAccess : public ::testing::TestWithParam<DepthWidth> {};

// Writes through the checked setter land exactly where the DIB layout says,
// and leave the other pixels of a shared byte alone.
TEST_P(PixelAccess, IndicesLandInTheDibLayout) {
  const int bpp = std::get<0>(GetParam());
  const DWORD width = std::get<1>(GetParam());
  const long w = static_cast<long>(width);
  LxImage img(width, 3, bpp, 0);
  img.Clear(0);
  const BYTE mask = static_cast<BYTE>((1u << bpp) - 1);
  for (long y = 0; y < 3; ++y) {
    for (long x = 0; x < w; ++x) img.SetPixelIndex(x, y, static_cast<BYTE>(x * 3 + y));
  }
  for (long y = 0; y < 3; ++y) {
    const BYTE* row = img.GetBits(static_cast<DWORD>(y));
    for (long x = 0; x < w; ++x) {
      const BYTE want = static_cast<BYTE>((x * 3 + y) & mask);
      BYTE raw = 0;
      if (bpp == 8) raw = row[x];
      if (bpp == 4) raw = (x % 2 == 0) ? row[x / 2] >> 4 : row[x / 2] & 0x0F;
      if (bpp == 1) raw = (row[x / 8] >> (7 - x % 8)) & 1;
      ASSERT_EQ(raw, want) << "x " << x << " y " << y;
      ASSERT_EQ(img.GetPixelIndex(x, y), want);
    }
  }
  // Row padding is untouched by pixel writes.
  const DWORD used = (width * bpp + 7) / 8;
  for (DWORD i = used; i < img.GetEffWidth(); ++i) EXPECT_EQ(img.GetBits(1)[i], 0);
}

INSTANTIATE_TEST_SUITE_P(Depths, PixelAccess,
                         ::testing::Combine(::testing::Values(1, 4, 8),
                                            ::testing::Values(1u, 5u, 31u, 33u, 576u)));

class ColourAccess : public ::testing::TestWithParam<DWORD> {};

TEST_P(ColourAccess, ColoursLandBlueFirst) {
  const DWORD width = GetParam();
  LxImage img(width, 2, 24, 0);
  const long last = static_cast<long>(width) - 1;
  img.SetPixelColor(last, 1, Rgb(1, 2, 3));
  const BYTE* p = img.GetBits(1) + 3 * last;
  EXPECT_EQ(p[0], 3);  // blue first
  EXPECT_EQ(p[1], 2);
  EXPECT_EQ(p[2], 1);
  ExpectColour(img.GetPixelColor(last, 1), 1, 2, 3, "read back");
}

INSTANTIATE_TEST_SUITE_P(Widths, ColourAccess, ::testing::Values(1u, 5u, 31u, 33u, 576u));

TEST(Pixels, OutsideReadsAnswerTheDefinedFallback) {
  LxImage img(4, 4, 8, 0);
  img.SetGrayPalette();
  img.Clear(0);
  img.SetPixelIndex(0, 0, 42);
  EXPECT_EQ(img.GetPixelIndex(-1, 0), 42) << "no transparency: the pixel at (0, 0)";
  EXPECT_EQ(img.GetPixelIndex(4, 4), 42);
  EXPECT_EQ(img.GetPixelGray(100, -100), 42);
  img.SetTransIndex(3);
  EXPECT_EQ(img.GetPixelIndex(-1, 0), 3);
  EXPECT_EQ(img.GetPixelGray(-1, 0), 3);
  img.SetPixelIndex(4, 0, 9);  // ignored
  img.SetPixelIndex(-1, 0, 9);
  EXPECT_EQ(img.GetPixelIndex(3, 0), 0);
}

TEST(Pixels, TwentyFourBitImagesHaveNoIndex) {
  LxImage img(2, 2, 24, 0);
  img.Clear(0xAB);
  EXPECT_EQ(img.GetPixelIndex(1, 1), 0);
  img.SetPixelIndex(1, 1, 5);
  EXPECT_EQ(img.GetBits(1)[3], 0xAB);
}

TEST(Pixels, SetPixelColorOnPaletteImagesStoresTheNearestIndex) {
  LxImage img(3, 1, 4, 0);
  img.SetStdPalette();
  img.SetPixelColor(0, 0, Rgb(250, 5, 5));
  img.SetPixelColor(1, 0, 0x00FF0000u);  // packed 0x00BBGGRR: pure blue
  EXPECT_EQ(img.GetPixelIndex(0, 0), 9);
  EXPECT_EQ(img.GetPixelIndex(1, 0), 12);
}

TEST(Pixels, ColourWithAlphaAndTransparency) {
  LxImage img(2, 2, 24, 0);
  img.Clear(10);
  ASSERT_TRUE(img.AlphaCreate());
  img.AlphaSet(1, 1, 0);
  img.SetPixelColor(0, 1, Rgb(1, 2, 3, 77), true);
  EXPECT_EQ(img.AlphaGet(0, 1), 77);
  EXPECT_EQ(img.GetPixelColor(0, 1, true).rgbReserved, 77);
  EXPECT_EQ(img.GetPixelColor(0, 1, false).rgbReserved, 0);
  EXPECT_TRUE(img.IsTransparent(1, 1));
  EXPECT_FALSE(img.IsTransparent(0, 0));

  LxImage pal(2, 1, 8, 0);
  pal.SetGrayPalette();
  pal.Clear(0);
  pal.SetPixelIndex(1, 0, 6);
  pal.SetTransIndex(6);
  EXPECT_TRUE(pal.IsTransparent(1, 0));
  EXPECT_FALSE(pal.IsTransparent(0, 0));
  LxImage empty;
  EXPECT_FALSE(empty.IsTransparent(0, 0));
}

TEST(Palette, NearestIndexByDistanceLowestIndexWinsAndIsCached) {
  LxImage img(1, 1, 1, 0);
  img.SetStdPalette();
  EXPECT_EQ(img.GetNearestIndex(Rgb(127, 127, 127)), 0);
  EXPECT_EQ(img.GetNearestIndex(Rgb(128, 128, 128)), 1);

  LxImage twins(1, 1, 4, 0);
  for (BYTE i = 0; i < 16; ++i) twins.SetPaletteColor(i, Rgb(200, 200, 200));
  twins.SetPaletteColor(5, Rgb(10, 10, 10));
  twins.SetPaletteColor(9, Rgb(10, 10, 10));
  EXPECT_EQ(twins.GetNearestIndex(Rgb(12, 12, 12)), 5);
  // A clearing setter makes the next query search again.
  twins.SetPaletteColor(5, Rgb(250, 250, 250));
  EXPECT_EQ(twins.GetNearestIndex(Rgb(12, 12, 12)), 9);
}

TEST(Palette, NearestIndexSearchesOnlyTheImportantColours) {
  LxImage img(1, 1, 8, 0);
  img.SetGrayPalette();
  img.SetClrImportant(2);
  EXPECT_EQ(img.GetNearestIndex(Rgb(200, 200, 200)), 1);
  // A value left from a deeper image must not widen the search past the palette.
  LxImage shallow(1, 1, 8, 0);
  shallow.SetClrImportant(200);
  shallow.Create(1, 1, 1, 0);
  shallow.SetStdPalette();
  EXPECT_EQ(shallow.GetClrImportant(), 200u);
  EXPECT_EQ(shallow.GetNearestIndex(Rgb(250, 250, 250)), 1);
}

TEST(Palette, GetPaletteColorOutParametersRefuseBadIndex) {
  LxImage img(1, 1, 1, 0);
  img.SetStdPalette();
  BYTE r = 7, g = 7, b = 7;
  EXPECT_FALSE(img.GetPaletteColor(2, &r, &g, &b));
  EXPECT_EQ(r, 7);
  EXPECT_EQ(g, 7);
  EXPECT_EQ(b, 7);
  EXPECT_TRUE(img.GetPaletteColor(1, &r, &g, &b));
  EXPECT_EQ(r, 255);
  LxImage rgb(1, 1, 24, 0);
  EXPECT_FALSE(rgb.GetPaletteColor(0, &r, &g, &b));
  const RGBQUAD none = img.GetPaletteColor(2);
  EXPECT_EQ(LxImage::RGBQUADtoRGB(none), 0u);
}

TEST(Palette, SetPaletteForms) {
  LxImage img(1, 1, 4, 0);
  img.SetPaletteColor(0, 1, 2, 3, 99);
  BYTE reds[3] = {10, 20, 30};
  BYTE greens[3] = {11, 21, 31};
  img.SetPalette(3, reds, greens);  // blue falls back to green
  RGBQUAD c = img.GetPaletteColor(0);
  ExpectColour(c, 10, 11, 11, "red/green tables");
  EXPECT_EQ(c.rgbReserved, 99) << "the reserved byte stays";
  img.SetPalette(2, reds);  // green and blue fall back to red
  ExpectColour(img.GetPaletteColor(1), 20, 20, 20, "red table only");
  img.SetPalette(3, nullptr);  // nothing
  ExpectColour(img.GetPaletteColor(1), 20, 20, 20, "null red table");

  LxImage::rgb_color entries[2] = {{1, 2, 3}, {4, 5, 6}};
  img.SetPalette(entries, 2);
  ExpectColour(img.GetPaletteColor(1), 4, 5, 6, "rgb_color entries");

  RGBQUAD quads[20];
  for (int i = 0; i < 20; ++i) quads[i] = Rgb(static_cast<BYTE>(i), 0, 0, 1);
  img.SetPalette(quads, 20);  // copies no more than the 16 entries
  EXPECT_EQ(img.GetPaletteColor(15).rgbRed, 15);
  EXPECT_EQ(img.GetPaletteColor(15).rgbReserved, 1);

  img.SetPaletteColor(3, 0x00332211u);
  ExpectColour(img.GetPaletteColor(3), 0x11, 0x22, 0x33, "packed colour");
  img.SetPaletteColor(16, 9, 9, 9, 9);  // beyond the palette: nothing
}

TEST(Palette, GrayPaletteByDepth) {
  const std::pair<int, std::vector<BYTE>> cases[] = {
      {1, {0, 255}}, {4, {0, 17, 34, 255}}, {8, {0, 1, 2, 255}}};
  for (const auto& c : cases) {
    LxImage img(1, 1, c.first, 0);
    img.SetGrayPalette();
    const DWORD n = img.GetNumColors();
    const BYTE picks[4] = {0, 1, 2, static_cast<BYTE>(n - 1)};
    for (size_t i = 0; i < c.second.size(); ++i) {
      EXPECT_EQ(img.GetPaletteColor(picks[i]).rgbGreen, c.second[i]) << "depth " << c.first;
    }
  }
}

TEST(Palette, StandardPalettes) {
  LxImage four(1, 1, 4, 0);
  four.SetStdPalette();
  ExpectColour(four.GetPaletteColor(7), 192, 192, 192, "4-bit 7");
  ExpectColour(four.GetPaletteColor(8), 128, 128, 128, "4-bit 8");
  ExpectColour(four.GetPaletteColor(13), 255, 0, 255, "4-bit 13");

  LxImage eight(1, 1, 8, 0);
  eight.SetStdPalette();
  ExpectColour(eight.GetPaletteColor(3), 128, 128, 0, "8-bit 3");
  ExpectColour(eight.GetPaletteColor(8), 192, 220, 192, "8-bit 8");
  ExpectColour(eight.GetPaletteColor(9), 166, 202, 240, "8-bit 9");
  // Group 0, base (255, 170, 0): tint 0 and tint 5, shade 0 and shade 5.
  ExpectColour(eight.GetPaletteColor(10), 255, 240, 212, "tint 0");
  ExpectColour(eight.GetPaletteColor(15), 255, 170, 37, "tint 5");
  ExpectColour(eight.GetPaletteColor(16), 255, 170, 0, "shade 0");
  ExpectColour(eight.GetPaletteColor(21), 80, 50, 0, "shade 5");
  // Group 1, base (255, 85, 0): tint 1 of 85 is 199.
  ExpectColour(eight.GetPaletteColor(23), 255, 199, 177, "group 1 tint 1");
  // Group 17, base (254, 254, 0): shade 0 keeps 254.
  ExpectColour(eight.GetPaletteColor(10 + 12 * 17 + 6), 254, 254, 0, "group 17 shade 0");
  ExpectColour(eight.GetPaletteColor(226), 242, 242, 242, "first gray");
  ExpectColour(eight.GetPaletteColor(245), 14, 14, 14, "last gray");
  ExpectColour(eight.GetPaletteColor(246), 255, 251, 240, "cream");
  ExpectColour(eight.GetPaletteColor(255), 255, 255, 255, "white");
}

TEST(Palette, IsGrayScaleAndIsSamePalette) {
  LxImage a(1, 1, 8, 0);
  a.SetGrayPalette();
  EXPECT_TRUE(a.IsGrayScale());
  LxImage one(1, 1, 1, 0);
  one.SetGrayPalette();
  EXPECT_FALSE(one.IsGrayScale()) << "entry 1 is 255, not 1";
  LxImage b(a);
  EXPECT_TRUE(a.IsSamePalette(b));
  b.SetPaletteColor(4, 4, 4, 4, 9);
  EXPECT_FALSE(a.IsSamePalette(b, true));
  EXPECT_TRUE(a.IsSamePalette(b, false));
  EXPECT_FALSE(a.IsSamePalette(one));
}

TEST(Palette, SwapIndexSwapsEntriesAndPixels) {
  LxImage img(3, 1, 4, 0);
  img.SetStdPalette();
  img.SetPixelIndex(0, 0, 1);
  img.SetPixelIndex(1, 0, 2);
  img.SetPixelIndex(2, 0, 3);
  img.SwapIndex(1, 2);
  EXPECT_EQ(img.GetPixelIndex(0, 0), 2);
  EXPECT_EQ(img.GetPixelIndex(1, 0), 1);
  EXPECT_EQ(img.GetPixelIndex(2, 0), 3);
  ExpectColour(img.GetPaletteColor(1), 0, 128, 0, "swapped entry");
  // The colour of every pixel is unchanged.
  ExpectColour(img.GetPixelColor(0, 0), 128, 0, 0, "pixel colour");
}

TEST(Palette, SwapRgbToBgr) {
  LxImage rgb(2, 1, 24, 0);
  rgb.SetPixelColor(1, 0, Rgb(1, 2, 3));
  rgb.SwapRGB2BGR();
  ExpectColour(rgb.GetPixelColor(1, 0), 3, 2, 1, "24-bit");
  LxImage pal(1, 1, 1, 0);
  pal.SetPaletteColor(1, Rgb(9, 8, 7));
  pal.SwapRGB2BGR();
  ExpectColour(pal.GetPaletteColor(1), 7, 8, 9, "palette");
}

TEST(Palette, SetClrImportantByDepth) {
  const std::tuple<int, DWORD, DWORD> cases[] = {{1, 5, 2}, {4, 20, 16}, {8, 200, 200},
                                                 {8, 0, 0},  {8, 257, 0}, {4, 3, 3}};
  for (const auto& c : cases) {
    LxImage img(1, 1, std::get<0>(c), 0);
    img.SetClrImportant(std::get<1>(c));
    EXPECT_EQ(img.GetClrImportant(), std::get<2>(c));
  }
  LxImage rgb(1, 1, 24, 0);
  rgb.SetClrImportant(7);
  EXPECT_EQ(rgb.GetClrImportant(), 0u) << "24-bit images keep their value";
}

TEST(Palette, EmptyImagesAnswerNothing) {
  LxImage img;
  EXPECT_EQ(img.GetPalette(), nullptr);
  EXPECT_EQ(img.GetPaletteSize(), 0u);
  EXPECT_EQ(img.GetNearestIndex(Rgb(1, 1, 1)), 0);
  EXPECT_FALSE(img.IsGrayScale());
  img.SetStdPalette();
  img.SetGrayPalette();
  img.SwapIndex(0, 1);
  img.SwapRGB2BGR();
  img.SetPixelColor(0, 0, Rgb(1, 1, 1));
  RGBQUAD c = img.GetPixelColor(0, 0);
  EXPECT_EQ(LxImage::RGBQUADtoRGB(c), 0u);
}

TEST(Selection, CreateDeleteCopy) {
  LxImageProbe img(4, 3, 8, 0);
  ASSERT_TRUE(img.SelectionCreate());
  for (int i = 0; i < 12; ++i) EXPECT_EQ(img.selection[i], 0);
  img.SelectionSet(1, 2, 5);
  EXPECT_EQ(img.SelectionGet(1, 2), 5);
  EXPECT_EQ(img.BlindSelectionGet(1, 2), 5);
  EXPECT_EQ(img.selection[1 + 2 * 4], 5) << "unpadded rows, bottom up";
  EXPECT_EQ(img.SelectionGet(9, 9), 0);
  EXPECT_TRUE(img.BlindSelectionIsInside(1, 2));
  EXPECT_FALSE(img.BlindSelectionIsInside(0, 0));
  img.info.selectionBox = {1, 3, 2, 2};

  LxImageProbe same(4, 3, 8, 0);
  EXPECT_TRUE(same.SelectionCopy(img));
  EXPECT_EQ(same.SelectionGet(1, 2), 5);
  EXPECT_EQ(same.info.selectionBox.top, 3);
  LxImageProbe other(3, 4, 8, 0);
  EXPECT_FALSE(other.SelectionCopy(img));
  LxImageProbe none(4, 3, 8, 0);
  EXPECT_FALSE(img.SelectionCopy(none));

  EXPECT_TRUE(img.SelectionDelete());
  EXPECT_FALSE(img.SelectionIsValid());
  EXPECT_TRUE(img.BlindSelectionIsInside(0, 0)) << "no mask: every pixel is inside";
  EXPECT_EQ(img.info.selectionBox.left, 4);
  EXPECT_EQ(img.info.selectionBox.top, 0);
  EXPECT_EQ(img.info.selectionBox.right, 0);
  EXPECT_EQ(img.info.selectionBox.bottom, 3);
}

TEST(Alpha, CreateCopyGetSet) {
  LxImage img(3, 2, 24, 0);
  EXPECT_EQ(img.AlphaGet(0, 0), 0);
  ASSERT_TRUE(img.AlphaCreate());
  EXPECT_EQ(img.AlphaGet(2, 1), 255);
  img.AlphaSet(2, 1, 4);
  img.AlphaSet(3, 1, 4);  // outside: ignored
  img.AlphaSetMax(90);
  LxImage other(3, 2, 8, 0);
  EXPECT_TRUE(other.AlphaCopy(img));
  EXPECT_EQ(other.AlphaGet(2, 1), 4);
  EXPECT_EQ(other.AlphaGetMax(), 90);
  LxImage small(2, 2, 8, 0);
  EXPECT_FALSE(small.AlphaCopy(img));
  {
    AllocationFailure fail(0);
    EXPECT_FALSE(small.AlphaCreate());
  }
  EXPECT_TRUE(img.AlphaDelete());
  EXPECT_FALSE(img.AlphaIsValid());
}

TEST(Colours, PackedFormAndGrayOrdering) {
  const RGBQUAD c = LxImage::RGBtoRGBQUAD(0x00112233u);
  ExpectColour(c, 0x33, 0x22, 0x11, "0x00BBGGRR");
  EXPECT_EQ(LxImage::RGBQUADtoRGB(Rgb(0x33, 0x22, 0x11, 0xFF)), 0x00112233u);
  const RGBQUAD red = Rgb(255, 0, 0), green = Rgb(0, 255, 0);
  EXPECT_EQ(LxImageProbe::CompareColors(&red, &green), 76 - 149);
  EXPECT_EQ(LxGrayLevel(255, 255, 255), 255);
  EXPECT_EQ(LxGrayLevel(0, 0, 255), 29);
}

TEST(Pixels, BlindPointerOnlyForTwentyFourBits) {
  LxImageProbe rgb(4, 2, 24, 0);
  EXPECT_EQ(rgb.BlindGetPixelPointer(2, 1), rgb.GetBits(1) + 6);
  LxImageProbe pal(4, 2, 8, 0);
  EXPECT_EQ(pal.BlindGetPixelPointer(2, 1), nullptr);
}

}  // namespace
