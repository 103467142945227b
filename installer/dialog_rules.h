// dialog_rules.h: what the installer's dialog decides without a window: the
// model slots, the operating-system radio from the version facts, the model
// that a USB printer's port description pre-selects, and the texts of the
// two test prints.
#ifndef LORVEX_INSTALLER_DIALOG_RULES_H
#define LORVEX_INSTALLER_DIALOG_RULES_H

#include <cstdint>
#include <functional>
#include <optional>

#include "wtext.h"

namespace lorvex {

// One model radio: 1014 + its index in ModelTable. A slot without a model
// name is hidden and cannot be chosen.
struct ModelSlot {
  const WChar* modelName;
  const WChar* dataFile;
  const WChar* resourceDll;
  uint32_t reserved;
};
constexpr int kModelSlots = 6;
extern const ModelSlot ModelTable[kModelSlots];

// Control and resource identifiers shared by the program and its tests.
namespace ids {
constexpr int kConfigDialog = 101;
constexpr int kSplashDialog = 103;
constexpr int kLogoBitmap = 106;
constexpr int kIcon = 107;
constexpr int kOsXp = 1001, kOsVista = 1002, kOsServer = 1003, kOs8 = 1004, kOs7 = 1005, kOs10 = 1006,
              kOs11 = 1007;
constexpr int kPortUsb = 1008, kPortOther = 1009, kSetDefault = 1010, kSplashTitle = 1013;
constexpr int kFirstModel = 1014;
constexpr int kInstallNow = 1, kCancel = 2, kCheckUsbPort = 3;
// Strings.
constexpr int kNoUsbPrinter = 105, kCurrentPort = 106, kSucceedTestPage = 107, kInstallFailed = 108,
              kCaption = 109, kSelectPrinter = 110, kSucceedPortSetup = 111, kPortTestText = 112,
              kTestPageText = 113, kGenericFileMissing = 114;
}  // namespace ids

// The operating-system radio to check (1001-1007), or 0 for none.
// `workstation`: the product type is a workstation. `atLeast(major, minor)`:
// the version the program is shown is at least major.minor (service pack 0).
// `trueBuild()`: the build number RtlGetVersion reports, or nothing when it
// cannot be had (then counted as 0).
int ChooseOsRadio(bool workstation, const std::function<bool(uint32_t, uint32_t)>& atLeast,
                  const std::function<std::optional<uint32_t>()>& trueBuild);

// The first model slot whose name occurs, case-sensitively, in the port
// description, or nothing.
std::optional<int> PreselectModelSlot(const WText& portDescription);

// The port test's text: string 112 with an asterisk, the port name and an
// asterisk, as the 250-character buffer holds it. Nothing when the string
// does not format.
std::optional<WText> PortTestText(const WText& format, const WText& portName);

// A local date and time, as the test page prints it.
struct LocalTime {
  int year, month, day, hour, minute, second;
};
// The test page's text: string 113 with the printer name and the time, cut
// to the 1024-character buffer.
std::optional<WText> TestPageText(const WText& format, const WText& printerName, const LocalTime& when);

// The 24 bytes the port test sends after its text: 20 line feeds, then
// GS V 1 (partial cut, no feed) and a zero.
extern const uint8_t FeedAndCutBytes[24];

// The port wizard's command line for a printer, in its 250-character buffer.
WText PortWizardCommand(const WText& printerName);

}  // namespace lorvex

#endif  // LORVEX_INSTALLER_DIALOG_RULES_H
