// paper-report: what a receipt job's bytes make on paper, in numbers the
// receipt tests check.
//
//   paper-report STREAM.bin [--ramp]
//
// Prints, a line each: "paper WIDTH HEIGHT" (dots, rows), "mm LENGTH",
// "ink FIRST LAST" (rows with a burnt dot, or "ink none"), "cuts N",
// "burnt F" (the burnt share of the dots in the ink rows) and "isolated F"
// (the share of burnt dots with no burnt dot beside, above or below them:
// dither noise, where crisp text has next to none). With --ramp, for a page
// with a solid rule across the line and a gray ramp 2 mm below it, black
// at the left: "rule FIRST LAST", "isolated F" counted above the rule only,
// and "ramp B1 ... B9", the burnt share in each 64-dot block across the
// middle 6 mm of the ramp. Exit 1 when the stream does not decode.
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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || (argc == 3 && std::strcmp(argv[2], "--ramp") != 0) || argc > 3) {
    std::fprintf(stderr, "usage: paper-report STREAM.bin [--ramp]\n");
    return 2;
  }
  std::vector<uint8_t> bytes;
  if (!ReadStreamFile(argv[1], &bytes)) {
    std::fprintf(stderr, "paper-report: cannot open %s\n", argv[1]);
    return 2;
  }
  StreamModel model;
  model.jobCommands = true;
  const DecodedStream decoded = DecodeStream(bytes.data(), bytes.size(), model);
  if (!decoded.ok) {
    std::fprintf(stderr, "paper-report: offset %zu: %s\n", decoded.errorOffset, decoded.error.c_str());
    return 1;
  }
  const Paper paper = LayOut(decoded, model);
  std::printf("paper %u %u\nmm %.1f\n", paper.width, paper.height, paper.height * 25.4 / 203);
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
