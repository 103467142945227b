// Feeds the installer's search for Unidrv's generic files whatever a
// Windows machine may hold: any names (in any case, any length), folders
// and files, times, and SetupAPI's answer. The plan must name a source
// for every required file or name the first one missing, take every source
// from the package or from a folder it searched, and never crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fake_install_system.h"
#include "install_core.h"

namespace {

// Consumes a short name from the input: printable ASCII, often near the
// names the search looks for.
WText Name(const uint8_t*& data, size_t& size) {
  static const char* const kNear[] = {"unidrv.dll", "UNIDRVUI.DLL", "unires.dll", "STDNAMES.gpd", "ttfsub.gpd",
                                      "UNIDRV.HLP", "Amd64",        "I386",       "ntprint.inf_amd64_a",
                                      "NTPRINT.INF_AMD64_b", "ntprint.inf_x86_c", "3"};
  if (size == 0) return WTXT("x");
  const uint8_t pick = *data++;
  --size;
  if (pick < 12 * 16) return WideFromUtf8(kNear[pick % 12]);
  WText name;
  while (size > 0 && name.size() < 12) {
    const uint8_t c = *data++;
    --size;
    if (c == 0) break;
    name.push_back(WChar(c < 32 || c > 126 || c == '\\' ? '_' : c));
  }
  return name.empty() ? WTXT("_") : name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FakeInstallSystem sys;
  if (size > 0 && (data[0] & 1)) sys.StagePackage(/*withGenericFiles=*/(data[0] & 2) != 0);
  const WText places[] = {WTXT("C:\\windows\\System32\\DriverStore\\FileRepository"),
                          WTXT("C:\\windows\\system32\\spool\\drivers\\x64"), WTXT("C:\\setup\\\\amd64")};
  while (size > 2) {
    const uint8_t how = *data++;
    --size;
    WText path = places[how % 3];
    const int depth = 1 + (how >> 2) % 3;
    for (int i = 0; i < depth; ++i) path += WTXT("\\") + Name(data, size);
    sys.files[path] = "bytes";
    if (how & 0x80) sys.folderTimes[path.substr(0, path.find_last_of(WChar('\\')))] = how;
    if ((how & 0x60) == 0x60) sys.infLocation = path;
  }
  const lorvex::CopyPlan plan = lorvex::PlanCopies(sys, WTXT("C:\\setup\\"), lorvex::kArchX64, sys.driverDirectory);
  bool someRequiredMissing = false;
  for (const lorvex::CopyPlan::Item& item : plan.items) {
    if (!item.source) {
      if (!lorvex::IsGenericFile(item.file)) abort();  // our own files always come from the package
      if (!lorvex::IsOptionalFile(item.file)) someRequiredMissing = true;
      continue;
    }
    if (!item.fromPackage && !sys.files.count(*item.source)) abort();  // a source found is a file there
  }
  if (someRequiredMissing != plan.missing.has_value()) abort();
  return 0;
}
