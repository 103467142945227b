// lorvex-preview: draws what the printer prints: any ESC/POS job (--job), or
// a stream the plug-in wrote, checked record by record.
//
//   lorvex-preview [--raster-advances] [--job [--line-dots N] [--big5]] STREAM.bin OUT.png
//
// --job: a whole ESC/POS document as point-of-sale programs and the printer
// application send it: text, code pages, two-byte Chinese, barcodes, QR and
// PDF417 symbols, images, cuts and drawer pulses.
// --raster-advances: the printer's GS v 0 moves the paper by the image's own
// rows, as point-of-sale encoders expect (and the printer application's
// slice-feed=none).
//
// Exit 0 when the whole stream is drawn, 1 when it is refused (said with its
// offset), 2 for bad arguments or files.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "escpos_render.h"
#include "receipt_picture.h"
#include "paper_png.h"
#include "tool_usage.h"

namespace {

const char kUsage[] =
    "usage: lorvex-preview [--raster-advances] [--job [--line-dots N] [--big5]] STREAM.bin OUT.png\n"
    "  Draws the paper the printer makes of an ESC/POS stream into OUT.png: dots\n"
    "  black, cuts a dashed red line, drawer pulses a blue mark in the left margin.\n"
    "      --job              any ESC/POS document, as a point-of-sale program sends it:\n"
    "                         text in font A (12 x 24, 48 columns) and B (9 x 17, 64),\n"
    "                         sizes up to 8 x 8 (GS !, ESC !), bold, underline, reverse,\n"
    "                         upside down, quarter turns, alignment, margins, spacing;\n"
    "                         code pages PC437, PC850, PC858, PC866, WPC1252 (ESC t) and\n"
    "                         two-byte Chinese under FS & (GB18030, or Big5 with --big5);\n"
    "                         barcodes UPC-A, UPC-E, EAN-13, EAN-8, CODE39, ITF, CODABAR,\n"
    "                         CODE93, CODE128 with their text (GS H), QR and PDF417\n"
    "                         (GS ( k); images of GS v 0, ESC * and GS ( L / GS 8 L;\n"
    "                         cuts, drawer pulses, and the paper as long as it moves\n"
    "      --line-dots N      the printable line with --job: 576 (80 mm, the default)\n"
    "                         or 384 (58 mm)\n"
    "      --big5             FS & text is Big5 (Traditional Chinese models)\n"
    "      --raster-advances  the printer's GS v 0 moves the paper by its own rows\n"
    "                         (records of any height, a feed after them optional)\n"
    "  Without --job the stream is the plug-in's: raster records and cuts only,\n"
    "  each checked strictly.\n"
    "  -h, --help             this text\n"
    "  Exit 0 when the stream is drawn whole, 1 when something in it is out of place\n"
    "  (said with its offset, in the printer application's words), 2 for bad\n"
    "  arguments or files.\n";

// A whole ESC/POS job through the renderer.
int DrawJob(const std::vector<uint8_t>& stream, const receipt_render::RenderOptions& options, const char* in,
            const char* out) {
  receipt_render::GlyphSource glyphs;
  if (!glyphs.Error().empty()) std::fprintf(stderr, "lorvex-preview: %s\n", glyphs.Error().c_str());
  receipt_render::RenderResult result;
  std::string why;
  if (!receipt_render::WritePicture(stream.data(), stream.size(), options, glyphs, out, &why, &result)) {
    if (!result.ok) {
      std::fprintf(stderr, "lorvex-preview: %s: %s\n", in, why.c_str());
      return 1;
    }
    std::fprintf(stderr, "lorvex-preview: %s\n", why.c_str());
    return 2;
  }
  std::printf("%s: %zu barcodes and symbols, %zu images, %zu cuts, %zu drawer pulses, paper %u x %llu dots -> %s\n",
              in, result.barcodes, result.images, result.cuts, result.drawers,
              std::max<uint32_t>(8, std::min<uint32_t>(options.lineDots, 4096)),
              static_cast<unsigned long long>(result.rows ? result.rows : 1), out);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (AnswerHelp(argc, argv, kUsage)) return 0;
  StreamModel model;
  receipt_render::RenderOptions render;
  bool job = false, jobOnly = false;
  int first = 1;
  for (; first < argc && argv[first][0] == '-' && argv[first][1] == '-'; ++first) {
    const std::string flag = argv[first];
    if (flag == "--raster-advances") {
      model.rasterAdvances = render.rasterAdvances = true;
    } else if (flag == "--job") {
      job = true;
    } else if (flag == "--big5") {
      render.twoByte = receipt_render::RenderOptions::TwoByte::kBig5;
      jobOnly = true;
    } else if (flag == "--line-dots" && first + 1 < argc) {
      const std::string dots = argv[++first];
      if (dots != "576" && dots != "384") {
        std::fprintf(stderr, "lorvex-preview: --line-dots is 576 or 384, not %s\n", dots.c_str());
        return 2;
      }
      render.lineDots = static_cast<uint32_t>(std::atoi(dots.c_str()));
      jobOnly = true;
    } else {
      std::fprintf(stderr, "lorvex-preview: unknown option %s\n%s", argv[first], kUsage);
      return 2;
    }
  }
  if (argc - first != 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  argv += first - 1;
  std::vector<uint8_t> stream;
  if (!ReadStreamFile(argv[1], &stream)) {
    std::fprintf(stderr, "lorvex-preview: cannot open '%s'\n", argv[1]);
    return 2;
  }

  if (jobOnly && !job) {
    std::fprintf(stderr, "lorvex-preview: --line-dots and --big5 go with --job\n%s", kUsage);
    return 2;
  }
  if (job) return DrawJob(stream, render, argv[1], argv[2]);

  const DecodedStream decoded = DecodeStream(stream.data(), stream.size(), model);
  if (!decoded.ok) {
    std::fprintf(stderr, "lorvex-preview: %s: offset %zu: %s\n", argv[1], decoded.errorOffset,
                 decoded.error.c_str());
    return 1;
  }
  size_t records = 0, cuts = 0;
  for (const StreamItem& item : decoded.items) {
    if (item.kind == StreamItem::kCut) ++cuts;
    if (item.kind == StreamItem::kRaster) ++records;
  }
  const Paper paper = LayOut(decoded, model);
  if (!WritePaperPng(paper, argv[2])) {
    std::fprintf(stderr, "lorvex-preview: cannot write '%s'\n", argv[2]);
    return 2;
  }
  std::printf("%s: %zu raster records, %zu cuts, paper %u x %u dots -> %s\n", argv[1], records, cuts,
              paper.width, paper.height, argv[2]);
  return 0;
}
