// Feeds the ESC/POS grammar any bytes a client may send. Whatever it takes
// must be tiled by its pieces, one after the other from offset 0 to the
// end, and passed on less exactly the pieces the printer answers; what it
// refuses must say where, inside the document.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "escpos_grammar.h"

namespace {

struct Tiles : escpos::PieceSink {
  bool Take(const escpos::Piece& piece) override {
    if (piece.offset != next || piece.size == 0) abort();
    next += piece.size;
    if (!piece.answers) kept += piece.size;
    return true;
  }
  size_t next = 0, kept = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Tiles tiles;
  escpos::GrammarError error;
  const bool whole = escpos::WalkDocument(data, size, tiles, &error);
  if (whole) {
    if (tiles.next != size) abort();
    const std::string out = escpos::PassThrough(data, size, &error);
    if (out.size() != tiles.kept) abort();
  } else {
    if (error.offset != tiles.next || error.offset >= size || error.what.empty()) abort();
  }
  return 0;
}
