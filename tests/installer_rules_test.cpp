// The installer's pure rules: formatter, names, lists, paths, vendor key,
// registry path, port names, checksum and hardware identifier.
#include <gtest/gtest.h>

#include "install_rules.h"
#include "wtext.h"

using namespace lorvex;

namespace {
std::string U8(const WText& t) { return Utf8FromWide(t); }
std::string U8(const std::optional<WText>& t) { return t ? Utf8FromWide(*t) : "<none>"; }
std::string U8(const WChar* t) { return Utf8FromWide(t); }
WText W(const std::string& s) { return WideFromUtf8(s); }
}  // namespace

struct FormatCase {
  const char* format;
  std::vector<FormatArg> args;
  const char* want;  // nullptr: the format is refused
};

class FormatWTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatWTest, FormatsAsWindowsWidePrintf) {
  const FormatCase& c = GetParam();
  const std::optional<WText> got = FormatW(W(c.format).c_str(), c.args);
  if (c.want == nullptr) {
    EXPECT_FALSE(got.has_value()) << U8(got);
  } else {
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(U8(*got), c.want);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, FormatWTest,
    ::testing::Values(
        // "%s" takes a wide text in the wide family, like "%ws".
        FormatCase{"%ws|%s", {WTXT("ab"), WTXT("cd")}, "ab|cd"},
        FormatCase{"vid_%.4ws", {WTXT("067B#PID")}, "vid_067B"},
        FormatCase{"vid_%.4ws", {WTXT("06")}, "vid_06"},
        FormatCase{"USB%.3d", {1}, "USB001"}, FormatCase{"USB%.3d", {12}, "USB012"},
        FormatCase{"USB%.3d", {1234}, "USB1234"}, FormatCase{"USB%.3d", {-1}, "USB-001"},
        FormatCase{"%04x", {0x593c}, "593c"}, FormatCase{"%04x", {0x3c}, "003c"},
        FormatCase{"0x%x", {0x6ba}, "0x6ba"}, FormatCase{"%X", {0xabu}, "AB"},
        FormatCase{"%d-%02d-%02d", {2024, 8, 3}, "2024-08-03"},
        FormatCase{"*%24c", {'*'}, "*                       *"},
        FormatCase{"[%-4d]", {7}, "[7   ]"}, FormatCase{"100%%", {}, "100%"},
        FormatCase{"%d", {-2147483647 - 1}, "-2147483648"},
        // Refusals: unknown conversions, missing or mistyped arguments.
        FormatCase{"%f", {1}, nullptr}, FormatCase{"%d %d", {1}, nullptr},
        FormatCase{"%s", {1}, nullptr}, FormatCase{"%d", {WTXT("x")}, nullptr},
        FormatCase{"%", {}, nullptr}));

TEST(InstallRules, BoundedCutsToTheBuffer) {
  EXPECT_EQ(U8(Bounded(W("abcdef"), 4)), "abc");
  EXPECT_EQ(U8(Bounded(W("abc"), 4)), "abc");
  EXPECT_EQ(U8(Bounded(W("abc"), 0)), "");
  EXPECT_EQ(U8(AsciiLower(W("USB#VID_0416&Ä"))), "usb#vid_0416&Ä");
}

TEST(InstallRules, CopyCandidatesFollowTheRequestedName) {
  EXPECT_EQ(U8(CopyCandidateName(W("RVT-520"), 1)), "RVT-520(Copy 1)");
  EXPECT_EQ(U8(CopyCandidateName(W("RVT-520"), 253)), "RVT-520(Copy 253)");
  // 254 characters fit the 255-character buffer with its zero; 255 do not.
  const WText longName(254 - 8, 'n');  // "(Copy 1)" is 8 characters
  EXPECT_EQ(CopyCandidateName(longName, 1)->size(), 254u);
  EXPECT_FALSE(CopyCandidateName(longName + WTXT("x"), 1).has_value());
}

TEST(InstallRules, DependentFilesAreSixNamesEachEndedByAZero) {
  const std::vector<WChar> list = DependentFileList();
  ASSERT_EQ(list.size(), 1024u);
  const std::vector<WText> names = DependentFileNames(list);
  ASSERT_EQ(names.size(), 6u);
  const char* want[] = {"TTFSUB.GPD", "STDNAMES.GPD", "UNIRES.DLL",
                        "LORVEX.DLL", "LORVEXRES.DLL", "LORVEX.INI"};
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(U8(names[i]), want[i]);
  // The literal is 73 characters (65 of names, 8 commas); the zeros of its
  // trailing commas and the zeroed rest of the buffer follow the names.
  size_t used = 0;
  for (const WText& n : names) used += n.size() + 1;
  EXPECT_EQ(used, 71u);
  for (size_t i = used; i < list.size(); ++i) ASSERT_EQ(list[i], 0) << i;
}

TEST(InstallRules, ArchitectureFolders) {
  EXPECT_EQ(U8(ArchitectureDirectory(kArchX86)), "i386");
  EXPECT_EQ(U8(ArchitectureDirectory(kArchArm)), "arm");
  EXPECT_EQ(U8(ArchitectureDirectory(kArchX64)), "amd64");
  EXPECT_EQ(U8(ArchitectureDirectory(kArchArm64)), "arm64");
  for (uint16_t other : {1, 6, 10, 11, 13, 0xFFFF}) EXPECT_EQ(ArchitectureDirectory(other), nullptr);
}

TEST(InstallRules, CopyPathsKeepTheDoubledSeparator) {
  EXPECT_EQ(U8(PackageSourcePath(W("C:\\setup\\"), WTXT("amd64"), W("LORVEX.DLL"))),
            "C:\\setup\\\\amd64\\LORVEX.DLL");
  EXPECT_EQ(U8(PackageSourcePath(W("C:\\setup\\"), nullptr, W("LORVEXC.GPD"))),
            "C:\\setup\\\\LORVEXC.GPD");
  EXPECT_EQ(U8(DriverTargetPath(W("C:\\windows\\system32\\spool\\drivers\\x64"), W("UNIDRV.DLL"))),
            "C:\\windows\\system32\\spool\\drivers\\x64\\UNIDRV.DLL");
  // Cut at 259 characters, as the 260-character buffers hold them.
  EXPECT_EQ(PackageSourcePath(WText(300, 'd'), nullptr, W("X")).size(), 259u);
}

TEST(InstallRules, FileListsInCopyOrder) {
  EXPECT_EQ(U8(kArchitectureFiles[0]), "LORVEXRES.DLL");
  EXPECT_EQ(U8(kArchitectureFiles[4]), "UNIRES.DLL");
  EXPECT_EQ(U8(kCommonFiles[2]), "LORVEXC.GPD");
  EXPECT_EQ(U8(kCommonFiles[7]), "UNIDRV.HLP");
}

struct VendorCase {
  const char* path;
  const char* key;  // nullptr: too short
  bool accepted;
};

class VendorKeyTest : public ::testing::TestWithParam<VendorCase> {};

TEST_P(VendorKeyTest, KeyAndFilter) {
  const VendorCase& c = GetParam();
  const std::optional<WText> key = VendorKey(W(c.path));
  if (c.key == nullptr) {
    EXPECT_FALSE(key.has_value());
    return;
  }
  EXPECT_EQ(U8(key), c.key);
  EXPECT_EQ(VendorAccepted(*key), c.accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, VendorKeyTest,
    ::testing::Values(
        VendorCase{"\\\\?\\usb#vid_0416&pid_5011#sn0001#{28d78fad}", "vid_0416", true},
        // Capitals are lowercased for the key; the id keeps them.
        VendorCase{"\\\\?\\USB#VID_067B&PID_2305#5&1#{28d78fad}", "vid_067b", true},
        VendorCase{"\\\\?\\usb#vid_04b8&pid_0e15#x", "vid_04b8", true},
        VendorCase{"\\\\?\\usb#vid_1fc9&pid_2016#x", "vid_1fc9", true},
        VendorCase{"\\\\?\\usb#vid_046d&pid_c52b#x", "vid_046d", false},
        VendorCase{"\\\\?\\usb#vid_0416", "vid_0416", true},
        VendorCase{"\\\\?\\usb#vid_041", nullptr, false},
        VendorCase{"\\\\?\\usb", nullptr, false}, VendorCase{"", nullptr, false}));

TEST(InstallRules, VendorIdKeepsCase) {
  EXPECT_EQ(U8(VendorId(W("\\\\?\\USB#VID_067B&PID_2305"))), "067B");
}

TEST(InstallRules, DeviceParametersKeyDropsThePrefix) {
  EXPECT_EQ(U8(DeviceParametersKey(W("\\\\?\\usb#vid_0416&pid_5011#sn0001#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}"))),
            "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\{28d78fad-5a12-11d1-ae5b-0000f803a8c2}"
            "\\##?#usb#vid_0416&pid_5011#sn0001#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}\\#\\Device Parameters");
  EXPECT_FALSE(DeviceParametersKey(W("\\\\?")).has_value());
}

TEST(InstallRules, UsbPortNames) {
  EXPECT_EQ(U8(UsbPortName(1)), "USB001");
  EXPECT_EQ(U8(UsbPortName(12)), "USB012");
  EXPECT_EQ(U8(UsbPortName(1234)), "USB1234");
  EXPECT_EQ(U8(UsbPortName(0)), "USB000");
}

// Plain CRC-16/ARC, bit by bit: the checksum agrees with it until a byte
// makes the table index 0xF0 or above.
uint16_t Crc16Arc(const std::string& s) {
  uint16_t crc = 0;
  for (unsigned char c : s) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
  }
  return crc;
}

TEST(InstallRules, ChecksumGoldenValues) {
  EXPECT_EQ(PortDescriptionChecksum("abc"), 0x9738);
  EXPECT_EQ(PortDescriptionChecksum("123456789"), 0x593c);
  EXPECT_EQ(Crc16Arc("123456789"), 0xbb3d);
  EXPECT_EQ(PortDescriptionChecksum(""), 0);
  // Bytes after a zero do not count.
  EXPECT_EQ(PortDescriptionChecksum(std::string("abc\0zz", 6)), 0x9738);
  // A single byte 0xF0 takes the odd entry: H[15] ^ L[0] = 0x4600.
  EXPECT_EQ(PortDescriptionChecksum("\xF0"), 0x4600);
  EXPECT_EQ(Crc16Arc("\xF0"), 0x4400);
  EXPECT_EQ(U8(ChecksumText(0x3c)), "003c");
}

TEST(InstallRules, ChecksumIsCrc16ArcBelowTheOddEntry) {
  // Every single byte whose index stays below 0xF0.
  for (int b = 1; b < 0xF0; ++b) {
    const std::string s(1, static_cast<char>(b));
    ASSERT_EQ(PortDescriptionChecksum(s), Crc16Arc(s)) << b;
  }
}

TEST(InstallRules, HardwareIdentifierIsLowercase) {
  EXPECT_EQ(U8(HardwareIdentifier(W("RVT-520 Receipt"), W("a1b2"))), "usbprint\\rvt-520 receipta1b2");
}
