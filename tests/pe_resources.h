// pe_resources.h: reads the string tables out of a Windows DLL file (PE32 or
// PE32+), without Windows, so tests can check what a resource DLL holds.
#ifndef LORVEX_TESTS_PE_RESOURCES_H
#define LORVEX_TESTS_PE_RESOURCES_H

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct PeStringTables {
  // language -> string id -> text
  std::map<uint16_t, std::map<uint16_t, std::u16string>> byLanguage;
  uint32_t entryPoint = 0;
  bool hasImports = false;
};

// Nothing when the file is not a PE image or its resources are malformed.
std::optional<PeStringTables> ReadStringTables(const std::vector<uint8_t>& file);

std::vector<uint8_t> ReadFileBytes(const std::string& path);

#endif  // LORVEX_TESTS_PE_RESOURCES_H
