// paper.h: the paper and the line the printers burn on it.
//
// Every printer of this family prints at 203 dots per inch, 8 dots a
// millimetre. An 80 mm roll carries a 576-dot line (72 mm), a 58 mm roll a
// 384-dot line (48 mm).
#ifndef LORVEX_CORE_PAPER_H
#define LORVEX_CORE_PAPER_H

#include <cstdint>

constexpr unsigned kDpi = 203;
constexpr int32_t kLineDots = 576;        // 80 mm paper
constexpr int32_t kNarrowLineDots = 384;  // 58 mm paper

// Dot rows of `millimetres` of paper, rounded down.
constexpr unsigned DotRowsOf(unsigned millimetres) { return millimetres * kDpi * 10 / 254; }

#endif  // LORVEX_CORE_PAPER_H
