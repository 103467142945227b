// What a document may be before it is printed: images, raster page headers
// and ESC/POS documents.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document_limits.h"

namespace {

// The 1000 mm roll at 203 dpi: 1000 / 25.4 * 203 = 7992.1 rows.
TEST(DocumentLimits, ImagesAreMeasuredAsTheyWouldPrint) {
  struct Case {
    unsigned width, height;
    const char* refusal;  // a piece of the message, or "" for printed
  } cases[] = {
      {576, 7992, ""},
      {576, 7993, "would print 1001 mm long; the longest paper this printer takes is 1000 mm"},
      {1152, 15984, ""},                       // scaled to 576 x 7992
      {1152, 15988, "would print 1001 mm"},    // scaled to 576 x 7994
      {300, 7992, ""},                         // narrower lines are not stretched
      {8000, 6000, ""},                        // a 48 MP photo: 432 rows
      {576, 1000000, "would print 125124 mm long"},
      {10000, 10000, "10000 x 10000 pixels; at most 50 million"},
      {20000, 20000, "at most 50 million"},
      {0, 10, "no pixels"},
  };
  for (const Case& c : cases) {
    const std::string why = RefuseImageSize(c.width, c.height);
    if (*c.refusal == '\0')
      EXPECT_EQ(why, "") << c.width << " x " << c.height;
    else
      EXPECT_NE(why.find(c.refusal), std::string::npos) << c.width << " x " << c.height << ": " << why;
  }
}

TEST(DocumentLimits, RasterPagesFitTheLongestRoll) {
  EXPECT_EQ(RefusePageLength(7992, 203), "");
  EXPECT_EQ(RefusePageLength(11810, 300), "");  // 999.9 mm
  EXPECT_NE(RefusePageLength(7993, 203).find("1001 mm"), std::string::npos);
  EXPECT_NE(RefusePageLength(4000000000u, 203).find("longest paper"), std::string::npos);
  EXPECT_EQ(PageMillimetres(2398, 203), 301u);  // an A4-long page: 300.05 mm
}

TEST(DocumentLimits, ImagesAreKnownByTheirFirstBytes) {
  struct Case {
    const char* head;
    size_t size;
    const char* type;
  } cases[] = {
      {"\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16, "image/png"},
      {"\xff\xd8\xff\xe0\0\x10JFIF", 10, "image/jpeg"},
      {"GIF89a\x10\x27\x10\x27", 10, "image/gif"},
      {"GIF87a", 6, "image/gif"},
      {"BM6\0\0\0", 6, "image/bmp"},
      {"P5\n576 10\n255\n", 15, "image/x-portable-anymap"},
      {"\x89PNG\r\n", 6, ""},  // cut short
      {"not a picture", 13, ""},
      {"", 0, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ImageTypeOf(reinterpret_cast<const unsigned char*>(c.head), c.size), c.type) << c.head;
}

RasterHeader GrayPage(unsigned width, unsigned height) {
  RasterHeader h;
  h.space = RasterHeader::kWhite;
  h.bitsPerPixel = h.bitsPerColor = 8;
  h.colors = 1;
  h.width = h.bytesPerLine = width;
  h.height = height;
  h.xDpi = h.yDpi = 203;
  return h;
}

TEST(RasterPages, GrayPagesThatFitArePrintedOnTheLine) {
  RasterPage page;
  // PAPPL's 80 mm page: 639 dots with the imaging box 4 mm (11 points) in.
  RasterHeader h = GrayPage(639, 2400);
  h.bboxLeftPoints = 11;
  EXPECT_EQ(CheckRasterPage(h, 1, kLineDots, &page), "");
  EXPECT_EQ(page.width, 639u);
  EXPECT_EQ(page.height, 2400u);
  EXPECT_EQ(page.left, 31u);  // 11 pt at 203 dpi, rounded
  EXPECT_FALSE(page.black);
  h.space = RasterHeader::kBlack;
  h.bboxLeftPoints = 0;
  EXPECT_EQ(CheckRasterPage(h, 1, kLineDots, &page), "");
  EXPECT_TRUE(page.black);
  EXPECT_EQ(page.left, 31u);  // no box: the 576-dot line centred
}

TEST(RasterPages, WhatWouldPrintAsGarbageOrRunOffTheRollIsRefused) {
  struct Case {
    const char* what;
    void (*change)(RasterHeader&);
    const char* refusal;
  } cases[] = {
      {"colour", [](RasterHeader& h) { h.space = RasterHeader::kOther; }, "8-bit gray raster only; page 3 came as 8-bit"},
      {"1-bit", [](RasterHeader& h) { h.bitsPerPixel = h.bitsPerColor = 1; }, "came as 1-bit raster"},
      {"RGB", [](RasterHeader& h) { h.bitsPerPixel = 24, h.colors = 3; }, "24-bit raster with 3 color(s)"},
      {"no width", [](RasterHeader& h) { h.width = h.bytesPerLine = 0; }, "page size 0 x 100 dots cannot"},
      {"too wide", [](RasterHeader& h) { h.width = h.bytesPerLine = 20001; }, "cannot be printed"},
      {"padded lines", [](RasterHeader& h) { h.bytesPerLine = 580; }, "cannot be printed"},
      {"no resolution", [](RasterHeader& h) { h.xDpi = 0; }, "cannot be printed"},
      {"longer than the roll", [](RasterHeader& h) { h.height = 7993; }, "would print 1001 mm long"},
      {"long at 300 dpi", [](RasterHeader& h) { h.height = 11812, h.yDpi = 300; }, "would print 1001 mm long"},
  };
  for (const Case& c : cases) {
    RasterHeader h = GrayPage(576, 100);
    c.change(h);
    RasterPage page;
    EXPECT_NE(CheckRasterPage(h, 3, kLineDots, &page).find(c.refusal), std::string::npos) << c.what;
  }
}

// Any ESC/POS that parses whole is taken: the pipeline's own records, and
// what point-of-sale software writes (text, code pages, FS .); what does
// not parse is refused with its offset and bytes.
TEST(RawDocuments, WholeDocumentsAreTakenAndOthersRefusedWithTheirOffset) {
  const std::vector<uint8_t> record = {0x1D, 'v', '0', 0, 1, 0, 1, 0, 0x80, 0x1B, 'J', 1, 0x1D, 'V', 66, 0};
  EXPECT_EQ(CheckRawDocument(record.data(), record.size()), "");
  // ESC @, FS . (two-byte characters off), ESC t 2 (PC850), "Caf\x82 ", LF.
  const std::vector<uint8_t> pos = {0x1B, '@', 0x1C, '.', 0x1B, 't', 2, 'C', 'a', 'f', 0x82, ' ', '\n'};
  EXPECT_EQ(CheckRawDocument(pos.data(), pos.size()), "");
  const std::vector<uint8_t> cutShort(record.begin(), record.begin() + 7);
  EXPECT_EQ(CheckRawDocument(cutShort.data(), cutShort.size()),
            "The ESC/POS document is not one this printer takes (offset 0: GS v 0 needs 8 bytes, 7 are there "
            "(bytes 1D 76 30 00 01 00 01)).");
  const std::vector<uint8_t> unknown = {'h', 'i', 0x1D, 0x99, 0};
  EXPECT_NE(CheckRawDocument(unknown.data(), unknown.size()).find("(offset 2: GS 0x99 is not a command"),
            std::string::npos);
  EXPECT_EQ(CheckRawDocument(record.data(), kMaxRawDocument + 1), "The ESC/POS document is larger than 64 MB.");
  // The same walk makes what is sent: a document of status requests only is
  // taken and sends nothing; one that does not parse sends nothing either.
  std::string toSend = "stale";
  size_t removed = 0;
  const std::vector<uint8_t> asks = {0x10, 0x04, 1, 0x1D, 'r', 1};
  EXPECT_EQ(CheckRawDocument(asks.data(), asks.size(), &toSend, &removed), "");
  EXPECT_EQ(toSend, "");
  EXPECT_EQ(removed, 2u);
  const std::vector<uint8_t> withText = {'H', 'i', 0x10, 0x04, 4};
  EXPECT_EQ(CheckRawDocument(withText.data(), withText.size(), &toSend, &removed), "");
  EXPECT_EQ(toSend, "Hi");
  EXPECT_NE(CheckRawDocument(unknown.data(), unknown.size(), &toSend), "");
  EXPECT_EQ(toSend, "");
}

}  // namespace
