// install_rules.h: what the installer decides without asking the system.
//
// Names, paths, lists and numbers that the package installation and the USB
// discovery derive from their inputs: the free printer names to try, the
// driver's dependent-file list, the architecture folders, the copy paths,
// the USB vendor key and filter, the device's registry path, the port name,
// the port-description checksum and the hardware identifier. Everything here
// is a pure function, so both builds test it the same way.
#ifndef LORVEX_INSTALLER_INSTALL_RULES_H
#define LORVEX_INSTALLER_INSTALL_RULES_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "wtext.h"

namespace lorvex {

// Fixed buffer sizes, in characters, of the installer's texts.
constexpr size_t kNameChars = 260;          // names and paths
constexpr size_t kCandidateChars = 255;     // the free-name candidate
constexpr size_t kTraceChars = 768;         // one DebugLog line, its zero included
constexpr size_t kDependentListChars = 1024;
constexpr size_t kVendorKeyChars = 10;

// The numbered names tried after the requested one: 1 to kLastCopyNumber.
constexpr int kLastCopyNumber = 253;

// The candidate "NAME(Copy N)" for copy number n, as the 255-character
// candidate buffer holds it. Answers nothing when it would only fit cut
// short: a queue must never be installed under a cut name.
std::optional<WText> CopyCandidateName(const WText& requested, int n);

// The driver's dependent files, as the spooler reads the field: each name
// ended by a zero, then the zeros of the list's trailing commas, in a
// zeroed buffer of kDependentListChars characters.
std::vector<WChar> DependentFileList();
// The names in that list, in order (for readers and tests).
std::vector<WText> DependentFileNames(const std::vector<WChar>& list);

// Processor architectures as GetNativeSystemInfo reports them.
constexpr uint16_t kArchX86 = 0;
constexpr uint16_t kArchArm = 5;
constexpr uint16_t kArchX64 = 9;
constexpr uint16_t kArchArm64 = 12;

// The package's sub-directory for an architecture; null for one we do not
// ship, whose installation fails before anything is copied.
const WChar* ArchitectureDirectory(uint16_t architecture);

// The package files: per architecture (from SourceDirectory\<arch>\) and
// common (from SourceDirectory), each in copy order.
extern const WChar* const kArchitectureFiles[5];
extern const WChar* const kCommonFiles[8];

// Unidrv's generic files among them: Windows' own, which the package may
// carry (an integrator's choice) or the installation takes from Windows.
// UNIDRV.HLP is optional: Windows 10 and 11 carry no WinHelp files, and the
// driver does not list it.
bool IsGenericFile(const WText& file);
bool IsOptionalFile(const WText& file);

// Windows' core printer driver package (ntprint.inf) for an architecture:
// the token in its driver store folder's name ("ntprint.inf_amd64_...") and
// its processor subfolder ("Amd64"). Null for an architecture we do not
// know.
const WChar* DriverStoreArchitecture(uint16_t architecture);
const WChar* DriverStoreProcessorFolder(uint16_t architecture);

// File names as Windows compares them: ASCII letters in any case.
bool SameFileName(const WText& a, const WText& b);
bool StartsWithFileName(const WText& name, const WText& prefix);

// Copy paths, formatted into 260-character buffers and cut there.
// Target "DRIVERDIR\FILE"; source "SOURCEDIR\ARCH\FILE", or "SOURCEDIR\FILE"
// without an architecture. SourceDirectory ends in a backslash, so the source
// path carries a doubled separator after it, which the file system accepts.
WText DriverTargetPath(const WText& driverDirectory, const WText& file);
WText PackageSourcePath(const WText& sourceDirectory, const WChar* architecture,
                        const WText& file);

// The USB printing interface class and the accepted vendors.
extern const WChar kUsbPrintInterfaceClass[];
extern const WChar kVendorFilter[];

// The vendor key of a device path: "vid_" and the four characters from index
// 12 (the first vendor digit after "\\?\usb#vid_"), lowercased. Answers
// nothing when the path ends before those four characters.
std::optional<WText> VendorKey(const WText& devicePath);
// The vendor id as it stands in the path (case kept), or nothing.
std::optional<WText> VendorId(const WText& devicePath);
// Whether the key occurs in kVendorFilter.
bool VendorAccepted(const WText& vendorKey);

// The device interface's "Device Parameters" key under HKEY_LOCAL_MACHINE,
// from the device path without its four-character prefix. Nothing when the
// path is shorter than the prefix.
std::optional<WText> DeviceParametersKey(const WText& devicePath);

// The spooler port of a USB port number: "USB%.3d" (1 -> USB001, 1234 ->
// USB1234). The number is read as the signed 32-bit value the registry holds.
WText UsbPortName(uint32_t portNumber);

// The port-description checksum over bytes up to the first zero (or the
// end): a 16-bit table checksum that matches CRC-16/ARC until a byte makes
// its table index 0xF0 or above, where the high table's last entry differs.
uint16_t PortDescriptionChecksum(const std::string& ansiBytes);
// "%04x" of the checksum.
WText ChecksumText(uint16_t checksum);
// "usbprint\DESCRIPTION CHECKSUM", lowercased, in a 260-character buffer.
WText HardwareIdentifier(const WText& portDescription, const WText& checksum);

// How many characters of the "Port Description" and "Serial Number" values
// an entry keeps.
constexpr size_t kUsbTextChars = 32;

}  // namespace lorvex

#endif  // LORVEX_INSTALLER_INSTALL_RULES_H
