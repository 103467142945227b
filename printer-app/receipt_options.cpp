// receipt_options.cpp: the job options' table and parsing.
#include "receipt_options.h"

#include <algorithm>
#include <cstring>

namespace {

std::vector<std::string> OffsetValues() {
  std::vector<std::string> v{"none"};
  for (const char* d : {"P", "M"})
    for (int mm = 1; mm <= 8; ++mm) v.push_back(d + std::to_string(mm * 10));
  return v;
}

std::vector<std::string> HalftoneValues() {
  std::vector<std::string> v{"auto"};
  for (int i = 0; i < kHalftoneOptions; ++i) v.push_back(HalftoneOptionName(i));
  return v;
}

}  // namespace

const std::vector<VendorOption>& ReceiptVendorOptions() {
  static const std::vector<VendorOption> options = {
      {"halftone", HalftoneValues()},
      {"page-length", {"fit-content", "full-page"}},
      {"horizontal-offset", OffsetValues()},
      {"rotate-180", {"off", "on"}},
      {"save-paper", {"none", "top", "bottom", "both"}},
      {"cut", {"each-page", "end-of-job", "none"}},
      {"cash-drawer", {"none", "pin-2", "pin-5"}},
      {"slice-feed", {"feed-24", "none"}},
  };
  return options;
}

receipt::Options ParseReceiptOptions(const std::function<std::string(const char*)>& value) {
  // The value if the option allows it, else its default.
  auto pick = [&](const char* name) {
    for (const VendorOption& o : ReceiptVendorOptions()) {
      if (std::string(o.name) != name) continue;
      const std::string v = value(name);
      return std::find(o.values.begin(), o.values.end(), v) != o.values.end() ? v : o.values.front();
    }
    return std::string();
  };
  receipt::Options o;
  o.halftone = pick("halftone");
  o.fitPaperToContent = pick("page-length") == "fit-content";
  const std::string offset = pick("horizontal-offset");
  o.offsetNumber = offset == "none" ? 0 : ParseHorizontalOffset(offset.c_str());
  o.rotate180 = pick("rotate-180") == "on";
  const std::string save = pick("save-paper");
  o.savePaper = save == "top" ? kSaveTop : save == "bottom" ? kSaveBottom : save == "both" ? kSaveTopAndBottom : kSaveNone;
  const std::string cut = pick("cut");
  o.cut = cut == "none" ? receipt::Cut::kNone : cut == "end-of-job" ? receipt::Cut::kEndOfJob : receipt::Cut::kEachPage;
  const std::string drawer = pick("cash-drawer");
  o.drawerPin = drawer == "pin-2" ? 2 : drawer == "pin-5" ? 5 : 0;
  o.sliceFeed = pick("slice-feed") != "none";
  return o;
}

std::string AutoHalftone(const std::string& content, int quality) {
  if (content == "text") return "HT_NONE";
  if (content == "photo" && quality >= 5) return "HT_Jarvis-Judice-Ninke";
  return "HT_FloydSteinberg";
}

int JobDarkness(int printDarkness, int printerDarkness) {
  const long long sum = static_cast<long long>(printDarkness) + 2LL * (static_cast<long long>(printerDarkness) - 50);
  return static_cast<int>(std::clamp(sum, -100LL, 100LL));
}

unsigned PrintableLeft(unsigned width, unsigned bboxLeftPoints, unsigned dpi, unsigned lineDots) {
  unsigned left = static_cast<unsigned>((static_cast<unsigned long long>(bboxLeftPoints) * dpi + 36) / 72);
  if (left == 0 && width > lineDots) left = (width - lineDots) / 2;
  return left < width ? left : 0;
}

unsigned long long PageMillimetres(unsigned long long height, unsigned rowsPerInch) {
  return rowsPerInch ? (height * 254 + rowsPerInch * 10ULL - 1) / (rowsPerInch * 10ULL) : 0;
}

std::string RefusePageLength(unsigned height, unsigned rowsPerInch) {
  if (rowsPerInch == 0 || static_cast<unsigned long long>(height) * 203 <= static_cast<unsigned long long>(kMaxPageRows) * rowsPerInch)
    return "";
  return "The page would print " + std::to_string(PageMillimetres(height, rowsPerInch)) +
         " mm long; the longest paper this printer takes is " + std::to_string(kMaxRollMillimetres) + " mm.";
}

std::string RefuseImageSize(unsigned width, unsigned height, unsigned lineDots) {
  const unsigned long long pixels = static_cast<unsigned long long>(width) * height;
  if (width == 0 || height == 0) return "The image has no pixels.";
  // Wider than the line, it is scaled down in proportion.
  const unsigned long long rows =
      width > lineDots ? (static_cast<unsigned long long>(height) * lineDots + width / 2) / width
                                 : height;
  if (rows > kMaxPageRows) return RefusePageLength(static_cast<unsigned>(rows), 203);
  if (pixels > kMaxImagePixels)
    return "The image has " + std::to_string(width) + " x " + std::to_string(height) + " pixels; at most " +
           std::to_string(kMaxImagePixels / 1000000) + " million are printed.";
  return "";
}

std::string ImageTypeOf(const unsigned char* head, size_t size) {
  auto starts = [&](const char* magic, size_t n) { return size >= n && std::memcmp(head, magic, n) == 0; };
  if (starts("\x89PNG\r\n\x1a\n", 8)) return "image/png";
  if (starts("\xff\xd8\xff", 3)) return "image/jpeg";
  if (starts("GIF87a", 6) || starts("GIF89a", 6)) return "image/gif";
  if (starts("BM", 2)) return "image/bmp";
  if (size >= 2 && head[0] == 'P' && head[1] >= '1' && head[1] <= '7') return "image/x-portable-anymap";
  return "";
}
