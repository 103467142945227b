// Feeds the printer application's checks what clients, devices and the
// command line may hand it: an ESC/POS document (checked whole before any
// of it is sent), a raster page header, a device's IEEE 1284 ID and the
// server's options. Each answers with a sentence or a verdict, never a
// crash; a document taken must decode as a job.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "document_limits.h"
#include "escpos_grammar.h"
#include "fuzz_input.h"
#include "printer_models.h"
#include "server_options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const uint8_t what = in.Byte() % 4;
  const std::string rest(reinterpret_cast<const char*>(in.rest()), in.left());
  if (what == 0) {
    const std::string why = CheckRawDocument(in.rest(), in.left());
    escpos::GrammarError error;
    if (why.empty() != escpos::CheckDocument(in.rest(), in.left(), &error)) abort();
  } else if (what == 1) {
    RasterHeader h;
    h.space = static_cast<RasterHeader::Space>(in.Byte() % 3);
    h.bitsPerPixel = in.Byte();
    h.bitsPerColor = in.Byte();
    h.colors = in.Byte();
    h.width = in.Word();
    h.height = in.Word();
    h.bytesPerLine = in.Flag() ? h.width : in.Word();
    h.xDpi = in.Word();
    h.yDpi = in.Word();
    h.bboxLeftPoints = in.Word();
    RasterPage page;
    const unsigned line = in.Flag() ? kLineDots : kNarrowLineDots;
    if (CheckRasterPage(h, 1, line, &page).empty() &&
        (page.width == 0 || page.left >= page.width || page.height > kMaxRasterHeight))
      abort();
  } else if (what == 2) {
    const PrinterModel* model = ModelForDeviceId(rest.c_str());
    if (model != nullptr && ModelOfDriver(model->driver) != model) abort();
  } else {
    // name=value lines.
    std::map<std::string, std::string> given;
    size_t at = 0;
    while (at < rest.size()) {
      size_t end = rest.find('\n', at);
      if (end == std::string::npos) end = rest.size();
      const std::string line = rest.substr(at, end - at);
      const size_t eq = line.find('=');
      if (eq != std::string::npos) given[line.substr(0, eq)] = line.substr(eq + 1);
      at = end + 1;
    }
    ServerOptions options;
    std::string why;
    const bool ok = ParseServerOptions(
        [&](const char* name) {
          auto it = given.find(name);
          return it == given.end() ? nullptr : it->second.c_str();
        },
        &options, &why);
    if (ok ? (options.port < 1 || options.port > 65535) : why.empty()) abort();
  }
  return 0;
}
