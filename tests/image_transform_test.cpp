// Tests of Flip, Mirror, the turns and Crop: against the pixel mappings on
// every bit depth and many sizes, invariants, and the edge cases.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "lximage_probe.h"
#include "reference_ops.h"

namespace {

LxImageProbe RandomImage(DWORD w, DWORD h, int bpp, std::mt19937& rng) {
  LxImageProbe img(w, h, bpp, LXIMAGE_FORMAT_PNG);
  img.SetStdPalette();
  img.Clear(0);
  FillRandom(img, rng);
  return img;
}

bool Apply(LxImage& img, RefTurn turn, LxImage* dst = nullptr) {
  switch (turn) {
    case RefTurn::Flip: return img.Flip();
    case RefTurn::Mirror: return img.Mirror();
    case RefTurn::Half: return img.Rotate180(dst);
    case RefTurn::Left: return img.RotateLeft(dst);
    case RefTurn::Right: return img.RotateRight(dst);
  }
  return false;
}

const char* Name(RefTurn turn) {
  switch (turn) {
    case RefTurn::Flip: return "Flip";
    case RefTurn::Mirror: return "Mirror";
    case RefTurn::Half: return "Rotate180";
    case RefTurn::Left: return "RotateLeft";
    case RefTurn::Right: return "RotateRight";
  }
  return "?";
}

const RefTurn kTurns[] = {RefTurn::Flip, RefTurn::Mirror, RefTurn::Half, RefTurn::Left,
                          RefTurn::Right};

class TransformMatchesMapping : public ::testing::TestWithParam<std::tuple<RefTurn, int>> {};

TEST_P(TransformMatchesMapping, ManySizes) {
  const RefTurn turn = std::get<0>(GetParam());
  const int bpp = std::get<1>(GetParam());
  std::mt19937 rng(static_cast<uint32_t>(bpp * 10 + static_cast<int>(turn)));
  std::vector<std::pair<DWORD, DWORD>> sizes = {{1, 1}, {1, 70}, {70, 1}, {576, 100}, {100, 70}};
  for (DWORD w = 1; w <= 70; w += 3) sizes.push_back({w, 1 + (w * 7) % 70});
  for (DWORD h = 2; h <= 70; h += 5) sizes.push_back({1 + (h * 11) % 70, h});
  for (const auto& size : sizes) {
    LxImageProbe img = RandomImage(size.first, size.second, bpp, rng);
    const std::vector<uint32_t> want = ReferenceTurn(img, turn);
    ASSERT_TRUE(Apply(img, turn));
    const bool quarter = turn == RefTurn::Left || turn == RefTurn::Right;
    ASSERT_EQ(img.GetWidth(), quarter ? size.second : size.first);
    ASSERT_EQ(img.GetBpp(), bpp);
    ASSERT_EQ(Pixels(img), want) << Name(turn) << " " << size.first << "x" << size.second;
  }
}

INSTANTIATE_TEST_SUITE_P(AllDepths, TransformMatchesMapping,
                         ::testing::Combine(::testing::ValuesIn(kTurns),
                                            ::testing::Values(1, 4, 8, 24)));

class TurnWithDestination : public ::testing::TestWithParam<std::tuple<RefTurn, int>> {};

TEST_P(TurnWithDestination, LeavesTheSourceAlone) {
  const RefTurn turn = std::get<0>(GetParam());
  std::mt19937 rng(11);
  LxImageProbe img = RandomImage(37, 21, std::get<1>(GetParam()), rng);
  const std::vector<uint32_t> before = Pixels(img);
  const std::vector<uint32_t> want = ReferenceTurn(img, turn);
  LxImage dst(3, 3, 24, 0);
  ASSERT_TRUE(Apply(img, turn, &dst));
  EXPECT_EQ(Pixels(img), before);
  EXPECT_EQ(Pixels(dst), want);
  EXPECT_EQ(dst.GetType(), static_cast<DWORD>(LXIMAGE_FORMAT_PNG));
}

INSTANTIATE_TEST_SUITE_P(AllDepths, TurnWithDestination,
                         ::testing::Combine(::testing::Values(RefTurn::Half, RefTurn::Left,
                                                              RefTurn::Right),
                                            ::testing::Values(1, 4, 8, 24)));

class TransformInvariants : public ::testing::TestWithParam<std::tuple<int, DWORD>> {};

TEST_P(TransformInvariants, TurnsAndFlipsComeBackToTheStart) {
  const int bpp = std::get<0>(GetParam());
  const DWORD width = std::get<1>(GetParam());
  std::mt19937 rng(width + bpp);
  LxImageProbe img = RandomImage(width, 13, bpp, rng);
  img.AlphaCreate();
  for (long i = 0; i < static_cast<long>(width); ++i) img.AlphaSet(i, i % 13, static_cast<BYTE>(i));
  const std::vector<uint32_t> start = Pixels(img);
  const std::vector<BYTE> startAlpha(img.alpha, img.alpha + width * 13);
  auto same = [&](const char* what) {
    ASSERT_EQ(img.GetWidth(), width) << what;
    ASSERT_EQ(Pixels(img), start) << what;
    ASSERT_EQ(std::vector<BYTE>(img.alpha, img.alpha + width * 13), startAlpha) << what;
  };
  for (int i = 0; i < 4; ++i) img.RotateLeft();
  same("four RotateLeft");
  img.RotateLeft();
  img.RotateRight();
  same("RotateLeft then RotateRight");
  img.Rotate180();
  img.Rotate180();
  same("two Rotate180");
  img.Flip(false, true);
  img.Flip(false, true);
  same("two Flip");
  img.Mirror(false, true);
  img.Mirror(false, true);
  same("two Mirror");
  img.RotateLeft();
  img.Rotate180();
  img.RotateLeft();
  same("left, half, left");
}

INSTANTIATE_TEST_SUITE_P(OddWidths, TransformInvariants,
                         ::testing::Combine(::testing::Values(1, 4, 8, 24),
                                            ::testing::Values(1u, 5u, 10u, 31u, 33u, 65u)));

TEST(Flip, ExchangesWholeRowsInPlace) {
  LxImageProbe one(5, 1, 8, 0);
  one.Clear(9);
  const void* block = one.GetDIB();
  EXPECT_TRUE(one.Flip());
  EXPECT_EQ(one.GetDIB(), block);
  LxImageProbe three(2, 3, 8, 0);
  three.SetGrayPalette();
  for (long y = 0; y < 3; ++y) three.SetPixelIndex(0, y, static_cast<BYTE>(y + 1));
  three.GetBits(0)[3] = 0xEE;  // padding moves with its row
  EXPECT_TRUE(three.Flip(false, true));  // no alpha channel: still true
  EXPECT_EQ(three.GetPixelIndex(0, 0), 3);
  EXPECT_EQ(three.GetPixelIndex(0, 1), 2);
  EXPECT_EQ(three.GetPixelIndex(0, 2), 1);
  EXPECT_EQ(three.GetBits(2)[3], 0xEE);
  LxImage empty;
  EXPECT_FALSE(empty.Flip());
  {
    AllocationFailure fail(0);
    EXPECT_FALSE(three.Flip());
  }
}

TEST(Flip, SelectionBoxFollows) {
  LxImageProbe img(4, 10, 8, 0);
  ASSERT_TRUE(img.SelectionCreate());
  img.SelectionSet(1, 2, 1);
  img.info.selectionBox = {1, 3, 2, 2};
  EXPECT_TRUE(img.Flip(true, false));
  EXPECT_EQ(img.SelectionGet(1, 7), 1);
  EXPECT_EQ(img.info.selectionBox.top, 8);
  EXPECT_EQ(img.info.selectionBox.bottom, 7);
  EXPECT_FALSE(LxImage(2, 2, 8, 0).SelectionFlip());
  EXPECT_FALSE(LxImage(2, 2, 8, 0).AlphaFlip());
}

TEST(Mirror, SelectionSwitchOffKeepsTheMaskUnmirrored) {
  LxImageProbe img(5, 2, 8, 0);
  img.Clear(0);
  img.SetPixelIndex(0, 0, 200);
  ASSERT_TRUE(img.SelectionCreate());
  img.SelectionSet(0, 0, 1);
  img.info.selectionBox = {0, 1, 1, 0};
  ASSERT_TRUE(img.Mirror(false, false));
  EXPECT_EQ(img.GetPixelIndex(4, 0), 200);
  EXPECT_EQ(img.SelectionGet(0, 0), 1);
  ASSERT_TRUE(img.Mirror(true, false));
  EXPECT_EQ(img.SelectionGet(4, 0), 1);
  EXPECT_EQ(img.info.selectionBox.left, 4);
  EXPECT_EQ(img.info.selectionBox.right, 5);
}

TEST(Turns, SelectionBoxFollowsQuarterTurns) {
  LxImageProbe img(10, 6, 8, 0);
  ASSERT_TRUE(img.SelectionCreate());
  img.SelectionSet(2, 1, 1);
  img.info.selectionBox = {2, 2, 3, 1};  // the one pixel (2, 1)
  ASSERT_TRUE(img.RotateLeft());
  // (2, 1) lands at (H - 1 - 1, 2) = (4, 2).
  EXPECT_EQ(img.SelectionGet(4, 2), 1);
  EXPECT_EQ(img.info.selectionBox.left, 4);
  EXPECT_EQ(img.info.selectionBox.right, 5);
  EXPECT_EQ(img.info.selectionBox.bottom, 2);
  EXPECT_EQ(img.info.selectionBox.top, 3);
  ASSERT_TRUE(img.RotateRight());
  EXPECT_EQ(img.SelectionGet(2, 1), 1);
  EXPECT_EQ(img.info.selectionBox.left, 2);
  EXPECT_EQ(img.info.selectionBox.right, 3);
  EXPECT_EQ(img.info.selectionBox.bottom, 1);
  EXPECT_EQ(img.info.selectionBox.top, 2);
  ASSERT_TRUE(img.Rotate180());
  EXPECT_FALSE(img.SelectionIsValid()) << "a half turn does not carry the selection";
}

TEST(Turns, OneBitQuarterTurnDropsPaddingAndClearsTargetPadding) {
  // Width 10: ten pixel bits and 22 padding bits per source row, all set.
  LxImage img(10, 3, 1, 0);
  img.Clear(1);
  img.SetPixelIndex(9, 0, 0);
  ASSERT_TRUE(img.RotateLeft());
  ASSERT_EQ(img.GetWidth(), 3u);
  ASSERT_EQ(img.GetHeight(), 10u);
  for (DWORD y = 0; y < 10; ++y) {
    const BYTE* row = img.GetBits(y);
    const BYTE want = (y == 9) ? 0xC0 : 0xE0;  // (9, 0) lands at (2, 9)
    EXPECT_EQ(row[0], want) << "row " << y;
    EXPECT_EQ(row[1] | row[2] | row[3], 0) << "target padding stays 0";
  }
}

TEST(Turns, KeepSettingsTransparencyAndAlpha) {
  LxImageProbe img(6, 4, 8, LXIMAGE_FORMAT_GIF);
  img.SetGrayPalette();
  img.Clear(1);
  img.SetTransIndex(5);
  img.SetXDPI(300);
  ASSERT_TRUE(img.AlphaCreate());
  img.AlphaSet(0, 0, 9);
  ASSERT_TRUE(img.Rotate180());
  EXPECT_EQ(img.GetTransIndex(), 5);
  EXPECT_EQ(img.GetXDPI(), 300);
  EXPECT_EQ(img.GetType(), static_cast<DWORD>(LXIMAGE_FORMAT_GIF));
  EXPECT_EQ(img.AlphaGet(5, 3), 9);
  EXPECT_TRUE(img.IsGrayScale()) << "palette carried";
}

TEST(Turns, FramesAreReleasedAndTheCountFollows) {
  LxImageProbe img(4, 3, 8, 0);
  img.AttachFrames(2);
  ASSERT_TRUE(img.RotateLeft());
  EXPECT_EQ(img.GetNumFrames(), 0);
  EXPECT_EQ(img.GetFrame(0), nullptr);
  img.AttachFrames(1);
  ASSERT_TRUE(img.Mirror());
  EXPECT_EQ(img.GetNumFrames(), 0);
  img.AttachFrames(1);
  ASSERT_TRUE(img.Crop(0, 0, 2, 2));
  EXPECT_EQ(img.GetNumFrames(), 0);
}

TEST(Turns, FailuresLeaveImageAndDestinationUnchanged) {
  for (RefTurn turn : {RefTurn::Mirror, RefTurn::Half, RefTurn::Left, RefTurn::Right}) {
    LxImage img(5, 3, 8, 0);
    img.Clear(4);
    LxImage dst(2, 2, 8, 0);
    const void* block = img.GetDIB();
    {
      AllocationFailure fail(0);
      EXPECT_FALSE(Apply(img, turn, turn == RefTurn::Mirror ? nullptr : &dst)) << Name(turn);
    }
    EXPECT_EQ(img.GetDIB(), block);
    EXPECT_EQ(dst.GetWidth(), 2u);
    LxImage empty;
    EXPECT_FALSE(Apply(empty, turn)) << Name(turn);
  }
}

class CropDepth : public ::testing::TestWithParam<int> {};

TEST_P(CropDepth, KeepsTheRectangleCountedFromTheTop) {
  const int bpp = GetParam();
  std::mt19937 rng(bpp);
  LxImageProbe img = RandomImage(23, 17, bpp, rng);
  LxImageProbe copy(img);
  // Columns 3..9, rows 2..10 from the top: stored rows 17-11=6 .. 17-2-1=14.
  ASSERT_TRUE(img.Crop(3, 2, 10, 11));
  ASSERT_EQ(img.GetWidth(), 7u);
  ASSERT_EQ(img.GetHeight(), 9u);
  for (long y = 0; y < 9; ++y)
    for (long x = 0; x < 7; ++x) ASSERT_EQ(RefPixel(img, x, y), RefPixel(copy, x + 3, y + 6));
}

TEST_P(CropDepth, OrderOfEdgesAndClampingDoNotMatter) {
  std::mt19937 rng(GetParam() + 50);
  LxImageProbe img = RandomImage(31, 9, GetParam(), rng);
  LxImage a(img), b(img), c(img);
  ASSERT_TRUE(a.Crop(5, 1, 10, 8));
  ASSERT_TRUE(b.Crop(10, 8, 5, 1));
  EXPECT_EQ(Pixels(a), Pixels(b));
  ASSERT_TRUE(c.Crop(-4, -2, 400, 200));
  EXPECT_EQ(Pixels(c), Pixels(img));
}

INSTANTIATE_TEST_SUITE_P(AllDepths, CropDepth, ::testing::Values(1, 4, 8, 24));

TEST(Crop, TopTenRowsOfAHundred) {
  LxImage img(3, 100, 8, 0);
  img.SetGrayPalette();
  for (long y = 0; y < 100; ++y) img.SetPixelIndex(0, y, static_cast<BYTE>(y));
  ASSERT_TRUE(img.Crop(0, 0, 3, 10));
  ASSERT_EQ(img.GetHeight(), 10u);
  EXPECT_EQ(img.GetPixelIndex(0, 0), 90);
  EXPECT_EQ(img.GetPixelIndex(0, 9), 99);
}

TEST(Crop, EmptyRectangleChangesNothing) {
  LxImage img(8, 8, 8, 0);
  img.Create(0, 0, 8, 0);  // leaves an error text to watch
  img.Create(8, 8, 8, 0);
  const void* block = img.GetDIB();
  EXPECT_FALSE(img.Crop(2, 4, 6, 4));
  EXPECT_FALSE(img.Crop(3, 0, 3, 8));
  EXPECT_FALSE(img.Crop(9, 0, 12, 8)) << "both clamp to 8";
  EXPECT_EQ(img.GetDIB(), block);
  EXPECT_STREQ(img.GetLastError(), "LxImage::Create : width and height must be greater than zero");
}

TEST(Crop, FourBitFromAnOddColumnRepacksNibbles) {
  LxImage img(6, 1, 4, 0);
  for (long x = 0; x < 6; ++x) img.SetPixelIndex(x, 0, static_cast<BYTE>(x + 1));
  ASSERT_TRUE(img.Crop(1, 0, 4, 1));
  EXPECT_EQ(img.GetBits(0)[0], 0x23);
  EXPECT_EQ(img.GetBits(0)[1] >> 4, 4);
}

TEST(Crop, StartsFromTheDefaultsButKeepsTransparency) {
  LxImageProbe img(8, 8, 8, LXIMAGE_FORMAT_BMP);
  img.SetXDPI(300);
  img.SetTransIndex(4);
  img.AlphaCreate();
  img.AlphaSet(2, 7, 33);
  img.SelectionCreate();
  img.SetProgress(40);
  ASSERT_TRUE(img.Crop(2, 0, 5, 3));
  EXPECT_EQ(img.GetXDPI(), 96);
  EXPECT_EQ(img.GetTransIndex(), 4);
  EXPECT_EQ(img.GetType(), static_cast<DWORD>(LXIMAGE_FORMAT_BMP));
  EXPECT_FALSE(img.SelectionIsValid());
  EXPECT_EQ(img.AlphaGet(0, 2), 33);
  EXPECT_EQ(img.GetProgress(), 0);
}

TEST(Crop, FailuresLeaveTheImage) {
  LxImage img(8, 8, 24, 0);
  img.AlphaCreate();
  const void* block = img.GetDIB();
  {
    AllocationFailure fail(0);
    EXPECT_FALSE(img.Crop(0, 0, 4, 4));
    EXPECT_STREQ(img.GetLastError(), "LxImage::Create can't allocate memory");
  }
  {
    AllocationFailure fail(1);  // the working image's alpha channel
    EXPECT_FALSE(img.Crop(0, 0, 4, 4));
  }
  EXPECT_EQ(img.GetDIB(), block);
  EXPECT_EQ(img.GetWidth(), 8u);
}

TEST(Turns, ProgressIsWrittenOnTheSourceWithADestination) {
  LxImage img(10, 7, 8, 0);
  LxImage dst;
  ASSERT_TRUE(img.RotateLeft(&dst));
  EXPECT_EQ(img.GetProgress(), 100 * 6 / 7);
  ASSERT_TRUE(img.RotateRight(&dst));
  EXPECT_EQ(img.GetProgress(), 100 * 9 / 10);
  ASSERT_TRUE(img.Rotate180(&dst));
  EXPECT_EQ(img.GetProgress(), 100 * 6 / 7);
  ASSERT_TRUE(img.Crop(0, 0, 10, 4, &dst));
  EXPECT_EQ(img.GetProgress(), 100 * 3 / 4);
}

}  // namespace
