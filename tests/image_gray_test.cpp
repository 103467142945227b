// Tests of GrayScale, Threshold (both forms) and Threshold2.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "lximage_probe.h"

namespace {

RGBQUAD Rgb(BYTE r, BYTE g, BYTE b) {
  RGBQUAD c = {b, g, r, 0};
  return c;
}

struct PureColour {
  RGBQUAD colour;
  BYTE gray;
};

class GrayOfColour : public ::testing::TestWithParam<PureColour> {};

TEST_P(GrayOfColour, TwentyFourBitsBecomeTheWeightedLevel) {
  LxImage img(5, 3, 24, 6);
  for (long y = 0; y < 3; ++y)
    for (long x = 0; x < 5; ++x) img.SetPixelColor(x, y, GetParam().colour);
  ASSERT_TRUE(img.GrayScale());
  EXPECT_EQ(img.GetBpp(), 8);
  EXPECT_TRUE(img.IsGrayScale());
  EXPECT_EQ(img.GetType(), 6u);
  for (long y = 0; y < 3; ++y)
    for (long x = 0; x < 5; ++x) ASSERT_EQ(img.GetPixelIndex(x, y), GetParam().gray);
}

INSTANTIATE_TEST_SUITE_P(Colours, GrayOfColour,
                         ::testing::Values(PureColour{Rgb(255, 0, 0), 76},
                                           PureColour{Rgb(0, 255, 0), 149},
                                           PureColour{Rgb(0, 0, 255), 29},
                                           PureColour{Rgb(255, 255, 255), 255},
                                           PureColour{Rgb(0, 0, 0), 0},
                                           PureColour{Rgb(10, 20, 30), 18}));

TEST(GrayScale, IdentityPaletteKeepsEveryByte) {
  std::mt19937 rng(3);
  LxImage img(33, 4, 8, 0);
  img.SetGrayPalette();
  FillRandom(img, rng);
  const std::vector<uint32_t> before = Pixels(img);
  ASSERT_TRUE(img.GrayScale());
  EXPECT_EQ(Pixels(img), before);
}

TEST(GrayScale, EightBitColourPaletteMapsPixelsToGray) {
  LxImageProbe img(2, 1, 8, 0);
  img.SetStdPalette();
  img.SetPixelIndex(0, 0, 249);  // (255, 0, 0)
  img.SetPixelIndex(1, 0, 252);  // (0, 0, 255)
  img.SetTransIndex(249);
  ASSERT_TRUE(img.GrayScale());
  EXPECT_EQ(img.GetPixelIndex(0, 0), 76);
  EXPECT_EQ(img.GetPixelIndex(1, 0), 29);
  EXPECT_EQ(img.GetTransIndex(), 76) << "the transparent index follows its colour";
  EXPECT_TRUE(img.IsGrayScale());
}

class GrayFromPacked : public ::testing::TestWithParam<std::tuple<int, DWORD>> {};

TEST_P(GrayFromPacked, EachPixelTakesItsEntrysGray) {
  const int bpp = std::get<0>(GetParam());
  const DWORD width = std::get<1>(GetParam());
  std::mt19937 rng(width * 31u + bpp);
  LxImageProbe img(width, 3, bpp, 0);
  img.SetStdPalette();
  FillRandom(img, rng);
  img.SelectionCreate();
  img.AlphaCreate();
  std::vector<BYTE> want;
  for (long y = 0; y < 3; ++y)
    for (long x = 0; x < static_cast<long>(width); ++x) want.push_back(img.GetPixelGray(x, y));
  ASSERT_TRUE(img.GrayScale());
  EXPECT_EQ(img.GetBpp(), 8);
  EXPECT_TRUE(img.SelectionIsValid());
  EXPECT_TRUE(img.AlphaIsValid());
  size_t i = 0;
  for (long y = 0; y < 3; ++y)
    for (long x = 0; x < static_cast<long>(width); ++x) ASSERT_EQ(img.GetPixelIndex(x, y), want[i++]);
}

INSTANTIATE_TEST_SUITE_P(Depths, GrayFromPacked,
                         ::testing::Combine(::testing::Values(1, 4),
                                            ::testing::Values(1u, 5u, 31u, 33u, 576u)));

TEST(GrayScale, OneBitBlackAndWhite) {
  LxImage img(9, 1, 1, 0);
  img.SetStdPalette();
  img.Clear(0);
  img.SetPixelIndex(8, 0, 1);
  ASSERT_TRUE(img.GrayScale());
  EXPECT_EQ(img.GetPixelIndex(0, 0), 0);
  EXPECT_EQ(img.GetPixelIndex(8, 0), 255);
}

TEST(GrayScale, FailedConversionLeavesTwentyFourBitsUnchanged) {
  LxImage img(4, 4, 24, 0);
  img.Clear(100);
  {
    AllocationFailure fail(0);
    EXPECT_FALSE(img.GrayScale());
  }
  EXPECT_EQ(img.GetBpp(), 24);
  EXPECT_EQ(img.GetBits(0)[0], 100);
  LxImage empty;
  EXPECT_FALSE(empty.GrayScale());
}

TEST(GrayScale, FailedConversionOfFourBitsHasReplacedThePalette) {
  LxImage img(4, 4, 4, 0);
  img.SetStdPalette();
  {
    AllocationFailure fail(0);
    EXPECT_FALSE(img.GrayScale());
  }
  EXPECT_EQ(img.GetBpp(), 4);
  EXPECT_EQ(img.GetPaletteColor(9).rgbBlue, 76) << "entry 9 (red) now carries its gray in blue";
  EXPECT_EQ(img.GetPaletteColor(9).rgbRed, 255);
}

// Threshold on every source depth and on widths that exercise the packing.
class ThresholdLevel : public ::testing::TestWithParam<std::tuple<int, DWORD>> {};

TEST_P(ThresholdLevel, SetBitsAreStrictlyAboveTheLevel) {
  const int bpp = std::get<0>(GetParam());
  const DWORD width = std::get<1>(GetParam());
  std::mt19937 rng(width + 17u * bpp);
  LxImage img(width, 5, bpp, 3);
  img.SetStdPalette();
  FillRandom(img, rng);
  img.SetTransIndex(-1);
  std::vector<BYTE> gray;
  for (long y = 0; y < 5; ++y)
    for (long x = 0; x < static_cast<long>(width); ++x) gray.push_back(img.GetPixelGray(x, y));

  ASSERT_TRUE(img.Threshold(120));
  ASSERT_EQ(img.GetBpp(), 1);
  EXPECT_EQ(img.GetType(), 0u) << "a fresh image's settings";
  size_t i = 0;
  for (long y = 0; y < 5; ++y) {
    for (long x = 0; x < static_cast<long>(width); ++x, ++i) {
      ASSERT_EQ(img.GetPixelIndex(x, y), gray[i] > 120 ? 1 : 0) << x << "," << y;
    }
  }
  EXPECT_EQ(LxImage::RGBQUADtoRGB(img.GetPaletteColor(0)), 0u);
  EXPECT_EQ(LxImage::RGBQUADtoRGB(img.GetPaletteColor(1)), 0x00FFFFFFu);
}

INSTANTIATE_TEST_SUITE_P(Depths, ThresholdLevel,
                         ::testing::Combine(::testing::Values(4, 8, 24),
                                            ::testing::Values(1u, 5u, 31u, 33u, 576u)));

TEST(Threshold, LevelOneEightyAtItsBoundary) {
  BYTE row[4] = {180, 181, 0, 255};
  LxImageProbe img;
  ASSERT_TRUE(img.CreateFromArray(row, 4, 1, 8, 4, false));
  img.SelectionCreate();
  img.AlphaCreate();
  img.SetTransIndex(2);
  ASSERT_TRUE(img.Threshold(180));
  EXPECT_EQ(img.GetPixelIndex(0, 0), 0);
  EXPECT_EQ(img.GetPixelIndex(1, 0), 1);
  EXPECT_EQ(img.GetPixelIndex(2, 0), 0);
  EXPECT_EQ(img.GetPixelIndex(3, 0), 1);
  EXPECT_EQ(img.GetBits(0)[0], 0x50) << "0101 then cleared tail bits";
  EXPECT_EQ(img.GetTransIndex(), -1);
  EXPECT_FALSE(img.SelectionIsValid());
  EXPECT_FALSE(img.AlphaIsValid());
}

TEST(Threshold, OneBitImagesAreLeftAsTheyAre) {
  LxImage img(3, 3, 1, 0);
  img.SetPaletteColor(0, 9, 9, 9, 9);
  img.Clear(1);
  EXPECT_TRUE(img.Threshold(10));
  RGBQUAD red = Rgb(255, 0, 0);
  EXPECT_TRUE(img.Threshold2(10, true, red));
  LxImage mask(3, 3, 8, 0);
  EXPECT_TRUE(img.Threshold(&mask));
  EXPECT_EQ(img.GetPaletteColor(0).rgbRed, 9);
  EXPECT_EQ(img.GetBits(0)[0], 0xFF);
}

TEST(Threshold, WithoutPixelsEveryFormFails) {
  LxImage img;
  LxImage mask(1, 1, 8, 0);
  EXPECT_FALSE(img.Threshold(1));
  EXPECT_FALSE(img.Threshold(&mask));
  EXPECT_FALSE(img.Threshold2(1, true, Rgb(0, 0, 0)));
}

// A colour image is first made gray (allocation 0), then two-level
// (allocation 1): a failure at either leaves the image as that step found
// it; the two-level step says why.
TEST(Threshold, AFailedAllocationLeavesTheImageAsTheStepFoundIt) {
  const struct {
    int failing;
    WORD bpp;
    bool says;
  } cases[] = {{0, 24, false}, {1, 8, true}};
  for (const auto& c : cases) {
    LxImage img(4, 2, 24, 0);
    img.Clear(200);
    {
      AllocationFailure fail(c.failing);
      EXPECT_FALSE(img.Threshold(100));
    }
    EXPECT_EQ(img.GetBpp(), c.bpp) << c.failing;
    if (c.says) {
      EXPECT_STREQ(img.GetLastError(), "LxImage::Create can't allocate memory");
    }
  }
}

TEST(Threshold, MaskGivesAThresholdPerPixel) {
  BYTE pixels[6] = {10, 20, 30, 40, 50, 60};
  BYTE levels[6] = {9, 20, 31, 0, 255, 59};
  LxImage img;
  ASSERT_TRUE(img.CreateFromArray(pixels, 3, 2, 8, 3, false));
  LxImage mask;
  ASSERT_TRUE(mask.CreateFromArray(levels, 3, 2, 8, 3, false));
  ASSERT_TRUE(img.Threshold(&mask));
  const BYTE want[6] = {1, 0, 0, 1, 0, 1};
  for (long i = 0; i < 6; ++i) EXPECT_EQ(img.GetPixelIndex(i % 3, i / 3), want[i]) << i;
}

TEST(Threshold, MaskMustBeGrayAndTheSameSize) {
  LxImage img(4, 4, 8, 0);
  img.SetGrayPalette();
  LxImage narrow(3, 4, 8, 0);
  narrow.SetGrayPalette();
  LxImage colour(4, 4, 8, 0);
  colour.SetStdPalette();
  LxImage empty;
  for (LxImage* mask : {&narrow, &colour, &empty}) {
    EXPECT_FALSE(img.Threshold(mask));
    EXPECT_STREQ(img.GetLastError(), "invalid ThresholdMask");
    EXPECT_EQ(img.GetBpp(), 8);
  }
  LxImage fresh(4, 4, 8, 0);
  EXPECT_FALSE(fresh.Threshold(static_cast<LxImage*>(nullptr)));
  EXPECT_STREQ(fresh.GetLastError(), "");
}

TEST(Threshold, EscapeStopsTheRowWalk) {
  LxImage img(8, 4, 8, 0);
  img.SetGrayPalette();
  img.Clear(255);
  img.SetEscape(1);
  ASSERT_TRUE(img.Threshold(10));
  EXPECT_EQ(img.GetBpp(), 1);
  // No row was walked; the unvisited rows are defined as black.
  for (long y = 0; y < 4; ++y)
    for (long x = 0; x < 8; ++x) ASSERT_EQ(img.GetPixelIndex(x, y), 0);
}

class Threshold2Direction : public ::testing::TestWithParam<bool> {};

TEST_P(Threshold2Direction, PaintsOneSideOfTheLevel) {
  const bool up = GetParam();
  BYTE row[4] = {127, 128, 200, 0};
  LxImage img;
  ASSERT_TRUE(img.CreateFromArray(row, 4, 1, 8, 4, false));
  ASSERT_TRUE(img.Threshold2(128, up, Rgb(77, 77, 77)));
  EXPECT_EQ(img.GetBpp(), 8);
  const BYTE want[4] = {static_cast<BYTE>(up ? 127 : 77), static_cast<BYTE>(up ? 77 : 128),
                        static_cast<BYTE>(up ? 77 : 200), static_cast<BYTE>(up ? 0 : 77)};
  for (long x = 0; x < 4; ++x) EXPECT_EQ(img.GetPixelIndex(x, 0), want[x]) << x;
}

INSTANTIATE_TEST_SUITE_P(Both, Threshold2Direction, ::testing::Bool());

TEST(Threshold2, StaysInsideTheSelectionAndSetsAlpha) {
  LxImageProbe img(4, 3, 24, 0);
  img.Clear(255);
  ASSERT_TRUE(img.SelectionCreate());
  ASSERT_TRUE(img.AlphaCreate());
  img.SelectionSet(1, 1, 1);
  img.SelectionSet(3, 2, 1);
  img.info.selectionBox = {1, 2, 2, 1};  // only (1, 1) lies in the box
  RGBQUAD c = {1, 2, 3, 44};
  ASSERT_TRUE(img.Threshold2(0, true, c, true));
  EXPECT_EQ(LxImage::RGBQUADtoRGB(img.GetPixelColor(1, 1, false)), 0x00010203u);
  EXPECT_EQ(img.AlphaGet(1, 1), 44);
  EXPECT_EQ(LxImage::RGBQUADtoRGB(img.GetPixelColor(3, 2, false)), 0x00FFFFFFu);
  EXPECT_EQ(LxImage::RGBQUADtoRGB(img.GetPixelColor(0, 0, false)), 0x00FFFFFFu);
}

TEST(Threshold2, FailedCopyReportsItsError) {
  LxImage img(4, 3, 24, 0);
  AllocationFailure fail(0);
  EXPECT_FALSE(img.Threshold2(1, true, Rgb(0, 0, 0)));
  EXPECT_STREQ(img.GetLastError(), "LxImage::Create can't allocate memory");
}

}  // namespace
