// escpos_render.cpp: the printer's state machine over the grammar's pieces.
//
// Text goes into a line buffer of cells (characters, bit-image columns) and
// is printed at LF, ESC J, ESC d, a full line, or before anything that
// prints at the start of a line (raster images, barcodes, symbols, stored
// graphics). A printed line stands bottom-aligned in its own height; the
// paper then moves by the line spacing, or by the line's height where that
// is more. Barcodes and symbols move the paper by their height.
#include "escpos_render.h"

#include <iconv.h>
#include <zint.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <map>

#include "escpos.h"
#include "escpos_grammar.h"

namespace receipt_render {

void PaperCollector::Row(const uint8_t* dots, uint32_t width) {
  if (paper.width == 0) paper.width = width;
  paper.dots.insert(paper.dots.end(), dots, dots + width);
  ++paper.height;
}

namespace {

constexpr uint8_t kFS = 0x1C;
constexpr uint32_t kDefaultLineSpacing = 30;
// Rows kept above the paper's position: what a back feed may still reach.
constexpr uint64_t kKeptRows = 256;

// A block of dots, top row first.
struct Bitmap {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> dots;
  Bitmap() = default;
  Bitmap(uint32_t w, uint32_t h) : width(w), height(h), dots(size_t{w} * h, 0) {}
  uint8_t& At(uint32_t x, uint32_t y) { return dots[size_t{y} * width + x]; }
  uint8_t At(uint32_t x, uint32_t y) const { return dots[size_t{y} * width + x]; }
};

Bitmap Scaled(const Bitmap& from, uint32_t sx, uint32_t sy) {
  Bitmap to(from.width * sx, from.height * sy);
  for (uint32_t y = 0; y < to.height; ++y)
    for (uint32_t x = 0; x < to.width; ++x) to.At(x, y) = from.At(x / sx, y / sy);
  return to;
}

// A quarter turn clockwise.
Bitmap Turned(const Bitmap& from) {
  Bitmap to(from.height, from.width);
  for (uint32_t y = 0; y < from.height; ++y)
    for (uint32_t x = 0; x < from.width; ++x) to.At(from.height - 1 - y, x) = from.At(x, y);
  return to;
}

// The single-byte code pages of ESC t, decoded once each by iconv.
const char* CodePageName(uint8_t n) {
  switch (n) {
    case 2: return "IBM850";
    case 16: return "CP1252";
    case 17: return "IBM866";
    case 19: return "IBM858";
    default: return "IBM437";  // 0, and pages this printer does not have
  }
}

// Bytes of one code to one character, or 0 when the code cannot say.
char32_t Decode(const char* charset, const uint8_t* bytes, size_t size) {
  iconv_t cd = iconv_open("UTF-32LE", charset);
  if (cd == reinterpret_cast<iconv_t>(-1)) return 0;
  char in[4];
  std::memcpy(in, bytes, std::min<size_t>(size, 4));
  char out[8] = {};
  char* inp = in;
  char* outp = out;
  size_t inLeft = size, outLeft = sizeof out;
  const size_t done = iconv(cd, &inp, &inLeft, &outp, &outLeft);
  iconv_close(cd);
  if (done == static_cast<size_t>(-1) || outLeft != 4) return 0;
  return static_cast<char32_t>(static_cast<uint8_t>(out[0]) | static_cast<uint8_t>(out[1]) << 8 |
                               static_cast<uint8_t>(out[2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(out[3])) << 24);
}

class CodePages {
 public:
  char32_t Of(uint8_t page, uint8_t byte) {
    if (byte < 0x80) return byte;
    auto& table = tables_[page];
    if (table.empty()) {
      table.resize(128);
      for (unsigned b = 0x80; b < 0x100; ++b) {
        const uint8_t c = static_cast<uint8_t>(b);
        table[b - 0x80] = Decode(CodePageName(page), &c, 1);
      }
    }
    const char32_t ch = table[byte - 0x80];
    return ch != 0 ? ch : U'?';
  }

 private:
  std::map<uint8_t, std::vector<char32_t>> tables_;
};

struct Cell {
  Bitmap bitmap;
  uint32_t advance = 0;  // dots the cursor moves on (the bitmap's width)
};

// zint's modules of a symbol as dots: `module` dots a module, rows `rowDots`
// high (linear symbols: one row of `rowDots`).
bool SymbolBitmap(int symbology, const std::string& data, int option1, int option2, uint32_t module,
                  uint32_t linearHeight, uint32_t rowDots, Bitmap* out, std::string* text) {
  zint_symbol* symbol = ZBarcode_Create();
  if (symbol == nullptr) return false;
  symbol->symbology = symbology;
  symbol->input_mode = DATA_MODE;
  symbol->show_hrt = 0;
  if (option1 >= 0) symbol->option_1 = option1;
  if (option2 >= 0) symbol->option_2 = option2;
  const int result = ZBarcode_Encode(symbol, reinterpret_cast<const unsigned char*>(data.data()),
                                     static_cast<int>(data.size()));
  const bool ok = result < ZINT_ERROR && symbol->width > 0 && symbol->rows > 0;
  if (ok) {
    const bool linear = symbol->rows == 1;
    const uint32_t rowHeight = linear ? linearHeight : rowDots;
    *out = Bitmap(static_cast<uint32_t>(symbol->width) * module, static_cast<uint32_t>(symbol->rows) * rowHeight);
    for (int r = 0; r < symbol->rows; ++r)
      for (int c = 0; c < symbol->width; ++c) {
        if (!((symbol->encoded_data[r][c >> 3] >> (c & 7)) & 1)) continue;
        for (uint32_t dy = 0; dy < rowHeight; ++dy)
          for (uint32_t dx = 0; dx < module; ++dx) out->At(uint32_t(c) * module + dx, uint32_t(r) * rowHeight + dy) = 1;
      }
    if (text) *text = reinterpret_cast<const char*>(symbol->text);
  }
  ZBarcode_Delete(symbol);
  return ok;
}

class Printer : public escpos::PieceSink {
 public:
  Printer(const uint8_t* data, const RenderOptions& options, PaperSink& sink, GlyphSource& glyphs, RenderResult& result)
      : data_(data), options_(options), sink_(sink), glyphs_(glyphs), result_(result) {
    Initialize();
  }

  bool Take(const escpos::Piece& piece) override {
    const uint8_t* p = data_ + piece.offset;
    switch (piece.kind) {
      case escpos::Piece::kText: Text(p, piece.size); break;
      case escpos::Piece::kControl: Control(p[0]); break;
      case escpos::Piece::kCommand: Command(piece, p); break;
    }
    return true;
  }

  void Finish() {
    if (!line_.empty()) PrintLine(0);
    const uint64_t end = std::max(y_, drawnEnd_);
    Flush(end);
    result_.rows = end;
  }

 private:
  // --- The paper --------------------------------------------------------
  void Dot(uint64_t x, uint64_t y) {
    if (x >= options_.lineDots || y < flushed_) return;
    while (rows_.size() <= y - flushed_) rows_.emplace_back(options_.lineDots, 0);
    rows_[y - flushed_][x] = 1;
    drawnEnd_ = std::max(drawnEnd_, y + 1);
  }
  void Blit(const Bitmap& b, uint64_t x, uint64_t y) {
    for (uint32_t r = 0; r < b.height; ++r)
      for (uint32_t c = 0; c < b.width; ++c)
        if (b.At(c, r)) Dot(x + c, y + r);
  }
  // Hands over every row above `row`.
  void Flush(uint64_t row) {
    const std::vector<uint8_t> white(options_.lineDots, 0);
    while (flushed_ < row) {
      if (!rows_.empty()) {
        sink_.Row(rows_.front().data(), options_.lineDots);
        rows_.pop_front();
      } else {
        sink_.Row(white.data(), options_.lineDots);
      }
      ++flushed_;
    }
  }
  void Feed(uint64_t dots) {
    y_ += dots;
    if (y_ > kKeptRows) Flush(y_ - kKeptRows);
  }

  // --- Settings ---------------------------------------------------------
  void Initialize() {
    fontB_ = bold_ = upsideDown_ = turned_ = reverse_ = twoByte_ = false;
    underline_ = 0;
    widthMul_ = heightMul_ = 1;
    spacing_ = 0;
    lineSpacing_ = kDefaultLineSpacing;
    align_ = 0;
    leftMargin_ = 0;
    areaWidth_ = options_.lineDots;
    codePage_ = 0;
    tabs_.clear();
    for (uint32_t i = 1; i <= 32; ++i) tabs_.push_back(i * 8);
    tabsInDots_ = false;
    barHeight_ = 162;
    barModule_ = 3;
    hri_ = 0;
    hriFontB_ = false;
    qrModule_ = 3;
    qrLevel_ = 1;
    pdfColumns_ = 0;
    pdfModule_ = 3;
    pdfRowHeight_ = 3;
    pdfLevel_ = -1;
    line_.clear();
    x_ = 0;
  }
  Face CurrentFace() const { return fontB_ ? Face::kFontB : Face::kFontA; }
  uint32_t AreaWidth() const {
    const uint32_t left = std::min(leftMargin_, options_.lineDots);
    return std::max<uint32_t>(1, std::min(areaWidth_, options_.lineDots - left));
  }

  // --- Text -------------------------------------------------------------
  void Text(const uint8_t* p, size_t size) {
    for (size_t i = 0; i < size; ++i) {
      if (twoByte_ && p[i] >= 0x81 && i + 1 < size) {
        size_t n = 2;
        if (options_.twoByte == RenderOptions::TwoByte::kGb18030 && p[i + 1] >= 0x30 && p[i + 1] <= 0x39 && i + 3 < size)
          n = 4;
        const char32_t ch =
            Decode(options_.twoByte == RenderOptions::TwoByte::kBig5 ? "BIG5" : "GB18030", p + i, n);
        Character(ch != 0 ? ch : U'?', Face::kWide);
        i += n - 1;
        continue;
      }
      Character(codePages_.Of(codePage_, p[i]), CurrentFace());
    }
  }

  void Character(char32_t ch, Face face) {
    const Glyph& glyph = glyphs_.Get(face, bold_, ch);
    Bitmap b(glyph.width, glyph.height);
    b.dots = glyph.dots;
    if (turned_) b = Turned(b);
    b = Scaled(b, widthMul_, heightMul_);
    // Right-side spacing, then underline and reverse over the whole cell.
    Bitmap cell(b.width + spacing_ * widthMul_, b.height);
    for (uint32_t y = 0; y < b.height; ++y)
      for (uint32_t x = 0; x < b.width; ++x) cell.At(x, y) = b.At(x, y);
    if (underline_ > 0 && !reverse_)
      for (uint32_t t = 0; t < underline_ && t < cell.height; ++t)
        for (uint32_t x = 0; x < cell.width; ++x) cell.At(x, cell.height - 1 - t) = 1;
    if (reverse_)
      for (uint8_t& d : cell.dots) d = !d;
    AddCell(std::move(cell));
  }

  void AddCell(Bitmap bitmap) {
    if (x_ + bitmap.width > AreaWidth() && x_ > 0) PrintLine(0, /*lineFeed=*/true);
    Cell cell;
    cell.advance = bitmap.width;
    cell.bitmap = std::move(bitmap);
    cells_x_.push_back(x_);
    x_ += cell.advance;
    line_.push_back(std::move(cell));
  }

  // Prints the line buffer; then the paper moves by `feed` dots, or with
  // `lineFeed` by the line spacing, and never less than the line's height.
  void PrintLine(uint64_t feed, bool lineFeed = false) {
    uint32_t height = 0;
    for (const Cell& c : line_) height = std::max(height, c.bitmap.height);
    const uint32_t area = AreaWidth(), left = std::min(leftMargin_, options_.lineDots);
    const uint32_t used = std::min(x_, area);
    const uint32_t shift = align_ == 1 ? (area - used) / 2 : align_ == 2 ? area - used : 0;
    for (size_t i = 0; i < line_.size(); ++i) {
      const Bitmap& b = line_[i].bitmap;
      for (uint32_t r = 0; r < b.height; ++r)
        for (uint32_t c = 0; c < b.width; ++c) {
          if (!b.At(c, r)) continue;
          uint64_t x = shift + cells_x_[i] + c;
          uint64_t y = height - b.height + r;
          if (x >= area) continue;
          // Upside down: the line turned half round within the print area.
          if (upsideDown_) {
            x = area - 1 - x;
            y = height - 1 - y;
          }
          Dot(left + x, y_ + y);
        }
    }
    line_.clear();
    cells_x_.clear();
    x_ = 0;
    uint64_t move = lineFeed ? lineSpacing_ : feed;
    if (height > 0) move = std::max<uint64_t>(move, height);
    Feed(move);
  }

  void Control(uint8_t b) {
    switch (b) {
      case 0x0A:  // LF
      case 0x0C:  // FF: in standard mode, as a line feed
        PrintLine(0, true);
        break;
      case 0x09: {  // HT: the next tab stop on the line
        const uint32_t unit = tabsInDots_ ? 1 : (GlyphSource::CellWidth(CurrentFace()) + spacing_) * widthMul_;
        for (uint32_t stop : tabs_) {
          if (stop * unit > x_) {
            if (stop * unit <= AreaWidth()) {
              Bitmap gap(stop * unit - x_, 1);
              AddCell(std::move(gap));
            }
            break;
          }
        }
        break;
      }
      case 0x18:  // CAN: the line buffer is thrown away
        line_.clear();
        cells_x_.clear();
        x_ = 0;
        break;
      default: break;  // CR: no automatic line feed
    }
  }

  // --- Commands ---------------------------------------------------------
  static uint32_t Word(const uint8_t* p) { return uint32_t{p[0]} | uint32_t{p[1]} << 8; }
  static uint8_t Digit(uint8_t n) { return n >= '0' && n <= '9' ? static_cast<uint8_t>(n - '0') : n; }

  void Command(const escpos::Piece& piece, const uint8_t* p) {
    if (piece.prefix == escpos::kESC) Esc(piece, p);
    else if (piece.prefix == escpos::kGS) Gs(piece, p);
    else if (piece.prefix == kFS) Fs(piece, p);
    else if (piece.prefix == escpos::kDLE && piece.code == 0x14 && piece.size >= 3 && p[2] == 1) {
      sink_.Drawer(y_);
      ++result_.drawers;
    }
  }

  void Esc(const escpos::Piece& piece, const uint8_t* p) {
    switch (piece.code) {
      case '@': Initialize(); break;
      case ' ': spacing_ = p[2]; break;
      case '!':
        fontB_ = p[2] & 1;
        bold_ = p[2] & 8;
        heightMul_ = p[2] & 16 ? 2 : 1;
        widthMul_ = p[2] & 32 ? 2 : 1;
        underline_ = p[2] & 128 ? 1 : 0;
        break;
      case '-': underline_ = std::min<uint32_t>(Digit(p[2]), 2); break;
      case 'E': bold_ = p[2] & 1; break;
      case 'G': bold_ = p[2] & 1; break;
      case 'M': fontB_ = Digit(p[2]) == 1; break;
      case '2': lineSpacing_ = kDefaultLineSpacing; break;
      case '3': lineSpacing_ = p[2]; break;
      case 'a': align_ = std::min<uint32_t>(Digit(p[2]), 2); break;
      case '{': upsideDown_ = p[2] & 1; break;
      case 'V': turned_ = Digit(p[2]) == 1; break;
      case 't': codePage_ = p[2]; break;
      case '$': x_ = std::min(Word(p + 2), AreaWidth()); break;
      case '\\': {
        const int32_t moved = static_cast<int16_t>(Word(p + 2));
        x_ = static_cast<uint32_t>(std::clamp<int64_t>(int64_t{x_} + moved, 0, AreaWidth()));
        break;
      }
      case 'D': {
        tabs_.clear();
        tabsInDots_ = false;
        for (size_t i = 2; i + 1 < piece.size && p[i] != 0; ++i) tabs_.push_back(p[i]);
        break;
      }
      case 'J': PrintLine(p[2]); break;
      case 'd': {
        uint64_t height = 0;
        for (const Cell& c : line_) height = std::max<uint64_t>(height, c.bitmap.height);
        PrintLine(std::max<uint64_t>(uint64_t{p[2]} * lineSpacing_, height));
        break;
      }
      case 'i':
      case 'm':
        CutHere();
        break;
      case 'p':
        sink_.Drawer(y_);
        ++result_.drawers;
        break;
      case '*': BitImage(p, piece.size); break;
      default: break;  // page mode, peripherals, user-defined characters: nothing drawn
    }
  }

  void Gs(const escpos::Piece& piece, const uint8_t* p) {
    switch (piece.code) {
      case '!':
        widthMul_ = ((p[2] >> 4) & 7) + 1;
        heightMul_ = (p[2] & 7) + 1;
        break;
      case 'B': reverse_ = p[2] & 1; break;
      case 'L': leftMargin_ = Word(p + 2); break;
      case 'W': areaWidth_ = Word(p + 2); break;
      case 'V': CutHere(); break;
      case 'h': barHeight_ = std::max<uint32_t>(p[2], 1); break;
      case 'w': barModule_ = std::clamp<uint32_t>(p[2], 1, 6); break;
      case 'H': hri_ = Digit(p[2]) & 3; break;
      case 'f': hriFontB_ = Digit(p[2]) == 1; break;
      case 'k': Barcode(p, piece.size); break;
      case 'v': Raster(p); break;
      case '(':
        if (piece.function == 'k') Symbol(p + 5, piece.size - 5);
        else if (piece.function == 'L') Graphics(p + 5, piece.size - 5);
        break;
      case '8':
        if (piece.function == 'L') Graphics(p + 7, piece.size - 7);
        break;
      default: break;
    }
  }

  void Fs(const escpos::Piece& piece, const uint8_t*) {
    if (piece.code == '&') twoByte_ = true;
    if (piece.code == '.') twoByte_ = false;
  }

  void CutHere() {
    if (!line_.empty()) PrintLine(0);
    sink_.Cut(y_);
    ++result_.cuts;
  }

  // Where a block of `width` dots starts, as the justification places it.
  uint64_t BlockLeft(uint64_t width) const {
    const uint32_t area = AreaWidth(), left = std::min(leftMargin_, options_.lineDots);
    const uint64_t shift = width >= area ? 0 : align_ == 1 ? (area - width) / 2 : align_ == 2 ? area - width : 0;
    return left + shift;
  }
  // An image block at the start of a line.
  void Block(const Bitmap& b) { Blit(b, BlockLeft(b.width), y_); }
  void StartOfLine() {
    if (!line_.empty()) PrintLine(0, true);
  }

  // Packed rows (a set bit burns), each dot drawn sx x sy at the print
  // position; columns past the line are cut off. Answers the rows drawn.
  uint64_t PackedBlock(const uint8_t* d, uint32_t bytes, uint32_t width, uint32_t rows, uint32_t sx, uint32_t sy) {
    const uint64_t x0 = BlockLeft(uint64_t{width} * sx);
    const uint32_t visible = static_cast<uint32_t>(std::min<uint64_t>(width, (options_.lineDots + sx - 1) / sx));
    for (uint32_t y = 0; y < rows; ++y)
      for (uint32_t x = 0; x < visible; ++x) {
        if (!((d[size_t{y} * bytes + x / 8] >> (7 - x % 8)) & 1)) continue;
        for (uint32_t dy = 0; dy < sy; ++dy)
          for (uint32_t dx = 0; dx < sx; ++dx) Dot(x0 + uint64_t{x} * sx + dx, y_ + uint64_t{y} * sy + dy);
      }
    return uint64_t{rows} * sy;
  }

  // GS v 0 m xL xH yL yH d...
  void Raster(const uint8_t* p) {
    StartOfLine();
    const uint8_t m = Digit(p[3]);
    const uint32_t bytes = Word(p + 4), rows = Word(p + 6);
    const uint64_t height = PackedBlock(p + 8, bytes, bytes * 8, rows, m & 1 ? 2 : 1, m & 2 ? 2 : 1);
    ++result_.images;
    if (options_.rasterAdvances) Feed(height);
  }

  // ESC * m nL nH d...: columns of 8 or 24 dots, into the line.
  void BitImage(const uint8_t* p, size_t size) {
    const uint8_t m = p[2];
    const uint32_t columns = Word(p + 3);
    const bool tall = m == 32 || m == 33;
    const uint32_t bytes = tall ? 3 : 1;
    // At this resolution: single density doubles the columns, the 8-dot
    // modes are three dots a bit high.
    const uint32_t sx = (m == 0 || m == 32) ? 2 : 1, sy = tall ? 1 : 3;
    Bitmap b(columns, bytes * 8);
    for (uint32_t c = 0; c < columns && 5 + size_t{c} * bytes + bytes <= size; ++c)
      for (uint32_t k = 0; k < bytes * 8; ++k) b.At(c, k) = (p[5 + c * bytes + k / 8] >> (7 - k % 8)) & 1;
    AddCell(Scaled(b, sx, sy));
    ++result_.images;
  }

  // GS ( L / GS 8 L: m fn ...; fn 112 stores a raster graphic, fn 50 prints it.
  void Graphics(const uint8_t* q, size_t size) {
    if (size < 2) return;
    const uint8_t fn = q[1];
    if (fn == 112 && size >= 10) {
      graphic_.sx = std::clamp<uint32_t>(q[3], 1, 2);
      graphic_.sy = std::clamp<uint32_t>(q[4], 1, 2);
      graphic_.width = Word(q + 6);
      graphic_.rows = Word(q + 8);
      graphic_.bytes = (graphic_.width + 7) / 8;
      graphic_.data.assign(q + 10, q + size);
      graphic_.data.resize(size_t{graphic_.bytes} * graphic_.rows, 0);
    } else if ((fn == 50 || fn == 2) && !graphic_.data.empty()) {
      StartOfLine();
      Feed(PackedBlock(graphic_.data.data(), graphic_.bytes, graphic_.width, graphic_.rows, graphic_.sx, graphic_.sy));
      ++result_.images;
      graphic_ = Graphic();
    }
  }

  // The readable text of a barcode: characters of the barcode font.
  Bitmap TextLine(const std::string& text) {
    const Face face = hriFontB_ ? Face::kFontB : Face::kFontA;
    const uint32_t w = GlyphSource::CellWidth(face), h = GlyphSource::CellHeight(face);
    Bitmap b(static_cast<uint32_t>(text.size()) * w, h);
    for (size_t i = 0; i < text.size(); ++i) {
      const Glyph& g = glyphs_.Get(face, false, static_cast<uint8_t>(text[i]));
      for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) b.At(static_cast<uint32_t>(i) * w + x, y) = g.dots[size_t{y} * w + x];
    }
    return b;
  }

  // CODE128 data as the printer takes it: "{A", "{B", "{C" choose the code
  // set (in set C each byte is two digits), "{1".."{4" and "{S" are
  // functions, "{{" a brace. zint chooses its own code sets for the same
  // characters.
  static std::string Code128Text(const std::string& data) {
    std::string text;
    char set = 'B';
    for (size_t i = 0; i < data.size(); ++i) {
      if (data[i] == '{' && i + 1 < data.size()) {
        const char f = data[++i];
        if (f == 'A' || f == 'B' || f == 'C') set = f;
        else if (f == '{') text += '{';
        continue;
      }
      if (set == 'C') {
        const unsigned v = static_cast<uint8_t>(data[i]);
        if (v < 100) {
          text += static_cast<char>('0' + v / 10);
          text += static_cast<char>('0' + v % 10);
        }
      } else {
        text += data[i];
      }
    }
    return text;
  }

  // GS k m d... NUL (m 0 to 6) or GS k m n d1...dn (m 65 to 73).
  void Barcode(const uint8_t* p, size_t size) {
    StartOfLine();
    const uint8_t m = p[2];
    std::string data;
    uint8_t kind;
    if (m <= 6) {
      data.assign(reinterpret_cast<const char*>(p + 3), size - 4);  // up to the NUL
      kind = m;
    } else {
      data.assign(reinterpret_cast<const char*>(p + 4), p[3]);
      kind = static_cast<uint8_t>(m - 65);
    }
    static const int kSymbologies[] = {BARCODE_UPCA, BARCODE_UPCE,   BARCODE_EANX,    BARCODE_EANX,   BARCODE_CODE39,
                                       BARCODE_C25INTER, BARCODE_CODABAR, BARCODE_CODE93, BARCODE_CODE128};
    if (kind > 8) return;
    std::string encoded = kind == 8 ? Code128Text(data) : data;
    if (kind == 4 && encoded.size() >= 2 && encoded.front() == '*' && encoded.back() == '*')
      encoded = encoded.substr(1, encoded.size() - 2);
    // EAN-8 given with its check digit is zint's "with check digit" form.
    const int symbology = kind == 3 && encoded.size() == 8 ? BARCODE_EANX_CHK : kSymbologies[kind];
    Bitmap bars;
    std::string text;
    if (!SymbolBitmap(symbology, encoded, -1, -1, barModule_, barHeight_, 1, &bars, &text)) return;
    if (text.empty() || kind == 8 || kind == 4 || kind == 7) text = encoded;
    const Bitmap hri = TextLine(text);
    auto textBlock = [&]() {
      Bitmap row(std::max(bars.width, hri.width), hri.height);
      const uint32_t at = (row.width - hri.width) / 2;
      for (uint32_t y = 0; y < hri.height; ++y)
        for (uint32_t x = 0; x < hri.width; ++x) row.At(at + x, y) = hri.At(x, y);
      return row;
    };
    if (hri_ & 1) {
      Block(textBlock());
      Feed(hri.height);
    }
    Block(bars);
    Feed(bars.height);
    if (hri_ & 2) {
      Block(textBlock());
      Feed(hri.height);
    }
    ++result_.barcodes;
  }

  // GS ( k pL pH cn fn ...: QR (cn 49) and PDF417 (cn 48) settings, data and print.
  void Symbol(const uint8_t* q, size_t size) {
    if (size < 2) return;
    const uint8_t cn = q[0], fn = q[1];
    const uint8_t n = size > 2 ? q[2] : 0;
    if (cn == 49) {
      switch (fn) {
        case 67: qrModule_ = std::clamp<uint32_t>(n, 1, 16); break;
        case 69: qrLevel_ = std::clamp(n - 47, 1, 4); break;
        case 80: qrData_.assign(reinterpret_cast<const char*>(q + 3), size > 3 ? size - 3 : 0); break;
        case 81: PrintSymbol(BARCODE_QRCODE, qrData_, qrLevel_, -1, qrModule_, qrModule_); break;
        default: break;
      }
    } else if (cn == 48) {
      switch (fn) {
        case 65: pdfColumns_ = n; break;
        case 67: pdfModule_ = std::clamp<uint32_t>(n, 2, 8); break;
        case 68: pdfRowHeight_ = std::clamp<uint32_t>(n, 2, 8); break;
        case 69: pdfLevel_ = n == 48 && size > 3 ? std::clamp(q[3] - 48, 0, 8) : -1; break;
        case 80: pdfData_.assign(reinterpret_cast<const char*>(q + 3), size > 3 ? size - 3 : 0); break;
        case 81:
          PrintSymbol(BARCODE_PDF417, pdfData_, pdfLevel_, pdfColumns_ > 0 ? pdfColumns_ : -1, pdfModule_,
                      pdfModule_ * pdfRowHeight_);
          break;
        default: break;
      }
    }
  }

  void PrintSymbol(int symbology, const std::string& data, int option1, int option2, uint32_t module, uint32_t rowDots) {
    StartOfLine();
    Bitmap b;
    if (data.empty() || !SymbolBitmap(symbology, data, option1, option2, module, module, rowDots, &b, nullptr)) return;
    Block(b);
    Feed(b.height);
    ++result_.barcodes;
  }

  const uint8_t* data_;
  const RenderOptions& options_;
  PaperSink& sink_;
  GlyphSource& glyphs_;
  RenderResult& result_;
  CodePages codePages_;

  // The paper: rows from `flushed_` on; the print position `y_`.
  std::deque<std::vector<uint8_t>> rows_;
  uint64_t flushed_ = 0, y_ = 0, drawnEnd_ = 0;

  // The line buffer.
  std::vector<Cell> line_;
  std::vector<uint32_t> cells_x_;
  uint32_t x_ = 0;

  // Modes.
  bool fontB_ = false, bold_ = false, upsideDown_ = false, turned_ = false, reverse_ = false, twoByte_ = false;
  uint32_t underline_ = 0, widthMul_ = 1, heightMul_ = 1, spacing_ = 0, lineSpacing_ = kDefaultLineSpacing;
  uint32_t align_ = 0, leftMargin_ = 0, areaWidth_ = 0;
  uint8_t codePage_ = 0;
  std::vector<uint32_t> tabs_;
  bool tabsInDots_ = false;
  uint32_t barHeight_ = 162, barModule_ = 3, hri_ = 0;
  bool hriFontB_ = false;
  uint32_t qrModule_ = 3;
  int qrLevel_ = 1;
  std::string qrData_, pdfData_;
  uint32_t pdfColumns_ = 0, pdfModule_ = 3, pdfRowHeight_ = 3;
  int pdfLevel_ = -1;
  // The graphic GS ( L fn 112 stored, packed.
  struct Graphic {
    uint32_t width = 0, rows = 0, bytes = 0, sx = 1, sy = 1;
    std::vector<uint8_t> data;
  } graphic_;
};

}  // namespace

RenderResult RenderDocument(const uint8_t* data, size_t size, const RenderOptions& options, PaperSink& sink,
                            GlyphSource& glyphs) {
  RenderResult result;
  escpos::GrammarError error;
  if (!escpos::CheckDocument(data, size, &error)) {
    result.error = escpos::RefusalMessage(error);
    return result;
  }
  RenderOptions checked = options;
  checked.lineDots = std::clamp<uint32_t>(options.lineDots, 8, 4096);
  Printer printer(data, checked, sink, glyphs, result);
  escpos::WalkDocument(data, size, printer, &error);
  printer.Finish();
  result.ok = true;
  return result;
}

}  // namespace receipt_render
