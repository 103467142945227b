// pe_resources.cpp: the PE headers, the section table and the resource
// directory's RT_STRING tree, each read with its bounds checked.
#include "pe_resources.h"

#include <fstream>
#include <iterator>

namespace {

class Image {
 public:
  explicit Image(const std::vector<uint8_t>& f) : f_(f) {}
  bool Has(size_t at, size_t n) const { return at <= f_.size() && n <= f_.size() - at; }
  uint16_t U16(size_t at) const { return Has(at, 2) ? static_cast<uint16_t>(f_[at] | (f_[at + 1] << 8)) : 0; }
  uint32_t U32(size_t at) const {
    return Has(at, 4) ? static_cast<uint32_t>(f_[at] | (f_[at + 1] << 8) | (f_[at + 2] << 16) |
                                              (static_cast<uint32_t>(f_[at + 3]) << 24))
                      : 0;
  }

 private:
  const std::vector<uint8_t>& f_;
};

struct Section {
  uint32_t rva, size, fileOffset;
};

constexpr uint32_t kRtString = 6;

}  // namespace

std::optional<PeStringTables> ReadStringTables(const std::vector<uint8_t>& file) {
  Image img(file);
  if (!img.Has(0, 64) || img.U16(0) != 0x5A4D) return std::nullopt;
  const uint32_t pe = img.U32(0x3C);
  if (!img.Has(pe, 24) || img.U32(pe) != 0x00004550) return std::nullopt;
  const uint16_t sections = img.U16(pe + 6);
  const uint16_t optionalSize = img.U16(pe + 20);
  const size_t opt = pe + 24;
  const uint16_t magic = img.U16(opt);
  const size_t dirs = opt + (magic == 0x20B ? 112 : 96);
  if (magic != 0x10B && magic != 0x20B) return std::nullopt;
  PeStringTables out;
  out.entryPoint = img.U32(opt + 16);
  const uint32_t rsrcRva = img.U32(dirs + 8 * 2);
  std::vector<Section> table;
  for (uint16_t i = 0; i < sections; ++i) {
    const size_t s = opt + optionalSize + 40u * i;
    if (!img.Has(s, 40)) return std::nullopt;
    table.push_back({img.U32(s + 12), std::max(img.U32(s + 8), img.U32(s + 16)), img.U32(s + 20)});
  }
  auto offsetOf = [&](uint32_t rva) -> std::optional<size_t> {
    for (const Section& s : table)
      if (rva >= s.rva && rva - s.rva < s.size) return size_t{s.fileOffset} + (rva - s.rva);
    return std::nullopt;
  };
  // Imports: the first import descriptor names a DLL (an empty table holds
  // only the terminating descriptor).
  if (const uint32_t importRva = img.U32(dirs + 8 * 1); importRva != 0)
    if (const std::optional<size_t> at = offsetOf(importRva)) out.hasImports = img.U32(*at + 12) != 0;
  if (rsrcRva == 0) return out;
  const std::optional<size_t> root = offsetOf(rsrcRva);
  if (!root) return std::nullopt;
  // A directory's entries: (id, offset of the child from the root).
  auto entries = [&](size_t dir) {
    std::vector<std::pair<uint32_t, uint32_t>> list;
    const uint32_t n = img.U16(dir + 12) + img.U16(dir + 14);
    for (uint32_t i = 0; i < n && i < 4096; ++i) {
      const size_t e = dir + 16 + 8u * i;
      if (!img.Has(e, 8)) break;
      list.emplace_back(img.U32(e), img.U32(e + 4));
    }
    return list;
  };
  for (const auto& [type, typeOff] : entries(*root)) {
    if (type != kRtString || !(typeOff & 0x80000000u)) continue;
    for (const auto& [block, blockOff] : entries(*root + (typeOff & 0x7FFFFFFFu))) {
      if (!(blockOff & 0x80000000u)) continue;
      for (const auto& [lang, dataOff] : entries(*root + (blockOff & 0x7FFFFFFFu))) {
        const size_t dataEntry = *root + (dataOff & 0x7FFFFFFFu);
        const std::optional<size_t> data = offsetOf(img.U32(dataEntry));
        const uint32_t size = img.U32(dataEntry + 4);
        if (!data || !img.Has(*data, size)) return std::nullopt;
        // Sixteen counted strings per block; block b holds ids 16(b-1) ...
        size_t at = *data;
        for (uint32_t k = 0; k < 16; ++k) {
          const uint16_t length = img.U16(at);
          at += 2;
          if (!img.Has(at, length * 2u) || at + length * 2u > *data + size) return std::nullopt;
          if (length != 0) {
            std::u16string text;
            for (uint16_t c = 0; c < length; ++c) text.push_back(static_cast<char16_t>(img.U16(at + 2u * c)));
            out.byLanguage[static_cast<uint16_t>(lang)][static_cast<uint16_t>((block - 1) * 16 + k)] = text;
          }
          at += length * 2u;
        }
      }
    }
  }
  return out;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
