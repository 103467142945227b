// lxcom.h: the COM types the plug-in uses.
//
// Windows builds take them from the platform's headers. The native build gets
// the few it needs here: GUIDs, IUnknown and IClassFactory with the same
// slot order, StringFromIID and the task allocator's free.
#ifndef LORVEX_PLATFORM_LXCOM_H
#define LORVEX_PLATFORM_LXCOM_H

#include "lxwin.h"

#if defined(_WIN32)
#include <objbase.h>
#include <unknwn.h>
#else

#include <cstring>

typedef struct _GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
} GUID, IID, CLSID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;

inline bool IsEqualGUID(REFGUID a, REFGUID b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool IsEqualIID(REFIID a, REFIID b) { return IsEqualGUID(a, b); }
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) { return IsEqualGUID(a, b); }
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }

struct IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;
};
typedef IUnknown* LPUNKNOWN;

struct IClassFactory : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) = 0;
  virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) = 0;
};

extern const IID IID_IUnknown;
extern const IID IID_IClassFactory;

// The registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case, in
// memory from CoTaskMemAlloc.
HRESULT StringFromIID(REFIID rclsid, LPOLESTR* lplpsz);
void* CoTaskMemAlloc(size_t cb);
void CoTaskMemFree(void* pv);

#endif  // _WIN32

#endif  // LORVEX_PLATFORM_LXCOM_H
