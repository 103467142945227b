// lorvex-preview: checks a stream the plug-in wrote, record by record, and
// draws what the printer prints.
//
//   lorvex-preview [--raster-advances] [--job] STREAM.bin OUT.png
//
// --raster-advances: the printer's GS v 0 moves the paper by the record's own
// rows (records of any height, a feed after them optional), as for streams
// of the printer application's slice-feed=none and of other encoders.
// --job: a whole job, with ESC @, drawer pulses and cuts of every form, also
// after the last page.
//
// Exit 0 when the whole stream decodes, 1 when something in it is out of
// place (reported with its offset), 2 for bad arguments or files.
#include <cstdio>
#include <string>
#include <vector>

#include "paper_png.h"
#include "tool_usage.h"

namespace {

const char kUsage[] =
    "usage: lorvex-preview [--raster-advances] [--job] STREAM.bin OUT.png\n"
    "  Reads an ESC/POS stream strictly, record by record, and draws the paper\n"
    "  the printer makes of it into OUT.png (dots black, cuts a dashed red line).\n"
    "      --raster-advances  the printer's GS v 0 moves the paper by its own rows\n"
    "                         (records of any height, a feed after them optional)\n"
    "      --job              a whole job: ESC @, drawer pulses, cuts of every form,\n"
    "                         feeds of their own\n"
    "  -h, --help             this text\n"
    "  Exit 0 when the stream decodes whole, 1 when something in it is out of place\n"
    "  (said with its offset), 2 for bad arguments or files.\n";

}  // namespace

int main(int argc, char** argv) {
  if (AnswerHelp(argc, argv, kUsage)) return 0;
  StreamModel model;
  int first = 1;
  for (; first < argc && argv[first][0] == '-' && argv[first][1] == '-'; ++first) {
    const std::string flag = argv[first];
    if (flag == "--raster-advances") {
      model.rasterAdvances = true;
    } else if (flag == "--job") {
      model.jobCommands = true;
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
