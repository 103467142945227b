// Fuzzes DevMode and ConvertOEMDevmode with arbitrary records and modes:
// whatever the sizes and signatures say, nothing is read or written past the
// 16-byte records, and the output is always a valid private devmode.
#include <cstdlib>
#include <cstring>

#include "fuzz_input.h"
#include "oem_plugin.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  static COemUni2* uni = [] {
    void* p = nullptr;
    IClassFactory* cf = nullptr;
    DllGetClassObject(CLSID_OEMRENDER, IID_IClassFactory, &p);
    cf = static_cast<IClassFactory*>(p);
    cf->CreateInstance(nullptr, IID_IPrintOemUni3, &p);
    cf->Release();
    return static_cast<COemUni2*>(static_cast<IPrintOemUni3*>(p));
  }();

  // Exactly-sized heap records, so a stray byte shows under ASan.
  OemDevmode* recIn = static_cast<OemDevmode*>(std::malloc(sizeof(OemDevmode)));
  OemDevmode* recOut = static_cast<OemDevmode*>(std::malloc(sizeof(OemDevmode)));
  const bool sameSignature = in.Flag();
  recIn->dwSize = in.Word();
  recIn->dwSignature = sameSignature ? kDevmodeSignature : in.Word();
  recIn->dwVersion = in.Word();
  recIn->dwPrivateData = in.Word();
  recOut->dwSize = in.Word();
  recOut->dwSignature = in.Flag() ? kDevmodeSignature : in.Word();
  recOut->dwVersion = in.Word();
  recOut->dwPrivateData = in.Word();

  OEMDMPARAM param{};
  param.cbSize = sizeof(param);
  param.pOEMDMIn = in.Flag() ? recIn : nullptr;
  param.pOEMDMOut = in.Flag() ? recOut : nullptr;
  const DWORD mode = in.Byte() % 7;
  const HRESULT hr = uni->DevMode(mode, in.Flag() ? &param : nullptr);
  const bool written = mode == 2 || mode == 4 || (mode == 3 && param.pOEMDMIn);
  if (hr == S_OK && written && param.pOEMDMOut) {
    const OemDevmode& out = *recOut;
    if (out.dwSize != 16 || out.dwVersion != 1) std::abort();
    // A conversion between two records of one foreign signature keeps it.
    if (mode != 3 && (out.dwSignature != kDevmodeSignature || out.dwPrivateData != 0)) std::abort();
  }
  ConvertOEMDevmode(in.Flag() ? recIn : nullptr, in.Flag() ? recOut : nullptr);
  std::free(recIn);
  std::free(recOut);
  lxplatform::TakeDebugMessages();  // the sink keeps every trace otherwise
  return 0;
}
