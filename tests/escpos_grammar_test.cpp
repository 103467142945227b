// The ESC/POS grammar: each command framed by its own length rule, a
// document taken only when it parses whole, and the commands the printer
// answers on the line taken out of what is passed on.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "escpos_grammar.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Collect : escpos::PieceSink {
  bool Take(const escpos::Piece& piece) override {
    pieces.push_back(piece);
    return true;
  }
  std::vector<escpos::Piece> pieces;
};

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

struct Framing {
  const char* name;  // as PieceName says it
  Bytes bytes;       // one command, whole
  bool answers;
};

class OneCommand : public ::testing::TestWithParam<Framing> {};

// Each command alone is one piece of its whole length; cut one byte short,
// it is refused at offset 2 (behind a line of text), nothing framed past it.
TEST_P(OneCommand, IsFramedWholeAndRefusedCutShort) {
  const Framing& c = GetParam();
  const Bytes doc = Cat({{'O', 'K'}, c.bytes});
  Collect sink;
  escpos::GrammarError error;
  ASSERT_TRUE(escpos::WalkDocument(doc.data(), doc.size(), sink, &error)) << error.what;
  ASSERT_EQ(sink.pieces.size(), 2u);
  const escpos::Piece& piece = sink.pieces[1];
  EXPECT_EQ(piece.kind, escpos::Piece::kCommand);
  EXPECT_EQ(piece.offset, 2u);
  EXPECT_EQ(piece.size, c.bytes.size());
  EXPECT_EQ(piece.answers, c.answers);
  EXPECT_EQ(escpos::PieceName(doc.data(), piece), c.name);
  const Bytes cut(doc.begin(), doc.end() - 1);
  EXPECT_FALSE(escpos::CheckDocument(cut.data(), cut.size(), &error));
  EXPECT_EQ(error.offset, 2u) << error.what;
  EXPECT_NE(error.what.find("bytes 1"), std::string::npos) << "the bytes are named: " << error.what;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, OneCommand,
    ::testing::Values(
        Framing{"ESC @", {0x1B, '@'}, false}, Framing{"ESC !", {0x1B, '!', 0x38}, false},
        Framing{"ESC SP", {0x1B, ' ', 2}, false}, Framing{"ESC $", {0x1B, '$', 10, 0}, false},
        Framing{"ESC a", {0x1B, 'a', 1}, false}, Framing{"ESC t", {0x1B, 't', 19}, false},
        Framing{"ESC {", {0x1B, '{', 1}, false}, Framing{"ESC W", {0x1B, 'W', 0, 0, 0, 0, 64, 2, 0, 4}, false},
        Framing{"ESC p", {0x1B, 'p', 0, 25, 250}, false}, Framing{"ESC J", {0x1B, 'J', 24}, false},
        Framing{"ESC D", {0x1B, 'D', 8, 16, 24, 0}, false}, Framing{"ESC c 4", {0x1B, 'c', '4', 1}, false},
        // ESC * 33 (24 dots): 3 bytes a column; ESC * 0 (8 dots): 1.
        Framing{"ESC *", {0x1B, '*', 33, 2, 0, 1, 2, 3, 4, 5, 6}, false},
        Framing{"ESC *", {0x1B, '*', 0, 3, 0, 0xAA, 0x55, 0xFF}, false},
        // ESC & 3 65 66: two characters, 1 and 2 columns of 3 bytes.
        Framing{"ESC &", {0x1B, '&', 3, 65, 66, 1, 1, 2, 3, 2, 1, 2, 3, 4, 5, 6}, false},
        Framing{"ESC u", {0x1B, 'u', 0}, true}, Framing{"ESC v", {0x1B, 'v'}, true},
        Framing{"GS !", {0x1D, '!', 0x11}, false}, Framing{"GS B", {0x1D, 'B', 1}, false},
        Framing{"GS L", {0x1D, 'L', 8, 0}, false}, Framing{"GS W", {0x1D, 'W', 0x40, 2}, false},
        Framing{"GS V", {0x1D, 'V', 1}, false}, Framing{"GS V", {0x1D, 'V', 66, 0}, false},
        Framing{"GS V", {0x1D, 'V', 97, 3}, false},
        // GS k 2 (EAN-13) NUL-terminated, GS k 73 (CODE128) with a count.
        Framing{"GS k", {0x1D, 'k', 2, '4', '0', '1', '2', '3', '4', '5', '6', '7', '8', '9', '0', '5', 0}, false},
        Framing{"GS k", {0x1D, 'k', 73, 4, '{', 'B', 'H', 'i'}, false},
        // GS ( k: a QR code's data, pL pH counting from the cn byte.
        Framing{"GS ( k", {0x1D, '(', 'k', 7, 0, '1', 'P', '0', 'a', 'b', 'c', 'd'}, false},
        Framing{"GS ( L", {0x1D, '(', 'L', 2, 0, '0', '2'}, false},
        Framing{"GS ( H", {0x1D, '(', 'H', 6, 0, '0', '0', 'a', 'b', 'c', 'd'}, true},
        Framing{"GS 8 L", {0x1D, '8', 'L', 3, 0, 0, 0, '0', 'p', '0'}, false},
        // GS v 0: 2 bytes by 3 rows.
        Framing{"GS v 0", {0x1D, 'v', '0', 0, 2, 0, 3, 0, 1, 2, 3, 4, 5, 6}, false},
        Framing{"GS *", {0x1D, '*', 1, 1, 1, 2, 3, 4, 5, 6, 7, 8}, false},
        Framing{"GS a", {0x1D, 'a', 0xFF}, true}, Framing{"GS r", {0x1D, 'r', 1}, true},
        Framing{"GS I", {0x1D, 'I', 1}, true}, Framing{"GS g 2", {0x1D, 'g', '2', 0, 20, 0}, true},
        Framing{"FS &", {0x1C, '&'}, false}, Framing{"FS .", {0x1C, '.'}, false},
        Framing{"FS !", {0x1C, '!', 4}, false}, Framing{"FS C", {0x1C, 'C', 1}, false},
        Framing{"FS S", {0x1C, 'S', 0, 2}, false}, Framing{"FS p", {0x1C, 'p', 1, 0}, false},
        Framing{"FS ( A", {0x1C, '(', 'A', 2, 0, '0', 1}, false},
        // FS q 1: one logo 1 x 1 (8 bytes).
        Framing{"FS q", {0x1C, 'q', 1, 1, 0, 1, 0, 1, 2, 3, 4, 5, 6, 7, 8}, false},
        Framing{"DLE EOT", {0x10, 0x04, 1}, true}, Framing{"DLE EOT", {0x10, 0x04, 7, 1}, true},
        Framing{"DLE ENQ", {0x10, 0x05, 2}, false}, Framing{"DLE DC4 1", {0x10, 0x14, 1, 0, 5}, false},
        Framing{"DLE DC4 8", {0x10, 0x14, 8, 1, 3, 20, 1, 6, 2, 8}, false}),
    [](const ::testing::TestParamInfo<Framing>& param) { return "Command" + std::to_string(param.index); });

TEST(Grammar, TextAndControlsAreTheirOwnPieces) {
  const Bytes doc = {'C', 'a', 'f', 0x82, '\n', '\r', 0x09, 0xB5, 0xC4, 0x0C, 0x18};
  Collect sink;
  escpos::GrammarError error;
  ASSERT_TRUE(escpos::WalkDocument(doc.data(), doc.size(), sink, &error)) << error.what;
  ASSERT_EQ(sink.pieces.size(), 7u);
  EXPECT_EQ(sink.pieces[0].size, 4u) << "a code page's upper half is text";
  EXPECT_EQ(escpos::PieceName(doc.data(), sink.pieces[1]), "LF");
  EXPECT_EQ(sink.pieces[4].size, 2u) << "two-byte text is text";
  EXPECT_TRUE(escpos::CheckDocument(nullptr, 0, &error)) << "an empty document is whole";
}

TEST(Grammar, RefusalsNameTheOffsetTheCommandAndTheBytes) {
  const struct {
    Bytes doc;
    size_t offset;
    const char* what;
  } cases[] = {
      {{'a', 0x1D, 0x99, 1}, 1, "GS 0x99 is not a command this printer takes (bytes 1D 99 01)"},
      {{0x1B, '@', 0x00}, 2, "byte 0x00 is neither text nor a command (bytes 00)"},
      {{0x1B}, 0, "ESC at the end of the document, with no command (bytes 1B)"},
      {{0x1D, 'v', '0', 0, 72, 0, 64, 0, 1, 2}, 0, "GS v 0 needs 4616 bytes with its image data, 10 are there"},
      {{0x1D, '(', 'k', 0xFF, 0xFF, '1'}, 0, "GS ( k needs 65540 bytes with its data, 6 are there"},
      {{0x1D, 'k', 4, 'A', '\n', 'B', 0}, 0, "GS k 4: byte 0x0A inside the barcode's data"},
      {{0x1D, 'k', 4, 'A', 'B'}, 0, "GS k 4 needs 6 bytes with its closing NUL"},
      {{0x1D, 'k', 9, 'A', 0}, 0, "GS k 9 is not a barcode system this printer has"},
      {{0x1D, 'V', 7}, 0, "GS V 7 is not a cut this printer takes"},
      {{0x1B, '*', 2, 1, 0, 0}, 0, "ESC * 2 is not a bit image mode this printer has"},
      {{0x10, 0x04, 9}, 0, "DLE EOT 9 is not a status this printer has"},
      {{0x1D, '8', 'L', 0xFF, 0xFF, 0xFF, 0xFF}, 0, "GS 8 L needs 4294967302 bytes with its data, 7 are there"},
  };
  for (const auto& c : cases) {
    escpos::GrammarError error;
    EXPECT_FALSE(escpos::CheckDocument(c.doc.data(), c.doc.size(), &error)) << c.what;
    EXPECT_EQ(error.offset, c.offset) << c.what;
    EXPECT_EQ(error.what.rfind(c.what, 0), 0u) << error.what;
  }
}

// Status requests and automatic status back inside a document would put
// answers on the line the server reads: they are taken out, the rest
// passes byte for byte.
TEST(Grammar, PassThroughTakesOutWhatThePrinterAnswers) {
  const Bytes keep1 = {0x1B, '@', 'H', 'i', '\n'};
  const Bytes keep2 = {0x1D, 'V', 66, 0};
  const Bytes doc = Cat({keep1, {0x10, 0x04, 1}, {0x1D, 'a', 0xFF}, keep2, {0x1D, 'r', 1}});
  escpos::GrammarError error;
  size_t removed = 0;
  const std::string out = escpos::PassThrough(doc.data(), doc.size(), &error, &removed);
  EXPECT_EQ(out, std::string("\x1b@Hi\n\x1dV\x42", 8) + std::string(1, '\0'));
  EXPECT_EQ(removed, 3u);
  const Bytes bad = {0x1B, 0x01};
  EXPECT_EQ(escpos::PassThrough(bad.data(), bad.size(), &error), "");
  EXPECT_EQ(error.offset, 0u);
}

}  // namespace

namespace {

// A socket print client's data comes in pieces: status requests are found
// whole and at command boundaries, never inside an image's bytes.
TEST(QueryScanner, FindsRequestsAsTheyCompleteAndNeverInsideData) {
  // An image whose data holds DLE EOT 1 and GS r 1, then the real ones.
  const Bytes doc = Cat({{0x10, 0x04, 2}, {0x1D, 'v', '0', 0, 6, 0, 1, 0, 0x10, 0x04, 0x01, 0x1D, 'r', 0x01},
                         {'O', 'K', '\n'}, {0x1D, 'r', 1}, {0x10, 0x04, 4}});
  for (size_t chunk : {size_t{1}, size_t{2}, size_t{5}, doc.size()}) {
    escpos::QueryScanner scanner;
    std::vector<std::pair<bool, int>> found;
    for (size_t at = 0; at < doc.size(); at += chunk)
      scanner.Feed(doc.data() + at, std::min(chunk, doc.size() - at),
                   [&](const escpos::QueryScanner::Query& q) { found.push_back({q.realTime, q.n}); });
    EXPECT_EQ(found, (std::vector<std::pair<bool, int>>{{true, 2}, {false, 1}, {true, 4}})) << chunk;
    EXPECT_FALSE(scanner.Broken());
  }
  escpos::QueryScanner scanner;
  int found = 0;
  const Bytes bad = {0x1D, 0x99, 0x10, 0x04, 0x01};
  scanner.Feed(bad.data(), bad.size(), [&](const escpos::QueryScanner::Query&) { ++found; });
  EXPECT_TRUE(scanner.Broken());
  EXPECT_EQ(found, 0) << "after data that does not parse, nothing is answered";
}

}  // namespace
