// What the renderer draws for hand-worked ESC/POS streams: where text, its
// sizes and modes, code pages, two-byte characters, images, barcodes and
// symbols land on the paper, and how far the paper moves.
#include <gtest/gtest.h>

#include <string>

#include "escpos_grammar.h"
#include "escpos_render.h"
#include "receipt_test_page.h"

using namespace receipt_render;

namespace {

GlyphSource& Glyphs() {
  static GlyphSource glyphs;
  return glyphs;
}

struct Drawn {
  RenderResult result;
  Paper paper;
  bool At(uint32_t x, uint32_t y) const { return y < paper.height && paper.dots[size_t{y} * paper.width + x] != 0; }
  size_t Ink() const { return static_cast<size_t>(std::count(paper.dots.begin(), paper.dots.end(), 1)); }
};

Drawn Draw(const std::string& stream, RenderOptions options = {}) {
  PaperCollector collector;
  Drawn d;
  d.result = RenderDocument(reinterpret_cast<const uint8_t*>(stream.data()), stream.size(), options, collector,
                            Glyphs());
  d.paper = collector.paper;
  return d;
}

// The glyph's dots scaled by sx x sy, compared with the paper at (x0, y0).
void ExpectGlyphAt(const Drawn& d, Face face, bool bold, char32_t ch, uint32_t x0, uint32_t y0, uint32_t sx = 1,
                   uint32_t sy = 1, bool inverted = false) {
  const Glyph& g = Glyphs().Get(face, bold, ch);
  size_t wrong = 0;
  for (uint32_t y = 0; y < g.height * sy; ++y)
    for (uint32_t x = 0; x < g.width * sx; ++x)
      wrong += d.At(x0 + x, y0 + y) != ((g.dots[size_t{y / sy} * g.width + x / sx] != 0) != inverted);
  EXPECT_EQ(wrong, 0u) << "glyph U+" << std::hex << uint32_t(ch) << " at " << std::dec << x0 << "," << y0;
}

const std::string kLF = "\n";
std::string Esc(const std::string& s) { return "\x1b" + s; }
std::string Gs(const std::string& s) { return "\x1d" + s; }
// Bytes that may hold zeros.
std::string B(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += static_cast<char>(b);
  return s;
}

}  // namespace

TEST(Render, AFontAndItsLineSpacing) {
  ASSERT_TRUE(Glyphs().Error().empty()) << Glyphs().Error();
  const Drawn d = Draw(Esc("3\x32") + "AB" + kLF + "C" + kLF);  // ESC 3 50
  ASSERT_TRUE(d.result.ok) << d.result.error;
  EXPECT_EQ(d.paper.width, 576u);
  EXPECT_EQ(d.paper.height, 100u);  // two lines of 50 dots
  ExpectGlyphAt(d, Face::kFontA, false, U'A', 0, 0);
  ExpectGlyphAt(d, Face::kFontA, false, U'B', 12, 0);
  ExpectGlyphAt(d, Face::kFontA, false, U'C', 0, 50);
  // Font B's cells are 9 x 17; a line shorter than its characters moves by
  // their height.
  const Drawn b = Draw(Esc("M\x01") + Esc("3\x05") + "xy" + kLF);
  ExpectGlyphAt(b, Face::kFontB, false, U'y', 9, 0);
  EXPECT_EQ(b.paper.height, 17u);
}

TEST(Render, ASizeTwoBoldLine) {
  // ESC E 1, GS ! 0x11 (double width and height), "HI", LF.
  const Drawn d = Draw(Esc("E\x01") + Gs("!\x11") + "HI" + kLF);
  ASSERT_TRUE(d.result.ok);
  EXPECT_EQ(d.paper.height, 48u);
  ExpectGlyphAt(d, Face::kFontA, true, U'H', 0, 0, 2, 2);
  ExpectGlyphAt(d, Face::kFontA, true, U'I', 24, 0, 2, 2);
  // Bold is heavier than the regular face.
  const Drawn regular = Draw(Gs("!\x11") + "HI" + kLF);
  EXPECT_GT(d.Ink(), regular.Ink() + regular.Ink() / 10);
  // Mixed sizes on one line stand on one baseline: the small B ends where
  // the tall A ends.
  const Drawn mixed = Draw(Gs("!\x01") + "A" + Gs(B({'!', 0})) + "B" + kLF);
  ExpectGlyphAt(mixed, Face::kFontA, false, U'B', 12, 24);
}

TEST(Render, AReversedLineAndUnderlines) {
  const Drawn d = Draw(Gs("B\x01") + "AB" + Gs(B({'B', 0})) + "C" + kLF);
  ExpectGlyphAt(d, Face::kFontA, false, U'A', 0, 0, 1, 1, /*inverted=*/true);
  ExpectGlyphAt(d, Face::kFontA, false, U'B', 12, 0, 1, 1, true);
  ExpectGlyphAt(d, Face::kFontA, false, U'C', 24, 0);
  for (uint32_t x = 36; x < 576; ++x) EXPECT_FALSE(d.At(x, 5)) << x;  // the rest of the line stays white
  // ESC - 2: a two-dot line under the cells, none under the rest.
  const Drawn u = Draw(Esc("-\x02") + "  " + kLF);
  for (uint32_t x = 0; x < 24; ++x) EXPECT_TRUE(u.At(x, 22) && u.At(x, 23)) << x;
  EXPECT_FALSE(u.At(0, 21));
  EXPECT_FALSE(u.At(24, 23));
}

TEST(Render, AnUpsideDownLineIsTheLineTurnedHalfRound) {
  const Drawn upright = Draw(Esc("a\x01") + "Ab1" + kLF);
  const Drawn turned = Draw(Esc("a\x01") + Esc("{\x01") + "Ab1" + kLF);
  ASSERT_EQ(turned.paper.height, 30u);
  ASSERT_GT(upright.Ink(), 0u);
  size_t wrong = 0;
  for (uint32_t y = 0; y < 24; ++y)
    for (uint32_t x = 0; x < 576; ++x) wrong += upright.At(x, y) != turned.At(575 - x, 23 - y);
  EXPECT_EQ(wrong, 0u);
}

TEST(Render, ARasterImageScaledTwice) {
  // GS v 0 m=3 (double width and height), one byte by two rows:
  // row 0 10100000, row 1 00000001.
  RenderOptions advancing;
  advancing.rasterAdvances = true;
  const Drawn d = Draw(Gs(B({'v', '0', 3, 1, 0, 2, 0, 0xa0, 0x01})), advancing);
  ASSERT_TRUE(d.result.ok) << d.result.error;
  EXPECT_EQ(d.paper.height, 4u);
  ASSERT_TRUE(d.result.ok) << d.result.error;
  std::vector<std::pair<uint32_t, uint32_t>> burnt;
  for (uint32_t y = 0; y < d.paper.height; ++y)
    for (uint32_t x = 0; x < 576; ++x)
      if (d.At(x, y)) burnt.push_back({x, y});
  const std::vector<std::pair<uint32_t, uint32_t>> want = {{0, 0}, {1, 0}, {4, 0}, {5, 0}, {0, 1},   {1, 1},
                                                           {4, 1}, {5, 1}, {14, 2}, {15, 2}, {14, 3}, {15, 3}};
  EXPECT_EQ(burnt, want);
  // Without advancing raster, the paper is only what the feed after it moves.
  EXPECT_EQ(Draw(Gs(B({'v', '0', 0, 1, 0, 2, 0, 0xa0, 0x01})) + Esc("J\x02")).paper.height, 2u);
  // ESC * 33 (24 dots, double density): one column of bytes 80 00 01 is a dot
  // at rows 0 and 23, in the line; GS ( L stores and prints a graphic.
  const Drawn column = Draw(Esc(B({'*', 33, 1, 0, 0x80, 0, 1})) + kLF);
  EXPECT_TRUE(column.At(0, 0) && column.At(0, 23) && !column.At(0, 1) && !column.At(1, 0));
  const std::string store = Gs(B({'(', 'L', 11, 0, 48, 112, 48, 1, 1, 49, 2, 0, 1, 0, 0xc0}));
  const Drawn graphic = Draw(store + Gs(B({'(', 'L', 2, 0, 48, 50})));
  EXPECT_TRUE(graphic.At(0, 0) && graphic.At(1, 0) && !graphic.At(2, 0));
  EXPECT_EQ(graphic.paper.height, 1u);
}

TEST(Render, CodePagesAndTwoByteText) {
  struct Case {
    uint8_t page, byte;
    char32_t shows;
  };
  for (const Case& c : {Case{0, 0xC4, U'─'}, Case{2, 0x9A, U'Ü'}, Case{19, 0xD5, U'€'}, Case{17, 0x80, U'А'},
                        Case{16, 0x80, U'€'}, Case{16, 0xE9, U'é'}}) {
    const Drawn d = Draw(Esc(std::string("t") + char(c.page)) + std::string(1, char(c.byte)) + kLF);
    ExpectGlyphAt(d, Face::kFontA, false, c.shows, 0, 0);
  }
  // FS &: GB18030 D6 D0 and Big5 A4 A4 are both 中, 24 x 24; ASCII stays single-byte.
  const Drawn gb = Draw("\x1c&\xd6\xd0" "A" + kLF);
  ExpectGlyphAt(gb, Face::kWide, false, U'中', 0, 0);
  ExpectGlyphAt(gb, Face::kFontA, false, U'A', 24, 0);
  RenderOptions big5;
  big5.twoByte = RenderOptions::TwoByte::kBig5;
  ExpectGlyphAt(Draw("\x1c&\xa4\xa4" + kLF, big5), Face::kWide, false, U'中', 0, 0);
  // Without FS & the bytes are the code page's.
  ExpectGlyphAt(Draw("\xd6" + kLF), Face::kFontA, false, U'╓', 0, 0);
}

TEST(Render, PositionsMarginsAndWrapping) {
  ExpectGlyphAt(Draw(Esc("a\x01") + "AB" + kLF), Face::kFontA, false, U'A', 276, 0);
  ExpectGlyphAt(Draw(Esc("a\x02") + "A" + kLF), Face::kFontA, false, U'A', 564, 0);
  ExpectGlyphAt(Draw(Gs(B({'L', 10, 0})) + "A" + kLF), Face::kFontA, false, U'A', 10, 0);
  ExpectGlyphAt(Draw(Esc(B({'$', 100, 0})) + "A" + kLF), Face::kFontA, false, U'A', 100, 0);
  ExpectGlyphAt(Draw(Esc(" \x03") + "AB" + kLF), Face::kFontA, false, U'B', 15, 0);
  ExpectGlyphAt(Draw("A\tB" + kLF), Face::kFontA, false, U'B', 96, 0);  // tabs every 8 columns
  // 49 characters: the 49th starts the next line; the print area narrows it.
  const Drawn wrapped = Draw(std::string(48, 'x') + "Z" + kLF);
  ExpectGlyphAt(wrapped, Face::kFontA, false, U'Z', 0, 30);
  ExpectGlyphAt(Draw(Gs(B({'W', 24, 0})) + "xyZ" + kLF), Face::kFontA, false, U'Z', 0, 30);
  // A quarter turn: the cell is 24 wide and 12 high.
  const Drawn turned = Draw(Esc("V\x01") + "AA" + kLF);
  EXPECT_TRUE(std::any_of(turned.paper.dots.begin(), turned.paper.dots.end(), [](uint8_t v) { return v; }));
  for (uint32_t y = 12; y < 30; ++y)
    for (uint32_t x = 0; x < 576; ++x) ASSERT_FALSE(turned.At(x, y)) << x << "," << y;
}

TEST(Render, PaperMovesCutsAndDrawers) {
  const Drawn d = Draw(Esc("J\x64") + Gs(B({'V', 66, 0})) + Esc("d\x02") + Esc(B({'p', 0, 25, 250})) +
                       std::string("\x10\x14\x01\x00\x01", 5));
  ASSERT_TRUE(d.result.ok) << d.result.error;
  EXPECT_EQ(d.paper.height, 160u);  // 100 dots, then two lines of 30
  EXPECT_EQ(d.paper.cuts, std::vector<uint32_t>{100});
  EXPECT_EQ(d.paper.drawers, (std::vector<uint32_t>{160, 160}));
  EXPECT_EQ(d.Ink(), 0u);
  // ESC @ resets the modes, not the paper.
  const Drawn reset = Draw(Gs("!\x77") + Esc("@") + "A" + kLF);
  ExpectGlyphAt(reset, Face::kFontA, false, U'A', 0, 0);
  EXPECT_EQ(reset.paper.height, 30u);
}

TEST(Render, BarcodesAndSymbols) {
  struct Case {
    const char* what;
    std::string command;
  };
  const Case cases[] = {
      {"UPC-A", Gs(std::string("k\x00" "01234567890\x00", 14))},
      {"UPC-E", Gs(std::string("kB\x07" "0123456", 10))},
      {"EAN-13", Gs(std::string("k\x02" "401234567890\x00", 15))},
      {"EAN-8", Gs(std::string("kD\x07" "1234567", 10))},
      {"CODE39", Gs(std::string("k\x04" "LORVEX\x00", 9))},
      {"ITF", Gs(std::string("kF\x06" "123456", 9))},
      {"CODABAR", Gs(std::string("kG\x06" "A1234B", 9))},
      {"CODE93", Gs(std::string("kH\x04" "AB12", 7))},
      {"CODE128", Gs(std::string("kI\x08{BAB{C\x0c\x22", 11))},
  };
  for (const Case& c : cases) {
    // 80 dots high, modules of 2, the text below.
    const Drawn d = Draw(Gs("h\x50") + Gs("w\x02") + Gs("H\x02") + c.command);
    ASSERT_TRUE(d.result.ok) << c.what << ": " << d.result.error;
    EXPECT_EQ(d.result.barcodes, 1u) << c.what;
    EXPECT_EQ(d.paper.height, 104u) << c.what;
    // The bars run the whole height; the text row has ink too.
    uint32_t firstBar = 576;
    for (uint32_t x = 0; x < 576 && firstBar == 576; ++x)
      if (d.At(x, 0)) firstBar = x;
    ASSERT_LT(firstBar, 576u) << c.what;
    EXPECT_TRUE(d.At(firstBar, 79)) << c.what;
    EXPECT_TRUE(std::any_of(d.paper.dots.begin() + 80 * 576, d.paper.dots.end(), [](uint8_t v) { return v; }))
        << c.what;
  }
  // QR: model 2, modules of 4, level M; "LORVEX" is a version 1 symbol of 21
  // modules: 84 dots square.
  const std::string qr = Gs(B({'(', 'k', 4, 0, 49, 65, 50, 0})) + Gs(B({'(', 'k', 3, 0, 49, 67, 4})) +
                         Gs(B({'(', 'k', 3, 0, 49, 69, 49})) + Gs(B({'(', 'k', 9, 0, 49, 80, 48})) + "LORVEX" +
                         Gs(B({'(', 'k', 3, 0, 49, 81, 48}));
  const Drawn q = Draw(qr);
  EXPECT_EQ(q.paper.height, 84u);
  EXPECT_TRUE(q.At(0, 0) && q.At(83, 0) && q.At(0, 83) && !q.At(84, 0));  // three finder corners
  const std::string pdf = Gs(B({'(', 'k', 9, 0, 48, 80, 48})) + "LORVEX" + Gs(B({'(', 'k', 3, 0, 48, 81, 48}));
  const Drawn p = Draw(pdf);
  EXPECT_EQ(p.result.barcodes, 1u);
  EXPECT_GT(p.paper.height, 0u);
  // A bad EAN-13 (letters) prints nothing, and is no failure.
  EXPECT_EQ(Draw(Gs(std::string("k\x02" "ABCDEFGHIJKL\x00", 15))).result.barcodes, 0u);
}

TEST(Render, ARefusedDocumentGetsThePrinterApplicationsMessage) {
  const std::string bad = "AB" + Gs("a");  // GS a without its parameter
  const Drawn d = Draw(bad);
  EXPECT_FALSE(d.result.ok);
  escpos::GrammarError error;
  ASSERT_FALSE(escpos::CheckDocument(reinterpret_cast<const uint8_t*>(bad.data()), bad.size(), &error));
  EXPECT_EQ(d.result.error, escpos::RefusalMessage(error));
  EXPECT_EQ(d.result.error.rfind("The ESC/POS document is not one this printer takes (offset 2: ", 0), 0u)
      << d.result.error;
  EXPECT_EQ(d.paper.height, 0u);
}

TEST(Render, TheNarrowPrinterHasA384DotLine) {
  RenderOptions narrow;
  narrow.lineDots = 384;
  const Drawn d = Draw(Esc("a\x02") + "A" + kLF + std::string(32, 'x') + "Z" + kLF, narrow);
  EXPECT_EQ(d.paper.width, 384u);
  ExpectGlyphAt(d, Face::kFontA, false, U'A', 372, 0);
  ExpectGlyphAt(d, Face::kFontA, false, U'Z', 384 - 12, 60);  // 32 columns fill a line; the 33rd wraps
}

// Identify-Printer's slip: the printer's own ESC/POS, with its name large
// and centred, its address and the message, then a cut; other bytes are '?'.
TEST(Render, TheIdentifySlip) {
  const std::string slip = IdentifySlip("Bar \xe5\x8f\xb0", "http://till-2:8000/bar", "Hello");
  escpos::GrammarError error;
  ASSERT_TRUE(escpos::CheckDocument(reinterpret_cast<const uint8_t*>(slip.data()), slip.size(), &error)) << error.what;
  EXPECT_NE(slip.find("Bar ???\n"), std::string::npos);
  EXPECT_NE(slip.find("http://till-2:8000/bar\n"), std::string::npos);
  const Drawn d = Draw(slip);
  EXPECT_EQ(d.paper.cuts.size(), 1u);
  // Seven double-size cells, centred: they start at (576 - 7 x 24) / 2.
  ExpectGlyphAt(d, Face::kFontA, false, U'B', 204, 0, 2, 2);
  EXPECT_EQ(d.paper.height, 48u + 30u + 30u + 90u);
}
