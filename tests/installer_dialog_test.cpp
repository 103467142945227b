// The dialog's decisions without a window: the operating-system radio, the
// model pre-selection, and the texts of the two test prints.
#include <gtest/gtest.h>

#include "dialog_rules.h"
#include "fake_usb_source.h"
#include "usb_discovery.h"

using namespace lorvex;

namespace {
std::string U8(const WText& t) { return Utf8FromWide(t); }

struct VersionCase {
  const char* name;
  bool workstation;
  uint32_t major, minor;           // the version the program is shown
  std::optional<uint32_t> build;   // what RtlGetVersion says, if anything
  int radio;
};

class OsRadioTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(OsRadioTest, ChoosesFromTheVersionRecord) {
  const VersionCase& c = GetParam();
  auto atLeast = [&](uint32_t major, uint32_t minor) {
    return c.major > major || (c.major == major && c.minor >= minor);
  };
  auto build = [&]() { return c.build; };
  EXPECT_EQ(ChooseOsRadio(c.workstation, atLeast, build), c.radio) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Versions, OsRadioTest,
    ::testing::Values(VersionCase{"xp", true, 5, 1, std::nullopt, ids::kOsXp},
                      VersionCase{"2000", true, 5, 0, std::nullopt, 0},
                      VersionCase{"vista", true, 6, 0, std::nullopt, ids::kOsVista},
                      VersionCase{"seven", true, 6, 1, 7601u, ids::kOs7},
                      // 8.1 without its manifest entry is shown as 6.2.
                      VersionCase{"eight", true, 6, 2, 9600u, ids::kOs8},
                      VersionCase{"ten", true, 10, 0, 19045u, ids::kOs10},
                      VersionCase{"build 22000 is ten", true, 10, 0, 22000u, ids::kOs10},
                      VersionCase{"build 22001 is eleven", true, 10, 0, 22001u, ids::kOs11},
                      VersionCase{"eleven", true, 10, 0, 22631u, ids::kOs11},
                      VersionCase{"no RtlGetVersion", true, 10, 0, std::nullopt, ids::kOs10},
                      VersionCase{"server 2022", false, 10, 0, 20348u, ids::kOsServer},
                      VersionCase{"server 2008", false, 6, 0, 6002u, ids::kOsServer}),
    [](const ::testing::TestParamInfo<VersionCase>& p) {
      std::string n = p.param.name;
      for (char& ch : n)
        if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return n;
    });

TEST(InstallerDialog, ModelTableNamesOneModel) {
  int named = 0;
  for (int i = 0; i < kModelSlots; ++i) {
    EXPECT_EQ(U8(ModelTable[i].resourceDll), "LORVEXRES.DLL");
    if (ModelTable[i].modelName == nullptr) {
      EXPECT_EQ(U8(ModelTable[i].dataFile), "LORVEX.GPD");
      continue;
    }
    ++named;
    EXPECT_EQ(i, 2);
    EXPECT_EQ(U8(ModelTable[i].modelName), "RVT-520");
    EXPECT_EQ(U8(ModelTable[i].dataFile), "LORVEXC.GPD");
  }
  EXPECT_EQ(named, 1);
}

TEST(InstallerDialog, PreselectionIsACaseSensitiveSubstring) {
  EXPECT_EQ(PreselectModelSlot(WTXT("RVT-520 Thermal Receipt")), 2);
  EXPECT_EQ(PreselectModelSlot(WTXT("USB RVT-520")), 2);
  EXPECT_FALSE(PreselectModelSlot(WTXT("rvt-520 thermal")).has_value());
  EXPECT_FALSE(PreselectModelSlot(WTXT("RVT-52")).has_value());
  EXPECT_FALSE(PreselectModelSlot(WTXT("")).has_value());
}

TEST(InstallerDialog, PreselectionSeesOnlyTheFirst32Characters) {
  // The name at characters 26-32 survives the cut; one character later it
  // does not.
  FakeUsbSource src;
  src.devices.push_back(FakeUsbSource::Printer("0416", "A", 1, "Thermal receipt printer 8 RVT-520"));
  UsbPrinterList list;
  DiscoverUsbPrinters(src, list);
  EXPECT_EQ(PreselectModelSlot(list.Head()->portDescription), std::nullopt);
  src.devices[0] = FakeUsbSource::Printer("0416", "A", 1, "Thermal receipt printer  RVT-520");
  DiscoverUsbPrinters(src, list);
  EXPECT_EQ(PreselectModelSlot(list.Head()->portDescription), 2);
}

// String 112 and 113 as the string table holds them (English).
const WChar kPortTestFormat[] =
    WTXT("*************************\r\n*%24c\r\n* The current printer's *\r\n*  USB port is          *\r\n"
         "*        %ws         *\r\n*%24c\r\n********************\r\n");
const WChar kTestPageFormat[] =
    WTXT("                .  \n\n\n\nCongratulations !\nIf you can read this\ninformation you have\n"
         "succeed intall this\nprinter driver !\n\nPrinter Name :\n  %ws\n\n%d-%02d-%02d %02d:%02d:%02d\n"
         "**Test page end**\n\n\"");

TEST(InstallerDialog, PortTestTextClosesTheBoxOnTheRight) {
  const std::optional<WText> text = PortTestText(kPortTestFormat, WTXT("USB001"));
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(U8(*text),
            "*************************\r\n"
            "*                       *\r\n"
            "* The current printer's *\r\n"
            "*  USB port is          *\r\n"
            "*        USB001         *\r\n"
            "*                       *\r\n"
            "********************\r\n");
}

TEST(InstallerDialog, PortTestTextIsCutAt249Characters) {
  const std::optional<WText> text = PortTestText(kPortTestFormat, WText(300, 'P'));
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(text->size(), 249u);
}

TEST(InstallerDialog, TestPageTextPadsTheDate) {
  const std::optional<WText> text =
      TestPageText(kTestPageFormat, WTXT("RVT-520(Copy 1)"), LocalTime{2024, 8, 3, 9, 5, 7});
  ASSERT_TRUE(text.has_value());
  const std::string s = U8(*text);
  EXPECT_NE(s.find("Printer Name :\n  RVT-520(Copy 1)\n\n2024-08-03 09:05:07\n**Test page end**\n\n\""),
            std::string::npos)
      << s;
  EXPECT_EQ(s.substr(0, 23), "                .  \n\n\n\n");
  // Year 987 keeps no leading zeros.
  EXPECT_NE(U8(*TestPageText(kTestPageFormat, WTXT("P"), LocalTime{987, 12, 31, 23, 59, 59})).find("987-12-31 23:59:59"),
            std::string::npos);
}

TEST(InstallerDialog, FeedAndCutIsTwentyLineFeedsThenAPartialCut) {
  for (int i = 0; i < 20; ++i) EXPECT_EQ(FeedAndCutBytes[i], 0x0A) << i;
  EXPECT_EQ(FeedAndCutBytes[20], 0x1D);
  EXPECT_EQ(FeedAndCutBytes[21], 0x56);
  EXPECT_EQ(FeedAndCutBytes[22], 0x01);
  EXPECT_EQ(FeedAndCutBytes[23], 0x00);
}

TEST(InstallerDialog, PortWizardCommandQuotesThePrinter) {
  EXPECT_EQ(U8(PortWizardCommand(WTXT("RVT-520(Copy 1)"))),
            "rundll32.exe printui.dll,PrintUIEntry /p /n \"RVT-520(Copy 1)\"");
  EXPECT_EQ(PortWizardCommand(WText(400, 'n')).size(), 249u);
}

}  // namespace
