// Tests of the image's life: Create, CreateFromArray/Matrix, Copy, Transfer,
// Destroy, Clear, ghosts, frames and layers.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

#include "lximage_probe.h"

namespace {

using DepthWidth = std::tuple<int, DWORD>;

class ContainerGeometry : public ::testing::TestWithParam<DepthWidth> {};

TEST_P(ContainerGeometry, CreateLaysOutHeaderPaletteAndRows) {
  const int bpp = std::get<0>(GetParam());
  const DWORD width = std::get<1>(GetParam());
  const DWORD height = 7;
  LxImageProbe img;
  ASSERT_NE(img.Create(width, height, bpp, 4), nullptr);

  const DWORD effWidth = ((width * bpp + 31) / 32) * 4;
  const DWORD colours = bpp == 24 ? 0 : (1u << bpp);
  EXPECT_EQ(img.GetEffWidth(), effWidth);
  EXPECT_EQ(img.GetNumColors(), colours);
  EXPECT_EQ(img.GetBpp(), bpp);
  EXPECT_EQ(img.GetType(), 4u);
  EXPECT_EQ(img.IsIndexed(), colours != 0);
  EXPECT_EQ(img.GetSize(), static_cast<long>(40 + effWidth * height + 4 * colours));
  EXPECT_EQ(img.header.biSizeImage, effWidth * height);

  // The block starts with a copy of the header, then a zeroed palette.
  const BYTE* block = static_cast<const BYTE*>(img.GetDIB());
  EXPECT_EQ(std::memcmp(block, &img.header, 40), 0);
  for (DWORD i = 0; i < 4 * colours; ++i) ASSERT_EQ(block[40 + i], 0) << "palette byte " << i;

  EXPECT_EQ(img.GetBits(0), block + 40 + 4 * colours);
  EXPECT_EQ(img.GetBits(height - 1), img.GetBits(0) + (height - 1) * effWidth);
  EXPECT_EQ(img.GetBits(height), nullptr);
}

TEST_P(ContainerGeometry, CreateFromArrayPlacesRowsWithAndWithoutFlip) {
  const int bpp = std::get<0>(GetParam());
  const DWORD width = std::get<1>(GetParam());
  const DWORD height = 5;
  const DWORD rowBytes = (width * bpp + 7) / 8;
  const DWORD stride = rowBytes + 3;  // source rows need not be padded like ours
  std::vector<BYTE> src(stride * height);
  for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<BYTE>(i * 37 + 11);

  for (bool flip : {false, true}) {
    LxImage img;
    ASSERT_TRUE(img.CreateFromArray(src.data(), width, height, bpp, stride, flip));
    for (DWORD i = 0; i < height; ++i) {
      const DWORD row = flip ? height - 1 - i : i;
      EXPECT_EQ(std::memcmp(img.GetBits(row), &src[i * stride], rowBytes), 0)
          << "source row " << i << " flip " << flip;
    }
    if (bpp < 24) {
      EXPECT_EQ(img.GetPaletteColor(1).rgbRed, 255 / ((1u << bpp) - 1));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, ContainerGeometry,
                         ::testing::Combine(::testing::Values(1, 4, 8, 24),
                                            ::testing::Values(1u, 5u, 31u, 33u, 576u)));

TEST(Container, CreateFromTheSmallestImage) {
  LxImage img;
  ASSERT_NE(img.Create(1, 1, 1, 0), nullptr);
  EXPECT_EQ(img.GetEffWidth(), 4u);
  EXPECT_EQ(img.GetSize(), 52);
  EXPECT_EQ(img.GetNumColors(), 2u);
}

TEST(Container, CreateNormalisesTheBitDepth) {
  const std::pair<DWORD, WORD> cases[] = {{0, 1}, {1, 1}, {2, 4}, {3, 4}, {4, 4}, {5, 8},
                                          {8, 8}, {9, 24}, {16, 24}, {24, 24}, {32, 24}};
  for (const auto& c : cases) {
    LxImage img;
    ASSERT_NE(img.Create(3, 3, c.first, 0), nullptr);
    EXPECT_EQ(img.GetBpp(), c.second) << "asked for " << c.first;
  }
}

TEST(Container, CreateRefusals) {
  struct Case {
    DWORD w, h, bpp;
    const char* text;
  };
  const Case cases[] = {
      {0, 10, 8, "LxImage::Create : width and height must be greater than zero"},
      {10, 0, 8, "LxImage::Create : width and height must be greater than zero"},
      // width x height x depth wraps: 1600000000 x 24 no longer divides back.
      {40000, 40000, 24, "LXIMAGE_MAX_MEMORY exceeded"},
      // width x height itself passes 32 bits while the wrapped product divides back.
      {70000, 70000, 1, "LXIMAGE_MAX_MEMORY exceeded"},
      // one-pixel rows padded to 4 bytes: biSizeImage passes 32 bits.
      {1, 0x7FFFFFFF, 1, "LXIMAGE_MAX_MEMORY exceeded"},
      // biSizeImage fits, the block does not fit GetSize's long.
      {1, 0x30000000, 1, "LXIMAGE_MAX_MEMORY exceeded"},
      // widths the signed header field cannot hold.
      {0x80000000u, 1, 1, "LXIMAGE_MAX_MEMORY exceeded"},
  };
  for (const Case& c : cases) {
    LxImage img(8, 8, 8, 0);
    ASSERT_TRUE(img.IsValid());
    EXPECT_EQ(img.Create(c.w, c.h, c.bpp, 0), nullptr) << c.w << "x" << c.h;
    EXPECT_STREQ(img.GetLastError(), c.text);
    EXPECT_FALSE(img.IsValid()) << "a failed Create leaves the image empty";
  }
}

TEST(Container, CreateReportsAFailedAllocation) {
  LxImage img;
  AllocationFailure fail(0);
  EXPECT_EQ(img.Create(16, 16, 8, 0), nullptr);
  EXPECT_STREQ(img.GetLastError(), "LxImage::Create can't allocate memory");
  EXPECT_FALSE(img.IsValid());
}

TEST(Container, LaterSuccessKeepsTheLastError) {
  LxImage img;
  img.Create(0, 1, 8, 0);
  ASSERT_NE(img.Create(2, 2, 8, 0), nullptr);
  EXPECT_STREQ(img.GetLastError(), "LxImage::Create : width and height must be greater than zero");
}

TEST(Container, CreateFromArrayBadArguments) {
  BYTE src[64] = {};
  LxImage img;
  EXPECT_FALSE(img.CreateFromArray(nullptr, 4, 4, 8, 4, false));
  EXPECT_FALSE(img.CreateFromArray(src, 4, 4, 16, 8, false));
  EXPECT_FALSE(img.CreateFromArray(src, 4, 4, 2, 8, false));
  EXPECT_STREQ(img.GetLastError(), "") << "argument refusals leave no text";
  EXPECT_FALSE(img.CreateFromArray(src, 0, 4, 8, 4, false));
  EXPECT_STREQ(img.GetLastError(), "LxImage::Create : width and height must be greater than zero");
}

TEST(Container, CreateFromArrayCopiesAtMostTheShorterRow) {
  // 8-bit width 5: effWidth 8. A source line of 3 bytes copies 3 bytes a row.
  BYTE src[6] = {1, 2, 3, 4, 5, 6};
  LxImage img;
  ASSERT_TRUE(img.CreateFromArray(src, 5, 2, 8, 3, false));
  EXPECT_EQ(img.GetBits(0)[0], 1);
  EXPECT_EQ(img.GetBits(0)[2], 3);
  EXPECT_EQ(img.GetBits(1)[0], 4);
  EXPECT_EQ(img.GetBits(1)[2], 6);
}

TEST(Container, CreateFromArray8BitIsGrayAndReadsBackItsBytes) {
  BYTE src[12];
  for (int i = 0; i < 12; ++i) src[i] = static_cast<BYTE>(i * 20);
  LxImage img;
  ASSERT_TRUE(img.CreateFromArray(src, 4, 3, 8, 4, false));
  EXPECT_TRUE(img.IsGrayScale());
  for (long y = 0; y < 3; ++y) {
    for (long x = 0; x < 4; ++x) EXPECT_EQ(img.GetPixelGray(x, y), src[y * 4 + x]);
  }
}

TEST(Container, CreateFromArray32BitFillsAlpha) {
  const BYTE src[8] = {10, 20, 30, 40, 50, 60, 70, 80};
  LxImage img;
  ASSERT_TRUE(img.CreateFromArray(const_cast<BYTE*>(src), 2, 1, 32, 8, false));
  EXPECT_EQ(img.GetBpp(), 24);
  EXPECT_EQ(img.GetColorType(), 4);
  const RGBQUAD c = img.GetPixelColor(1, 0, true);
  EXPECT_EQ(c.rgbBlue, 50);
  EXPECT_EQ(c.rgbGreen, 60);
  EXPECT_EQ(c.rgbRed, 70);
  EXPECT_EQ(c.rgbReserved, 80);
  EXPECT_EQ(img.AlphaGet(0, 0), 40);
}

TEST(Container, CreateFromMatrixSkipsMissingRows) {
  BYTE r0[4] = {1, 2, 3, 4};
  BYTE r2[4] = {9, 9, 9, 9};
  BYTE* rows[3] = {r0, nullptr, r2};
  LxImage img;
  EXPECT_FALSE(img.CreateFromMatrix(nullptr, 4, 3, 8, 4, false));
  ASSERT_TRUE(img.CreateFromMatrix(rows, 4, 3, 8, 4, true));
  EXPECT_EQ(img.GetPixelIndex(1, 2), 2);
  EXPECT_EQ(img.GetPixelIndex(1, 0), 9);
}

class ContainerCopy : public ::testing::TestWithParam<int> {};

TEST_P(ContainerCopy, CopyGivesAnIdenticalBlock) {
  std::mt19937 rng(7);
  LxImageProbe src(33, 9, GetParam(), 5);
  src.SetStdPalette();
  FillRandom(src, rng);
  src.SelectionCreate();
  src.AlphaCreate();
  src.AlphaSet(3, 3, 17);

  LxImageProbe copy(src);
  ASSERT_TRUE(copy.IsValid());
  EXPECT_NE(copy.GetDIB(), src.GetDIB());
  EXPECT_EQ(std::memcmp(copy.GetDIB(), src.GetDIB(), src.GetSize()), 0);
  EXPECT_TRUE(copy.SelectionIsValid());
  EXPECT_EQ(copy.AlphaGet(3, 3), 17);
  EXPECT_EQ(copy.GetType(), 5u);

  LxImageProbe shell(src, false, false, false);
  EXPECT_EQ(shell.GetSize(), src.GetSize());
  if (src.GetPaletteSize()) {
    EXPECT_EQ(std::memcmp(shell.GetPalette(), src.GetPalette(), src.GetPaletteSize()), 0);
  }
  EXPECT_FALSE(shell.SelectionIsValid());
  EXPECT_FALSE(shell.AlphaIsValid());
}

INSTANTIATE_TEST_SUITE_P(Depths, ContainerCopy, ::testing::Values(1, 4, 8, 24));

TEST(Container, CopyWithoutMemoryForSelectionOrAlphaHasNone) {
  LxImageProbe src(6, 4, 8, 0);
  src.SelectionCreate();
  src.AlphaCreate();
  {
    // allocation 0 is the DIB block, 1 the selection mask.
    AllocationFailure fail(1);
    LxImageProbe copy(src);
    EXPECT_TRUE(copy.IsValid());
    EXPECT_FALSE(copy.SelectionIsValid());
    EXPECT_TRUE(copy.AlphaIsValid());
  }
  {
    AllocationFailure fail(2);
    LxImageProbe copy(src);
    EXPECT_TRUE(copy.SelectionIsValid());
    EXPECT_FALSE(copy.AlphaIsValid());
  }
  {
    AllocationFailure fail(0);
    LxImageProbe copy(src);
    EXPECT_FALSE(copy.IsValid());
    EXPECT_FALSE(copy.SelectionIsValid());
    EXPECT_STREQ(copy.GetLastError(), "LxImage::Create can't allocate memory");
  }
}

TEST(Container, CopyFromItselfAndSelfAssignmentChangeNothing) {
  LxImage img(4, 4, 8, 0);
  img.Clear(77);
  const void* block = img.GetDIB();
  img.Copy(img);
  img = img;
  EXPECT_EQ(img.GetDIB(), block);
  EXPECT_EQ(img.GetPixelIndex(2, 2), 77);
}

TEST(Container, CopyKeepsOwnFramesAndDropsOwnLayers) {
  LxImageProbe src(4, 4, 8, 0);
  src.AttachFrames(3);
  src.AttachLayers(2);
  LxImageProbe dst(2, 2, 8, 0);
  dst.AttachFrames(1);
  dst.AttachLayers(1);
  dst.Copy(src);
  EXPECT_EQ(dst.GetNumFrames(), 1) << "frames are never copied";
  EXPECT_NE(dst.GetFrame(0), nullptr);
  EXPECT_EQ(dst.GetNumLayers(), 0) << "Create releases the layers";
  EXPECT_EQ(dst.layers, nullptr);
}

TEST(Container, TransferMovesEverythingAndEmptiesTheSource) {
  LxImageProbe src(5, 3, 8, 2);
  src.SelectionCreate();
  src.AlphaCreate();
  src.SetTransIndex(7);
  src.AttachFrames(2);
  src.AttachLayers(1);
  const void* block = src.GetDIB();

  LxImageProbe dst(9, 9, 24, 0);
  dst.AttachFrames(1);
  ASSERT_TRUE(dst.Transfer(src));
  EXPECT_EQ(dst.GetDIB(), block);
  EXPECT_EQ(dst.GetWidth(), 5u);
  EXPECT_EQ(dst.GetTransIndex(), 7);
  EXPECT_TRUE(dst.SelectionIsValid());
  EXPECT_TRUE(dst.AlphaIsValid());
  EXPECT_EQ(dst.GetNumFrames(), 2);
  EXPECT_EQ(dst.GetNumLayers(), 1);
  EXPECT_EQ(dst.GetLayer(0)->GetParent(), &dst);

  EXPECT_FALSE(src.IsValid());
  EXPECT_EQ(src.GetWidth(), 0u);
  EXPECT_EQ(src.GetHeight(), 0u);
  EXPECT_EQ(src.GetBpp(), 0);
  EXPECT_EQ(src.GetTransIndex(), 0);
  EXPECT_FALSE(src.SelectionIsValid());
  EXPECT_EQ(src.frames, nullptr);
}

TEST(Container, TransferWithoutFramesLeavesEachArrayWithItsCount) {
  LxImageProbe src(2, 2, 8, 0);
  src.AttachFrames(3);
  LxImageProbe dst(2, 2, 8, 0);
  dst.AttachFrames(1);
  ASSERT_TRUE(dst.Transfer(src, false));
  EXPECT_EQ(dst.GetNumFrames(), 1);
  EXPECT_EQ(src.GetNumFrames(), 3);
  EXPECT_NE(src.GetFrame(2), nullptr);
}

TEST(Container, TransferToItselfKeepsTheImage) {
  LxImage img(3, 3, 8, 0);
  EXPECT_TRUE(img.Transfer(img));
  EXPECT_TRUE(img.IsValid());
}

TEST(Container, DestroyKeepsTheHeader) {
  LxImage img(12, 8, 4, 0);
  EXPECT_TRUE(img.Destroy());
  EXPECT_FALSE(img.IsValid());
  EXPECT_EQ(img.GetWidth(), 12u);
  EXPECT_EQ(img.GetHeight(), 8u);
  EXPECT_EQ(img.GetBpp(), 4);
  EXPECT_EQ(img.GetBits(0), nullptr);
  EXPECT_EQ(img.GetPixelIndex(0, 0), 0);
}

TEST(Container, ClearFillsWholeBytesByDepth) {
  struct Case {
    int bpp;
    BYTE value, fill;
  };
  for (const Case& c : {Case{1, 1, 255}, Case{1, 0, 0}, Case{4, 3, 0x33}, Case{4, 19, 0x33},
                        Case{8, 200, 200}, Case{24, 9, 9}}) {
    LxImage img(5, 3, c.bpp, 0);
    img.Clear(c.value);
    const BYTE* p = img.GetBits(0);
    for (DWORD i = 0; i < img.GetEffWidth() * 3; ++i) {
      ASSERT_EQ(p[i], c.fill) << "depth " << c.bpp << " byte " << i;
    }
  }
}

TEST(Container, GhostsShareButNeverRelease) {
  LxImageProbe owner(4, 4, 8, 0);
  owner.SelectionCreate();
  {
    LxImageProbe ghost;
    ghost.Ghost(&owner);
    EXPECT_EQ(ghost.GetDIB(), owner.GetDIB());
    EXPECT_FALSE(ghost.Destroy());
    EXPECT_FALSE(ghost.DestroyFrames());
    EXPECT_EQ(ghost.Create(2, 2, 8, 0), nullptr);
    EXPECT_STREQ(ghost.GetLastError(), "");
    LxImage other(2, 2, 8, 0);
    EXPECT_FALSE(ghost.Transfer(other));
    EXPECT_FALSE(other.Transfer(ghost)) << "a ghost owns nothing to hand over";
    EXPECT_TRUE(other.IsValid());

    LxImageProbe copyOfGhost(ghost);
    EXPECT_EQ(copyOfGhost.GetDIB(), owner.GetDIB()) << "a copy of a ghost is a ghost";
  }
  EXPECT_TRUE(owner.IsValid());
  owner.Clear(1);  // still owned and writable: the ghosts released nothing
}

TEST(Container, FreeMemoryAcceptsNull) {
  LxImage img;
  img.FreeMemory(nullptr);
  img.FreeMemory(LxAlloc(16));
}

}  // namespace
