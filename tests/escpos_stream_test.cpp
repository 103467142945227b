// Tests of the strict stream reader and the paper model of the preview.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "escpos_stream.h"

namespace {

// A raster record; its feed moves the paper by its own rows unless told.
std::vector<uint8_t> Record(uint32_t rowBytes, uint32_t rows, uint8_t fill, int feed = -1) {
  std::vector<uint8_t> r = {0x1D, 0x76, 0x30, 0x00, static_cast<uint8_t>(rowBytes & 0xFF),
                            static_cast<uint8_t>(rowBytes >> 8), static_cast<uint8_t>(rows), 0x00};
  r.insert(r.end(), size_t{rowBytes} * rows, fill);
  r.insert(r.end(), {0x1B, 0x4A, static_cast<uint8_t>(feed < 0 ? rows : static_cast<uint32_t>(feed))});
  return r;
}

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

const std::vector<uint8_t> kCut = {0x1D, 0x56, 0x42, 0x00};

TEST(DecodeStream, ReadsRecordsAndCuts) {
  const auto stream = Join({Record(2, 24, 0xF0), Record(2, 3, 0x0F), kCut, Record(2, 1, 0xFF)});
  const DecodedStream d = DecodeStream(stream.data(), stream.size());
  ASSERT_TRUE(d.ok) << d.error;
  ASSERT_EQ(d.items.size(), 4u);
  EXPECT_EQ(d.items[1].rows, 3u);
  EXPECT_EQ(d.items[1].offset, 8u + 48 + 3);
  EXPECT_EQ(d.items[2].kind, StreamItem::kCut);
  EXPECT_EQ(d.items[3].bits, std::vector<uint8_t>(2, 0xFF));
}

struct BadStream {
  std::vector<uint8_t> bytes;
  size_t offset;
  const char* says;
};

class DecodeStreamRefuses : public ::testing::TestWithParam<BadStream> {};

TEST_P(DecodeStreamRefuses, WithTheOffsetOfTheFault) {
  const BadStream& c = GetParam();
  const DecodedStream d = DecodeStream(c.bytes.data(), c.bytes.size());
  EXPECT_FALSE(d.ok);
  EXPECT_EQ(d.errorOffset, c.offset) << d.error;
  EXPECT_NE(d.error.find(c.says), std::string::npos) << d.error;
}

std::vector<uint8_t> With(std::vector<uint8_t> v, size_t at, uint8_t b) {
  v[at] = b;
  return v;
}

std::vector<uint8_t> Cut(std::vector<uint8_t> v, size_t size) {
  v.resize(size);
  return v;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DecodeStreamRefuses,
    ::testing::Values(
        BadStream{{0x00}, 0, "expected GS"},
        BadStream{{0x1D}, 0, "ends inside"},
        BadStream{{0x1D, 0x28}, 1, "unknown GS command"},
        BadStream{With(Record(1, 1, 0), 2, '1'), 2, "expected '0'"},
        BadStream{With(Record(1, 1, 0), 3, 1), 3, "mode 1"},
        BadStream{With(Record(1, 1, 0), 4, 0), 4, "0 bytes per row"},
        BadStream{With(Record(1, 1, 0), 6, 25), 6, "25 rows"},
        BadStream{With(Record(1, 1, 0), 7, 1), 6, "257 rows"},
        BadStream{Cut(Record(4, 2, 0), 12), 0, "past the end"},
        BadStream{Record(1, 1, 0, 12), 11, "feed of 12"},
        // The old driver's full feed after a short slice leaves a gap.
        BadStream{Record(1, 3, 0, 24), 13, "feed of 24 after a slice of 3 rows, expected 3"},
        BadStream{With(Record(1, 1, 0), 10, 0x4B), 9, "not followed by ESC J"},
        BadStream{Join({kCut, Record(1, 1, 0)}), 0, "no print before"},
        BadStream{Join({Record(1, 1, 0), kCut, kCut}), 16, "no print before"},
        BadStream{Join({Record(1, 1, 0), kCut}), 12, "after the last copy"},
        BadStream{Join({Record(1, 1, 0), {0x1D, 0x56, 0x41, 0x00}}), 14, "m=65"}));

TEST(LayOut, SlicesDoNotMoveThePaperFeedsDo) {
  // Two rows printed, then a 2-row feed: the next slice starts right below.
  const auto stream = Join({Record(1, 2, 0x80), kCut, Record(2, 1, 0x01)});
  const DecodedStream d = DecodeStream(stream.data(), stream.size());
  ASSERT_TRUE(d.ok);
  const Paper paper = LayOut(d);
  EXPECT_EQ(paper.width, 16u);
  EXPECT_EQ(paper.height, 3u);
  EXPECT_EQ(paper.dots[0], 1);
  EXPECT_EQ(paper.dots[16], 1);
  EXPECT_EQ(paper.dots[2 * 16], 0) << "row 2's first dot is white";
  EXPECT_EQ(paper.dots[2 * 16 + 15], 1) << "row 2 is the next slice's";
  EXPECT_EQ(paper.cuts, std::vector<uint32_t>{2});
}

TEST(LayOut, FeedsOfTheirOwnMoveWhitePaperInAJob) {
  // A job's stream: 3 mm of white, a slice of 2 rows, 10 rows of white,
  // another slice, 3 mm more: the paper is as long as it moved.
  const std::vector<uint8_t> feed24 = {0x1B, 0x4A, 24}, feed10 = {0x1B, 0x4A, 10};
  const auto stream = Join({feed24, Record(1, 2, 0xFF), feed10, Record(1, 2, 0x01), feed24, kCut});
  const StreamModel job{false, true};
  const DecodedStream d = DecodeStream(stream.data(), stream.size(), job);
  ASSERT_TRUE(d.ok) << d.error;
  ASSERT_EQ(d.items.size(), 6u);
  EXPECT_EQ(d.items[0].kind, StreamItem::kFeed);
  EXPECT_EQ(d.items[2].feed, 10u);
  const Paper paper = LayOut(d, job);
  EXPECT_EQ(paper.height, 24u + 2 + 10 + 2 + 24);
  EXPECT_EQ(paper.dots[24 * 8], 1);
  EXPECT_EQ(paper.dots[36 * 8 + 7], 1);
  EXPECT_EQ(paper.dots[35 * 8 + 7], 0);
  EXPECT_EQ(paper.cuts, std::vector<uint32_t>{62});
  // The plug-in never sends a feed of its own: the strict reader refuses
  // one, and a job's stream may not end inside one.
  EXPECT_FALSE(DecodeStream(stream.data(), stream.size()).ok);
  const DecodedStream cut = DecodeStream(stream.data(), 2, job);
  EXPECT_FALSE(cut.ok);
  EXPECT_NE(cut.error.find("inside ESC J"), std::string::npos) << cut.error;
}

}  // namespace
