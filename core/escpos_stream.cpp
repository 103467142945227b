// escpos_stream.cpp: strict decoding of the plug-in's ESC/POS stream and the
// paper model of the preview.
#include "escpos_stream.h"

#include <cstdio>

#include "escpos.h"

namespace {

using escpos::kESC;
using escpos::kGS;
constexpr uint32_t kMaxSliceRows = 24;

std::string Hex(uint8_t b) {
  char text[8];
  std::snprintf(text, sizeof(text), "0x%02X", b);
  return text;
}

// Ends a decode at the first fault: what was wrong and where.
template <typename Decoded>
Decoded& Refuse(Decoded& out, size_t at, std::string why) {
  out.ok = false;
  out.error = std::move(why);
  out.errorOffset = at;
  return out;
}

size_t ReadDeviceCommand(const uint8_t* data, size_t size, size_t at, DeviceCommand* c, std::string* why,
                         size_t* where);

}  // namespace

bool ReadStreamFile(const char* path, std::vector<uint8_t>* bytes) {
  FILE* in = std::fopen(path, "rb");
  if (!in) return false;
  bytes->clear();
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, in)) > 0) bytes->insert(bytes->end(), chunk, chunk + n);
  const bool ok = !std::ferror(in);
  std::fclose(in);
  return ok;
}

DecodedStream DecodeStream(const uint8_t* data, size_t size, const StreamModel& model) {
  DecodedStream out;
  auto fail = [&](size_t at, std::string why) { return Refuse(out, at, std::move(why)); };

  size_t at = 0;
  while (at < size) {
    const bool cutCommand = data[at] == kGS && at + 1 < size && data[at + 1] == 'V';
    if (model.jobCommands && data[at] == kESC && at + 1 < size && data[at + 1] == 'J') {
      // A feed of its own: white paper between or after the printed rows.
      if (at + 3 > size) return fail(at, "stream ends inside ESC J");
      StreamItem feed;
      feed.kind = StreamItem::kFeed;
      feed.offset = at;
      feed.feed = data[at + 2];
      out.items.push_back(std::move(feed));
      at += 3;
      continue;
    }
    if (model.jobCommands && (data[at] == kESC || cutCommand)) {
      // One job command: ESC @, ESC p or any cut.
      DeviceCommand command;
      std::string why;
      size_t where = 0;
      const size_t length = ReadDeviceCommand(data, size, at, &command, &why, &where);
      if (length == 0) return fail(where, why);
      StreamItem item;
      item.offset = at;
      item.kind = command.kind == DeviceCommand::kCut          ? StreamItem::kCut
                  : command.kind == DeviceCommand::kDrawerPulse ? StreamItem::kDrawerPulse
                                                                : StreamItem::kInitialize;
      out.items.push_back(std::move(item));
      at += length;
      continue;
    }
    if (data[at] != kGS) return fail(at, "expected GS (0x1D), found " + Hex(data[at]));
    if (at + 1 >= size) return fail(at, "stream ends inside a command");
    const uint8_t command = data[at + 1];
    if (command == 'V') {
      if (at + 4 > size) return fail(at, "stream ends inside GS V");
      if (data[at + 2] != escpos::kCutPartial || data[at + 3] != 0) {
        return fail(at + 2, "GS V with m=" + std::to_string(data[at + 2]) + " n=" +
                                std::to_string(data[at + 3]) + ", expected m=66 n=0");
      }
      if (out.items.empty() || out.items.back().kind == StreamItem::kCut) {
        return fail(at, "a cut with no print before it");
      }
      StreamItem cut;
      cut.kind = StreamItem::kCut;
      cut.offset = at;
      out.items.push_back(std::move(cut));
      at += 4;
      continue;
    }
    if (command != 'v') return fail(at + 1, "unknown GS command " + Hex(command));
    if (at + 8 > size) return fail(at, "stream ends inside a GS v 0 header");
    if (data[at + 2] != '0') return fail(at + 2, "GS v followed by " + Hex(data[at + 2]) + ", expected '0'");
    if (data[at + 3] != 0) return fail(at + 3, "GS v 0 mode " + std::to_string(data[at + 3]) + ", expected 0");
    const uint32_t rowBytes = data[at + 4] | (uint32_t{data[at + 5]} << 8);
    const uint32_t rows = data[at + 6] | (uint32_t{data[at + 7]} << 8);
    if (rowBytes == 0) return fail(at + 4, "raster record of 0 bytes per row");
    if (rows == 0 || (rows > kMaxSliceRows && !model.rasterAdvances)) {
      return fail(at + 6, "raster record of " + std::to_string(rows) + " rows, expected 1 to 24");
    }
    const size_t bitsAt = at + 8;
    const size_t bitsSize = size_t{rowBytes} * rows;
    if (bitsSize > size - bitsAt) return fail(at, "raster record runs past the end of the stream");
    const size_t feedAt = bitsAt + bitsSize;
    const bool fed = feedAt + 3 <= size && data[feedAt] == kESC && data[feedAt + 1] == 'J';
    if (!fed && !model.rasterAdvances) return fail(feedAt, "raster record not followed by ESC J");
    if (fed && !model.rasterAdvances && data[feedAt + 2] != rows) {
      return fail(feedAt + 2, "feed of " + std::to_string(data[feedAt + 2]) + " after a slice of " +
                                  std::to_string(rows) + " rows, expected " + std::to_string(rows));
    }
    StreamItem raster;
    raster.kind = StreamItem::kRaster;
    raster.offset = at;
    raster.rowBytes = rowBytes;
    raster.rows = rows;
    raster.feed = fed ? data[feedAt + 2] : 0;
    raster.bits.assign(data + bitsAt, data + feedAt);
    out.items.push_back(std::move(raster));
    at = feedAt + (fed ? 3 : 0);
  }
  if (!model.jobCommands && !out.items.empty() && out.items.back().kind == StreamItem::kCut) {
    return fail(out.items.back().offset, "a cut after the last copy");
  }
  out.ok = true;
  return out;
}

namespace {

// One device command at data[at]: its length, or 0 with `why` and `where`
// (an offset) when the bytes there are not one.
size_t ReadDeviceCommand(const uint8_t* data, size_t size, size_t at, DeviceCommand* c, std::string* why,
                         size_t* where) {
  auto fail = [&](size_t offset, std::string text) {
    *why = std::move(text);
    *where = offset;
    return size_t{0};
  };
  *c = DeviceCommand{};
  c->offset = at;
  if (data[at] == kESC && at + 1 < size && data[at + 1] == '@') {  // ESC @: initialise
    c->kind = DeviceCommand::kInitialize;
    return 2;
  }
  if (data[at] == kESC && at + 1 < size && data[at + 1] == 'p') {  // ESC p m t1 t2: drawer kick
    if (at + 5 > size) return fail(at, "stream ends inside ESC p");
    const uint8_t m = data[at + 2];
    if (m != 0 && m != 1 && m != 48 && m != 49) return fail(at + 2, "ESC p with pin m=" + std::to_string(m));
    c->kind = DeviceCommand::kDrawerPulse;
    c->pin = (m == 0 || m == 48) ? 2 : 5;
    c->onMs = data[at + 3] * 2u;
    c->offMs = data[at + 4] * 2u;
    if (c->onMs > c->offMs) return fail(at + 3, "ESC p on time longer than its off time");
    return 5;
  }
  if (data[at] == kGS && at + 1 < size && data[at + 1] == 'V') {  // GS V: cut
    if (at + 3 > size) return fail(at, "stream ends inside GS V");
    const uint8_t m = data[at + 2];
    c->kind = DeviceCommand::kCut;
    if (m == 0 || m == 1 || m == 48 || m == 49) {
      c->fullCut = (m == 0 || m == 48);
      return 3;
    }
    if (m == escpos::kCutFull || m == escpos::kCutPartial) {
      if (at + 4 > size) return fail(at, "stream ends inside GS V m n");
      c->fullCut = m == escpos::kCutFull;
      c->feedsFirst = true;
      c->feedExtra = data[at + 3];
      return 4;
    }
    return fail(at + 2, "GS V with m=" + std::to_string(m));
  }
  return fail(at, "not a device command: " + Hex(data[at]));
}

}  // namespace

DecodedCommands DecodeDeviceCommands(const uint8_t* data, size_t size) {
  DecodedCommands out;
  for (size_t at = 0; at < size;) {
    DeviceCommand c;
    std::string why;
    size_t where = 0;
    const size_t length = ReadDeviceCommand(data, size, at, &c, &why, &where);
    if (length == 0) return Refuse(out, where, std::move(why));
    out.commands.push_back(c);
    at += length;
  }
  out.ok = true;
  return out;
}

Paper LayOut(const DecodedStream& stream, const StreamModel& model) {
  Paper paper;
  // How far a record moves the paper: its feed, and its own rows where the
  // raster command advances.
  auto advance = [&](const StreamItem& item) {
    return item.feed + (model.rasterAdvances && item.kind == StreamItem::kRaster ? item.rows : 0);
  };
  uint32_t length = 0;
  for (const StreamItem& item : stream.items) {
    if (item.kind == StreamItem::kFeed) {
      length += item.feed;
      if (length > paper.height) paper.height = length;
    }
    if (item.kind != StreamItem::kRaster) continue;
    if (item.rowBytes * 8 > paper.width) paper.width = item.rowBytes * 8;
    const uint32_t end = length + (item.rows > advance(item) ? item.rows : advance(item));
    length += advance(item);
    if (end > paper.height) paper.height = end;
  }
  paper.dots.assign(size_t{paper.width} * paper.height, 0);

  uint32_t y = 0;
  for (const StreamItem& item : stream.items) {
    if (item.kind == StreamItem::kCut) {
      paper.cuts.push_back(y);
      continue;
    }
    if (item.kind == StreamItem::kFeed) y += item.feed;
    if (item.kind != StreamItem::kRaster) continue;
    for (uint32_t r = 0; r < item.rows; ++r) {
      const uint8_t* row = item.bits.data() + size_t{r} * item.rowBytes;
      uint8_t* dots = paper.dots.data() + size_t{y + r} * paper.width;
      for (uint32_t x = 0; x < item.rowBytes * 8; ++x) dots[x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
    }
    y += advance(item);
  }
  return paper;
}
