// gpd_checker.cpp: parsing a printer description and checking its rules.
#include "gpd_checker.h"

#include <algorithm>
#include <cctype>
#include <functional>

namespace gpd {

namespace {

enum class Kind { kString, kInt, kPair, kRect, kSymbol, kOrder, kBool, kList, kAny };

// The keywords we know, with the kind of value each takes and whether it
// belongs at the root only.
struct KeywordRule {
  Kind kind;
  bool rootOnly;
};
const std::map<std::string, KeywordRule>& Keywords() {
  static const std::map<std::string, KeywordRule> k = {
      {"GPDSpecVersion", {Kind::kString, true}}, {"GPDFileName", {Kind::kString, true}},
      {"GPDFileVersion", {Kind::kString, true}}, {"ModelName", {Kind::kString, true}},
      {"MasterUnits", {Kind::kPair, true}},      {"ResourceDLL", {Kind::kString, true}},
      {"PrinterType", {Kind::kSymbol, true}},    {"MaxCopies", {Kind::kInt, true}},
      {"Include", {Kind::kString, false}},       {"Feature", {Kind::kSymbol, false}},
      {"Option", {Kind::kSymbol, false}},        {"Name", {Kind::kString, false}},
      {"rcNameID", {Kind::kInt, false}},         {"DefaultOption", {Kind::kSymbol, false}},
      {"FeatureType", {Kind::kSymbol, false}},   {"OptionID", {Kind::kInt, false}},
      {"PageDimensions", {Kind::kPair, false}},  {"PrintableArea", {Kind::kPair, false}},
      {"PrintableOrigin", {Kind::kPair, false}}, {"CursorOrigin", {Kind::kPair, false}},
      {"MinSize", {Kind::kPair, false}},         {"MaxSize", {Kind::kPair, false}},
      {"DPI", {Kind::kPair, false}},             {"TextDPI", {Kind::kPair, false}},
      {"SpotDiameter", {Kind::kInt, false}},     {"DevNumOfPlanes", {Kind::kInt, false}},
      {"DevBPP", {Kind::kInt, false}},           {"DrvBPP", {Kind::kInt, false}},
      {"IPCallbackID", {Kind::kInt, false}},     {"PaletteSize", {Kind::kInt, false}},
      {"Command", {Kind::kAny, false}},          {"Order", {Kind::kOrder, false}},
      {"Cmd", {Kind::kString, false}},           {"Switch", {Kind::kSymbol, false}},
      {"Case", {Kind::kSymbol, false}},          {"Macros", {Kind::kSymbol, false}},
      {"Ifdef", {Kind::kSymbol, false}},         {"Else", {Kind::kAny, false}},
      {"Endif", {Kind::kAny, false}},            {"Constraints", {Kind::kList, false}},
      {"MinLeftMargin", {Kind::kInt, false}},    {"TopMargin", {Kind::kInt, false}},
      {"BottomMargin", {Kind::kInt, false}},     {"MaxPrintableWidth", {Kind::kInt, false}},
      {"CenterPrintable?", {Kind::kBool, false}}, {"Color?", {Kind::kBool, false}},
      {"RotateCoordinate?", {Kind::kBool, false}},
  };
  return k;
}

// Features Unidrv knows by name; every other feature is ours and needs a type.
const std::set<std::string> kStandardFeatures = {
    "Orientation", "InputBin", "PaperSize", "Resolution", "ColorMode", "Halftone", "MediaType",
    "Duplex",      "Collate",  "OutputBin", "PageProtect", "Memory",   "Stapling"};
const std::set<std::string> kSections = {"JOB_SETUP",   "DOC_SETUP",  "PAGE_SETUP",
                                         "PAGE_FINISH", "DOC_FINISH", "JOB_FINISH"};
const std::set<std::string> kFeatureTypes = {"DOC_PROPERTY", "JOB_PROPERTY", "PRINTER_PROPERTY"};
const std::set<int> kDrvBpp = {1, 4, 8, 16, 24, 32};

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

bool IsInt(const std::string& s) {
  if (s.rfind("0x", 0) == 0) return s.size() > 2 && std::all_of(s.begin() + 2, s.end(), ::isxdigit);
  size_t i = (!s.empty() && s[0] == '-') ? 1 : 0;
  return i < s.size() && std::all_of(s.begin() + static_cast<long>(i), s.end(), ::isdigit);
}

long ToInt(const std::string& s) { return std::stol(s, nullptr, 0); }

// The integers of "PAIR(a, b)" or "RECT(a, b, c, d)".
std::optional<std::vector<long>> Tuple(const std::string& value, const std::string& name, size_t count) {
  if (value.rfind(name + "(", 0) != 0 || value.back() != ')') return std::nullopt;
  std::vector<long> out;
  std::string inner = value.substr(name.size() + 1, value.size() - name.size() - 2), item;
  size_t start = 0;
  while (start <= inner.size()) {
    const size_t comma = inner.find(',', start);
    item = Trim(inner.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (!IsInt(item)) return std::nullopt;
    out.push_back(ToInt(item));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (out.size() != count) return std::nullopt;
  return out;
}

bool IsSymbol(const std::string& s, bool hyphen) {
  if (s.empty()) return false;
  for (char c : s)
    if (!(isalnum(static_cast<unsigned char>(c)) || c == '_' || (hyphen && c == '-'))) return false;
  return true;
}

class Parser {
 public:
  explicit Parser(Description& d) : d_(d) {}

  void Error(int line, const std::string& what) { d_.errors.push_back("line " + std::to_string(line) + ": " + what); }

  // Splits the text into logical lines: comments dropped (outside strings),
  // '+' lines joined to the one before.
  std::vector<std::pair<int, std::string>> Lines(const std::string& text) {
    std::vector<std::pair<int, std::string>> lines;
    int number = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
      size_t end = text.find('\n', pos);
      std::string line = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
      ++number;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      bool inString = false;
      for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"' && !(inString && i > 0 && line[i - 1] == '%')) inString = !inString;
        if (!inString && line.compare(i, 2, "*%") == 0) {
          line.resize(i);
          break;
        }
      }
      if (!line.empty() && line[0] == '+' && !lines.empty())
        lines.back().second += " " + line.substr(1);
      else
        lines.emplace_back(number, line);
      if (end == std::string::npos) break;
      pos = end + 1;
    }
    return lines;
  }

  void Parse(const std::string& text) {
    std::vector<std::vector<Entry>*> stack{&d_.root};
    std::vector<int> open;
    int ifdefs = 0;
    Entry* last = nullptr;
    for (auto& [number, raw] : Lines(text)) {
      std::string line = Trim(raw);
      if (line.empty()) continue;
      bool opens = false;
      if (line == "{") {
        if (last == nullptr) {
          Error(number, "'{' with no entry before it");
          continue;
        }
        stack.push_back(&last->children);
        open.push_back(number);
        last = nullptr;
        continue;
      }
      if (line == "}") {
        if (stack.size() == 1) {
          Error(number, "'}' closes nothing");
          continue;
        }
        stack.pop_back();
        open.pop_back();
        last = nullptr;
        continue;
      }
      if (line.back() == '{') {
        opens = true;
        line = Trim(line.substr(0, line.size() - 1));
      }
      if (line[0] != '*') {
        Error(number, "entry without a keyword: " + line);
        continue;
      }
      const size_t colon = line.find(':');
      Entry e;
      e.line = number;
      e.keyword = Trim(line.substr(1, colon == std::string::npos ? std::string::npos : colon - 1));
      e.value = colon == std::string::npos ? "" : Trim(line.substr(colon + 1));
      if (colon == std::string::npos && e.keyword != "Else" && e.keyword != "Endif") {
        Error(number, "entry without a colon: " + line);
        continue;
      }
      if (e.keyword == "Ifdef") ++ifdefs;
      if (e.keyword == "Endif" && --ifdefs < 0) {
        Error(number, "*Endif without *Ifdef");
        ifdefs = 0;
      }
      if (e.keyword == "Else" && ifdefs == 0) Error(number, "*Else without *Ifdef");
      CheckValue(e);
      if (stack.size() > 1) {
        auto rule = Keywords().find(e.keyword);
        if (rule != Keywords().end() && rule->second.rootOnly)
          Error(number, "*" + e.keyword + " belongs at the root, not inside braces");
      }
      stack.back()->push_back(e);
      last = &stack.back()->back();
      if (opens) {
        stack.push_back(&last->children);
        open.push_back(number);
        last = nullptr;
      }
    }
    for (int line : open) Error(line, "'{' never closed");
    if (ifdefs > 0) Error(0, "*Ifdef never closed by *Endif");
  }

  void CheckValue(const Entry& e) {
    auto rule = Keywords().find(e.keyword);
    if (rule == Keywords().end()) {
      Error(e.line, "unknown keyword *" + e.keyword);
      return;
    }
    const std::string& v = e.value;
    if (!v.empty() && v[0] == '=') {  // a value macro
      if (!IsSymbol(v.substr(1), false)) Error(e.line, "bad macro reference " + v);
      return;
    }
    switch (rule->second.kind) {
      case Kind::kString:
        if (!CommandBytes(v)) Error(e.line, "bad string value for *" + e.keyword + ": " + v);
        break;
      case Kind::kInt:
        if (!IsInt(v)) Error(e.line, "*" + e.keyword + " takes an integer, not " + v);
        break;
      case Kind::kPair:
        if (!Tuple(v, "PAIR", 2)) Error(e.line, "*" + e.keyword + " takes PAIR(a, b), not " + v);
        break;
      case Kind::kRect:
        if (!Tuple(v, "RECT", 4)) Error(e.line, "*" + e.keyword + " takes RECT(l, t, r, b), not " + v);
        break;
      case Kind::kSymbol:
        if (!IsSymbol(v, e.keyword == "Option" || e.keyword == "DefaultOption" || e.keyword == "Case"))
          Error(e.line, "*" + e.keyword + " takes a symbolic name, not " + v);
        break;
      case Kind::kOrder: {
        const size_t dot = v.find('.');
        if (dot == std::string::npos || !kSections.count(v.substr(0, dot)) || !IsInt(v.substr(dot + 1)))
          Error(e.line, "bad *Order " + v);
        break;
      }
      case Kind::kBool:
        if (v != "TRUE" && v != "FALSE") Error(e.line, "*" + e.keyword + " takes TRUE or FALSE, not " + v);
        break;
      case Kind::kList:
        if (v.rfind("LIST(", 0) != 0 || v.back() != ')') Error(e.line, "*" + e.keyword + " takes LIST(...)");
        break;
      case Kind::kAny:
        break;
    }
  }

 private:
  Description& d_;
};

}  // namespace

const Entry* Entry::Child(const std::string& kw) const {
  for (const Entry& c : children)
    if (c.keyword == kw) return &c;
  return nullptr;
}

std::vector<const Entry*> Entry::Children(const std::string& kw) const {
  std::vector<const Entry*> out;
  for (const Entry& c : children)
    if (c.keyword == kw) out.push_back(&c);
  return out;
}

const Entry* Description::Root(const std::string& kw) const {
  for (const Entry& e : root)
    if (e.keyword == kw) return &e;
  return nullptr;
}

std::vector<const Entry*> Description::Features() const {
  std::vector<const Entry*> out;
  for (const Entry& e : root)
    if (e.keyword == "Feature") out.push_back(&e);
  return out;
}

const Entry* Description::Feature(const std::string& name) const {
  for (const Entry* f : Features())
    if (f->value == name) return f;
  return nullptr;
}

std::vector<std::string> OptionNames(const Entry& feature) {
  std::vector<std::string> names;
  for (const Entry* o : feature.Children("Option")) names.push_back(o->value);
  return names;
}

std::optional<std::vector<uint8_t>> CommandBytes(const std::string& value) {
  std::vector<uint8_t> bytes;
  size_t i = 0;
  bool any = false;
  while (i < value.size()) {
    if (isspace(static_cast<unsigned char>(value[i]))) {
      ++i;
      continue;
    }
    if (value[i] != '"') return std::nullopt;
    any = true;
    ++i;
    bool closed = false;
    while (i < value.size()) {
      const char c = value[i];
      if (c == '"') {
        closed = true;
        ++i;
        break;
      }
      if (c == '%') {  // %" %< and %% stand for the character itself
        if (i + 1 >= value.size()) return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(value[i + 1]));
        i += 2;
        continue;
      }
      if (c == '<') {
        const size_t end = value.find('>', i);
        if (end == std::string::npos) return std::nullopt;
        std::string hex;
        for (size_t k = i + 1; k < end; ++k) {
          if (isspace(static_cast<unsigned char>(value[k]))) continue;
          if (!isxdigit(static_cast<unsigned char>(value[k]))) return std::nullopt;
          hex.push_back(value[k]);
        }
        if (hex.size() % 2 != 0) return std::nullopt;
        for (size_t k = 0; k < hex.size(); k += 2) bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(k, 2), nullptr, 16)));
        i = end + 1;
        continue;
      }
      bytes.push_back(static_cast<uint8_t>(c));
      ++i;
    }
    if (!closed) return std::nullopt;
  }
  if (!any) return std::nullopt;
  return bytes;
}

Description Check(const std::string& text, const std::map<uint16_t, std::u16string>* strings) {
  Description d;
  Parser p(d);
  p.Parse(text);
  auto error = [&](int line, const std::string& what) { p.Error(line, what); };

  // The root: *GPDSpecVersion first, then the required entries.
  if (d.root.empty() || d.root.front().keyword != "GPDSpecVersion" || d.root.front().value != "\"1.0\"")
    error(d.root.empty() ? 0 : d.root.front().line, "*GPDSpecVersion: \"1.0\" must come first");
  for (const char* kw : {"GPDFileName", "GPDFileVersion", "ModelName", "MasterUnits", "PrinterType", "ResourceDLL",
                         "MaxCopies"})
    if (d.Root(kw) == nullptr) error(0, std::string("missing root entry *") + kw);
  bool stdNames = false;
  for (const Entry& e : d.root)
    if (e.keyword == "Include" && e.value == "\"StdNames.gpd\"") stdNames = true;
  if (!stdNames) error(0, "missing *Include: \"StdNames.gpd\"");
  if (const Entry* v = d.Root("GPDFileVersion")) {
    const auto bytes = CommandBytes(v->value);
    const std::string s = bytes ? std::string(bytes->begin(), bytes->end()) : "";
    const size_t dot = s.find('.');
    if (dot == std::string::npos || !IsInt(s.substr(0, dot)) || !IsInt(s.substr(dot + 1)))
      error(v->line, "*GPDFileVersion must be \"Major.Minor\"");
  }
  if (const Entry* t = d.Root("PrinterType"))
    if (t->value != "PAGE" && t->value != "SERIAL" && t->value != "TTY") error(t->line, "bad *PrinterType " + t->value);
  std::optional<std::vector<long>> master;
  if (const Entry* m = d.Root("MasterUnits")) master = Tuple(m->value, "PAIR", 2);

  // Names, and the strings behind them.
  std::function<void(const Entry&)> names = [&](const Entry& e) {
    if (e.keyword == "rcNameID" && IsInt(e.value)) {
      const long id = ToInt(e.value);
      if (id == 0) error(e.line, "*rcNameID 0");
      if (strings != nullptr && (id < 0 || id > 0xFFFF || !strings->count(static_cast<uint16_t>(id))))
        error(e.line, "*rcNameID " + e.value + " is not in the resource DLL's string table");
    }
    for (const Entry& c : e.children) names(c);
  };
  for (const Entry& e : d.root) names(e);
  auto named = [&](const Entry& e, const std::string& what) {
    if (e.Child("Name") == nullptr && e.Child("rcNameID") == nullptr) error(e.line, what + " " + e.value + " has no *Name or *rcNameID");
  };

  // Features and options.
  std::set<std::string> featureNames;
  for (const Entry* f : d.Features()) {
    if (!featureNames.insert(f->value).second) error(f->line, "feature " + f->value + " defined twice");
    named(*f, "feature");
    const std::vector<const Entry*> options = f->Children("Option");
    if (options.empty()) error(f->line, "feature " + f->value + " has no option");
    if (!kStandardFeatures.count(f->value)) {
      const Entry* type = f->Child("FeatureType");
      if (type == nullptr || !kFeatureTypes.count(type->value))
        error(f->line, "custom feature " + f->value + " needs *FeatureType DOC_PROPERTY, JOB_PROPERTY or PRINTER_PROPERTY");
    }
    std::set<std::string> optionNames;
    for (const Entry* o : options) {
      if (!optionNames.insert(o->value).second) error(o->line, "option " + o->value + " twice in " + f->value);
      named(*o, "option");
      for (const Entry* c : o->Children("Command"))
        if (c->value == "CmdSelect" && c->Child("Order") == nullptr)
          error(c->line, "CmdSelect of " + f->value + "." + o->value + " without *Order");
    }
    if (const Entry* def = f->Child("DefaultOption"))
      if (!optionNames.count(def->value)) error(def->line, "default option " + def->value + " is not an option of " + f->value);
  }
  for (const char* required : {"InputBin", "PaperSize", "Resolution"})
    if (d.Feature(required) == nullptr) error(0, std::string("missing feature ") + required);

  // Resolutions: DPI, TextDPI a power-of-two multiple, spot size, block data,
  // and master units a multiple of the DPI.
  if (const Entry* res = d.Feature("Resolution")) {
    for (const Entry* o : res->Children("Option")) {
      const Entry* dpi = o->Child("DPI");
      const Entry* textDpi = o->Child("TextDPI");
      if (dpi == nullptr || textDpi == nullptr || o->Child("SpotDiameter") == nullptr) {
        error(o->line, "resolution " + o->value + " needs *DPI, *TextDPI and *SpotDiameter");
        continue;
      }
      const auto d1 = Tuple(dpi->value, "PAIR", 2), t1 = Tuple(textDpi->value, "PAIR", 2);
      if (d1 && t1)
        for (int k = 0; k < 2; ++k) {
          long ratio = (*d1)[k] > 0 && (*t1)[k] % (*d1)[k] == 0 ? (*t1)[k] / (*d1)[k] : 0;
          if (ratio <= 0 || (ratio & (ratio - 1)) != 0) error(textDpi->line, "*TextDPI is not DPI times a power of two");
          if (master && ((*d1)[k] <= 0 || (*master)[k] % (*d1)[k] != 0))
            error(dpi->line, "*MasterUnits is not a multiple of the DPI");
        }
      bool block = false;
      for (const Entry* c : o->Children("Command")) block |= c->value == "CmdSendBlockData";
      for (const Entry& e : d.root) block |= e.keyword == "Command" && e.value == "CmdSendBlockData";
      if (!block) error(o->line, "resolution " + o->value + " has no CmdSendBlockData");
    }
  }
  // Colour modes: a driver depth Unidrv renders, a callback above zero.
  if (const Entry* cm = d.Feature("ColorMode")) {
    for (const Entry* o : cm->Children("Option")) {
      if (const Entry* bpp = o->Child("DrvBPP"))
        if (IsInt(bpp->value) && !kDrvBpp.count(static_cast<int>(ToInt(bpp->value))))
          error(bpp->line, "*DrvBPP " + bpp->value + " is not 1, 4, 8, 16, 24 or 32");
      if (const Entry* cb = o->Child("IPCallbackID"))
        if (IsInt(cb->value) && ToInt(cb->value) <= 0) error(cb->line, "*IPCallbackID must be above 0");
    }
  }
  // Root commands: the required ones, and an order for every section command.
  std::set<std::string> commands;
  for (const Entry& e : d.root) {
    if (e.keyword != "Command") continue;
    std::string name = e.value;
    const size_t colon = name.find(':');
    const bool inlineCmd = colon != std::string::npos;
    if (inlineCmd) {
      if (!CommandBytes(Trim(name.substr(colon + 1)))) error(e.line, "bad inline command string");
      name = Trim(name.substr(0, colon));
    }
    commands.insert(name);
    const bool sectioned = name.rfind("CmdStart", 0) == 0 || name.rfind("CmdEnd", 0) == 0;
    if (sectioned && (inlineCmd || e.Child("Order") == nullptr)) error(e.line, name + " needs an *Order");
    if (!inlineCmd && e.Child("Cmd") == nullptr) error(e.line, name + " has no *Cmd");
  }
  for (const char* required : {"CmdCR", "CmdLF", "CmdFF"})
    if (!commands.count(required)) error(0, std::string("missing command ") + required);
  // Switches name an existing feature, and cases its options.
  std::function<void(const Entry&)> switches = [&](const Entry& e) {
    if (e.keyword == "Switch") {
      const Entry* f = d.Feature(e.value);
      if (f == nullptr) error(e.line, "*Switch on unknown feature " + e.value);
      for (const Entry* c : e.Children("Case")) {
        const auto opts = f ? OptionNames(*f) : std::vector<std::string>{};
        if (f && std::find(opts.begin(), opts.end(), c->value) == opts.end())
          error(c->line, "*Case " + c->value + " is not an option of " + e.value);
      }
    }
    for (const Entry& c : e.children) switches(c);
  };
  for (const Entry& e : d.root) switches(e);
  // Paper names fit 31 characters.
  if (const Entry* ps = d.Feature("PaperSize"); ps && strings)
    for (const Entry* o : ps->Children("Option"))
      if (const Entry* id = o->Child("rcNameID"); id && IsInt(id->value))
        if (auto it = strings->find(static_cast<uint16_t>(ToInt(id->value))); it != strings->end() && it->second.size() > 31)
          error(id->line, "paper name of " + o->value + " is longer than 31 characters");
  return d;
}

}  // namespace gpd
