// lxcom_linux.cpp: the native build's GUIDs, StringFromIID and task memory.
#include "lxcom.h"

#if !defined(_WIN32)

#include <cstdio>
#include <cstdlib>

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000,
                               {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

void* CoTaskMemAlloc(size_t cb) { return std::malloc(cb ? cb : 1); }
void CoTaskMemFree(void* pv) { std::free(pv); }

HRESULT StringFromIID(REFIID id, LPOLESTR* out) {
  if (!out) return E_POINTER;
  char text[40];
  std::snprintf(text, sizeof(text), "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(id.Data1), id.Data2, id.Data3, id.Data4[0], id.Data4[1],
                id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
  WCHAR* wide = static_cast<WCHAR*>(CoTaskMemAlloc(sizeof(WCHAR) * 39));
  if (!wide) return E_OUTOFMEMORY;
  for (int i = 0; i < 39; ++i) wide[i] = static_cast<WCHAR>(text[i]);
  *out = wide;
  return S_OK;
}

#endif  // _WIN32
