// Tests of the settings record, its accessors, byte order and the format-type
// table.
#include <gtest/gtest.h>

#include <cstring>

#include "lximage_probe.h"

namespace {

TEST(Settings, DefaultsOfANewImage) {
  LxImageProbe img(7);
  EXPECT_FALSE(img.IsValid());
  EXPECT_EQ(img.GetType(), 7u);
  EXPECT_EQ(img.GetTransIndex(), -1);
  EXPECT_FALSE(img.IsTransparent());
  EXPECT_FLOAT_EQ(img.GetJpegQualityF(), 90.0f);
  EXPECT_EQ(img.GetXDPI(), 96);
  EXPECT_EQ(img.GetYDPI(), 96);
  EXPECT_EQ(img.header.biXPelsPerMeter, 3780);
  EXPECT_EQ(img.header.biYPelsPerMeter, 3780);
  EXPECT_EQ(img.AlphaGetMax(), 255);
  EXPECT_TRUE(img.IsEnabled());
  EXPECT_TRUE(img.info.littleEndianHost);
  EXPECT_FALSE(img.AlphaPaletteIsEnabled());
  EXPECT_FALSE(img.GetRetreiveAllFrames());
  EXPECT_EQ(img.GetProgress(), 0);
  EXPECT_EQ(img.GetEscape(), 0);
  EXPECT_STREQ(img.GetLastError(), "");
  EXPECT_EQ(img.GetNumFrames(), 0);
  EXPECT_EQ(img.GetFrame(0), nullptr);
  EXPECT_EQ(img.GetLayer(-1), nullptr);
}

TEST(Settings, TransIndexKeepsOnlyIndicesBelowTheEntryCount) {
  LxImage one(1, 1, 1, 0);
  one.SetTransIndex(5);
  EXPECT_EQ(one.GetTransIndex(), 0);
  one.SetTransIndex(1);
  EXPECT_EQ(one.GetTransIndex(), 1);
  one.SetTransIndex(-1);
  EXPECT_EQ(one.GetTransIndex(), -1);
  LxImage rgb(1, 1, 24, 0);
  rgb.SetTransIndex(3);
  EXPECT_EQ(rgb.GetTransIndex(), 0);
  rgb.SetTransIndex(-4);
  EXPECT_EQ(rgb.GetTransIndex(), -4);
}

TEST(Settings, TransColorFromPaletteOrField) {
  LxImage pal(1, 1, 4, 0);
  pal.SetStdPalette();
  RGBQUAD c = {1, 2, 3, 4};
  pal.SetTransColor(c);
  EXPECT_EQ(LxImage::RGBQUADtoRGB(pal.GetTransColor()), 0x00010203u);
  pal.SetTransIndex(9);
  EXPECT_EQ(LxImage::RGBQUADtoRGB(pal.GetTransColor()), 0x000000FFu);
  EXPECT_EQ(pal.GetTransColor().rgbReserved, 0) << "stored with reserved 0";
}

TEST(Settings, ResolutionInPelsPerMetre) {
  LxImageProbe img(2, 2, 8, 0);
  img.SetXDPI(300);
  EXPECT_EQ(img.GetXDPI(), 300);
  EXPECT_EQ(img.header.biXPelsPerMeter, 11811);
  EXPECT_EQ(static_cast<BITMAPINFOHEADER*>(img.GetDIB())->biXPelsPerMeter, 11811);
  img.SetYDPI(0);
  EXPECT_EQ(img.GetYDPI(), 96);
  EXPECT_EQ(img.header.biYPelsPerMeter, 3780);
  img.SetXDPI(-5);
  EXPECT_EQ(img.GetXDPI(), 96);
}

TEST(Settings, JpegQualityAndScale) {
  LxImage img;
  img.SetJpegQualityF(-3.0f);
  EXPECT_FLOAT_EQ(img.GetJpegQualityF(), 0.0f);
  img.SetJpegQualityF(74.6f);
  EXPECT_EQ(img.GetJpegQuality(), 75);
  img.SetJpegQuality(12);
  EXPECT_FLOAT_EQ(img.GetJpegQualityF(), 12.0f);
  img.SetJpegScale(3);
  EXPECT_EQ(img.GetJpegScale(), 3);
}

TEST(Settings, SetTypeAcceptsOnlyKnownIds) {
  LxImage img;
  for (DWORD t : {1u, 15u, 17u, 19u}) {
    EXPECT_TRUE(img.SetType(t));
    EXPECT_EQ(img.GetType(), t);
  }
  for (DWORD t : {0u, 16u, 20u, 1000u}) {
    EXPECT_FALSE(img.SetType(t));
    EXPECT_EQ(img.GetType(), 0u);
  }
}

TEST(Settings, CodecOptionsByTypeIndex) {
  LxImage img(LXIMAGE_FORMAT_PNG);
  EXPECT_TRUE(img.SetCodecOption(11, LXIMAGE_FORMAT_MNG));
  EXPECT_EQ(img.GetCodecOption(LXIMAGE_FORMAT_MNG), 11u);
  EXPECT_TRUE(img.SetCodecOption(22));  // type 0: the image's own type
  EXPECT_EQ(img.GetCodecOption(LXIMAGE_FORMAT_PNG), 22u);
  EXPECT_EQ(img.GetCodecOption(16), 22u) << "id 16 maps to index 0, then the own type";
}

TEST(Settings, FlagsOffsetsAndSwitches) {
  LxImage img;
  img.SetFlags(0x12345678u);
  EXPECT_EQ(img.GetFlags(), 0x5678u);
  img.SetFlags(0x12345678u, false);
  EXPECT_EQ(img.GetFlags(), 0x12345678u);
  img.SetOffset(-3, 9);
  long x = 0, y = 0;
  img.GetOffset(&x, &y);
  EXPECT_EQ(x, -3);
  EXPECT_EQ(y, 9);
  img.GetOffset(nullptr, nullptr);
  img.Enable(false);
  EXPECT_FALSE(img.IsEnabled());
  img.SetFrameDelay(40);
  EXPECT_EQ(img.GetFrameDelay(), 40u);
  img.SetDisposalMethod(2);
  EXPECT_EQ(img.GetDisposalMethod(), 2);
  img.SetRetreiveAllFrames(true);
  EXPECT_TRUE(img.GetRetreiveAllFrames());
  img.SetProgress(50);
  img.SetEscape(1);
  EXPECT_EQ(img.GetProgress(), 50);
  EXPECT_EQ(img.GetEscape(), 1);
}

TEST(Settings, ColorType) {
  LxImage gray(1, 1, 8, 0);
  EXPECT_EQ(gray.GetColorType(), 1);
  LxImage rgb(1, 1, 24, 0);
  EXPECT_EQ(rgb.GetColorType(), 2);
  rgb.AlphaCreate();
  EXPECT_EQ(rgb.GetColorType(), 4);
}

TEST(Settings, FramesByNumber) {
  LxImageProbe img(1, 1, 8, 0);
  img.AttachFrames(3);
  EXPECT_EQ(img.GetFrame(-1), img.frames[2]);
  EXPECT_EQ(img.GetFrame(0), img.frames[0]);
  EXPECT_EQ(img.GetFrame(3), nullptr);
  EXPECT_TRUE(img.DestroyFrames());
  EXPECT_EQ(img.GetNumFrames(), 0);
}

TEST(ByteOrder, SwapsOnlyForABigEndianSource) {
  LxImageProbe img;
  EXPECT_EQ(img.ntohl(0x11223344), 0x11223344);
  EXPECT_EQ(img.ntohs(0x1122), 0x1122);
  img.info.littleEndianHost = false;
  EXPECT_EQ(img.ntohl(0x11223344), 0x44332211);
  EXPECT_EQ(img.ntohs(0x1122), 0x2211);
  BITMAPINFOHEADER bih = {};
  bih.biSize = 40;
  bih.biWidth = 0x100;
  bih.biBitCount = 8;
  img.bihtoh(&bih);
  EXPECT_EQ(bih.biSize, 0x28000000u);
  EXPECT_EQ(bih.biWidth, 0x10000);
  EXPECT_EQ(bih.biBitCount, 0x800);
  img.bihtoh(nullptr);
}

TEST(TypeTable, NamesIdsAndIndices) {
  EXPECT_EQ(LxImage::GetTypeIdFromName("JPEG"), 3u);
  EXPECT_EQ(LxImage::GetTypeIdFromName("tiff"), 6u);
  EXPECT_EQ(LxImage::GetTypeIdFromName("xyz"), 0u);
  EXPECT_EQ(LxImage::GetTypeIdFromName("pgm"), 14u);
  EXPECT_EQ(LxImage::GetTypeIdFromName("CR2"), 19u);
  EXPECT_EQ(LxImage::GetTypeIdFromName("emf"), 10u);
  EXPECT_EQ(LxImage::GetTypeIdFromName("jn"), 0u);
  EXPECT_EQ(LxImage::GetTypeIdFromName(""), 0u);
  EXPECT_EQ(LxImage::GetTypeIdFromName(nullptr), 0u);
  EXPECT_EQ(LxImage::GetTypeIndexFromId(17), 16u);
  EXPECT_EQ(LxImage::GetTypeIndexFromId(16), 0u);
  EXPECT_EQ(LxImage::GetTypeIndexFromId(20), 0u);
  EXPECT_EQ(LxImage::GetTypeIdFromIndex(16), 17u);
  EXPECT_EQ(LxImage::GetTypeIdFromIndex(19), 0u);
  for (DWORD i = 0; i <= 18; ++i) {
    EXPECT_EQ(LxImage::GetTypeIndexFromId(LxImage::GetTypeIdFromIndex(i)), i);
  }
  EXPECT_EQ(LxImage::GetNumTypes(), 18u);
}

TEST(Version, TextAndNumber) {
  EXPECT_STREQ(LxImage::GetVersion(), "LxImage 6.0.0");
  EXPECT_FLOAT_EQ(LxImage::GetVersionNumber(), 6.0f);
}

}  // namespace
