// lorvex-host: a raster host of our own that walks the render plug-in
// through the whole life the platform's driver gives it, prints a test page
// through it and writes the spooled bytes to a file.
//
//   lorvex-host OUT.bin [--dll PATH] [--halftone NAME] [--offset TEXT]
//               [--translate TEXT] [--save-paper TEXT] [--landscape]
//               [--copies N] [--banding] [--band-height N] [--height N]
//
// The Windows build loads LORVEX.DLL (beside the program, or --dll) with
// LoadLibrary; the native build calls the same entry points linked in. Both
// must write the same bytes. Every step is checked; the first that goes
// wrong is reported and the exit code is 1.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "host_support.h"
#include "oem_interfaces.h"
#include "test_page.h"
#include "tool_usage.h"

#if !defined(_WIN32)
#include "oem_plugin.h"
#endif

namespace {

typedef HRESULT(STDMETHODCALLTYPE* PFN_DllGetClassObject)(REFCLSID, REFIID, LPVOID*);
typedef HRESULT(STDMETHODCALLTYPE* PFN_DllCanUnloadNow)();

struct Options {
  std::string output;
  std::string dll;
  std::map<std::string, std::string> settings;
  std::string halftone;  // empty: no option named, the band is thresholded
  bool landscape = false;
  bool banding = false;
  int copies = 1;
  int bandHeight = 240;
  int height = 600;
};

// What the host's side records.
struct HostState {
  DEVOBJ devobj{};  // first: the host finds itself from the device object
  DRVPROCS procs{};
  DEVMODEW devmode{};
  const Options* options = nullptr;
  std::vector<BYTE> spooled;
  std::vector<std::string> hostCalls;
};

HostState* HostOf(PVOID pdevobj) { return reinterpret_cast<HostState*>(pdevobj); }

DWORD APIENTRY HostWriteSpoolBuf(PDEVOBJ pdevobj, PVOID buffer, DWORD size) {
  const BYTE* p = static_cast<const BYTE*>(buffer);
  HostOf(pdevobj)->spooled.insert(HostOf(pdevobj)->spooled.end(), p, p + size);
  return size;
}

BOOL APIENTRY HostGetDriverSetting(PVOID pdriverobj, PCSTR feature, PVOID output, DWORD size,
                                   PDWORD needed, PDWORD options) {
  return AnswerDriverSetting(HostOf(pdriverobj)->options->settings, feature, output, size, needed,
                             options);
}

// The graphics engine's functions that the plug-in hooks.
HostState* g_host = nullptr;
BOOL APIENTRY HostStartPage(SURFOBJ*) {
  g_host->hostCalls.push_back("StartPage");
  return TRUE;
}
BOOL APIENTRY HostSendPage(SURFOBJ*) {
  g_host->hostCalls.push_back("SendPage");
  return TRUE;
}
BOOL APIENTRY HostEndDoc(SURFOBJ*, FLONG) {
  g_host->hostCalls.push_back("EndDoc");
  return TRUE;
}

template <typename To, typename From>
To FunctionCast(From function) {
  return reinterpret_cast<To>(reinterpret_cast<void (*)()>(function));
}

// The host interface published to the plug-in: it spools and answers
// settings like the procedure table.
class DriverUni : public DriverUniBase {
 public:
  explicit DriverUni(HostState* host) : host_(host) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPrintOemDriverUni)) {
      *ppv = static_cast<IPrintOemDriverUni*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE DrvGetDriverSetting(PVOID pdriverobj, PCSTR feature, PVOID output,
                                                DWORD size, PDWORD needed, PDWORD options) override {
    return HostGetDriverSetting(pdriverobj, feature, output, size, needed, options) ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE DrvWriteSpoolBuf(PDEVOBJ pdevobj, PVOID buffer, DWORD size,
                                             DWORD* written) override {
    *written = HostWriteSpoolBuf(pdevobj ? pdevobj : &host_->devobj, buffer, size);
    return S_OK;
  }

  ULONG refs = 1;

 private:
  HostState* host_;
};

[[noreturn]] void Fail(const std::string& step, HRESULT hr = S_OK) {
  std::fprintf(stderr, "lorvex-host: %s failed (0x%08X)\n", step.c_str(), static_cast<unsigned>(hr));
  std::exit(1);
}

void Expect(bool ok, const std::string& step) {
  if (!ok) Fail(step);
}

void ExpectHr(HRESULT hr, HRESULT want, const std::string& step) {
  if (hr != want) Fail(step, hr);
}

bool ParseArgs(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "lorvex-host: %s needs a value\n", name);
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == "--dll") o->dll = value("--dll");
    else if (a == "--halftone") o->halftone = value("--halftone");
    else if (a == "--offset") o->settings["HorizontalOffset"] = value("--offset");
    else if (a == "--translate") o->settings["Translate180"] = value("--translate");
    else if (a == "--save-paper") o->settings["SavePaperMode"] = value("--save-paper");
    else if (a == "--landscape") o->landscape = true;
    else if (a == "--banding") o->banding = true;
    else if (a == "--copies") o->copies = std::atoi(value("--copies"));
    else if (a == "--band-height") o->bandHeight = std::atoi(value("--band-height"));
    else if (a == "--height") o->height = std::atoi(value("--height"));
    else if (!a.empty() && a[0] != '-' && o->output.empty()) o->output = a;
    else return false;
  }
  return !o->output.empty() && o->bandHeight > 0 && o->height > 0 && o->copies >= -1000 &&
         o->copies <= 1000;
}

}  // namespace

const char kUsage[] =
    "usage: lorvex-host OUT.bin [--dll PATH] [--halftone NAME] [--offset TEXT] [--translate TEXT]\n"
    "       [--save-paper TEXT] [--landscape] [--copies N] [--banding] [--band-height N] [--height N]\n"
    "  Walks the plug-in through its whole life with a test page and writes what it\n"
    "  spooled to OUT.bin; the Windows build loads LORVEX.DLL (--dll names another).\n";

int main(int argc, char** argv) {
  if (AnswerHelp(argc, argv, kUsage)) return 0;
  Options options;
  if (!ParseArgs(argc, argv, &options)) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  // 1. The two entry points.
#if defined(_WIN32)
  const std::string dllPath = options.dll.empty() ? "LORVEX.DLL" : options.dll;
  HMODULE dll = LoadLibraryA(dllPath.c_str());
  Expect(dll != nullptr, "LoadLibrary(" + dllPath + ")");
  auto getClassObject = FunctionCast<PFN_DllGetClassObject>(GetProcAddress(dll, "DllGetClassObject"));
  auto canUnloadNow = FunctionCast<PFN_DllCanUnloadNow>(GetProcAddress(dll, "DllCanUnloadNow"));
#else
  PFN_DllGetClassObject getClassObject = &DllGetClassObject;
  PFN_DllCanUnloadNow canUnloadNow = &DllCanUnloadNow;
#endif
  Expect(getClassObject && canUnloadNow, "finding DllGetClassObject and DllCanUnloadNow");

  // 2. Class factory, plug-in object, IPrintOemUni3.
  void* p = nullptr;
  ExpectHr(getClassObject(CLSID_OEMRENDER, IID_IClassFactory, &p), S_OK, "DllGetClassObject");
  IClassFactory* factory = static_cast<IClassFactory*>(p);
  ExpectHr(factory->CreateInstance(nullptr, IID_IUnknown, &p), S_OK, "CreateInstance");
  IUnknown* unknown = static_cast<IUnknown*>(p);
  ExpectHr(unknown->QueryInterface(IID_IPrintOemUni3, &p), S_OK, "QueryInterface(IPrintOemUni3)");
  IPrintOemUni3* uni = static_cast<IPrintOemUni3*>(p);
  unknown->Release();
  void* refused = reinterpret_cast<void*>(1);
  ExpectHr(uni->QueryInterface(IID_IPrintOemUni, &refused), E_NOINTERFACE, "QueryInterface(IPrintOemUni) refusal");
  Expect(refused == nullptr, "a refused interface leaves null");
  ExpectHr(canUnloadNow(), S_FALSE, "DllCanUnloadNow while the object lives");

  // 3. Identity and the private devmode.
  DWORD value = 0, needed = 0;
  ExpectHr(uni->GetInfo(1, &value, sizeof(value), &needed), S_OK, "GetInfo(signature)");
  Expect(value == 0x4D534654 && needed == 4, "GetInfo signature value");
  ExpectHr(uni->GetInfo(3, &value, sizeof(value), &needed), S_OK, "GetInfo(version)");
  Expect(value == 1, "GetInfo version value");
  ExpectHr(uni->GetInfo(2, &value, sizeof(value), &needed), E_FAIL, "GetInfo(2) refusal");
  OEMDMPARAM dm{};
  dm.cbSize = sizeof(dm);
  ExpectHr(uni->DevMode(1, &dm), S_OK, "DevMode(size)");
  Expect(dm.cbBufSize == 16, "private devmode size");
  DWORD record[4] = {};
  dm.pOEMDMOut = record;
  ExpectHr(uni->DevMode(2, &dm), S_OK, "DevMode(default)");
  Expect(record[0] == 16 && record[1] == 0x4D534654 && record[2] == 1 && record[3] == 0, "default devmode");

  // 4. The host interface and the methods the plug-in offers.
  HostState host;
  host.options = &options;
  g_host = &host;
  DriverUni driverUni(&host);
  ExpectHr(uni->PublishDriverInterface(&driverUni), S_OK, "PublishDriverInterface");
  Expect(driverUni.refs == 2, "the plug-in holds the host interface once");
  ExpectHr(uni->GetImplementedMethod(const_cast<PSTR>("ImageProcessing")), S_OK, "GetImplementedMethod");
  ExpectHr(uni->GetImplementedMethod(const_cast<PSTR>("DownloadPattern")), S_FALSE, "GetImplementedMethod(no)");

  // 5. The hooks, and a device context.
  DRVENABLEDATA hooks{};
  ExpectHr(uni->EnableDriver(0x00030000, sizeof(hooks), &hooks), S_OK, "EnableDriver");
  Expect(hooks.c == 7 && hooks.pdrvfn, "seven hooks");
  const DRVFN hostFunctions[] = {{INDEX_DrvStartPage, FunctionCast<PFN>(&HostStartPage)},
                                 {INDEX_DrvSendPage, FunctionCast<PFN>(&HostSendPage)},
                                 {INDEX_DrvEndDoc, FunctionCast<PFN>(&HostEndDoc)}};
  DRVENABLEDATA hostDed{0x00030000, 3, const_cast<DRVFN*>(hostFunctions)};
  host.devobj.dwSize = sizeof(DEVOBJ);
  host.devobj.pDrvProcs = &host.procs;
  host.devobj.pPublicDM = &host.devmode;
  host.procs.DrvWriteSpoolBuf = &HostWriteSpoolBuf;
  host.procs.DrvGetDriverSetting = &HostGetDriverSetting;
  host.devmode.dmSize = sizeof(DEVMODEW);
  host.devmode.dmOrientation = options.landscape ? 2 : 1;
  host.devmode.dmCopies = static_cast<short>(options.copies);
  GDIINFO gdi{};
  gdi.cBitsPixel = 24;
  DEVINFO devinfo{};
  PDEVOEM pdevOem = nullptr;
  ExpectHr(uni->EnablePDEV(&host.devobj, nullptr, 0, nullptr, sizeof(gdi), &gdi, sizeof(devinfo), &devinfo,
                           &hostDed, &pdevOem),
           S_OK, "EnablePDEV");
  Expect(pdevOem != nullptr, "EnablePDEV made a device object");
  host.devobj.pdevOEM = pdevOem;

  DWORD required = 0;
  ExpectHr(uni->SetBandSize(&host.devobj, 1, 72, static_cast<DWORD>(options.height),
                            static_cast<DWORD>(options.bandHeight), &required),
           S_OK, "SetBandSize");
  Expect(required == static_cast<DWORD>(options.bandHeight), "SetBandSize asks for the maximum");

  SURFOBJ surface{};
  surface.dhpdev = reinterpret_cast<DHPDEV>(&host.devobj);
  auto hook = [&](ULONG index) -> PFN {
    for (ULONG i = 0; i < hooks.c; ++i) {
      if (hooks.pdrvfn[i].iFunc == index) return hooks.pdrvfn[i].pfn;
    }
    Fail("finding hook " + std::to_string(index));
  };
  Expect(FunctionCast<PFN_DrvStartPage>(hook(INDEX_DrvStartPage))(&surface), "StartPage hook");

  // 6. The page, band by band: landscape bands are runs of columns.
  const int width = options.landscape ? options.height : 576;
  const int height = options.landscape ? 576 : options.height;
  const std::vector<BYTE> page = MakeReceiptBand(static_cast<DWORD>(width), static_cast<DWORD>(height));
  const int span = options.landscape ? width : height;
  for (int first = 0; first < span; first += options.bandHeight) {
    const int count = first + options.bandHeight <= span ? options.bandHeight : span - first;
    HostBand band = CutBand(page.data(), static_cast<DWORD>(width), static_cast<DWORD>(height),
                            options.landscape, static_cast<DWORD>(first), static_cast<DWORD>(count));
    IPPARAMS ip = BandParams(options.halftone, options.banding);
    PBYTE result = nullptr;
    ExpectHr(uni->ImageProcessing(&host.devobj, band.rows.data(), &band.header, nullptr, 3, &ip, &result), S_OK,
             "ImageProcessing of band at " + std::to_string(first));
    Expect(result == reinterpret_cast<PBYTE>(1), "ImageProcessing result value");
  }
  // A blank band and a foreign callback write nothing.
  const size_t before = host.spooled.size();
  {
    BYTE blank[8] = {};
    BITMAPINFOHEADER bih{};
    bih.biWidth = 8;
    bih.biHeight = 1;
    bih.biSizeImage = 8;
    IPPARAMS ip{};
    ip.bBlankBand = TRUE;
    PBYTE result = nullptr;
    ExpectHr(uni->ImageProcessing(&host.devobj, blank, &bih, nullptr, 3, &ip, &result), E_FAIL, "blank band");
    ip.bBlankBand = FALSE;
    ExpectHr(uni->ImageProcessing(&host.devobj, blank, &bih, nullptr, 4, &ip, &result), E_FAIL, "callback 4");
  }
  Expect(host.spooled.size() == before, "refused bands write nothing");

  Expect(FunctionCast<PFN_DrvSendPage>(hook(INDEX_DrvSendPage))(&surface), "SendPage hook");
  Expect(FunctionCast<PFN_DrvEndDoc>(hook(INDEX_DrvEndDoc))(&surface, 0), "EndDoc hook");
  Expect(host.hostCalls == std::vector<std::string>({"StartPage", "SendPage", "EndDoc"}),
         "the hooks called the host's own functions");

  // 7. Tear down in the host's order.
  ExpectHr(uni->DisablePDEV(&host.devobj), S_OK, "DisablePDEV");
  ExpectHr(uni->DisableDriver(), S_OK, "DisableDriver");
  Expect(driverUni.refs == 1, "DisableDriver released the host interface");
  Expect(uni->Release() == 0, "the last Release");
  Expect(factory->Release() == 0, "the factory's last Release");
  ExpectHr(canUnloadNow(), S_OK, "DllCanUnloadNow at the end");

  FILE* out = std::fopen(options.output.c_str(), "wb");
  Expect(out != nullptr, "opening " + options.output);
  Expect(std::fwrite(host.spooled.data(), 1, host.spooled.size(), out) == host.spooled.size(), "writing");
  std::fclose(out);
#if defined(_WIN32)
  FreeLibrary(dll);
#endif
  std::printf("lorvex-host: life walked, %zu bytes spooled\n", host.spooled.size());
  return 0;
}
