// receipt_options.cpp: the job options' table and parsing.
#include "receipt_options.h"

#include <algorithm>

namespace {

std::vector<std::string> OffsetValues() {
  std::vector<std::string> v{"none"};
  for (const char* d : {"P", "M"})
    for (int mm = 1; mm <= 8; ++mm) v.push_back(d + std::to_string(mm * 10));
  return v;
}

std::vector<std::string> HalftoneValues() {
  std::vector<std::string> v;
  for (int i = 0; i < kHalftoneOptions; ++i) v.push_back(HalftoneOptionName(i));
  return v;
}

}  // namespace

const std::vector<VendorOption>& ReceiptVendorOptions() {
  static const std::vector<VendorOption> options = {
      {"halftone", HalftoneValues()},
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

unsigned PrintableLeft(unsigned width, unsigned bboxLeftPoints, unsigned dpi) {
  unsigned left = static_cast<unsigned>((static_cast<unsigned long long>(bboxLeftPoints) * dpi + 36) / 72);
  if (left == 0 && width > receipt::kLineDots) left = (width - receipt::kLineDots) / 2;
  return left < width ? left : 0;
}
