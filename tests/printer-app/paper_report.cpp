// paper-report: what a receipt job's bytes make on paper, in numbers the
// receipt tests check.
//
//   paper-report STREAM.bin [--ramp]
//   paper-report --same GOT.bin WANT.bin
//
// Prints, a line each: "paper WIDTH HEIGHT" (dots, rows), "mm LENGTH",
// "rows RASTER INKED" (raster rows sent, rows of the paper with a burnt
// dot), "ink FIRST LAST" (rows with a burnt dot, or "ink none"), "cuts N",
// "burnt F" (the burnt share of the dots in the ink rows) and "isolated F"
// (the share of burnt dots with no burnt dot beside, above or below them:
// dither noise, where crisp text has next to none). With --ramp, for a page
// with a solid rule across the line and a gray ramp 2 mm below it, black
// at the left: "rule FIRST LAST", "isolated F" counted above the rule only,
// and "ramp B1 ... B9", the burnt share in each 64-dot block across the
// middle 6 mm of the ramp. Exit 1 when the stream does not decode.
//
// With --same: exit 0 when GOT makes WANT's paper, dot for dot, as long and
// cut in the same rows, and sends no white row as raster; otherwise says
// what differs and exits 1.
#include <cstdio>
#include <cstring>
#include <vector>

#include "escpos_stream.h"

namespace {

bool Burnt(const Paper& p, long x, long y) {
  return x >= 0 && y >= 0 && x < static_cast<long>(p.width) && y < static_cast<long>(p.height) &&
         p.dots[static_cast<size_t>(y) * p.width + static_cast<size_t>(x)] != 0;
}

double RowShare(const Paper& p, unsigned y) {
  unsigned n = 0;
  for (unsigned x = 0; x < p.width; ++x) n += Burnt(p, x, y);
  return p.width ? static_cast<double>(n) / p.width : 0;
}

// The isolated share of the burnt dots in rows [first, last].
double Isolated(const Paper& p, unsigned first, unsigned last) {
  unsigned long burnt = 0, alone = 0;
  for (unsigned y = first; y <= last && y < p.height; ++y)
    for (unsigned x = 0; x < p.width; ++x) {
      if (!Burnt(p, x, y)) continue;
      ++burnt;
      if (!Burnt(p, x - 1L, y) && !Burnt(p, x + 1L, y) && !Burnt(p, x, y - 1L) && !Burnt(p, x, y + 1L)) ++alone;
    }
  return burnt ? static_cast<double>(alone) / burnt : 0;
}

bool Decode(const char* path, Paper* paper, unsigned* rasterRows) {
  std::vector<uint8_t> bytes;
  if (!ReadStreamFile(path, &bytes)) {
    std::fprintf(stderr, "paper-report: cannot open %s\n", path);
    return false;
  }
  StreamModel model;
  model.jobCommands = true;
  const DecodedStream decoded = DecodeStream(bytes.data(), bytes.size(), model);
  if (!decoded.ok) {
    std::fprintf(stderr, "paper-report: %s: offset %zu: %s\n", path, decoded.errorOffset, decoded.error.c_str());
    return false;
  }
  *paper = LayOut(decoded, model);
  *rasterRows = 0;
  for (const StreamItem& item : decoded.items)
    if (item.kind == StreamItem::kRaster) *rasterRows += item.rows;
  return true;
}

unsigned InkedRows(const Paper& p) {
  unsigned n = 0;
  for (unsigned y = 0; y < p.height; ++y) n += RowShare(p, y) > 0;
  return n;
}

int Same(const char* gotPath, const char* wantPath) {
  Paper got, want;
  unsigned gotRows = 0, wantRows = 0;
  if (!Decode(gotPath, &got, &gotRows) || !Decode(wantPath, &want, &wantRows)) return 1;
  const unsigned inked = InkedRows(got);
  if (got.height != want.height || (inked > 0 && got.width != want.width)) {
    std::printf("paper %ux%u, not %ux%u\n", got.width, got.height, want.width, want.height);
    return 1;
  }
  if (got.cuts != want.cuts) {
    std::printf("cut in other rows (%zu cuts, not %zu)\n", got.cuts.size(), want.cuts.size());
    return 1;
  }
  for (unsigned y = 0; y < got.height; ++y)
    for (unsigned x = 0; x < want.width; ++x)
      if (Burnt(got, x, y) != Burnt(want, x, y)) {
        std::printf("the dots differ from row %u, dot %u\n", y, x);
        return 1;
      }
  if (gotRows != inked) {
    std::printf("%u raster rows for %u inked rows\n", gotRows, inked);
    return 1;
  }
  std::printf("same paper, %u raster rows\n", gotRows);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--same") == 0) return Same(argv[2], argv[3]);
  if (argc < 2 || (argc == 3 && std::strcmp(argv[2], "--ramp") != 0) || argc > 3) {
    std::fprintf(stderr, "usage: paper-report STREAM.bin [--ramp]\n       paper-report --same GOT.bin WANT.bin\n");
    return 2;
  }
  Paper paper;
  unsigned rasterRows = 0;
  if (!Decode(argv[1], &paper, &rasterRows)) return 1;
  std::printf("paper %u %u\nmm %.1f\n", paper.width, paper.height, paper.height * 25.4 / 203);
  std::printf("rows %u %u\n", rasterRows, InkedRows(paper));
  long first = -1, last = -1;
  for (unsigned y = 0; y < paper.height; ++y)
    if (RowShare(paper, y) > 0) {
      if (first < 0) first = y;
      last = y;
    }
  if (first < 0) {
    std::printf("ink none\n");
  } else {
    std::printf("ink %ld %ld\n", first, last);
  }
  std::printf("cuts %zu\n", paper.cuts.size());
  if (first < 0) return 0;
  unsigned long burnt = 0;
  for (long y = first; y <= last; ++y)
    for (unsigned x = 0; x < paper.width; ++x) burnt += Burnt(paper, x, y);
  std::printf("burnt %.3f\n", static_cast<double>(burnt) / (static_cast<double>(last - first + 1) * paper.width));
  if (argc == 2) {
    std::printf("isolated %.4f\n", Isolated(paper, static_cast<unsigned>(first), static_cast<unsigned>(last)));
    return 0;
  }
  // The rule: the first run of 4 rows or more, each 85 % burnt or more.
  long ruleFirst = -1, ruleLast = -1;
  for (unsigned y = 0; y < paper.height && ruleLast < 0; ++y) {
    if (RowShare(paper, y) >= 0.85) {
      if (ruleFirst < 0) ruleFirst = y;
    } else if (ruleFirst >= 0) {
      if (y - ruleFirst >= 4) ruleLast = y - 1;
      else ruleFirst = -1;
    }
  }
  if (ruleLast < 0) {
    std::printf("rule none\n");
    return 0;
  }
  std::printf("rule %ld %ld\n", ruleFirst, ruleLast);
  std::printf("isolated %.4f\n", ruleFirst > first ? Isolated(paper, static_cast<unsigned>(first), static_cast<unsigned>(ruleFirst - 1)) : 0.0);
  // The ramp starts 16 rows (2 mm) below the rule and is 80 rows tall: its
  // middle 48 rows.
  const unsigned top = static_cast<unsigned>(ruleLast) + 1 + 16 + 16, rows = 48;
  std::printf("ramp");
  for (unsigned block = 0; block * 64 + 64 <= paper.width; ++block) {
    unsigned long n64 = 0;
    for (unsigned y = top; y < top + rows; ++y)
      for (unsigned x = block * 64; x < block * 64 + 64; ++x) n64 += Burnt(paper, x, y);
    std::printf(" %.3f", static_cast<double>(n64) / (64.0 * rows));
  }
  std::printf("\n");
  return 0;
}
