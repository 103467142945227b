// Feeds the job options what IPP clients may send: any text for each vendor
// option, any print-content-optimize keyword, print-quality, print-darkness
// and printer darkness. What comes out must be a setting the job core knows:
// a halftone by one of its names (or "auto", resolved to one), an offset the
// line can take, a darkness from -100 to 100 and a tone curve that keeps
// white white and black black.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "receipt_options.h"

namespace {

bool KnownHalftone(const std::string& name) {
  for (int i = 0; i < kHalftoneOptions; ++i)
    if (name == HalftoneOptionName(i)) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const int quality = static_cast<int>(in.Word());
  const int printDarkness = static_cast<int>(in.Word());
  const int printerDarkness = static_cast<int>(in.Word());
  // The rest: NUL-separated texts, one per option in turn, then the content.
  std::vector<std::string> texts;
  std::string text;
  for (size_t i = 0; i < in.left(); ++i) {
    if (in.rest()[i] == 0) {
      texts.push_back(text);
      text.clear();
    } else {
      text += static_cast<char>(in.rest()[i]);
    }
  }
  texts.push_back(text);
  size_t next = 0;
  const receipt::Options o = ParseReceiptOptions([&](const char*) { return texts[next++ % texts.size()]; });
  if (o.halftone != "auto" && !KnownHalftone(o.halftone)) abort();
  if (o.offsetNumber < -80 || o.offsetNumber > 80) abort();
  if (!KnownHalftone(AutoHalftone(texts.back(), quality))) abort();
  const int darkness = JobDarkness(printDarkness, printerDarkness);
  if (darkness < -100 || darkness > 100) abort();
  const std::vector<uint8_t> curve = receipt::DarknessCurve(printDarkness);
  if (curve.size() != 256 || curve[0] != 0 || curve[255] != 255 || !std::is_sorted(curve.begin(), curve.end())) abort();
  return 0;
}
