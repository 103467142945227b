// Feeds the printer application's line-to-band collector what a client may
// send: any line width and printable-box start, any number of lines and
// pages, every option, both lines (80 and 58 mm), paper fitted to the
// content or not, any darkness. Whatever it takes must come out as records a printer
// reads (strictly decoded as a job), and a refusal must come with a reason.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "byte_collector.h"
#include "escpos_stream.h"
#include "page_encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  receipt::Options o;
  o.halftone = HalftoneOptionName(data[0] % kHalftoneOptions);
  o.offsetNumber = static_cast<int8_t>(data[1]) * 10;
  o.rotate180 = data[2] & 1;
  o.savePaper = (data[2] >> 1) & 3;
  o.cut = static_cast<receipt::Cut>((data[2] >> 3) % 3);
  o.drawerPin = (data[2] & 0x40) ? 5 : 0;
  o.sliceFeed = (data[2] & 0x80) == 0;
  // What one input may cost is bounded, so that the fuzzer explores: bands
  // of 24 to 120 rows, pages of up to 120 lines (several bands, and band
  // boundaries anywhere in a slice), lines up to 640 dots (wider than both
  // printers' lines), two pages.
  o.bandHeight = 24u * (1 + (data[3] & 0x0F) % 5);
  o.fitPaperToContent = data[3] & 0x10;
  o.lineDots = (data[3] & 0x20) ? kNarrowLineDots : kLineDots;
  o.darkness = (data[3] & 0x40) ? static_cast<int8_t>(data[1]) * 2 : 0;
  const unsigned width = 1 + (data[4] | (data[5] << 8)) % 640;
  const unsigned left = data[6] % (width + 2);  // sometimes past the line
  const unsigned pages = 1 + data[7] % 2;
  data += 8;
  size -= 8;

  ByteCollector sink;
  receipt::PageEncoder encoder(o, sink);
  std::vector<uint8_t> line(width);
  size_t at = 0;
  bool ok = true;
  for (unsigned p = 0; p < pages && ok; ++p) {
    ok = encoder.StartPage(width, left);
    // Lines from the input, repeated, up to 120 a page.
    const unsigned lines = size == 0 ? 0 : static_cast<unsigned>(size % 121);
    for (unsigned y = 0; y < lines && ok; ++y) {
      for (unsigned x = 0; x < width; ++x) line[x] = data[(at++) % size];
      ok = encoder.WriteLine(line.data());
    }
    ok = ok && encoder.EndPage();
  }
  ok = ok && encoder.EndJob();
  if (!ok && encoder.Error().empty()) abort();
  StreamModel model;
  model.jobCommands = true;
  model.rasterAdvances = !o.sliceFeed;
  const DecodedStream decoded = DecodeStream(sink.bytes.data(), sink.bytes.size(), model);
  if (!decoded.ok) abort();
  return 0;
}
