// gpd_checker.h: a checker of Unidrv printer descriptions (GPD), from the
// published rules, for the tests: it parses a description into a tree of
// entries and reports every rule it breaks, one text per fault, naming the
// line. No Windows is here to run Microsoft's own checker; this one checks
// what can be checked from the text.
#ifndef LORVEX_TESTS_GPD_CHECKER_H
#define LORVEX_TESTS_GPD_CHECKER_H

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace gpd {

// One entry: "*Keyword: value", with the entries inside its braces.
struct Entry {
  std::string keyword;  // without the '*'
  std::string value;    // as written, trimmed
  int line = 0;
  std::vector<Entry> children;

  const Entry* Child(const std::string& kw) const;
  std::vector<const Entry*> Children(const std::string& kw) const;
};

struct Description {
  std::vector<Entry> root;
  std::vector<std::string> errors;  // "line N: what"

  const Entry* Root(const std::string& kw) const;
  const Entry* Feature(const std::string& name) const;
  std::vector<const Entry*> Features() const;
};

// Parses and checks. `strings` is the resource DLL's string table, to which
// every *rcNameID must resolve (nullptr: not checked).
Description Check(const std::string& text, const std::map<uint16_t, std::u16string>* strings);

// The bytes of a command string: "..." pieces with %-escapes and <hex> runs.
std::optional<std::vector<uint8_t>> CommandBytes(const std::string& value);

// The options' names of a feature, in order.
std::vector<std::string> OptionNames(const Entry& feature);

}  // namespace gpd

#endif  // LORVEX_TESTS_GPD_CHECKER_H
