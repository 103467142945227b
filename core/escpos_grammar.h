// escpos_grammar.h: the ESC/POS command set a receipt printer of this class
// takes, as one table-driven grammar that frames every command by its own
// length rule: a fixed count, a length prefix, a count in its parameters,
// or a terminator.
//
// A document is a sequence of
//   text            printable bytes, 0x20 to 0xFF (single-byte code pages,
//                   and the two-byte Chinese, Japanese and Korean encodings
//                   under FS &)
//   controls        HT, LF, FF, CR, CAN
//   commands        ESC, GS, FS and DLE followed by their code and
//                   parameters
// Anything else (an unknown command, one cut short, a control byte inside
// a NUL-terminated argument) stops the walk with the offset and the bytes:
// a document is printed only when it parses whole. The grammar never
// guesses a length.
#ifndef LORVEX_CORE_ESCPOS_GRAMMAR_H
#define LORVEX_CORE_ESCPOS_GRAMMAR_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace escpos {

// One framed piece of a document.
struct Piece {
  enum Kind { kText, kControl, kCommand } kind;
  size_t offset;  // where it starts
  size_t size;    // its bytes, the command's parameters and data included
  // Commands: the prefix byte (ESC, GS, FS, DLE), the code, and for
  // "GS ( X", "FS ( X", "GS 8 L", "ESC c X", "DLE DC4" the function byte.
  uint8_t prefix = 0, code = 0, function = 0;
  // The printer answers it on the line (a status request, automatic status
  // back, a printer ID): whoever reads the printer's answers must not send
  // it blindly.
  bool answers = false;
};

// Receives the pieces of a document, in order; false stops the walk.
class PieceSink {
 public:
  virtual ~PieceSink() = default;
  virtual bool Take(const Piece& piece) = 0;
};

struct GrammarError {
  size_t offset = 0;
  std::string what;  // "GS v 0 needs 2048 bytes of image data, 100 are there (bytes 1D 76 30 00 ...)"
  bool cutShort = false;  // the piece at `offset` only lacks bytes past the end
};

// Walks `size` bytes piece by piece. True when the whole document is
// framed (an empty one is); false, with `error`, at the first piece that
// is not.
bool WalkDocument(const uint8_t* data, size_t size, PieceSink& sink, GrammarError* error);

// What the printer application and the preview say of a document the
// grammar refuses.
std::string RefusalMessage(const GrammarError& error);

// True when the document parses whole; else `error` says where and why.
bool CheckDocument(const uint8_t* data, size_t size, GrammarError* error);

// The document as the printer gets it: every piece as it came but those
// the printer answers on the line, taken out. Empty, with `error`, when the
// document does not parse; `removed` counts what was taken out.
std::string PassThrough(const uint8_t* data, size_t size, GrammarError* error, size_t* removed = nullptr);

// A command's name as the reference writes it: "GS v 0", "ESC @",
// "GS ( k".
std::string PieceName(const uint8_t* data, const Piece& piece);

// The status requests of a document that comes in pieces (a socket print
// client's data), found at command boundaries as the data comes: DLE EOT n
// (n 1 to 4) and GS r n (n 1, 2). Bytes of an image or a barcode never
// count. Once the data does not parse, nothing more is found.
class QueryScanner {
 public:
  struct Query {
    bool realTime;  // DLE EOT n; else GS r n
    uint8_t n;
  };
  // Takes the next `size` bytes; calls `found(query)` for each request
  // completed by them, in order.
  template <typename Found>
  void Feed(const uint8_t* data, size_t size, Found found) {
    Collected collected;
    FeedInto(data, size, &collected);
    for (size_t i = 0; i < collected.count; ++i) found(collected.queries[i]);
  }
  bool Broken() const { return broken_; }

 private:
  struct Collected {
    Query queries[64];
    size_t count = 0;
  };
  void FeedInto(const uint8_t* data, size_t size, Collected* collected);
  std::string pending_;  // the last piece, not whole yet
  bool broken_ = false;
};

}  // namespace escpos

#endif  // LORVEX_CORE_ESCPOS_GRAMMAR_H
