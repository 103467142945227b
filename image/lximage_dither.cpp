// lximage_dither.cpp: halftoning to the two-level image.
//
// Holds: Dither, with six error-diffusion kernels and two ordered matrices.
//
// The error diffusion works in the gray pixels themselves: each pixel's error
// is split into shares, each share truncated toward zero, and every share is
// added to its target pixel and clamped to 0..255 at once. Rows are walked in
// stored order (row 0 first, so the error flows up the picture), each from
// column 0; shares that fall outside the image are lost.
//
// The kernels are written for speed but give exactly that result:
//  - shares come from tables indexed by the pixel's value (v > 128 gives
//    white and error v - 255, else black and error v), built once per kernel
//    with the same truncating division;
//  - every target still gets its shares one by one, in the order of the
//    sources that send them, with the clamp after each one, which is all
//    that the order of application can change;
//  - the two pixels to the right of the current one live in registers: no
//    other source touches them before they are visited;
//  - interior columns use no bounds tests; the three columns at each edge
//    and rows past the top take the checked path.
#include <cstring>
#include <utility>
#include <vector>
#if defined(__SSE2__) && !defined(LX_SCALAR_ONLY)
#include <emmintrin.h>
#endif

#include "lximage.h"
#include "lximage_private.h"

namespace {

struct Tap {
  int dx, dy, weight;
};

// Kernels: taps in the order of application, the divisor, and the deepest row.
template <int N>
struct Kernel {
  Tap taps[N];
  int divisor;
};

constexpr Kernel<4> kFloydSteinberg = {{{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}}, 16};
constexpr Kernel<7> kBurkes = {
    {{1, 0, 8}, {2, 0, 4}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2}}, 32};
constexpr Kernel<12> kStucki = {{{1, 0, 8}, {2, 0, 4}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8},
                                 {1, 1, 4}, {2, 1, 2}, {-2, 2, 1}, {-1, 2, 2}, {0, 2, 4},
                                 {1, 2, 2}, {2, 2, 1}},
                                42};
constexpr Kernel<12> kJarvis = {{{1, 0, 7}, {2, 0, 5}, {-2, 1, 3}, {-1, 1, 5}, {0, 1, 7},
                                 {1, 1, 5}, {2, 1, 3}, {-2, 2, 1}, {-1, 2, 3}, {0, 2, 5},
                                 {1, 2, 3}, {2, 2, 1}},
                                48};
constexpr Kernel<10> kSierra = {{{1, 0, 5}, {2, 0, 3}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 5},
                                 {1, 1, 4}, {2, 1, 2}, {-1, 2, 2}, {0, 2, 3}, {1, 2, 2}},
                                32};
constexpr Kernel<12> kStevensonArce = {{{2, 0, 32}, {-3, 1, 12}, {-1, 1, 26}, {1, 1, 30},
                                        {3, 1, 16}, {-2, 2, 12}, {0, 2, 26}, {2, 2, 12},
                                        {-3, 3, 5}, {-1, 3, 12}, {1, 3, 12}, {3, 3, 5}},
                                       200};

// Ordered matrix of method 1, and the Bayer table of method 7 built by its
// bit-interleaving rule.
constexpr int kOrdered[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

BYTE BayerEntry(int r, int c) {
  unsigned d = 0, a = static_cast<unsigned>(r), b = static_cast<unsigned>(c);
  for (int i = 0; i < 4; ++i) {
    d = (((d << 1) | ((a ^ b) & 1)) << 1) | (b & 1);
    a >>= 1;
    b >>= 1;
  }
  return static_cast<BYTE>(d);
}

// The rows one halftoning walk goes over: the 8-bit gray pixels (changed by
// error diffusion), the packed two-level rows it writes, and the image's
// progress and escape fields.
struct Walk {
  BYTE* gray;
  long stride;
  long width;
  long height;
  long targetRows;  // rows that take shares: height, or more that are not walked
  BYTE* out;
  long outStride;
  int32_t* progress;
  const int32_t* escape;
};

inline int Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

inline int ErrorOf(int v) { return v > 128 ? v - 255 : v; }

// What each tap sends for a pixel of value v, laid out three ways: per tap
// (share[v][t], for the checked path), for the two taps on the current row
// (right1, right2: on the critical path, one load each), and per row below as
// a vector over the window's columns (lower[v][d][dx + reach], zero where the
// kernel sends nothing, which leaves a pixel as it is).
template <int N>
struct ShareTable {
  int16_t share[256][N];
  int16_t right1[256];
  int16_t right2[256];
  alignas(16) int16_t lower[256][3][8];
  ShareTable(const Kernel<N>& k, int reach) {
    std::memset(this, 0, sizeof(*this));
    for (int v = 0; v < 256; ++v) {
      for (int t = 0; t < N; ++t) {
        const Tap& tap = k.taps[t];
        const int16_t s = static_cast<int16_t>(ErrorOf(v) * tap.weight / k.divisor);
        share[v][t] = s;
        if (tap.dy == 0 && tap.dx == 1) right1[v] = s;
        if (tap.dy == 0 && tap.dx == 2) right2[v] = s;
        if (tap.dy > 0) lower[v][tap.dy - 1][tap.dx + reach] = s;
      }
    }
  }
};

// The widest reach of a kernel's taps on the rows below, and its depth.
template <int N>
constexpr int LowerReach(const Kernel<N>& k) {
  int r = 0;
  for (const Tap& t : k.taps) {
    if (t.dy > 0) r = (t.dx < 0 ? -t.dx : t.dx) > r ? (t.dx < 0 ? -t.dx : t.dx) : r;
  }
  return r;
}

template <int N>
constexpr int Depth(const Kernel<N>& k) {
  int d = 0;
  for (const Tap& t : k.taps) d = t.dy > d ? t.dy : d;
  return d;
}

// The tap that sends to (x + dx, y), or -1.
template <int N>
constexpr int RowTap(const Kernel<N>& k, int dx) {
  for (int t = 0; t < N; ++t) {
    if (k.taps[t].dy == 0 && k.taps[t].dx == dx) return t;
  }
  return -1;
}

// The interior of one row, for columns [x, end): no target can leave the
// image sideways, and `kRows` rows below exist. The pixels of the rows below
// that the current source can reach live in windows, which hold columns
// x - R .. x + R of row y + 1 + d with every share sent so far; the leftmost
// is final once the current source is done (no later source reaches it), goes
// back to memory, and the window moves on by one column.
template <int N, const Kernel<N>& k, int kRows>
struct Interior {
  static constexpr int R = LowerReach(k);
  static constexpr int S = 2 * R + 1;
  static constexpr bool kRight1 = RowTap(k, 1) >= 0;
  static constexpr bool kRight2 = RowTap(k, 2) >= 0;
  static_assert(S <= 8, "a window must fit eight lanes");

  // The current row: a holds pixel x, b pixel x + 1, with all shares so far.
  // Answers pixel x's value and moves both on by one column.
  static inline int Step(const ShareTable<N>& tab, const BYTE* row, long x, int& a, int& b) {
    const int v = a;
    a = kRight1 ? Clamp255(b + tab.right1[v]) : b;
    b = kRight2 ? Clamp255(row[x + 2] + tab.right2[v]) : row[x + 2];
    return v;
  }

#if defined(__SSE2__) && !defined(LX_SCALAR_ONLY)
  // Each window is eight 16-bit lanes; one source adds its shares to every
  // lane and clamps them in one go.
  static long Run(const ShareTable<N>& tab, BYTE* const* rows, BYTE* packed, long x, long end) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i white = _mm_set1_epi16(255);
    __m128i win[3] = {zero, zero, zero};
    for (int d = 0; d < kRows; ++d) {
      alignas(16) int16_t lanes[8] = {};
      for (int i = 0; i < S; ++i) lanes[i] = rows[d + 1][x - R + i];
      win[d] = _mm_load_si128(reinterpret_cast<const __m128i*>(lanes));
    }
    int a = rows[0][x];
    int b = rows[0][x + 1];
    for (; x < end; ++x) {
      const int v = Step(tab, rows[0], x, a, b);
      if (v > 128) packed[x >> 3] = static_cast<BYTE>(packed[x >> 3] | (0x80 >> (x & 7)));
      const __m128i* share = reinterpret_cast<const __m128i*>(tab.lower[v]);
      for (int d = 0; d < kRows; ++d) {
        __m128i w = _mm_add_epi16(win[d], _mm_load_si128(share + d));
        w = _mm_min_epi16(_mm_max_epi16(w, zero), white);
        rows[d + 1][x - R] = static_cast<BYTE>(_mm_cvtsi128_si32(w));
        w = _mm_srli_si128(w, 2);
        win[d] = _mm_insert_epi16(w, rows[d + 1][x + R + 1], S - 1);
      }
    }
    rows[0][x] = static_cast<BYTE>(a);
    rows[0][x + 1] = static_cast<BYTE>(b);
    for (int d = 0; d < kRows; ++d) {
      alignas(16) int16_t lanes[8];
      _mm_store_si128(reinterpret_cast<__m128i*>(lanes), win[d]);
      for (int i = 0; i < S; ++i) rows[d + 1][x - R + i] = static_cast<BYTE>(lanes[i]);
    }
    return x;
  }
#else
  // Without vector instructions the shares go straight into the rows below,
  // one unrolled tap at a time.
  template <size_t T>
  static inline void ApplyBelow(BYTE* const* rows, long x, const int16_t* share) {
    constexpr Tap tap = k.taps[T];
    if constexpr (tap.dy > 0 && tap.dy <= kRows) {
      BYTE* p = rows[tap.dy] + x + tap.dx;
      *p = static_cast<BYTE>(Clamp255(*p + share[T]));
    }
  }

  template <size_t... T>
  static long RunTaps(const ShareTable<N>& tab, BYTE* const* rows, BYTE* packed, long x, long end,
                      std::index_sequence<T...>) {
    int a = rows[0][x];
    int b = rows[0][x + 1];
    for (; x < end; ++x) {
      const int v = Step(tab, rows[0], x, a, b);
      if (v > 128) packed[x >> 3] = static_cast<BYTE>(packed[x >> 3] | (0x80 >> (x & 7)));
      const int16_t* share = tab.share[v];
      (ApplyBelow<T>(rows, x, share), ...);
    }
    rows[0][x] = static_cast<BYTE>(a);
    rows[0][x + 1] = static_cast<BYTE>(b);
    return x;
  }

  static long Run(const ShareTable<N>& tab, BYTE* const* rows, BYTE* packed, long x, long end) {
    return RunTaps(tab, rows, packed, x, end, std::make_index_sequence<N>());
  }
#endif
};

// Error diffusion over an 8-bit gray image with `stride` bytes per row.
// `out` receives the packed two-level rows. Answers the number of rows done
// (fewer than height when escape stopped the walk).
template <int N, const Kernel<N>& k>
long Diffuse(const ShareTable<N>& tab, const Walk& walk) {
  BYTE* const gray = walk.gray;
  const long stride = walk.stride, width = walk.width, height = walk.height;
  constexpr int R = LowerReach(k);
  constexpr int kDepth = Depth(k);

  long y = 0;
  for (; y < height; ++y) {
    *walk.progress = static_cast<int32_t>(100ll * y / height);
    if (*walk.escape) break;
    BYTE* rows[4];
    for (int dy = 0; dy < 4; ++dy) rows[dy] = (y + dy < walk.targetRows) ? gray + (y + dy) * stride : nullptr;
    BYTE* packed = walk.out + y * walk.outStride;
    std::memset(packed, 0, static_cast<size_t>(walk.outStride));

    // One pixel through the checked path: every target tested against the
    // image, applied in memory.
    auto checked = [&](long x) {
      const int v = rows[0][x];
      if (v > 128) packed[x >> 3] = static_cast<BYTE>(packed[x >> 3] | (0x80 >> (x & 7)));
      for (int t = 0; t < N; ++t) {
        const long tx = x + k.taps[t].dx;
        BYTE* row = rows[k.taps[t].dy];
        if (tx < 0 || tx >= width || !row) continue;
        row[tx] = static_cast<BYTE>(Clamp255(row[tx] + tab.share[v][t]));
      }
    };

    // Interior columns: every target inside, and the window's next column too.
    const long begin = R > 2 ? R : 2;
    const long end = width - R - 1;
    long x = 0;
    for (; x < width && x < begin; ++x) checked(x);
    if (x < end) {
      const long below = walk.targetRows - 1 - y;
      const int rowsBelow = below < kDepth ? static_cast<int>(below) : kDepth;
      switch (rowsBelow) {
        case 0: x = Interior<N, k, 0>::Run(tab, rows, packed, x, end); break;
        case 1: x = Interior<N, k, 1>::Run(tab, rows, packed, x, end); break;
        case 2: x = Interior<N, k, (kDepth < 2 ? kDepth : 2)>::Run(tab, rows, packed, x, end); break;
        default: x = Interior<N, k, kDepth>::Run(tab, rows, packed, x, end); break;
      }
    }
    for (; x < width; ++x) checked(x);
  }
  return y;
}

template <int N, const Kernel<N>& k>
long DiffuseWith(const Walk& walk) {
  // Built once per kernel; construction of a local static is thread-safe.
  static const ShareTable<N> table(k, LowerReach(k));
  return Diffuse<N, k>(table, walk);
}

// Ordered methods: a pixel is white when it lies strictly above its cell's
// level, so both reduce to a threshold that repeats every 4 x 4 pixels.
long OrderedPack(const BYTE levels[4][4], const Walk& walk) {
  long y = 0;
  for (; y < walk.height; ++y) {
    *walk.progress = static_cast<int32_t>(100ll * y / walk.height);
    if (*walk.escape) break;
    lximage_detail::PackAbovePattern(walk.gray + y * walk.stride, levels[y & 3],
                                     static_cast<DWORD>(walk.width), walk.out + y * walk.outStride,
                                     static_cast<DWORD>(walk.outStride));
  }
  return y;
}

// Method 1: white where 16p/255 lies above the matrix entry, or p is 255.
// The level of a cell is the highest gray that still goes black there.
long OrderedMatrix(const Walk& walk) {
  BYTE levels[4][4];
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      int p = 0;
      while (p < 255 && !(16 * (p + 1) / 255 > kOrdered[r][c])) ++p;
      levels[r][c] = static_cast<BYTE>(p);
    }
  }
  return OrderedPack(levels, walk);
}

// Method 7: white where p lies above the Bayer entry.
long OrderedBayer(const Walk& walk) {
  BYTE levels[4][4];
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) levels[r][c] = BayerEntry(r, c);
  }
  return OrderedPack(levels, walk);
}

// The methods by number; any other number is Floyd-Steinberg.
using Method = long (*)(const Walk&);
const Method kMethods[8] = {
    &DiffuseWith<4, kFloydSteinberg>, &OrderedMatrix,           &DiffuseWith<7, kBurkes>,
    &DiffuseWith<12, kStucki>,        &DiffuseWith<12, kJarvis>, &DiffuseWith<10, kSierra>,
    &DiffuseWith<12, kStevensonArce>, &OrderedBayer,
};

}  // namespace

bool LxImage::Dither(long method) { return Dither(method, nullptr, 0); }

bool LxImage::Dither(long method, BYTE* carry, DWORD carryRows) {
  if (!dib) return false;
  if (carry == nullptr) carryRows = 0;
  if (header.biBitCount == 1) return true;
  // Dithering unconverted pixels would read colour bytes as gray levels.
  if (!GrayScaleOrKeep()) return false;

  const long width = static_cast<long>(GetWidth());
  const long height = static_cast<long>(GetHeight());
  LxImage result;
  result.CopyInfo(*this);
  if (!result.Create(GetWidth(), GetHeight(), 1, info.type)) {
    std::memcpy(info.lastError, result.info.lastError, sizeof(info.lastError));
    return false;
  }
  result.SelectionCopy(*this);
  result.AlphaCopy(*this);

  // With carried rows the walk works on a copy that has them after its own
  // rows; their shares go back to the caller.
  const size_t stride = info.effWidth;
  std::vector<BYTE> extended;
  BYTE* gray = info.pixels;
  if (carryRows > 0) {
    extended.resize(stride * (static_cast<size_t>(height) + carryRows), 255);
    std::memcpy(extended.data(), info.pixels, stride * static_cast<size_t>(height));
    for (DWORD r = 0; r < carryRows; ++r)
      std::memcpy(&extended[stride * (static_cast<size_t>(height) + r)], carry + r * static_cast<size_t>(width),
                  static_cast<size_t>(width));
    gray = extended.data();
  }
  const Walk walk = {gray, static_cast<long>(stride), width, height, height + static_cast<long>(carryRows),
                     result.info.pixels, static_cast<long>(result.info.effWidth), &info.progress,
                     &info.escape};
  const long done = kMethods[method >= 0 && method < 8 ? method : 0](walk);
  for (DWORD r = 0; r < carryRows; ++r)
    std::memcpy(carry + r * static_cast<size_t>(width), &extended[stride * (static_cast<size_t>(height) + r)],
                static_cast<size_t>(width));
  // Rows an escape left unvisited are black rather than undefined.
  if (done < height) {
    std::memset(walk.out + done * walk.outStride, 0,
                static_cast<size_t>((height - done) * walk.outStride));
  }

  result.SetPaletteColor(0, 0, 0, 0, 0);
  result.SetPaletteColor(1, 255, 255, 255, 0);
  Transfer(result, true);
  return true;
}
