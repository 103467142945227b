// escpos_grammar.cpp: the command table and the walk.
//
// Each prefix (ESC, GS, FS, DLE) has a table by code: a fixed length, a
// NUL-terminated argument, or a rule of its own for commands whose length
// is in their parameters. Lengths count every byte of the command, the
// prefix and code included.
#include "escpos_grammar.h"

#include <cstdio>

#include "escpos.h"

namespace escpos {

namespace {

constexpr uint8_t kFS = 0x1C;
constexpr uint8_t kHT = 0x09, kLF = 0x0A, kFF = 0x0C, kCR = 0x0D, kCAN = 0x18;

// How a command's length is found.
enum class Rule : uint8_t {
  kUnknown,  // not a command of this printer
  kFixed,    // `size` bytes in all
  kSpecial,  // a rule of its own, below
};

struct Entry {
  Rule rule = Rule::kUnknown;
  uint8_t size = 0;
  bool answers = false;  // the printer answers it on the line
};

struct Table {
  Entry entries[256];
  constexpr Table(std::initializer_list<std::pair<char, Entry>> list) : entries{} {
    for (const auto& e : list) entries[static_cast<uint8_t>(e.first)] = e.second;
  }
};

constexpr Entry Fixed(uint8_t size) { return {Rule::kFixed, size, false}; }
constexpr Entry Asks(uint8_t size) { return {Rule::kFixed, size, true}; }
constexpr Entry Special() { return {Rule::kSpecial, 0, false}; }

// ESC: text modes, spacing, positions, images, paper feed, the drawer.
constexpr Table kEsc = {
    {'\x0C', Fixed(2)},  // ESC FF: print the page (page mode)
    {' ', Fixed(3)},     // ESC SP n: right-side character spacing
    {'!', Fixed(3)},     // ESC ! n: print mode (font, bold, double height and width, underline)
    {'$', Fixed(4)},     // ESC $ nL nH: absolute print position
    {'%', Fixed(3)},     // ESC % n: user-defined characters on or off
    {'&', Special()},    // ESC & y c1 c2 [x d...]...: define user-defined characters
    {'(', Special()},    // ESC ( fn pL pH ...: extended functions (beeper)
    {'*', Special()},    // ESC * m nL nH d...: bit image, 8 or 24 dots high
    {'-', Fixed(3)},     // ESC - n: underline
    {'2', Fixed(2)},     // ESC 2: default line spacing
    {'3', Fixed(3)},     // ESC 3 n: line spacing
    {'<', Fixed(2)},     // ESC <: return home
    {'=', Fixed(3)},     // ESC = n: select peripheral device
    {'?', Fixed(3)},     // ESC ? n: cancel a user-defined character
    {'@', Fixed(2)},     // ESC @: initialise
    {'D', Special()},    // ESC D n1 ... NUL: horizontal tab positions
    {'E', Fixed(3)},     // ESC E n: emphasised
    {'G', Fixed(3)},     // ESC G n: double-strike
    {'J', Fixed(3)},     // ESC J n: print and feed n dots
    {'K', Fixed(3)},     // ESC K n: print and feed back n dots
    {'L', Fixed(2)},     // ESC L: page mode
    {'M', Fixed(3)},     // ESC M n: character font
    {'R', Fixed(3)},     // ESC R n: international character set
    {'S', Fixed(2)},     // ESC S: standard mode
    {'T', Fixed(3)},     // ESC T n: print direction (page mode)
    {'U', Fixed(3)},     // ESC U n: unidirectional printing
    {'V', Fixed(3)},     // ESC V n: quarter turns
    {'W', Fixed(10)},    // ESC W x y dx dy: print area (page mode)
    {'\\', Fixed(4)},    // ESC \ nL nH: relative print position
    {'a', Fixed(3)},     // ESC a n: justification
    {'c', Special()},    // ESC c n m: paper sensors, panel buttons
    {'d', Fixed(3)},     // ESC d n: print and feed n lines
    {'e', Fixed(3)},     // ESC e n: print and feed back n lines
    {'i', Fixed(2)},     // ESC i: full cut (older printers)
    {'m', Fixed(2)},     // ESC m: partial cut (older printers)
    {'p', Fixed(5)},     // ESC p m t1 t2: drawer kick pulse
    {'r', Fixed(3)},     // ESC r n: print colour
    {'t', Fixed(3)},     // ESC t n: character code table
    {'u', Asks(3)},      // ESC u n: transmit peripheral device status
    {'v', Asks(2)},      // ESC v: transmit paper sensor status
    {'{', Fixed(3)},     // ESC { n: upside-down printing
};

// GS: sizes, reverse, margins, barcodes, two-dimensional symbols,
// graphics, raster images, cuts, status.
constexpr Table kGs = {
    {'!', Fixed(3)},   // GS ! n: character size, 1 to 8 times wide and high
    {'$', Fixed(4)},   // GS $ nL nH: absolute vertical position (page mode)
    {'(', Special()},  // GS ( fn pL pH ...: symbols (k), graphics (L), and the other functions
    {'*', Special()},  // GS * x y d...: define a downloaded bit image
    {'/', Fixed(3)},   // GS / m: print the downloaded bit image
    {'8', Special()},  // GS 8 L p1 p2 p3 p4 ...: graphics, long form
    {':', Fixed(2)},   // GS :: start or end a macro
    {'B', Fixed(3)},   // GS B n: reverse (white on black)
    {'E', Fixed(3)},   // GS E n: print head control
    {'H', Fixed(3)},   // GS H n: barcode text above, below, both or none
    {'I', Asks(3)},    // GS I n: transmit printer ID
    {'L', Fixed(4)},   // GS L nL nH: left margin
    {'P', Fixed(4)},   // GS P x y: motion units
    {'T', Fixed(3)},   // GS T n: print position to the start of the line
    {'V', Special()},  // GS V m [n]: cut
    {'W', Fixed(4)},   // GS W nL nH: print area width
    {'\\', Fixed(4)},  // GS \ nL nH: relative vertical position (page mode)
    {'^', Fixed(5)},   // GS ^ r t m: execute the macro
    {'a', Asks(3)},    // GS a n: automatic status back
    {'b', Fixed(3)},   // GS b n: smoothing
    {'c', Fixed(2)},   // GS c: print the counter
    {'f', Fixed(3)},   // GS f n: barcode text font
    {'g', Special()},  // GS g 0|2 m nL nH: maintenance counters
    {'h', Fixed(3)},   // GS h n: barcode height
    {'j', Asks(3)},    // GS j n: automatic status back (ink)
    {'k', Special()},  // GS k m ...: print a barcode
    {'r', Asks(3)},    // GS r n: transmit status
    {'v', Special()},  // GS v 0 m xL xH yL yH d...: print a raster image
    {'w', Fixed(3)},   // GS w n: barcode module width
    {'z', Special()},  // GS z 0 t1 t2: online recovery wait
};

// FS: two-byte character modes and stored (NV) logos.
constexpr Table kFsTable = {
    {'!', Fixed(3)},   // FS ! n: two-byte character print mode
    {'&', Fixed(2)},   // FS &: two-byte character mode on
    {'(', Special()},  // FS ( fn pL pH ...: two-byte character functions
    {'-', Fixed(3)},   // FS - n: two-byte character underline
    {'.', Fixed(2)},   // FS .: two-byte character mode off
    {'2', Fixed(76)},  // FS 2 c1 c2 d1...d72: define a user-defined two-byte character (24 x 24)
    {'?', Fixed(4)},   // FS ? c1 c2: cancel a user-defined two-byte character
    {'C', Fixed(3)},   // FS C n: two-byte code system
    {'S', Fixed(4)},   // FS S n1 n2: two-byte character spacing
    {'W', Fixed(3)},   // FS W n: two-byte characters four times the size
    {'p', Fixed(4)},   // FS p n m: print a stored logo
    {'q', Special()},  // FS q n [xL xH yL yH d...]...: store logos
};

// DLE: real-time requests.
constexpr Table kDle = {
    {'\x04', Special()},  // DLE EOT n [a]: transmit real-time status
    {'\x05', Fixed(3)},   // DLE ENQ n: real-time request (recover from an error)
    {'\x14', Special()},  // DLE DC4 fn ...: real-time drawer pulse, power off, buffer clear, status
};

const char* PrefixName(uint8_t prefix) {
  switch (prefix) {
    case kESC: return "ESC";
    case kGS: return "GS";
    case kFS: return "FS";
    default: return "DLE";
  }
}

std::string CodeName(uint8_t code) {
  switch (code) {
    case 0x04: return "EOT";
    case 0x05: return "ENQ";
    case 0x0C: return "FF";
    case 0x14: return "DC4";
    case ' ': return "SP";
  }
  if (code > ' ' && code < 0x7F) return std::string(1, static_cast<char>(code));
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%02X", code);
  return hex;
}

std::string Bytes(const uint8_t* p, size_t left) {
  std::string text = "bytes";
  char hex[4];
  for (size_t i = 0; i < left && i < 8; ++i) {
    std::snprintf(hex, sizeof hex, " %02X", p[i]);
    text += hex;
  }
  if (left > 8) text += " ...";
  return text;
}

// Framing one command: its length, or 0 with `why`.
struct Framer {
  const uint8_t* p;  // at the prefix
  size_t left;       // bytes from there to the end of the document
  std::string* why;
  std::string name;

  bool cutShort = false;

  size_t Fail(const std::string& text) {
    *why = text;
    return 0;
  }
  // `want` bytes in all; said as `what` when they are not there.
  size_t Need(unsigned long long want, const char* what) {
    if (want <= left) return static_cast<size_t>(want);
    cutShort = true;
    return Fail(name + " needs " + std::to_string(want) + " bytes" + (*what ? std::string(" with its ") + what : "") +
                ", " + std::to_string(left) + " are there");
  }
  // "X ( fn pL pH d...": a function byte, then a 16-bit count of the bytes
  // after it.
  size_t Function(Piece* piece) {
    if (!Need(5, "")) return 0;
    piece->function = p[2];
    name += " " + CodeName(p[2]);
    return Need(5ULL + Word(3), "data");
  }
  // Byte `i`, or -1 when the document ends before it.
  int At(size_t i) const { return i < left ? p[i] : -1; }
  size_t Word(size_t i) const { return static_cast<size_t>(p[i]) | static_cast<size_t>(p[i + 1]) << 8; }
};

size_t FrameSpecial(Framer& f, uint8_t prefix, uint8_t code, Piece* piece) {
  const uint8_t* p = f.p;
  switch (prefix) {
    case kESC:
      switch (code) {
        case '&': {  // ESC & y c1 c2, then for each character c1..c2: x, then y * x bytes
          if (!f.Need(5, "")) return 0;
          const unsigned y = p[2], c1 = p[3], c2 = p[4];
          if (y < 1 || y > 3 || c1 < 32 || c2 < c1 || c2 > 126)
            return f.Fail(f.name + " " + std::to_string(y) + " " + std::to_string(c1) + " " + std::to_string(c2) +
                          " defines no characters this printer has");
          size_t at = 5;
          for (unsigned c = c1; c <= c2; ++c) {
            const int x = f.At(at);
            if (x < 0) return f.Need(at + 1, "character widths");
            if (x > 12) return f.Fail(f.name + ": a character " + std::to_string(x) + " dots wide");
            at += 1 + size_t{y} * static_cast<size_t>(x);
          }
          return f.Need(at, "character data");
        }
        case '(':  // ESC ( fn pL pH d...
          return f.Function(piece);
        case '*': {  // ESC * m nL nH d...: m 0 and 1 one byte a column, 32 and 33 three
          if (!f.Need(5, "")) return 0;
          const unsigned m = p[2];
          if (m != 0 && m != 1 && m != 32 && m != 33)
            return f.Fail(f.name + " " + std::to_string(m) + " is not a bit image mode this printer has");
          const unsigned long long columns = f.Word(3);
          return f.Need(5ULL + columns * (m >= 32 ? 3ULL : 1ULL), "image data");
        }
        case 'D': {  // ESC D n1 ... nk NUL, k at most 32
          for (size_t i = 2; i < 2 + 33; ++i) {
            const int n = f.At(i);
            if (n < 0) return f.Need(i + 1, "closing NUL");
            if (n == 0) return i + 1;
          }
          return f.Fail(f.name + " sets more than 32 tab positions");
        }
        case 'c': {  // ESC c n m: n 0, 1, 3, 4, 5
          if (!f.Need(4, "")) return 0;
          const unsigned n = p[2];
          if (n != '0' && n != '1' && n != '3' && n != '4' && n != '5')
            return f.Fail(f.name + " " + CodeName(p[2]) + " is not a command this printer takes");
          piece->function = p[2];
          f.name += " " + CodeName(p[2]);
          return 4;
        }
      }
      break;
    case kGS:
      switch (code) {
        case '(':  // GS ( fn pL pH d...; GS ( H requests a response or status
          piece->answers = f.At(2) == 'H';
          return f.Function(piece);
        case '*': {  // GS * x y d...: x * y * 8 bytes
          if (!f.Need(4, "")) return 0;
          return f.Need(4ULL + 8ULL * p[2] * p[3], "image data");
        }
        case '8': {  // GS 8 L p1 p2 p3 p4 d...: graphics, a 32-bit length
          if (!f.Need(7, "")) return 0;
          if (p[2] != 'L') return f.Fail(f.name + " " + CodeName(p[2]) + " is not a command this printer takes");
          piece->function = 'L';
          f.name += " L";
          const unsigned long long n = static_cast<unsigned long long>(p[3]) | static_cast<unsigned long long>(p[4]) << 8 |
                                       static_cast<unsigned long long>(p[5]) << 16 |
                                       static_cast<unsigned long long>(p[6]) << 24;
          return f.Need(7 + n, "data");
        }
        case 'V': {  // GS V m, m 0, 1, 48, 49; GS V m n, m 65, 66, 97, 98, 103, 104
          if (!f.Need(3, "")) return 0;
          const unsigned m = p[2];
          if (m == 0 || m == 1 || m == 48 || m == 49) return 3;
          if (m == 65 || m == 66 || m == 97 || m == 98 || m == 103 || m == 104) return f.Need(4, "feed");
          return f.Fail(f.name + " " + std::to_string(m) + " is not a cut this printer takes");
        }
        case 'g': {  // GS g 0 m nL nH: initialise a counter; GS g 2 m nL nH: transmit it
          if (!f.Need(6, "")) return 0;
          if (p[2] != '0' && p[2] != '2')
            return f.Fail(f.name + " " + CodeName(p[2]) + " is not a command this printer takes");
          piece->function = p[2];
          piece->answers = p[2] == '2';
          return 6;
        }
        case 'k': {  // GS k m d... NUL (m 0 to 6), GS k m n d1...dn (m 65 to 79)
          if (!f.Need(3, "")) return 0;
          const unsigned m = p[2];
          f.name += " " + std::to_string(m);
          if (m <= 6) {
            for (size_t i = 3; i < 3 + 256; ++i) {
              const int b = f.At(i);
              if (b < 0) return f.Need(i + 1, "closing NUL");
              if (b == 0) return i + 1;
              if (b < 0x20 || b > 0x7E)
                return f.Fail(f.name + ": byte " + CodeName(static_cast<uint8_t>(b)) + " inside the barcode's data");
            }
            return f.Fail(f.name + ": the barcode's data has no closing NUL within 255 bytes");
          }
          if (m >= 65 && m <= 79) {
            if (!f.Need(4, "")) return 0;
            return f.Need(4 + size_t{p[3]}, "barcode data");
          }
          return f.Fail(f.name + " is not a barcode system this printer has");
        }
        case 'v': {  // GS v 0 m xL xH yL yH d...: (xL + 256 xH) x (yL + 256 yH) bytes
          if (!f.Need(3, "")) return 0;
          if (p[2] != '0') return f.Fail(f.name + " " + CodeName(p[2]) + " is not a command this printer takes");
          f.name += " 0";
          if (!f.Need(8, "")) return 0;
          const unsigned m = p[3];
          if (m > 3 && (m < 48 || m > 51))
            return f.Fail(f.name + " " + std::to_string(m) + " is not a raster mode this printer has");
          return f.Need(8ULL + 1ULL * f.Word(4) * f.Word(6), "image data");
        }
        case 'z': {  // GS z 0 t1 t2
          if (!f.Need(5, "")) return 0;
          if (p[2] != '0') return f.Fail(f.name + " " + CodeName(p[2]) + " is not a command this printer takes");
          return 5;
        }
      }
      break;
    case kFS:
      switch (code) {
        case '(':  // FS ( fn pL pH d...
          return f.Function(piece);
        case 'q': {  // FS q n, then n logos of xL xH yL yH and (x * y * 8) bytes
          if (!f.Need(3, "")) return 0;
          unsigned long long at = 3;
          for (unsigned i = 0; i < p[2]; ++i) {
            if (!f.Need(at + 4, "logo size")) return 0;
            const size_t here = static_cast<size_t>(at);
            at += 4ULL + 8ULL * f.Word(here) * f.Word(here + 2);
            if (!f.Need(at, "logo data")) return 0;
          }
          return static_cast<size_t>(at);
        }
      }
      break;
    default:  // DLE
      switch (code) {
        case 0x04: {  // DLE EOT n (1 to 4), DLE EOT n a (7, 8)
          if (!f.Need(3, "")) return 0;
          piece->answers = true;
          piece->function = p[2];
          if (p[2] >= 1 && p[2] <= 4) return 3;
          if (p[2] == 7 || p[2] == 8) return f.Need(4, "");
          return f.Fail(f.name + " " + std::to_string(p[2]) + " is not a status this printer has");
        }
        case 0x14: {  // DLE DC4 fn ...
          if (!f.Need(3, "")) return 0;
          piece->function = p[2];
          f.name += " " + std::to_string(p[2]);
          switch (p[2]) {
            case 1:  // DLE DC4 1 m t: drawer kick pulse
            case 2:  // DLE DC4 2 1 8: power off
            case 3:  // DLE DC4 3 a b: buzzer
              return f.Need(5, "");
            case 7:  // DLE DC4 7 m: transmit the given status
              piece->answers = true;
              return f.Need(4, "");
            case 8:  // DLE DC4 8 1 3 20 1 6 2 8: clear the buffers
              return f.Need(10, "");
          }
          return f.Fail(f.name + " is not a real-time request this printer takes");
        }
      }
      break;
  }
  return f.Fail(f.name + " is not a command this printer takes");
}

const Table& TableOf(uint8_t prefix) {
  switch (prefix) {
    case kESC: return kEsc;
    case kGS: return kGs;
    case kFS: return kFsTable;
    default: return kDle;
  }
}

bool IsPrefix(uint8_t b) { return b == kESC || b == kGS || b == kFS || b == kDLE; }
bool IsControl(uint8_t b) { return b == kHT || b == kLF || b == kFF || b == kCR || b == kCAN; }

}  // namespace

bool WalkDocument(const uint8_t* data, size_t size, PieceSink& sink, GrammarError* error) {
  size_t at = 0;
  while (at < size) {
    const uint8_t b = data[at];
    Piece piece{Piece::kText, at, 0};
    if (b >= 0x20) {
      size_t end = at + 1;
      while (end < size && data[end] >= 0x20) ++end;
      piece.size = end - at;
    } else if (IsControl(b)) {
      piece.kind = Piece::kControl;
      piece.size = 1;
    } else if (IsPrefix(b)) {
      piece.kind = Piece::kCommand;
      piece.prefix = b;
      std::string why;
      if (at + 1 >= size) {
        error->offset = at;
        error->cutShort = true;
        error->what = std::string(PrefixName(b)) + " at the end of the document, with no command (" +
                      Bytes(data + at, size - at) + ")";
        return false;
      }
      piece.code = data[at + 1];
      const Entry& entry = TableOf(b).entries[piece.code];
      Framer framer{data + at, size - at, &why, std::string(PrefixName(b)) + " " + CodeName(piece.code)};
      size_t length = 0;
      if (entry.rule == Rule::kFixed) {
        piece.answers = entry.answers;
        length = framer.Need(entry.size, "");
      } else if (entry.rule == Rule::kSpecial) {
        length = FrameSpecial(framer, b, piece.code, &piece);
      } else {
        why = framer.name + " is not a command this printer takes";
      }
      if (length == 0) {
        error->offset = at;
        error->what = why + " (" + Bytes(data + at, size - at) + ")";
        error->cutShort = framer.cutShort;
        return false;
      }
      piece.size = length;
    } else {
      error->offset = at;
      error->what = "byte " + CodeName(b) + " is neither text nor a command (" + Bytes(data + at, size - at) + ")";
      return false;
    }
    if (!sink.Take(piece)) return true;
    at += piece.size;
  }
  return true;
}

namespace {

class NoSink : public PieceSink {
 public:
  bool Take(const Piece&) override { return true; }
};

}  // namespace

std::string RefusalMessage(const GrammarError& error) {
  return "The ESC/POS document is not one this printer takes (offset " + std::to_string(error.offset) + ": " +
         error.what + ").";
}

bool CheckDocument(const uint8_t* data, size_t size, GrammarError* error) {
  NoSink none;
  return WalkDocument(data, size, none, error);
}

std::string PassThrough(const uint8_t* data, size_t size, GrammarError* error, size_t* removed) {
  class Keep : public PieceSink {
   public:
    explicit Keep(const uint8_t* data) : data_(data) {}
    bool Take(const Piece& piece) override {
      if (piece.answers) {
        ++removed;
      } else {
        out.append(reinterpret_cast<const char*>(data_ + piece.offset), piece.size);
      }
      return true;
    }
    std::string out;
    size_t removed = 0;

   private:
    const uint8_t* data_;
  } keep(data);
  keep.out.reserve(size);
  if (!WalkDocument(data, size, keep, error)) return std::string();
  if (removed) *removed = keep.removed;
  return std::move(keep.out);
}

void QueryScanner::FeedInto(const uint8_t* data, size_t size, Collected* collected) {
  if (broken_) return;
  pending_.append(reinterpret_cast<const char*>(data), size);
  class Find : public PieceSink {
   public:
    Find(const uint8_t* bytes, Collected* out) : bytes_(bytes), out_(out) {}
    bool Take(const Piece& piece) override {
      const uint8_t* p = bytes_ + piece.offset;
      const bool eot = piece.prefix == kDLE && piece.code == kEOT && piece.size == 3 && p[2] >= 1 && p[2] <= 4;
      const bool gsr = piece.prefix == kGS && piece.code == 'r' && (p[2] == 1 || p[2] == 2 || p[2] == '1' || p[2] == '2');
      if ((eot || gsr) && out_->count < sizeof out_->queries / sizeof out_->queries[0])
        out_->queries[out_->count++] = {eot, static_cast<uint8_t>(eot ? p[2] : (p[2] & 0x0F))};
      return true;
    }

   private:
    const uint8_t* bytes_;
    Collected* out_;
  } find(reinterpret_cast<const uint8_t*>(pending_.data()), collected);
  GrammarError error;
  if (WalkDocument(reinterpret_cast<const uint8_t*>(pending_.data()), pending_.size(), find, &error)) {
    pending_.clear();
  } else if (error.cutShort) {
    pending_.erase(0, error.offset);  // the last piece waits for its bytes
  } else {
    broken_ = true;
    pending_.clear();
  }
}

std::string PieceName(const uint8_t* data, const Piece& piece) {
  if (piece.kind == Piece::kText) return "text";
  if (piece.kind == Piece::kControl) {
    switch (data[piece.offset]) {
      case kHT: return "HT";
      case kLF: return "LF";
      case kFF: return "FF";
      case kCR: return "CR";
      default: return "CAN";
    }
  }
  std::string name = std::string(PrefixName(piece.prefix)) + " " + CodeName(piece.code);
  if (piece.prefix == kDLE && piece.code == 0x14) return name + " " + std::to_string(piece.function);
  if (piece.prefix == kGS && piece.code == 'v') return "GS v 0";
  if (piece.function && piece.prefix != kDLE) name += " " + CodeName(piece.function);
  return name;
}

}  // namespace escpos
