// lorvex-preview: checks a stream the plug-in wrote, record by record, and
// draws what the printer prints.
//
//   lorvex-preview STREAM.bin OUT.png
//
// Exit 0 when the whole stream decodes, 1 when something in it is out of
// place (reported with its offset), 2 for bad arguments or files.
#include <cstdio>
#include <vector>

#include "escpos_stream.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: lorvex-preview STREAM.bin OUT.png\n", stderr);
    return 2;
  }
  FILE* in = std::fopen(argv[1], "rb");
  if (!in) {
    std::fprintf(stderr, "lorvex-preview: cannot open '%s'\n", argv[1]);
    return 2;
  }
  std::vector<uint8_t> stream;
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof(chunk), in)) > 0) stream.insert(stream.end(), chunk, chunk + n);
  std::fclose(in);

  const DecodedStream decoded = DecodeStream(stream.data(), stream.size());
  if (!decoded.ok) {
    std::fprintf(stderr, "lorvex-preview: %s: offset %zu: %s\n", argv[1], decoded.errorOffset,
                 decoded.error.c_str());
    return 1;
  }
  size_t records = 0, cuts = 0;
  for (const StreamItem& item : decoded.items) (item.kind == StreamItem::kCut ? cuts : records)++;
  const Paper paper = LayOut(decoded);
  if (!WritePaperPng(paper, argv[2])) {
    std::fprintf(stderr, "lorvex-preview: cannot write '%s'\n", argv[2]);
    return 2;
  }
  std::printf("%s: %zu raster records, %zu cuts, paper %u x %u dots -> %s\n", argv[1], records, cuts,
              paper.width, paper.height, argv[2]);
  return 0;
}
