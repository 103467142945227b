// Tests of Dither: every method against a plain reference model over many
// sizes, and hand-worked values.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "lximage_probe.h"
#include "reference_ops.h"

namespace {

// A gray image of random levels; `harsh` mixes in runs of 0 and 255 so that
// sums are clamped often.
LxImage RandomGray(DWORD w, DWORD h, std::mt19937& rng, bool harsh) {
  std::vector<BYTE> src(static_cast<size_t>(w) * h);
  for (BYTE& b : src) {
    const uint32_t r = rng();
    b = static_cast<BYTE>(r);
    if (harsh && (r >> 8) % 3 == 0) b = (r >> 12) & 1 ? 255 : 0;
    if (harsh && (r >> 8) % 7 == 1) b = static_cast<BYTE>(124 + (r >> 16) % 9);
  }
  LxImage img;
  img.CreateFromArray(src.data(), w, h, 8, w, false);
  return img;
}

std::vector<BYTE> Bits(LxImage& img) {
  std::vector<BYTE> out;
  for (long y = 0; y < static_cast<long>(img.GetHeight()); ++y)
    for (long x = 0; x < static_cast<long>(img.GetWidth()); ++x) out.push_back(img.GetPixelIndex(x, y));
  return out;
}

// Dithers a copy through the library and another through the reference.
void ExpectSameAsReference(LxImage& gray, long method) {
  LxImage fast(gray);
  LxImage ref(gray);
  ASSERT_TRUE(fast.Dither(method));
  ASSERT_EQ(fast.GetBpp(), 1);
  const std::vector<BYTE> want = ReferenceDither(ref, method);
  ASSERT_EQ(Bits(fast), want) << "method " << method << " size " << gray.GetWidth() << "x"
                              << gray.GetHeight();
}

const long kMethods[] = {-1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 100};

class DitherMatchesReference : public ::testing::TestWithParam<long> {};

TEST_P(DitherMatchesReference, EveryWidthFromOneToSeventy) {
  std::mt19937 rng(static_cast<uint32_t>(GetParam() + 1000));
  for (DWORD w = 1; w <= 70; ++w) {
    for (DWORD h : {1u, 2u, 3u, 5u, 9u}) {
      LxImage gray = RandomGray(w, h, rng, w % 2 == 0);
      ExpectSameAsReference(gray, GetParam());
      if (HasFatalFailure()) return;
    }
  }
}

TEST_P(DitherMatchesReference, EveryHeightFromOneToSeventy) {
  std::mt19937 rng(static_cast<uint32_t>(GetParam() + 2000));
  for (DWORD h = 1; h <= 70; ++h) {
    for (DWORD w : {1u, 4u, 7u, 13u}) {
      LxImage gray = RandomGray(w, h, rng, h % 2 == 1);
      ExpectSameAsReference(gray, GetParam());
      if (HasFatalFailure()) return;
    }
  }
}

TEST_P(DitherMatchesReference, ReceiptBands) {
  std::mt19937 rng(static_cast<uint32_t>(GetParam() + 3000));
  for (bool harsh : {false, true}) {
    LxImage gray = RandomGray(576, 100, rng, harsh);
    ExpectSameAsReference(gray, GetParam());
  }
  // A smooth ramp, where the error carries far.
  std::vector<BYTE> ramp(576 * 100);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<BYTE>((i % 576) * 255 / 575);
  LxImage gray;
  gray.CreateFromArray(ramp.data(), 576, 100, 8, 576, false);
  ExpectSameAsReference(gray, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Methods, DitherMatchesReference, ::testing::ValuesIn(kMethods));

class DitherEveryMethod : public ::testing::TestWithParam<long> {};

TEST_P(DitherEveryMethod, FlatImagesAndOneBitImages) {
  for (BYTE level : {BYTE{0}, BYTE{255}}) {
    LxImage img(13, 6, 8, 0);
    img.SetGrayPalette();
    img.Clear(level);
    ASSERT_TRUE(img.Dither(GetParam()));
    for (BYTE b : Bits(img)) ASSERT_EQ(b, level ? 1 : 0);
  }
  LxImage one(9, 3, 1, 0);
  one.SetPaletteColor(1, 1, 2, 3, 4);
  one.Clear(1);
  ASSERT_TRUE(one.Dither(GetParam()));
  EXPECT_EQ(one.GetPaletteColor(1).rgbRed, 1) << "a 1-bit image comes back unchanged";
}

TEST_P(DitherEveryMethod, KeepsTypeAndSettingsAndLeavesBlackAndWhite) {
  LxImageProbe img(7, 5, 24, LXIMAGE_FORMAT_TIF);
  img.Clear(90);
  img.SetXDPI(203);
  img.AlphaCreate();
  ASSERT_TRUE(img.Dither(GetParam()));
  EXPECT_EQ(img.GetType(), static_cast<DWORD>(LXIMAGE_FORMAT_TIF));
  EXPECT_EQ(img.GetXDPI(), 203);
  EXPECT_EQ(img.GetWidth(), 7u);
  EXPECT_EQ(img.GetHeight(), 5u);
  EXPECT_TRUE(img.AlphaIsValid());
  EXPECT_EQ(LxImage::RGBQUADtoRGB(img.GetPaletteColor(0)), 0u);
  EXPECT_EQ(LxImage::RGBQUADtoRGB(img.GetPaletteColor(1)), 0x00FFFFFFu);
}

TEST_P(DitherEveryMethod, FailedGrayConversionLeavesTheImageAsItWas) {
  LxImage rgb(6, 4, 24, 0);
  rgb.Clear(77);
  {
    AllocationFailure fail(0);
    EXPECT_FALSE(rgb.Dither(GetParam()));
  }
  EXPECT_EQ(rgb.GetBpp(), 24);
  EXPECT_EQ(rgb.GetBits(0)[0], 77);

  LxImage four(6, 4, 4, 0);
  four.SetStdPalette();
  four.SetTransIndex(9);
  {
    AllocationFailure fail(0);
    EXPECT_FALSE(four.Dither(GetParam()));
  }
  EXPECT_EQ(four.GetBpp(), 4);
  EXPECT_EQ(four.GetPaletteColor(9).rgbBlue, 0) << "the palette is restored";
  EXPECT_EQ(four.GetTransIndex(), 9);
}

TEST_P(DitherEveryMethod, FailedResultKeepsTheGrayForm) {
  LxImage rgb(6, 4, 24, 0);
  rgb.Clear(77);
  {
    AllocationFailure fail(1);  // 0: the gray image, 1: the result
    EXPECT_FALSE(rgb.Dither(GetParam()));
  }
  EXPECT_EQ(rgb.GetBpp(), 8);
  EXPECT_STREQ(rgb.GetLastError(), "LxImage::Create can't allocate memory");
}

TEST_P(DitherEveryMethod, EscapeStopsAtTheFirstRow) {
  LxImage img(8, 4, 8, 0);
  img.SetGrayPalette();
  img.Clear(255);
  img.SetEscape(1);
  ASSERT_TRUE(img.Dither(GetParam()));
  EXPECT_EQ(img.GetBpp(), 1);
  for (BYTE b : Bits(img)) ASSERT_EQ(b, 0) << "unvisited rows are black";
}

INSTANTIATE_TEST_SUITE_P(Methods, DitherEveryMethod, ::testing::ValuesIn(kMethods));

LxImage GrayRows(std::vector<std::vector<BYTE>> rows) {
  const DWORD w = static_cast<DWORD>(rows[0].size());
  std::vector<BYTE> flat;
  for (const auto& r : rows) flat.insert(flat.end(), r.begin(), r.end());
  LxImage img;
  img.CreateFromArray(flat.data(), w, static_cast<DWORD>(rows.size()), 8, w, false);
  return img;
}

// Worked by hand, rows listed in stored order (row 0 first).
//  (1,0) = 200 goes white with error -55 and sends -24, -10, -17, -3
//  (truncated toward zero; rounding down would send -25, -11, -18, -4):
//  (2,0) 24 -> 0, black;  (0,1) 139 -> 129, white, error -126, sends -55;
//  (1,1) 201 - 17 - 55 = 129, white, error -126, sends -55;
//  (2,1) 187 - 3 - 55 = 129, white.
// Rounding down instead would turn every pixel of row 1 black.
TEST(DitherFloydSteinberg, SharesAreTruncatedTowardZero) {
  LxImage img = GrayRows({{0, 200, 24}, {139, 201, 187}});
  ASSERT_TRUE(img.Dither(0));
  EXPECT_EQ(Bits(img), (std::vector<BYTE>{0, 1, 0, 1, 1, 1}));
}

// 128 goes black with error 128: shares 56, 24, 40 and 8.
//  (1,0) 72 + 56 = 128, black, error 128, sends 24 back to (0,1) and 40 to (1,1).
//  (0,1) 80 + 40 + 24 = 144 white;  129 would need only 1 more.
TEST(DitherFloydSteinberg, OneTwentyEightGoesBlackWithFullError) {
  LxImage img = GrayRows({{128, 72}, {80, 0}});
  ASSERT_TRUE(img.Dither(0));
  const std::vector<BYTE> bits = Bits(img);
  EXPECT_EQ(bits[0], 0);
  EXPECT_EQ(bits[1], 0);
  EXPECT_EQ(bits[2], 1);
}

// (0,0) 55 is black with error 55 and sends +24 to (1,0): 250 + 24 is stored
// as 255, which is white with no error, so (2,0) keeps 128 and goes black.
// Unclamped, 274 would pass an error of 19 and turn (2,0) white.
TEST(DitherFloydSteinberg, SumsAreClampedAtOnce) {
  LxImage img = GrayRows({{55, 250, 128}});
  ASSERT_TRUE(img.Dither(0));
  EXPECT_EQ(Bits(img), (std::vector<BYTE>{0, 1, 0}));
}

// One column: only the share straight up lands (5/16 of each error).
//  200 -> white, error -55, sends -17: 146 - 17 = 129, white.
TEST(DitherFloydSteinberg, SingleColumnPassesFiveSixteenths) {
  LxImage img = GrayRows({{200}, {146}, {0}});
  ASSERT_TRUE(img.Dither(0));
  EXPECT_EQ(Bits(img), (std::vector<BYTE>{1, 1, 0}));
}

TEST(DitherFloydSteinberg, OtherMethodNumbersAreFloydSteinberg) {
  std::mt19937 rng(5);
  LxImage gray = RandomGray(41, 23, rng, true);
  LxImage base(gray);
  base.Dither(0);
  for (long method : {8L, -1L, 100L, 1L << 20}) {
    LxImage other(gray);
    other.Dither(method);
    EXPECT_EQ(Bits(other), Bits(base)) << method;
  }
}

// Ordered matrix M of method 1 and the cells gray levels leave white.
TEST(DitherOrdered, CellsForBoundaryLevels) {
  static const int kM[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  struct Case {
    BYTE level;
    int whiteBelow;  // white where M < whiteBelow
  };
  for (const Case& c : {Case{15, 0}, Case{16, 1}, Case{128, 8}, Case{254, 15}, Case{255, 17}}) {
    LxImage img(8, 8, 8, 0);
    img.SetGrayPalette();
    img.Clear(c.level);
    ASSERT_TRUE(img.Dither(1));
    for (long y = 0; y < 8; ++y)
      for (long x = 0; x < 8; ++x)
        ASSERT_EQ(img.GetPixelIndex(x, y), kM[y % 4][x % 4] < c.whiteBelow ? 1 : 0)
            << "gray " << int{c.level} << " at " << x << "," << y;
  }
}

// The Bayer table of method 7, as built by its bit-interleaving rule.
TEST(DitherBayer, CellsForBoundaryLevels) {
  static const int kT[4][4] = {
      {0, 192, 48, 240}, {128, 64, 176, 112}, {32, 224, 16, 208}, {160, 96, 144, 80}};
  for (int level = 0; level < 256; ++level) {
    LxImage img(4, 4, 8, 0);
    img.SetGrayPalette();
    img.Clear(static_cast<BYTE>(level));
    ASSERT_TRUE(img.Dither(7));
    for (long y = 0; y < 4; ++y)
      for (long x = 0; x < 4; ++x)
        ASSERT_EQ(img.GetPixelIndex(x, y), level > kT[y][x] ? 1 : 0) << level;
  }
  LxImage at240(4, 4, 8, 0);
  at240.SetGrayPalette();
  at240.Clear(240);
  at240.Dither(7);
  EXPECT_EQ(at240.GetPixelIndex(3, 0), 0) << "only T = 240 stays black";
  EXPECT_EQ(at240.GetPixelIndex(2, 0), 1);
}

TEST(Dither, WithoutPixelsFails) {
  LxImage img;
  EXPECT_FALSE(img.Dither(0));
}

}  // namespace
