// dialog_rules.cpp: model slots, the operating-system choice, pre-selection
// and the test texts.
#include "dialog_rules.h"

namespace lorvex {

const ModelSlot ModelTable[kModelSlots] = {
    {nullptr, WTXT("LORVEX.GPD"), WTXT("LORVEXRES.DLL"), 0},
    {nullptr, WTXT("LORVEX.GPD"), WTXT("LORVEXRES.DLL"), 0},
    {WTXT("RVT-520"), WTXT("LORVEXC.GPD"), WTXT("LORVEXRES.DLL"), 0},
    {nullptr, WTXT("LORVEX.GPD"), WTXT("LORVEXRES.DLL"), 0},
    {nullptr, WTXT("LORVEX.GPD"), WTXT("LORVEXRES.DLL"), 0},
    {nullptr, WTXT("LORVEX.GPD"), WTXT("LORVEXRES.DLL"), 0},
};

const uint8_t FeedAndCutBytes[24] = {
    0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A,  // line feeds: move the text
    0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A,  // past the cutter
    0x1D, 0x56, 0x01,                                            // GS V 1: partial cut
    0x00,
};

namespace {
constexpr size_t kFormattedChars = 250;
constexpr size_t kTextChars = 1024;
// Windows 11 is version 10.0 with a build above this one.
constexpr uint32_t kLastWindows10Build = 22000;
}  // namespace

int ChooseOsRadio(bool workstation, const std::function<bool(uint32_t, uint32_t)>& atLeast,
                  const std::function<std::optional<uint32_t>()>& trueBuild) {
  if (!workstation) return ids::kOsServer;
  if (atLeast(10, 0)) return trueBuild().value_or(0) > kLastWindows10Build ? ids::kOs11 : ids::kOs10;
  if (atLeast(6, 2)) return ids::kOs8;
  if (atLeast(6, 1)) return ids::kOs7;
  if (atLeast(6, 0)) return ids::kOsVista;
  if (atLeast(5, 1)) return ids::kOsXp;
  return 0;
}

std::optional<int> PreselectModelSlot(const WText& portDescription) {
  for (int i = 0; i < kModelSlots; ++i) {
    const WChar* name = ModelTable[i].modelName;
    if (name != nullptr && portDescription.find(name) != WText::npos) return i;
  }
  return std::nullopt;
}

std::optional<WText> PortTestText(const WText& format, const WText& portName) {
  return FormatBounded(kFormattedChars, format.c_str(), {int('*'), portName, int('*')});
}

std::optional<WText> TestPageText(const WText& format, const WText& printerName, const LocalTime& when) {
  return FormatBounded(kTextChars, format.c_str(),
                       {printerName, when.year, when.month, when.day, when.hour, when.minute, when.second});
}

WText PortWizardCommand(const WText& printerName) {
  return *FormatBounded(kFormattedChars, WTXT("rundll32.exe printui.dll,PrintUIEntry /p /n \"%s\""),
                        {printerName});
}

}  // namespace lorvex
