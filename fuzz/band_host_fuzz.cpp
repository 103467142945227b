// Fuzzes the host-facing band processing: arbitrary bitmap header fields,
// buffer sizes, settings texts, halftone names, orientation, copies and
// banding. Every stream written must decode strictly, record by record.
#include <cstdlib>
#include <string>
#include <vector>

#include "escpos_stream.h"
#include "fuzz_input.h"
#include "print_host.h"

namespace {

std::string Text(FuzzInput& in) {
  static const char* const kKnown[] = {"P12", "M12", "P0", "M720", "P99999999999", "TRANS_180",
                                       "SavePaper_Top", "SavePaper_Bottom", "SavePaper_TopAndBottom"};
  constexpr int kTexts = static_cast<int>(sizeof(kKnown) / sizeof(kKnown[0]));
  const uint8_t pick = in.Byte();
  if (pick < 200) {
    // The settings' texts and the driver's halftone names.
    const int n = pick % (kTexts + kHalftoneOptions);
    return n < kTexts ? kKnown[n] : HalftoneOptionName(n - kTexts);
  }
  std::string s;
  for (int n = in.Byte() % 16; n > 0; --n) s += static_cast<char>(in.Byte());
  return s.c_str();  // stops at an embedded NUL, as the host's text would
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  PrintJob job;
  job.settings["HorizontalOffset"] = Text(in);
  job.settings["Translate180"] = Text(in);
  job.settings["SavePaperMode"] = Text(in);
  job.halftone = Text(in);
  job.landscape = in.Flag();
  job.banding = in.Flag();
  g_nCopies = static_cast<int16_t>(static_cast<int8_t>(in.Byte()) % 4);

  // The header may say anything; the buffer holds what the header promises.
  const LONG width = static_cast<LONG>(in.Range(0, 700)) - 8;
  const LONG height = static_cast<LONG>(in.Range(0, 90)) - 4;
  const DWORD sizeImage = in.Flag() ? 0 : in.Range(0, 64000);
  const size_t padded = width > 0 && height > 0 ? ((size_t(width) + 3) / 4 * 4) * size_t(height) : 0;
  std::vector<BYTE> buffer(sizeImage > padded ? sizeImage : padded + 1, 255);
  for (size_t i = 0; i < buffer.size() && in.left(); ++i) buffer[i] = in.Byte();

  PrintHost host(job);
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = width;
  header.biHeight = height;
  header.biBitCount = static_cast<WORD>(in.Byte());
  header.biSizeImage = sizeImage;
  IPPARAMS params{};
  const std::string halftone = job.halftone;
  params.pHalftoneOption = in.Flag() ? nullptr : const_cast<PSTR>(halftone.c_str());
  params.bBanding = job.banding;
  params.bBlankBand = in.Byte() == 0;
  PBYTE result = nullptr;
  const HRESULT hr = ProcessBand(host.pdevobj(), buffer.data(), &header, nullptr,
                                 in.Byte() == 1 ? 4 : 3, &params, &result);

  const std::vector<BYTE>& stream = host.stream();
  if (hr != S_OK && !stream.empty()) std::abort();  // a refusal writes nothing
  if (hr == S_OK) {
    if (result != reinterpret_cast<PBYTE>(1)) std::abort();
    const DecodedStream decoded = DecodeStream(stream.data(), stream.size());
    if (!decoded.ok) std::abort();
  }
  return 0;
}
