// The driver package's own files: both printer descriptions pass the GPD
// checker against the resource DLL's string tables (all three languages),
// carry every name the plug-in reads, and send the ESC/POS bytes we mean;
// the checker catches real faults in broken copies; the INIs name the
// plug-in; the resource DLL is resources only.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <regex>
#include <sstream>

#include "band_pipeline.h"
#include "dialog_rules.h"
#include "escpos_stream.h"
#include "gpd_checker.h"
#include "pe_resources.h"

namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Package(const std::string& file) { return std::string(LX_PACKAGE_DIR) + "/" + file; }

const PeStringTables& Strings(const std::string& arch) {
  static std::map<std::string, PeStringTables> cache;
  auto it = cache.find(arch);
  if (it == cache.end()) {
    const std::string dll = std::string(LX_WIN_BUILD_ROOT) + "/" + arch + "/package/LORVEXRES.DLL";
    std::optional<PeStringTables> t = ReadStringTables(ReadFileBytes(dll));
    if (!t) ADD_FAILURE() << "cannot read the string tables of " << dll << " (is the " << arch << " build there?)";
    it = cache.emplace(arch, t.value_or(PeStringTables{})).first;
  }
  return it->second;
}

constexpr uint16_t kEnglish = 0x0009, kChinese = 0x0004, kTraditional = 0x0404;

std::string Errors(const gpd::Description& d) {
  std::string all;
  for (const auto& e : d.errors) all += e + "\n";
  return all;
}

std::vector<uint8_t> SelectBytes(const gpd::Entry& option, std::string* order) {
  for (const gpd::Entry* c : option.Children("Command")) {
    if (c->value != "CmdSelect") continue;
    if (const gpd::Entry* o = c->Child("Order")) *order = o->value;
    if (const gpd::Entry* cmd = c->Child("Cmd")) return gpd::CommandBytes(cmd->value).value_or(std::vector<uint8_t>{0xFF});
  }
  return {0xFF};
}

class Description : public ::testing::TestWithParam<const char*> {
 protected:
  std::string text = ReadText(Package(GetParam()));
};

TEST_P(Description, PassesTheCheckerInEveryLanguageOfBothResourceDlls) {
  ASSERT_FALSE(text.empty()) << Package(GetParam());
  for (const char* arch : {"mingw-i686", "mingw-x64"})
    for (uint16_t lang : {kEnglish, kChinese, kTraditional}) {
      const auto& tables = Strings(arch).byLanguage;
      auto it = tables.find(lang);
      ASSERT_NE(it, tables.end()) << arch << " has no string table in language " << lang;
      const gpd::Description d = gpd::Check(text, &it->second);
      EXPECT_TRUE(d.errors.empty()) << arch << " " << lang << ":\n" << Errors(d);
    }
}

TEST_P(Description, CarriesEveryNameThePlugInReads) {
  const gpd::Description d = gpd::Check(text, nullptr);
  // Halftone: exactly the plug-in's eight names, each a different method.
  const gpd::Entry* halftone = d.Feature("Halftone");
  ASSERT_NE(halftone, nullptr);
  std::vector<std::string> want;
  for (int i = 0; i < kHalftoneOptions; ++i) want.push_back(HalftoneOptionName(i));
  EXPECT_EQ(gpd::OptionNames(*halftone), want);
  EXPECT_EQ(halftone->Child("DefaultOption")->value, "HT_NONE");
  // HorizontalOffset: off, then 1 to 8 mm either way in whole millimetres.
  const gpd::Entry* offset = d.Feature("HorizontalOffset");
  ASSERT_NE(offset, nullptr);
  std::set<int32_t> dots;
  for (const std::string& o : gpd::OptionNames(*offset)) {
    const int32_t f = OffsetDots(ParseHorizontalOffset(o.c_str()));
    EXPECT_EQ(f % 8, 0) << o;
    EXPECT_LE(std::abs(f), 64) << o;
    EXPECT_TRUE(dots.insert(f).second) << o << " repeats an offset";
  }
  EXPECT_EQ(dots.size(), 17u);
  EXPECT_EQ(OffsetDots(ParseHorizontalOffset(offset->Child("DefaultOption")->value.c_str())), 0);
  // Translate180 and SavePaperMode: each option means something else.
  const gpd::Entry* turn = d.Feature("Translate180");
  ASSERT_NE(turn, nullptr);
  EXPECT_EQ(gpd::OptionNames(*turn), (std::vector<std::string>{"OFF", "TRANS_180"}));
  EXPECT_TRUE(ParseTranslate180("TRANS_180"));
  const gpd::Entry* save = d.Feature("SavePaperMode");
  ASSERT_NE(save, nullptr);
  std::set<int> modes;
  for (const std::string& o : gpd::OptionNames(*save)) modes.insert(ParseSavePaperMode(o.c_str()));
  EXPECT_EQ(modes, (std::set<int>{kSaveNone, kSaveTop, kSaveBottom, kSaveTopAndBottom}));
  // The bands: 8-bit gray, callback 3, no raster of Unidrv's own.
  const gpd::Entry* colour = d.Feature("ColorMode");
  ASSERT_NE(colour, nullptr);
  for (const gpd::Entry* o : colour->Children("Option")) {
    EXPECT_EQ(o->Child("DrvBPP")->value, "8");
    EXPECT_EQ(o->Child("IPCallbackID")->value, "3");
    EXPECT_EQ(o->Child("Color?")->value, "FALSE");
    EXPECT_EQ(o->Child("DevBPP")->value, "0");
  }
  // 203 dpi, 576 printable dots on an 80 mm page.
  for (const gpd::Entry* o : d.Feature("PaperSize")->Children("Option")) {
    EXPECT_EQ(o->Child("PageDimensions")->value.substr(0, 9), "PAIR(639,");
    EXPECT_EQ(o->Child("PrintableArea")->value.substr(0, 9), "PAIR(576,");
  }
  EXPECT_EQ(d.Root("ResourceDLL")->value, "\"LORVEXRES.DLL\"");
}

TEST_P(Description, CutAndDrawerSendTheBytesWeMean) {
  const gpd::Description d = gpd::Check(text, nullptr);
  struct Want {
    const char* feature;
    const char* option;
    const char* order;
    std::function<void(const DecodedCommands&)> check;
  };
  const std::vector<Want> wants = {
      {"PaperCut", "NONE", "PAGE_FINISH.1", [](const DecodedCommands& c) { EXPECT_TRUE(c.commands.empty()); }},
      {"PaperCut", "PARTIAL", "PAGE_FINISH.1",
       [](const DecodedCommands& c) {
         ASSERT_EQ(c.commands.size(), 1u);
         EXPECT_EQ(c.commands[0].kind, DeviceCommand::kCut);
         EXPECT_FALSE(c.commands[0].fullCut);
         EXPECT_TRUE(c.commands[0].feedsFirst);
       }},
      {"PaperCut", "FULL", "PAGE_FINISH.1",
       [](const DecodedCommands& c) {
         ASSERT_EQ(c.commands.size(), 1u);
         EXPECT_TRUE(c.commands[0].fullCut);
         EXPECT_TRUE(c.commands[0].feedsFirst);
       }},
      {"CashDrawer", "NONE", "JOB_FINISH.1", [](const DecodedCommands& c) { EXPECT_TRUE(c.commands.empty()); }},
      {"CashDrawer", "PIN2", "JOB_FINISH.1",
       [](const DecodedCommands& c) {
         ASSERT_EQ(c.commands.size(), 1u);
         EXPECT_EQ(c.commands[0].kind, DeviceCommand::kDrawerPulse);
         EXPECT_EQ(c.commands[0].pin, 2);
         EXPECT_EQ(c.commands[0].onMs, 50u);
         EXPECT_EQ(c.commands[0].offMs, 500u);
       }},
      {"CashDrawer", "PIN5", "JOB_FINISH.1",
       [](const DecodedCommands& c) {
         ASSERT_EQ(c.commands.size(), 1u);
         EXPECT_EQ(c.commands[0].pin, 5);
       }},
  };
  for (const Want& w : wants) {
    SCOPED_TRACE(std::string(w.feature) + "." + w.option);
    const gpd::Entry* f = d.Feature(w.feature);
    ASSERT_NE(f, nullptr);
    const gpd::Entry* option = nullptr;
    for (const gpd::Entry* o : f->Children("Option"))
      if (o->value == w.option) option = o;
    ASSERT_NE(option, nullptr);
    std::string order;
    const std::vector<uint8_t> bytes = SelectBytes(*option, &order);
    EXPECT_EQ(order, w.order);
    const DecodedCommands decoded = DecodeDeviceCommands(bytes.data(), bytes.size());
    ASSERT_TRUE(decoded.ok) << decoded.error;
    w.check(decoded);
  }
  // The job starts with ESC @ and nothing else is sent by Unidrv.
  for (const gpd::Entry& e : d.root) {
    if (e.keyword != "Command") continue;
    const gpd::Entry* cmd = e.Child("Cmd");
    const std::string inlineCmd = e.value.find(':') != std::string::npos ? e.value.substr(e.value.find(':') + 1) : "";
    const auto bytes = gpd::CommandBytes(cmd ? cmd->value : inlineCmd);
    ASSERT_TRUE(bytes.has_value()) << e.value;
    if (e.value == "CmdStartJob") {
      const DecodedCommands c = DecodeDeviceCommands(bytes->data(), bytes->size());
      ASSERT_TRUE(c.ok && c.commands.size() == 1u);
      EXPECT_EQ(c.commands[0].kind, DeviceCommand::kInitialize);
    } else {
      EXPECT_TRUE(bytes->empty()) << e.value << " sends bytes";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Package, Description, ::testing::Values("LORVEXC.GPD", "MARLITC.GPD"),
                         [](const ::testing::TestParamInfo<const char*>& p) {
                           return std::string(p.param).substr(0, 7);
                         });

TEST(DriverPackage, ModelsAndDefaults) {
  const gpd::Description lorvex = gpd::Check(ReadText(Package("LORVEXC.GPD")), nullptr);
  const gpd::Description marlit = gpd::Check(ReadText(Package("MARLITC.GPD")), nullptr);
  // The installer registers the driver under the model name the description
  // carries.
  EXPECT_EQ(lorvex.Root("ModelName")->value, "\"" + Utf8FromWide(lorvex::ModelTable[2].modelName) + "\"");
  EXPECT_EQ(Utf8FromWide(lorvex::ModelTable[2].dataFile), "LORVEXC.GPD");
  EXPECT_EQ(lorvex.Root("GPDFileName")->value, "\"LORVEXC.GPD\"");
  EXPECT_EQ(marlit.Root("GPDFileName")->value, "\"MARLITC.GPD\"");
  EXPECT_EQ(lorvex.Feature("PaperCut")->Child("DefaultOption")->value, "PARTIAL");
  EXPECT_EQ(lorvex.Feature("CashDrawer")->Child("DefaultOption")->value, "NONE");
  EXPECT_EQ(marlit.Feature("CashDrawer")->Child("DefaultOption")->value, "PIN2");
  EXPECT_NE(lorvex.Root("ModelName")->value, marlit.Root("ModelName")->value);
}

TEST(DriverPackage, IniFilesNameThePlugIn) {
  for (const char* ini : {"LORVEX.INI", "LORVEXC.INI", "MARLITC.INI"}) {
    const std::string text = ReadText(Package(ini));
    EXPECT_NE(text.find("[OEMFiles]\r\nOEMDriverFile1=LORVEX.DLL\r\n"), std::string::npos) << ini;
    EXPECT_EQ(text.find("OEMConfigFile"), std::string::npos) << ini;
  }
}

TEST(DriverPackage, ResourceDllIsResourcesOnlyWithTheSameIdsInEveryLanguage) {
  for (const char* arch : {"mingw-i686", "mingw-x64"}) {
    const PeStringTables& t = Strings(arch);
    EXPECT_EQ(t.entryPoint, 0u) << arch;
    EXPECT_FALSE(t.hasImports) << arch;
    ASSERT_EQ(t.byLanguage.size(), 3u) << arch;
    std::set<uint16_t> ids;
    for (const auto& [id, text] : t.byLanguage.at(kEnglish)) ids.insert(id);
    for (uint16_t lang : {kChinese, kTraditional}) {
      std::set<uint16_t> other;
      for (const auto& [id, text] : t.byLanguage.at(lang)) other.insert(id);
      EXPECT_EQ(other, ids) << arch << " language " << lang;
    }
    EXPECT_EQ(t.byLanguage.at(kEnglish).at(1105), u"Floyd-Steinberg");
    // The reader does see imports where there are some: the plug-in has.
    const auto plugin = ReadStringTables(
        ReadFileBytes(std::string(LX_WIN_BUILD_ROOT) + "/" + arch + "/plugin/LORVEX.DLL"));
    ASSERT_TRUE(plugin.has_value()) << arch;
    EXPECT_TRUE(plugin->hasImports) << arch;
    EXPECT_NE(plugin->entryPoint, 0u) << arch;
    EXPECT_EQ(t.byLanguage.at(kChinese).at(1600), u"钱箱");
    EXPECT_EQ(t.byLanguage.at(kTraditional).at(1600), u"錢箱");
  }
}

// Broken copies of the description: each fault must be reported.
struct Breakage {
  const char* name;
  std::function<std::string(std::string)> breakIt;
  const char* says;
};

std::string Replace(std::string s, const std::string& from, const std::string& to) {
  const size_t at = s.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) s.replace(at, from.size(), to);
  return s;
}

class CheckerCatches : public ::testing::TestWithParam<Breakage> {};

TEST_P(CheckerCatches, TheFault) {
  const std::string good = ReadText(Package("LORVEXC.GPD"));
  const auto& english = Strings("mingw-x64").byLanguage;
  ASSERT_TRUE(english.count(kEnglish));
  ASSERT_TRUE(gpd::Check(good, &english.at(kEnglish)).errors.empty());
  const gpd::Description d = gpd::Check(GetParam().breakIt(good), &english.at(kEnglish));
  EXPECT_NE(Errors(d).find(GetParam().says), std::string::npos) << "got:\n" << Errors(d);
}

INSTANTIATE_TEST_SUITE_P(
    BrokenCopies, CheckerCatches,
    ::testing::Values(
        Breakage{"UnclosedBrace", [](std::string s) { return Replace(s, "    }\r\n}\r\n\r\n*Feature: InputBin", "    }\r\n\r\n*Feature: InputBin"); }, "never closed"},
        Breakage{"StrayBrace", [](std::string s) { return s + "}\r\n"; }, "closes nothing"},
        Breakage{"UnclosedString", [](std::string s) { return Replace(s, "*GPDFileVersion: \"1.0\"", "*GPDFileVersion: \"1.0"); }, "bad string"},
        Breakage{"OddHex", [](std::string s) { return Replace(s, "<1D 56 42 00>", "<1D 56 42 0>"); }, "bad string"},
        Breakage{"BadHexDigit", [](std::string s) { return Replace(s, "<1B 70 00 19 FA>", "<1B 70 00 19 FG>"); }, "bad string"},
        Breakage{"PairOfOne", [](std::string s) { return Replace(s, "*MasterUnits: PAIR(203, 203)", "*MasterUnits: PAIR(203)"); }, "takes PAIR"},
        Breakage{"BooleanWord", [](std::string s) { return Replace(s, "*Color?: FALSE", "*Color?: NO"); }, "TRUE or FALSE"},
        Breakage{"NotAKeyword", [](std::string s) { return Replace(s, "*MaxCopies: 1", "*MaxCopies: 1\r\n*ConcurrentSafe?: TRUE"); }, "unknown keyword"},
        Breakage{"RootOnlyInside", [](std::string s) { return Replace(s, "        *rcNameID: 1041", "        *rcNameID: 1041\r\n        *ModelName: \"X\""); }, "belongs at the root"},
        Breakage{"SpecVersionNotFirst", [](std::string s) { return Replace(Replace(s, "*GPDSpecVersion: \"1.0\"\r\n", ""), "*MaxCopies: 1", "*MaxCopies: 1\r\n*GPDSpecVersion: \"1.0\""); }, "must come first"},
        Breakage{"NoResourceDll", [](std::string s) { return Replace(s, "*ResourceDLL: \"LORVEXRES.DLL\"\r\n", ""); }, "missing root entry *ResourceDLL"},
        Breakage{"NoStdNames", [](std::string s) { return Replace(s, "*Include: \"StdNames.gpd\"\r\n", ""); }, "StdNames"},
        Breakage{"NoInputBin", [](std::string s) { return Replace(s, "*Feature: InputBin", "*Feature: InputTray"); }, "missing feature InputBin"},
        Breakage{"DefaultNotAnOption", [](std::string s) { return Replace(s, "*DefaultOption: HT_NONE", "*DefaultOption: HT_None"); }, "not an option of Halftone"},
        Breakage{"OptionTwice", [](std::string s) { return Replace(s, "*Option: HT_Sierra", "*Option: HT_Stucki"); }, "twice in Halftone"},
        Breakage{"CustomWithoutType", [](std::string s) { return Replace(s, "    *FeatureType: JOB_PROPERTY\r\n", ""); }, "needs *FeatureType"},
        Breakage{"NoSpotDiameter", [](std::string s) { return Replace(s, "        *SpotDiameter: 100\r\n", ""); }, "needs *DPI, *TextDPI and *SpotDiameter"},
        Breakage{"TextDpiNotPowerOfTwo", [](std::string s) { return Replace(s, "*TextDPI: PAIR(203, 203)", "*TextDPI: PAIR(609, 609)"); }, "power of two"},
        Breakage{"MasterUnitsNotAMultiple", [](std::string s) { return Replace(s, "*MasterUnits: PAIR(203, 203)", "*MasterUnits: PAIR(300, 300)"); }, "multiple of the DPI"},
        Breakage{"DrvBpp", [](std::string s) { return Replace(s, "*DrvBPP: 8", "*DrvBPP: 2"); }, "*DrvBPP 2"},
        Breakage{"CallbackZero", [](std::string s) { return Replace(s, "*IPCallbackID: 3", "*IPCallbackID: 0"); }, "above 0"},
        Breakage{"NoBlockData", [](std::string s) { return Replace(s, "*Command: CmdSendBlockData", "*Command: CmdSendData"); }, "no CmdSendBlockData"},
        Breakage{"UnknownSection", [](std::string s) { return Replace(s, "*Order: PAGE_FINISH.1", "*Order: PAGE_END.1"); }, "bad *Order"},
        Breakage{"SelectWithoutOrder", [](std::string s) { return Replace(s, "            *Order: JOB_FINISH.1\r\n", ""); }, "without *Order"},
        Breakage{"NoFormFeed", [](std::string s) { return Replace(s, "*Command: CmdFF: \"\"", ""); }, "missing command CmdFF"},
        Breakage{"NameNotInDll", [](std::string s) { return Replace(s, "*rcNameID: 1602", "*rcNameID: 1699"); }, "not in the resource DLL"},
        Breakage{"Unnamed", [](std::string s) { return Replace(s, "        *rcNameID: 1302\r\n", ""); }, "TRANS_180 has no *Name"},
        Breakage{"EndifAlone", [](std::string s) { return s + "*Endif:\r\n"; }, "*Endif without *Ifdef"},
        Breakage{"IfdefOpen", [](std::string s) { return s + "*Ifdef: WINNT_40\r\n"; }, "never closed by *Endif"},
        Breakage{"CaseNotAnOption", [](std::string s) { return s + "*Switch: Orientation\r\n{\r\n    *Case: SIDEWAYS\r\n    {\r\n    }\r\n}\r\n"; }, "not an option of Orientation"}),
    [](const ::testing::TestParamInfo<Breakage>& p) { return std::string(p.param.name); });

TEST(GpdChecker, CommandStrings) {
  EXPECT_EQ(gpd::CommandBytes("\"<1B 70 00 19 FA>\""), (std::vector<uint8_t>{0x1B, 0x70, 0x00, 0x19, 0xFA}));
  EXPECT_EQ(gpd::CommandBytes("\"A%\"B\" \"<0A>\""), (std::vector<uint8_t>{'A', '"', 'B', 0x0A}));
  EXPECT_EQ(gpd::CommandBytes("\"100%%\""), (std::vector<uint8_t>{'1', '0', '0', '%'}));
  EXPECT_EQ(gpd::CommandBytes("\"\""), std::vector<uint8_t>{});
  EXPECT_FALSE(gpd::CommandBytes("\"<1>\"").has_value());
  EXPECT_FALSE(gpd::CommandBytes("\"open").has_value());
  EXPECT_FALSE(gpd::CommandBytes("bare").has_value());
}

TEST(GpdChecker, DeviceCommandsRefuseOtherBytes) {
  const uint8_t wrongPin[] = {0x1B, 0x70, 0x02, 0x19, 0xFA};
  EXPECT_FALSE(DecodeDeviceCommands(wrongPin, sizeof wrongPin).ok);
  const uint8_t raster[] = {0x1D, 0x76, 0x30, 0x00};
  EXPECT_FALSE(DecodeDeviceCommands(raster, sizeof raster).ok);
  const uint8_t shortCut[] = {0x1D, 0x56, 0x42};
  EXPECT_FALSE(DecodeDeviceCommands(shortCut, sizeof shortCut).ok);
  const uint8_t both[] = {0x1B, 0x40, 0x1D, 0x56, 0x01, 0x1B, 0x70, 0x31, 0x32, 0x64};
  const DecodedCommands c = DecodeDeviceCommands(both, sizeof both);
  ASSERT_TRUE(c.ok);
  ASSERT_EQ(c.commands.size(), 3u);
  EXPECT_FALSE(c.commands[1].fullCut);
  EXPECT_FALSE(c.commands[1].feedsFirst);
  EXPECT_EQ(c.commands[2].pin, 5);
  EXPECT_EQ(c.commands[2].onMs, 100u);
}

}  // namespace
