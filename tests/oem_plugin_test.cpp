// Tests of the plug-in's COM shell, natively, through the platform layer's
// debugger sink.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "fake_host.h"
#include "host_support.h"
#include "oem_plugin.h"
#include "trace.h"

namespace {

const IID kForeign = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};

std::vector<std::string> Traces() { return lxplatform::TakeDebugMessages(); }

// The plug-in object as the host gets it: a factory, then IPrintOemUni3.
class Plugin : public ::testing::Test {
 protected:
  void SetUp() override {
    Traces();
    ASSERT_EQ(g_cObjects, 0);
    void* cf = nullptr;
    ASSERT_EQ(DllGetClassObject(CLSID_OEMRENDER, IID_IClassFactory, &cf), S_OK);
    factory = static_cast<IClassFactory*>(cf);
    void* obj = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPrintOemUni3, &obj), S_OK);
    uni = static_cast<IPrintOemUni3*>(obj);
    Traces();
  }
  void TearDown() override {
    if (uni) {
      EXPECT_EQ(uni->Release(), 0u);
    }
    if (factory) {
      EXPECT_EQ(factory->Release(), 0u);
    }
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
    g_nCopies = 1;
  }
  IClassFactory* factory = nullptr;
  IPrintOemUni3* uni = nullptr;
};

// A host interface of our own for PublishDriverInterface and FilterGraphics.
class HostInterface : public DriverUniBase {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (refuse || !IsEqualIID(riid, IID_IPrintOemDriverUni)) {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    *ppv = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE DrvWriteSpoolBuf(PDEVOBJ, PVOID buffer, DWORD size, DWORD* written) override {
    const BYTE* p = static_cast<const BYTE*>(buffer);
    spooled.insert(spooled.end(), p, p + size);
    *written = shortBy < size ? size - shortBy : 0;
    return S_OK;
  }

  ULONG refs = 1;
  bool refuse = false;
  DWORD shortBy = 0;
  std::vector<BYTE> spooled;
};

TEST(Exports, ClassObjectForEachIdentifier) {
  Traces();
  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(DllGetClassObject(CLSID_OEMRENDER, IID_IClassFactory, nullptr), E_POINTER);
  EXPECT_EQ(DllGetClassObject(kForeign, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(Traces(), std::vector<std::string>{"intrface@2194: Error:DllGetClassObject:\tClass not available!\r\n"});

  for (const IID* iid : {&IID_IClassFactory, &IID_IUnknown}) {
    ASSERT_EQ(DllGetClassObject(CLSID_OEMRENDER, *iid, &p), S_OK);
    IClassFactory* cf = static_cast<IClassFactory*>(p);
    EXPECT_EQ(cf->AddRef(), 2u) << "a new factory holds one reference";
    EXPECT_EQ(cf->Release(), 1u);
    EXPECT_EQ(cf->Release(), 0u);
  }
  for (const IID* iid : {&IID_IPrintOemUni3, &kForeign}) {
    p = reinterpret_cast<void*>(1);
    EXPECT_EQ(DllGetClassObject(CLSID_OEMRENDER, *iid, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
  }
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST(Exports, FactoryRefusesAggregationAndCountsObjectsAndLocks) {
  void* p = nullptr;
  ASSERT_EQ(DllGetClassObject(CLSID_OEMRENDER, IID_IClassFactory, &p), S_OK);
  IClassFactory* cf = static_cast<IClassFactory*>(p);
  void* obj = reinterpret_cast<void*>(1);
  EXPECT_EQ(cf->CreateInstance(reinterpret_cast<IUnknown*>(cf), IID_IUnknown, &obj), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(obj, nullptr);
  EXPECT_EQ(cf->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
  EXPECT_EQ(cf->CreateInstance(nullptr, kForeign, &obj), E_NOINTERFACE);
  EXPECT_EQ(g_cObjects, 0) << "a refused identifier leaves no object";

  ASSERT_EQ(cf->CreateInstance(nullptr, IID_IPrintOemUni2, &obj), S_OK);
  EXPECT_EQ(g_cObjects, 1);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  EXPECT_EQ(cf->LockServer(TRUE), S_OK);
  static_cast<IUnknown*>(obj)->Release();
  EXPECT_EQ(g_cObjects, 0);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE) << "a lock is still held";
  EXPECT_EQ(cf->LockServer(FALSE), S_OK);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
  void* unk = nullptr;
  EXPECT_EQ(cf->QueryInterface(kForeign, &unk), E_NOINTERFACE);
  EXPECT_EQ(cf->Release(), 0u);
}

TEST_F(Plugin, QueryInterfaceGrantsThreeAndTracesEach) {
  struct Case {
    const IID* iid;
    const char* line;
  };
  const Case granted[] = {{&IID_IUnknown, "intrface@130: COemUni2::QueryInterface IUnknown.\r\n"},
                          {&IID_IPrintOemUni2, "intrface@135: COemUni2::QueryInterface IPrintOemUni2.\r\n"},
                          {&IID_IPrintOemUni3, "intrface@139: COemUni2::QueryInterface IPrintOemUni3.\r\n"}};
  for (const Case& c : granted) {
    void* p = nullptr;
    ASSERT_EQ(uni->QueryInterface(*c.iid, &p), S_OK);
    EXPECT_EQ(p, static_cast<void*>(uni));
    EXPECT_EQ(uni->Release(), 1u) << "one reference added";
    EXPECT_EQ(Traces(), std::vector<std::string>{c.line});
  }
}

TEST_F(Plugin, QueryInterfaceRefusesTheFirstVersionAndStrangers) {
  for (const IID* iid : {&IID_IPrintOemUni, &kForeign}) {
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(uni->QueryInterface(*iid, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
  }
  const auto traces = Traces();
  ASSERT_EQ(traces.size(), 4u);
  EXPECT_EQ(traces[0], "intrface@144: Warning: COemUni2::QueryInterface NULL. Returning E_NOINTERFACE.\r\n");
  EXPECT_EQ(traces[1], "W:{D67EBBF0-78BF-11D1-9480-00A0C90640B8}");
  EXPECT_EQ(traces[3], "W:{12345678-9ABC-DEF0-0102-030405060708}");
}

TEST_F(Plugin, GetInfoModesAndBuffers) {
  DWORD value = 0, needed = 0;
  EXPECT_EQ(uni->GetInfo(1, &value, 4, &needed), S_OK);
  EXPECT_EQ(value, 0x4D534654u);
  EXPECT_EQ(needed, 4u);
  EXPECT_EQ(uni->GetInfo(3, &value, 8, &needed), S_OK);
  EXPECT_EQ(value, 1u);
  Traces();
  for (DWORD mode : {0u, 2u, 4u, 5u}) {
    SetLastError(0);
    EXPECT_EQ(uni->GetInfo(mode, &value, 4, &needed), E_FAIL) << mode;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  SetLastError(0);
  EXPECT_EQ(uni->GetInfo(1, &value, 4, nullptr), E_FAIL);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Traces().back(),
            "intrface@1021: Warning: COemUni2::GetInfo() exit pcbNeeded is NULL! ERROR_INVALID_PARAMETER.\r\n");
  needed = 0;
  value = 7;
  EXPECT_EQ(uni->GetInfo(1, &value, 3, &needed), E_FAIL);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(needed, 4u);
  EXPECT_EQ(value, 7u);
  EXPECT_EQ(uni->GetInfo(3, nullptr, 4, &needed), E_FAIL);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

OemDevmode Record(DWORD size, DWORD signature, DWORD version, DWORD priv) {
  return OemDevmode{size, signature, version, priv};
}

// The default record: size 16, our signature, version 1, private field 0.
bool IsDefaultRecord(const OemDevmode& r) {
  return r.dwSize == 16 && r.dwSignature == 0x4D534654 && r.dwVersion == 1 && r.dwPrivateData == 0;
}

TEST_F(Plugin, DevModeAllModes) {
  OEMDMPARAM param{};
  param.cbSize = sizeof(param);
  EXPECT_EQ(uni->DevMode(1, &param), S_OK);
  EXPECT_EQ(param.cbBufSize, 16u);

  OemDevmode in = Record(16, 0x4D534654, 7, 99);
  OemDevmode out = Record(0, 0, 0, 0);
  param.pOEMDMIn = &in;
  param.pOEMDMOut = &out;
  EXPECT_EQ(uni->DevMode(2, &param), S_OK);
  EXPECT_TRUE(IsDefaultRecord(out));

  out = Record(16, 0x4D534654, 3, 5);
  EXPECT_EQ(uni->DevMode(3, &param), S_OK);
  EXPECT_EQ(out.dwVersion, 1u) << "convert copies, then sets version 1";
  EXPECT_EQ(out.dwPrivateData, 99u) << "the private field comes with the copy";

  out = Record(16, 0x4D534654, 3, 5);
  EXPECT_EQ(uni->DevMode(4, &param), S_OK);
  EXPECT_TRUE(IsDefaultRecord(out)) << "a merge ends with the default record";

  Traces();
  for (DWORD mode : {0u, 5u}) {
    SetLastError(0);
    EXPECT_EQ(uni->DevMode(mode, &param), E_FAIL);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  EXPECT_EQ(uni->DevMode(1, nullptr), E_FAIL);
  EXPECT_EQ(Traces().back(), "intrface@343: Error:DevMode() ERROR_INVALID_PARAMETER.\r\n");

  // Modes 2 and 4 with no output record write nothing and still succeed.
  param.pOEMDMOut = nullptr;
  EXPECT_EQ(uni->DevMode(2, &param), S_OK);
  EXPECT_EQ(uni->DevMode(4, &param), S_OK);
  EXPECT_EQ(Traces().back(), "devmode@54: Error:ConvertOEMDevmode() invalid parameters.\r\n");
}

TEST(Devmode, ConvertWithSameAndForeignSignatures) {
  OemDevmode in = Record(16, 0x4D534654, 7, 42);
  OemDevmode out = Record(16, 0x4D534654, 1, 0);
  EXPECT_TRUE(ConvertOEMDevmode(&in, &out));
  EXPECT_EQ(out.dwPrivateData, 42u);
  EXPECT_EQ(out.dwVersion, 1u);

  OemDevmode foreign = Record(16, 0x12345678, 9, 42);
  out = Record(16, 0x4D534654, 3, 7);
  EXPECT_TRUE(ConvertOEMDevmode(&foreign, &out));
  EXPECT_TRUE(IsDefaultRecord(out));

  Traces();
  EXPECT_FALSE(ConvertOEMDevmode(nullptr, &out));
  EXPECT_FALSE(ConvertOEMDevmode(&in, nullptr));
  EXPECT_EQ(Traces().size(), 2u);
}

TEST(Devmode, CorruptSizesNeverCopyPastTheRecord) {
  // The output record sits in a larger buffer; a huge size must not spill.
  struct {
    OemDevmode record;
    BYTE guard[16];
  } out;
  std::memset(&out, 0xAB, sizeof(out));
  out.record = Record(0xFFFFFFFF, 0x4D534654, 1, 0);
  struct {
    OemDevmode record;
    BYTE tail[16];
  } in;
  std::memset(&in, 0x11, sizeof(in));
  in.record = Record(0xFFFFFFFF, 0x4D534654, 1, 5);
  EXPECT_TRUE(ConvertOEMDevmode(&in.record, &out.record));
  for (BYTE b : out.guard) ASSERT_EQ(b, 0xAB);
  EXPECT_EQ(out.record.dwSize, 16u);
  EXPECT_EQ(out.record.dwPrivateData, 5u);

  // A small size copies only that much.
  OemDevmode small = Record(6, 0x4D534654, 9, 9);
  OemDevmode dst = Record(16, 0x4D534654, 1, 0);
  EXPECT_TRUE(ConvertOEMDevmode(&small, &dst));
  EXPECT_EQ(dst.dwPrivateData, 0u);
}

// Host functions behind the hooks: they record what they were given.
struct HookLog {
  std::vector<std::string> calls;
  const void* args[10] = {};
};
HookLog g_log;

BOOL APIENTRY HostStartBanding(SURFOBJ* pso, POINTL* pptl) {
  g_log.calls.push_back("StartBanding");
  g_log.args[0] = pso;
  g_log.args[1] = pptl;
  return TRUE;
}
BOOL APIENTRY HostNextBand(SURFOBJ*, POINTL*) {
  g_log.calls.push_back("NextBand");
  return FALSE;  // the host's answer comes back unchanged
}
BOOL APIENTRY HostStartPage(SURFOBJ*) {
  g_log.calls.push_back("StartPage");
  return TRUE;
}
BOOL APIENTRY HostSendPage(SURFOBJ*) {
  g_log.calls.push_back("SendPage");
  return TRUE;
}
BOOL APIENTRY HostStartDoc(SURFOBJ*, LPWSTR name, DWORD job) {
  g_log.calls.push_back("StartDoc " + std::to_string(job));
  g_log.args[1] = name;
  return TRUE;
}
BOOL APIENTRY HostEndDoc(SURFOBJ*, FLONG fl) {
  g_log.calls.push_back("EndDoc " + std::to_string(fl));
  return TRUE;
}
BOOL APIENTRY HostTextOut(SURFOBJ* pso, STROBJ* a, FONTOBJ* b, CLIPOBJ* c, RECTL* d, RECTL* e,
                          BRUSHOBJ* f, BRUSHOBJ* g, POINTL* h, MIX mix) {
  g_log.calls.push_back("TextOut " + std::to_string(mix));
  const void* all[10] = {pso, a, b, c, d, e, f, g, h, nullptr};
  std::memcpy(g_log.args, all, sizeof(all));
  return TRUE;
}
BOOL APIENTRY HostOther(SURFOBJ*) { return TRUE; }

template <typename F>
PFN AsPFN(F f) {
  return reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(f));
}

TEST_F(Plugin, EnableDriverHandsOutSevenHooksInOrder) {
  DRVENABLEDATA ded{};
  ASSERT_EQ(uni->EnableDriver(0x20000, sizeof(ded), &ded), S_OK);
  EXPECT_EQ(ded.iDriverVersion, 0x00010000u);
  ASSERT_EQ(ded.c, 7u);
  const ULONG want[7] = {57, 58, 33, 32, 35, 34, 23};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(ded.pdrvfn[i].iFunc, want[i]) << i;
}

TEST_F(Plugin, EnablePDEVKeepsTheHostsFunctionsAndHooksPassThrough) {
  FakeHost host;
  host.devmode.dmCopies = 3;
  const DRVFN hostFns[] = {{INDEX_DrvStartBanding, AsPFN(&HostOther)},  // overwritten below
                           {INDEX_DrvStartBanding, AsPFN(&HostStartBanding)},
                           {INDEX_DrvNextBand, AsPFN(&HostNextBand)},
                           {INDEX_DrvStartPage, AsPFN(&HostStartPage)},
                           {INDEX_DrvSendPage, AsPFN(&HostSendPage)},
                           {INDEX_DrvStartDoc, AsPFN(&HostStartDoc)},
                           {INDEX_DrvEndDoc, AsPFN(&HostEndDoc)},
                           {INDEX_DrvTextOut, AsPFN(&HostTextOut)},
                           {99, AsPFN(&HostOther)}};
  DRVENABLEDATA hostDed{0x20000, 9, const_cast<DRVFN*>(hostFns)};
  GDIINFO gdi{};
  DEVINFO dev{};
  PDEVOEM pdevOem = nullptr;
  ASSERT_EQ(uni->EnablePDEV(host.pdevobj(), nullptr, 0, nullptr, sizeof(gdi), &gdi, sizeof(dev), &dev,
                            &hostDed, &pdevOem),
            S_OK);
  ASSERT_NE(pdevOem, nullptr);
  EXPECT_EQ(g_nCopies, 3);
  COemPDEV* pdev = static_cast<COemPDEV*>(pdevOem);
  EXPECT_EQ(pdev->nCopies, 3);
  host.devobj.pdevOEM = pdevOem;

  DRVENABLEDATA hooks{};
  uni->EnableDriver(0, sizeof(hooks), &hooks);
  SURFOBJ surface{};
  surface.dhpdev = reinterpret_cast<DHPDEV>(host.pdevobj());
  POINTL point{1, 2};
  g_log = HookLog();
  auto hook = [&](int i) { return hooks.pdrvfn[i].pfn; };
  EXPECT_TRUE(reinterpret_cast<PFN_DrvStartBanding>(reinterpret_cast<void (*)()>(hook(0)))(&surface, &point));
  EXPECT_EQ(g_log.args[0], &surface);
  EXPECT_EQ(g_log.args[1], &point);
  EXPECT_FALSE(reinterpret_cast<PFN_DrvNextBand>(reinterpret_cast<void (*)()>(hook(1)))(&surface, &point));
  EXPECT_TRUE(reinterpret_cast<PFN_DrvStartPage>(reinterpret_cast<void (*)()>(hook(2)))(&surface));
  EXPECT_TRUE(reinterpret_cast<PFN_DrvSendPage>(reinterpret_cast<void (*)()>(hook(3)))(&surface));
  WCHAR name[] = {'j', 0};
  EXPECT_TRUE(reinterpret_cast<PFN_DrvStartDoc>(reinterpret_cast<void (*)()>(hook(4)))(&surface, name, 77));
  EXPECT_EQ(g_log.args[1], name);
  // The end of the document releases the scratch buffer, also one whose
  // count says 0 (the sanitizer build would report it leaked).
  for (DWORD count : {32u, 0u}) {
    pdev->pScratch = static_cast<BYTE*>(LocalAlloc(LMEM_FIXED, 32));
    pdev->cbScratch = count;
    EXPECT_TRUE(reinterpret_cast<PFN_DrvEndDoc>(reinterpret_cast<void (*)()>(hook(5)))(&surface, 4));
    EXPECT_EQ(pdev->pScratch, nullptr) << count;
    EXPECT_EQ(pdev->cbScratch, 0u);
  }
  void* fake[8];
  EXPECT_TRUE(reinterpret_cast<PFN_DrvTextOut>(reinterpret_cast<void (*)()>(hook(6)))(
      &surface, reinterpret_cast<STROBJ*>(&fake[1]), reinterpret_cast<FONTOBJ*>(&fake[2]),
      reinterpret_cast<CLIPOBJ*>(&fake[3]), reinterpret_cast<RECTL*>(&fake[4]),
      reinterpret_cast<RECTL*>(&fake[5]), reinterpret_cast<BRUSHOBJ*>(&fake[6]),
      reinterpret_cast<BRUSHOBJ*>(&fake[7]), &point, 13));
  for (int i = 1; i < 8; ++i) EXPECT_EQ(g_log.args[i], &fake[i]) << "argument " << i;
  EXPECT_EQ(g_log.args[8], &point);
  EXPECT_EQ(g_log.calls, (std::vector<std::string>{"StartBanding", "NextBand", "StartPage", "SendPage",
                                                   "StartDoc 77", "EndDoc 4", "EndDoc 4", "TextOut 13"}));

  EXPECT_EQ(uni->DisablePDEV(host.pdevobj()), S_OK);
  EXPECT_EQ(host.devobj.pdevOEM, nullptr);
  EXPECT_EQ(uni->DisablePDEV(host.pdevobj()), S_OK) << "nothing left to delete";
}

TEST_F(Plugin, EnablePDEVCopyCounts) {
  struct Case {
    short dmCopies;
    int16_t want;
  };
  for (const Case& c : {Case{3, 3}, Case{0, 1}, Case{-1, 1}, Case{1, 1}, Case{32767, 32767}}) {
    FakeHost host;
    host.devmode.dmCopies = c.dmCopies;
    PDEVOEM pdev = nullptr;
    ASSERT_EQ(uni->EnablePDEV(host.pdevobj(), nullptr, 0, nullptr, 0, nullptr, 0, nullptr, nullptr, &pdev), S_OK);
    EXPECT_EQ(g_nCopies, c.want) << c.dmCopies;
    host.devobj.pdevOEM = pdev;
    uni->DisablePDEV(host.pdevobj());
  }
  FakeHost noDevmode;
  noDevmode.devobj.pPublicDM = nullptr;
  PDEVOEM pdev = nullptr;
  ASSERT_EQ(uni->EnablePDEV(noDevmode.pdevobj(), nullptr, 0, nullptr, 0, nullptr, 0, nullptr, nullptr, &pdev),
            S_OK);
  EXPECT_EQ(g_nCopies, 32767) << "without a devmode the previous count stays";
  noDevmode.devobj.pdevOEM = pdev;
  uni->DisablePDEV(noDevmode.pdevobj());
  EXPECT_EQ(uni->EnablePDEV(noDevmode.pdevobj(), nullptr, 0, nullptr, 0, nullptr, 0, nullptr, nullptr, nullptr),
            E_POINTER);
}

HPALETTE APIENTRY FakeEngCreatePalette(ULONG mode, ULONG colours, ULONG* table, FLONG r, FLONG g, FLONG b) {
  return (mode == PAL_BGR && colours == 0 && !table && !r && !g && !b) ? reinterpret_cast<HPALETTE>(0x5A)
                                                                        : nullptr;
}

TEST_F(Plugin, EnablePDEVMakesABgrPaletteForTwentyFourBitDevices) {
  FakeHost host;
  GDIINFO gdi{};
  DEVINFO dev{};
  dev.hpalDefault = reinterpret_cast<HPALETTE>(0x11);
  PDEVOEM pdev = nullptr;
  for (ULONG bits : {1u, 24u}) {
    gdi.cBitsPixel = bits;
    SetEngCreatePaletteForTests(bits == 24 ? &FakeEngCreatePalette : nullptr);
    ASSERT_EQ(uni->EnablePDEV(host.pdevobj(), nullptr, 0, nullptr, sizeof(gdi), &gdi, sizeof(dev), &dev,
                              nullptr, &pdev),
              S_OK);
    EXPECT_EQ(static_cast<COemPDEV*>(pdev)->hpalDefault, dev.hpalDefault);
    host.devobj.pdevOEM = pdev;
    uni->DisablePDEV(host.pdevobj());
  }
  EXPECT_EQ(dev.hpalDefault, reinterpret_cast<HPALETTE>(0x5A));
  // Without the graphics engine's entry the host's palette stays.
  SetEngCreatePaletteForTests(nullptr);
  dev.hpalDefault = reinterpret_cast<HPALETTE>(0x11);
  ASSERT_EQ(uni->EnablePDEV(host.pdevobj(), nullptr, 0, nullptr, sizeof(gdi), &gdi, sizeof(dev), &dev, nullptr,
                            &pdev),
            S_OK);
  EXPECT_EQ(dev.hpalDefault, reinterpret_cast<HPALETTE>(0x11));
  host.devobj.pdevOEM = pdev;
  uni->DisablePDEV(host.pdevobj());
}

TEST_F(Plugin, GetImplementedMethodIsExact) {
  for (const char* name : {"CommandCallback", "FilterGraphics", "ImageProcessing", "OutputCharStr",
                           "SetBandSize", "TextOutAsBitmap"}) {
    EXPECT_EQ(uni->GetImplementedMethod(const_cast<PSTR>(name)), S_OK) << name;
  }
  for (const char* name : {"ImageProcessingX", "imageprocessing", "Image", "", "DownloadPattern",
                           "GetPDEVAdjustment"}) {
    EXPECT_EQ(uni->GetImplementedMethod(const_cast<PSTR>(name)), S_FALSE) << name;
  }
  EXPECT_EQ(uni->GetImplementedMethod(nullptr), S_FALSE);
}

TEST_F(Plugin, PublishDriverInterfaceAndFilterGraphics) {
  BYTE bytes[5] = {1, 2, 3, 4, 5};
  EXPECT_EQ(uni->FilterGraphics(nullptr, bytes, 5), E_FAIL) << "no host interface yet";

  HostInterface refusing;
  refusing.refuse = true;
  EXPECT_EQ(uni->PublishDriverInterface(&refusing), E_FAIL);
  EXPECT_EQ(uni->PublishDriverInterface(nullptr), E_FAIL);
  EXPECT_TRUE(Traces().empty());

  HostInterface host;
  EXPECT_EQ(uni->PublishDriverInterface(&host), S_OK);
  EXPECT_EQ(host.refs, 2u);
  EXPECT_EQ(Traces(), std::vector<std::string>{"PublishDriverInterface"});
  EXPECT_EQ(uni->PublishDriverInterface(&refusing), S_OK) << "already held: kept";
  EXPECT_EQ(host.refs, 2u);

  EXPECT_EQ(uni->FilterGraphics(nullptr, bytes, 5), S_OK);
  EXPECT_EQ(host.spooled, std::vector<BYTE>(bytes, bytes + 5));
  host.shortBy = 2;
  EXPECT_EQ(uni->FilterGraphics(nullptr, bytes, 5), S_FALSE);

  EXPECT_EQ(uni->DisableDriver(), S_OK);
  EXPECT_EQ(host.refs, 1u) << "DisableDriver releases the host interface";
  EXPECT_EQ(uni->FilterGraphics(nullptr, bytes, 5), E_FAIL);

  // The last Release lets go of a host interface still held.
  HostInterface later;
  EXPECT_EQ(uni->PublishDriverInterface(&later), S_OK);
  EXPECT_EQ(later.refs, 2u);
  uni->Release();
  uni = nullptr;
  EXPECT_EQ(later.refs, 1u);
}

TEST_F(Plugin, SetBandSizeTracesAndAsksForTheMaximum) {
  DWORD required = 0;
  EXPECT_EQ(uni->SetBandSize(nullptr, 1, 72, 2000, 240, &required), S_OK);
  EXPECT_EQ(required, 240u);
  EXPECT_EQ(Traces(), std::vector<std::string>{"SetBandSize iFormat=1, dwPageWidthBytes=72, "
                                               "dwPageHeight=2000, dwMaxHeight=240, pdwRequiredHeight=0"});
  EXPECT_EQ(uni->SetBandSize(nullptr, 1, 72, 2000, 240, nullptr), E_POINTER);
}

TEST_F(Plugin, UnusedMethodsAnswerNotImplemented) {
  INT result = 5;
  EXPECT_EQ(uni->CommandCallback(nullptr, 1, 0, nullptr, &result), S_OK);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(uni->ResetPDEV(nullptr, nullptr), S_OK);
  EXPECT_EQ(uni->DriverDMS(nullptr, nullptr, 0, nullptr), E_NOTIMPL);
  EXPECT_EQ(uni->Compression(nullptr, nullptr, nullptr, 0, 0, nullptr), E_NOTIMPL);
  EXPECT_EQ(uni->HalftonePattern(nullptr, nullptr, 0, 0, 0, 0, nullptr, 0), E_NOTIMPL);
  EXPECT_EQ(uni->MemoryUsage(nullptr, nullptr), E_NOTIMPL);
  EXPECT_EQ(uni->DownloadFontHeader(nullptr, nullptr, nullptr), E_NOTIMPL);
  EXPECT_EQ(uni->DownloadCharGlyph(nullptr, nullptr, 0, nullptr, nullptr), E_NOTIMPL);
  EXPECT_EQ(uni->TTDownloadMethod(nullptr, nullptr, nullptr), E_NOTIMPL);
  EXPECT_EQ(uni->SendFontCmd(nullptr, nullptr, nullptr), E_NOTIMPL);
  EXPECT_EQ(uni->GetPDEVAdjustment(nullptr, 0, nullptr, 0, nullptr), E_NOTIMPL);
  EXPECT_EQ(uni->WritePrinter(nullptr, nullptr, 0, nullptr), E_NOTIMPL);
  EXPECT_EQ(uni->DownloadPattern(nullptr, nullptr, nullptr, 0), E_NOTIMPL);
  EXPECT_TRUE(Traces().empty());
  EXPECT_EQ(uni->TTYGetInfo(nullptr, 0, nullptr, 0, nullptr), E_NOTIMPL);
  EXPECT_EQ(uni->OutputCharStr(nullptr, nullptr, 0, 0, nullptr), E_NOTIMPL);
  EXPECT_EQ(uni->TextOutAsBitmap(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, 0),
            E_NOTIMPL);
  EXPECT_EQ(Traces(), (std::vector<std::string>{"TTYGetInfo", "OutputCharStr", "TextOutAsBitmap"}));
}

// The header of a black band of `height` rows on the 576-dot line.
BITMAPINFOHEADER BandHeader(LONG height) {
  BITMAPINFOHEADER bih{};
  bih.biWidth = 576;
  bih.biHeight = height;
  bih.biSizeImage = static_cast<DWORD>(576 * height);
  return bih;
}

TEST_F(Plugin, ImageProcessingRunsTheBandPipeline) {
  FakeHost host;
  std::vector<BYTE> rows(576 * 50, 0);
  BITMAPINFOHEADER bih = BandHeader(50);
  IPPARAMS params{};
  params.pHalftoneOption = const_cast<PSTR>("HT_NONE");
  PBYTE result = nullptr;
  EXPECT_EQ(uni->ImageProcessing(host.pdevobj(), rows.data(), &bih, nullptr, 3, &params, &result), S_OK);
  EXPECT_EQ(result, reinterpret_cast<PBYTE>(1));
  ASSERT_EQ(host.writes.size(), 3u);
  EXPECT_EQ(host.writes[2].size(), 155u);
}

// Two jobs rendered at once in one spooler process, one of 2 copies and
// one of 3: each device context's bands come out with its own count, band
// after band interleaved, however the enables were ordered.
TEST_F(Plugin, InterleavedDeviceContextsKeepTheirOwnCopyCounts) {
  FakeHost two, three;
  two.devmode.dmCopies = 2;
  three.devmode.dmCopies = 3;
  PDEVOEM pdevTwo = nullptr, pdevThree = nullptr;
  ASSERT_EQ(uni->EnablePDEV(two.pdevobj(), nullptr, 0, nullptr, 0, nullptr, 0, nullptr, nullptr, &pdevTwo), S_OK);
  ASSERT_EQ(uni->EnablePDEV(three.pdevobj(), nullptr, 0, nullptr, 0, nullptr, 0, nullptr, nullptr, &pdevThree),
            S_OK);
  EXPECT_EQ(g_nCopies, 3) << "the process-wide count follows the most recent enable";
  two.devobj.pdevOEM = pdevTwo;
  three.devobj.pdevOEM = pdevThree;
  std::vector<BYTE> rows(576 * 24, 0);
  BITMAPINFOHEADER bih = BandHeader(24);
  IPPARAMS params{};
  params.bBanding = TRUE;
  PBYTE result = nullptr;
  for (int band = 0; band < 2; ++band) {
    for (FakeHost* host : {&two, &three}) {
      host->writes.clear();
      ASSERT_EQ(uni->ImageProcessing(host->pdevobj(), rows.data(), &bih, nullptr, 3, &params, &result), S_OK);
    }
    // A band is its slice once per copy, with a cut between copies.
    EXPECT_EQ(two.writes.size(), 3u) << "2 copies: slice, cut, slice";
    EXPECT_EQ(three.writes.size(), 5u) << "3 copies: slice, cut, slice, cut, slice";
  }
  uni->DisablePDEV(two.pdevobj());
  uni->DisablePDEV(three.pdevobj());
}

TEST(Trace, FixedLinesFollowTheLevel) {
  Traces();
  Trace(trace_lines::kQueryIUnknown);
  Trace(trace_lines::kQueryRefused);
  Trace(trace_lines::kClassNotAvailable);
  EXPECT_EQ(Traces().size(), 3u) << "level 0 lets every class through";
  g_nTraceLevel = 1;
  Trace(trace_lines::kQueryIUnknown);
  Trace(trace_lines::kQueryRefused);
  g_nTraceLevel = 3;
  Trace(trace_lines::kConvertInvalid);
  g_nTraceLevel = 0;
  EXPECT_EQ(Traces(), std::vector<std::string>{
                          "intrface@144: Warning: COemUni2::QueryInterface NULL. Returning E_NOINTERFACE.\r\n"});
}

TEST(Trace, DbgTraceSendsUpToSevenSixtySevenCharacters) {
  Traces();
  const std::string exact(767, 'x');
  EXPECT_TRUE(DbgTrace("%s", exact.c_str()));
  EXPECT_FALSE(DbgTrace("%s", (exact + "y").c_str()));
  EXPECT_TRUE(DbgTrace("n=%d", 5));
  const auto traces = Traces();
  ASSERT_EQ(traces.size(), 2u) << "a 768-character text is dropped whole";
  EXPECT_EQ(traces[0], exact);
  EXPECT_EQ(traces[1], "n=5");
}

TEST(Trace, ConcurrentTracesKeepTheirOwnTexts) {
  Traces();
  auto worker = [](char c) {
    const std::string text(700, c);
    for (int i = 0; i < 200; ++i) DbgTrace("%s", text.c_str());
  };
  std::thread a(worker, 'a'), b(worker, 'b');
  a.join();
  b.join();
  const auto traces = Traces();
  ASSERT_EQ(traces.size(), 400u);
  for (const std::string& t : traces) {
    ASSERT_EQ(t.size(), 700u);
    ASSERT_EQ(t.find_first_not_of(t[0]), std::string::npos) << "a text mixed with another";
  }
}

}  // namespace
