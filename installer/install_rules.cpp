// install_rules.cpp: names, paths and numbers of the installation and the USB
// discovery.
#include "install_rules.h"

#include <algorithm>

namespace lorvex {

const WChar* const kArchitectureFiles[5] = {
    WTXT("LORVEXRES.DLL"), WTXT("LORVEX.DLL"), WTXT("UNIDRV.DLL"), WTXT("UNIDRVUI.DLL"),
    WTXT("UNIRES.DLL"),
};
const WChar* const kCommonFiles[8] = {
    WTXT("LORVEX.INI"),   WTXT("LORVEXC.INI"), WTXT("LORVEXC.GPD"), WTXT("MARLITC.INI"),
    WTXT("MARLITC.GPD"),  WTXT("STDNAMES.GPD"), WTXT("TTFSUB.GPD"), WTXT("UNIDRV.HLP"),
};

const WChar kUsbPrintInterfaceClass[] = WTXT("{28d78fad-5a12-11d1-ae5b-0000f803a8c2}");
const WChar kVendorFilter[] =
    WTXT("vid_067b,vid_0416,vid_1cbe,vid_0483,vid_0471,vid_1fc9,vid_04b8");

namespace {
// The dependent files as one literal; its commas become terminators.
const WChar kDependentFilesLiteral[] =
    WTXT("TTFSUB.GPD,STDNAMES.GPD,UNIRES.DLL,LORVEX.DLL,LORVEXRES.DLL,LORVEX.INI,,,");

// "\\?\" before every device path.
constexpr size_t kDevicePathPrefix = 4;
// Index of the first vendor digit: the prefix, then "usb#vid_".
constexpr size_t kVendorDigits = 12;
}  // namespace

std::optional<WText> CopyCandidateName(const WText& requested, int n) {
  std::optional<WText> name = FormatW(WTXT("%ws(Copy %d)"), {requested, n});
  if (!name || name->size() >= kCandidateChars) return std::nullopt;
  return name;
}

std::vector<WChar> DependentFileList() {
  std::vector<WChar> list(kDependentListChars, 0);
  const size_t n = WideLength(kDependentFilesLiteral);
  for (size_t i = 0; i < n; ++i)
    list[i] = kDependentFilesLiteral[i] == ',' ? WChar(0) : kDependentFilesLiteral[i];
  return list;
}

std::vector<WText> DependentFileNames(const std::vector<WChar>& list) {
  std::vector<WText> names;
  // The spooler reads names until an empty one.
  for (size_t i = 0; i < list.size() && list[i] != 0;) {
    const size_t n = WideLength(&list[i], list.size() - i);
    names.emplace_back(&list[i], n);
    i += n + 1;
  }
  return names;
}

const WChar* ArchitectureDirectory(uint16_t architecture) {
  switch (architecture) {
    case kArchX86: return WTXT("i386");
    case kArchArm: return WTXT("arm");
    case kArchX64: return WTXT("amd64");
    case kArchArm64: return WTXT("arm64");
    default: return nullptr;
  }
}

bool IsGenericFile(const WText& file) {
  for (const WChar* generic : {WTXT("UNIDRV.DLL"), WTXT("UNIDRVUI.DLL"), WTXT("UNIRES.DLL"), WTXT("STDNAMES.GPD"),
                               WTXT("TTFSUB.GPD"), WTXT("UNIDRV.HLP")})
    if (file == generic) return true;
  return false;
}

bool IsOptionalFile(const WText& file) { return file == WTXT("UNIDRV.HLP"); }

const WChar* DriverStoreArchitecture(uint16_t architecture) {
  switch (architecture) {
    case kArchX86: return WTXT("x86");
    case kArchArm: return WTXT("arm");
    case kArchX64: return WTXT("amd64");
    case kArchArm64: return WTXT("arm64");
    default: return nullptr;
  }
}

const WChar* DriverStoreProcessorFolder(uint16_t architecture) {
  switch (architecture) {
    case kArchX86: return WTXT("I386");
    case kArchArm: return WTXT("ARM");
    case kArchX64: return WTXT("Amd64");
    case kArchArm64: return WTXT("ARM64");
    default: return nullptr;
  }
}

namespace {
WChar FoldCase(WChar c) { return c >= 'a' && c <= 'z' ? WChar(c - 'a' + 'A') : c; }
}  // namespace

bool SameFileName(const WText& a, const WText& b) {
  return a.size() == b.size() && StartsWithFileName(a, b);
}

bool StartsWithFileName(const WText& name, const WText& prefix) {
  if (name.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (FoldCase(name[i]) != FoldCase(prefix[i])) return false;
  return true;
}

WText DriverTargetPath(const WText& driverDirectory, const WText& file) {
  return *FormatBounded(kNameChars, WTXT("%ws\\%ws"), {driverDirectory, file});
}

WText PackageSourcePath(const WText& sourceDirectory, const WChar* architecture,
                        const WText& file) {
  if (architecture != nullptr)
    return *FormatBounded(kNameChars, WTXT("%ws\\%ws\\%ws"), {sourceDirectory, architecture, file});
  return *FormatBounded(kNameChars, WTXT("%ws\\%ws"), {sourceDirectory, file});
}

std::optional<WText> VendorId(const WText& devicePath) {
  if (devicePath.size() < kVendorDigits + 4) return std::nullopt;
  return devicePath.substr(kVendorDigits, 4);
}

std::optional<WText> VendorKey(const WText& devicePath) {
  std::optional<WText> id = VendorId(devicePath);
  if (!id) return std::nullopt;
  return AsciiLower(Bounded(WTXT("vid_") + *id, kVendorKeyChars));
}

bool VendorAccepted(const WText& vendorKey) {
  return !vendorKey.empty() && WText(kVendorFilter).find(vendorKey) != WText::npos;
}

std::optional<WText> DeviceParametersKey(const WText& devicePath) {
  if (devicePath.size() < kDevicePathPrefix) return std::nullopt;
  return *FormatW(WTXT("SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\"
                       "{28d78fad-5a12-11d1-ae5b-0000f803a8c2}\\##?#%ws\\#\\Device Parameters"),
                  {devicePath.substr(kDevicePathPrefix)});
}

WText UsbPortName(uint32_t portNumber) {
  return *FormatBounded(kNameChars, WTXT("USB%.3d"), {static_cast<int>(static_cast<int32_t>(portNumber))});
}

namespace {
// The nibble tables: CRC-16/ARC's, but for the last entry of the high table
// (0x4600 where CRC-16/ARC has 0x4400).
constexpr uint16_t kLowTable[16] = {0x0000, 0xC0C1, 0xC181, 0x0140, 0xC301, 0x03C0,
                                    0x0280, 0xC241, 0xC601, 0x06C0, 0x0780, 0xC741,
                                    0x0500, 0xC5C1, 0xC481, 0x0440};
constexpr uint16_t kHighTable[16] = {0x0000, 0xCC01, 0xD801, 0x1400, 0xF001, 0x3C00,
                                     0x2800, 0xE401, 0xA001, 0x6C00, 0x7800, 0xB401,
                                     0x5000, 0x9C01, 0x8801, 0x4600};
}  // namespace

uint16_t PortDescriptionChecksum(const std::string& ansiBytes) {
  uint16_t sum = 0;
  for (const char ch : ansiBytes) {
    const uint8_t b = static_cast<uint8_t>(ch);
    if (b == 0) break;
    const uint8_t t = static_cast<uint8_t>(b ^ (sum & 0xFF));
    sum = static_cast<uint16_t>(kHighTable[t >> 4] ^ kLowTable[t & 15] ^ (sum >> 8));
  }
  return sum;
}

WText ChecksumText(uint16_t checksum) { return *FormatW(WTXT("%04x"), {unsigned(checksum)}); }

WText HardwareIdentifier(const WText& portDescription, const WText& checksum) {
  return AsciiLower(*FormatBounded(kNameChars, WTXT("usbprint\\%ws%ws"), {portDescription, checksum}));
}

}  // namespace lorvex
