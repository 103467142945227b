// receipt_picture.cpp: the renderer's rows into a PNG file, the marks drawn
// into them as they pass. The file is written here chunk by chunk, its
// image data deflated by zlib as the rows come.
#include "receipt_picture.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <vector>

namespace receipt_render {

namespace {

// Palette entries: 0 paper and 1 dots, as the renderer hands them over, then the marks.
constexpr uint8_t kCut = 2, kDrawer = 3;
constexpr uint32_t kMarkRows = 12;  // a drawer mark's height; rows held back for it

class Counter : public PaperSink {
 public:
  uint64_t rows = 0;
  uint32_t width = 0;
  void Row(const uint8_t*, uint32_t w) override {
    width = w;
    ++rows;
  }
  void Cut(uint64_t) override {}
  void Drawer(uint64_t) override {}
};

// A PNG file being written: chunks with their CRC, the image data one
// deflate stream over IDAT chunks.
class PngFile {
 public:
  explicit PngFile(FILE* file) : file_(file) {
    std::memset(&z_, 0, sizeof z_);
    ok_ = deflateInit(&z_, Z_BEST_COMPRESSION) == Z_OK;
  }
  ~PngFile() { deflateEnd(&z_); }
  bool ok() const { return ok_; }

  void Start(uint32_t width, uint32_t height, const uint8_t (*palette)[3], int colours) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    ok_ = ok_ && std::fwrite(kSignature, 1, 8, file_) == 8;
    uint8_t header[13];
    Put32(header, width);
    Put32(header + 4, height);
    header[8] = 2;  // bits a dot
    header[9] = 3;  // palette
    header[10] = header[11] = header[12] = 0;
    Chunk("IHDR", header, sizeof header);
    Chunk("PLTE", palette[0], static_cast<size_t>(colours) * 3);
  }
  // One row: its filter byte (none) and the packed dots.
  void Row(const uint8_t* packed, size_t size) {
    const uint8_t filter = 0;
    Deflate(&filter, 1, Z_NO_FLUSH);
    Deflate(packed, size, Z_NO_FLUSH);
  }
  bool Finish() {
    Deflate(nullptr, 0, Z_FINISH);
    Chunk("IEND", nullptr, 0);
    return ok_;
  }

 private:
  static void Put32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
  }
  void Chunk(const char* type, const uint8_t* data, size_t size) {
    uint8_t head[8];
    Put32(head, static_cast<uint32_t>(size));
    std::memcpy(head + 4, type, 4);
    uLong crc = crc32(0, head + 4, 4);
    if (size) crc = crc32(crc, data, static_cast<uInt>(size));
    uint8_t tail[4];
    Put32(tail, static_cast<uint32_t>(crc));
    ok_ = ok_ && std::fwrite(head, 1, 8, file_) == 8 && (size == 0 || std::fwrite(data, 1, size, file_) == size) &&
          std::fwrite(tail, 1, 4, file_) == 4;
  }
  void Deflate(const uint8_t* data, size_t size, int flush) {
    if (!ok_) return;
    z_.next_in = const_cast<Bytef*>(data);
    z_.avail_in = static_cast<uInt>(size);
    int result;
    do {
      uint8_t out[65536];
      z_.next_out = out;
      z_.avail_out = sizeof out;
      result = deflate(&z_, flush);
      const size_t made = sizeof out - z_.avail_out;
      if (made) Chunk("IDAT", out, made);
    } while (ok_ && (z_.avail_out == 0 || (flush == Z_FINISH && result != Z_STREAM_END)) && result != Z_STREAM_ERROR);
    if (result == Z_STREAM_ERROR) ok_ = false;
  }

  FILE* file_;
  z_stream z_;
  bool ok_ = false;
};

// Rows into the PNG, held back a little so that a mark at the paper's end
// still lands on its last rows.
class PngRows : public PaperSink {
 public:
  PngRows(PngFile& png, uint32_t width, uint64_t height) : png_(png), width_(width), height_(height) {}
  void Row(const uint8_t* dots, uint32_t) override {
    held_.emplace_back(dots, dots + width_);
    if (held_.size() > kMarkRows) WriteFront();
  }
  void Cut(uint64_t row) override { cuts_.push_back(Clamp(row, 2)); }
  void Drawer(uint64_t row) override { drawers_.push_back(Clamp(row, kMarkRows)); }
  void Close() {
    while (!held_.empty()) WriteFront();
  }

 private:
  // A mark `rows` high starting at `row`, moved up to fit on the paper.
  uint64_t Clamp(uint64_t row, uint64_t rows) const {
    return height_ >= rows && row > height_ - rows ? height_ - rows : row;
  }
  void WriteFront() {
    std::vector<uint8_t>& row = held_.front();
    for (uint64_t cut : cuts_)
      if (written_ == cut || written_ == cut + 1)
        for (uint32_t x = 0; x < width_; ++x)
          if ((x / 8) % 2 == 0) row[x] = kCut;  // dashes of 8 dots
    for (uint64_t drawer : drawers_)
      if (written_ >= drawer && written_ < drawer + kMarkRows) {
        const uint64_t dy = written_ - drawer;
        const uint64_t reach = 12 - (dy > 6 ? dy - 6 : 6 - dy);
        for (uint32_t x = 0; x < reach && x < width_; ++x) row[x] = kDrawer;
      }
    std::vector<uint8_t> packed((width_ + 3) / 4, 0);
    for (uint32_t x = 0; x < width_; ++x) packed[x / 4] |= static_cast<uint8_t>((row[x] & 3) << (6 - 2 * (x % 4)));
    png_.Row(packed.data(), packed.size());
    held_.pop_front();
    ++written_;
  }

  PngFile& png_;
  uint32_t width_;
  uint64_t height_, written_ = 0;
  std::deque<std::vector<uint8_t>> held_;
  std::vector<uint64_t> cuts_, drawers_;
};

}  // namespace

bool WritePicture(const uint8_t* data, size_t size, const RenderOptions& options, GlyphSource& glyphs,
                  const std::string& path, std::string* why, RenderResult* drawn) {
  Counter counter;
  const RenderResult first = RenderDocument(data, size, options, counter, glyphs);
  if (drawn) *drawn = first;
  if (!first.ok) {
    if (why) *why = first.error;
    return false;
  }
  const uint32_t width = counter.width ? counter.width : options.lineDots;
  // An empty job is a strip of paper one row long.
  const uint64_t height = counter.rows ? counter.rows : 1;
  if (height > 0x7fffffff) {
    if (why) *why = "the paper is too long for a picture";
    return false;
  }
  const std::string temporary = path + ".new";
  FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) {
    if (why) *why = "cannot write " + temporary;
    return false;
  }
  bool ok;
  {
    PngFile png(file);
    static const uint8_t kPalette[4][3] = {{255, 255, 255}, {0, 0, 0}, {220, 0, 0}, {0, 60, 220}};
    png.Start(width, static_cast<uint32_t>(height), kPalette, 4);
    PngRows rows(png, width, height);
    RenderDocument(data, size, options, rows, glyphs);
    if (counter.rows == 0) {
      const std::vector<uint8_t> white(width, 0);
      rows.Row(white.data(), width);
    }
    rows.Close();
    ok = png.Finish();
  }
  ok = std::fclose(file) == 0 && ok;
  if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    if (why) *why = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace receipt_render
