// lxwin.h: the Windows types and services the plug-in uses.
//
// Windows builds take them from the platform's own headers. The native Linux
// build gets the few it needs from here, with the same sizes and meanings:
// scalar types, HRESULT codes, the local heap, the thread's last error, the
// debugger channel (kept in memory so tests can read it) and interlocked
// counters.
#ifndef LORVEX_PLATFORM_LXWIN_H
#define LORVEX_PLATFORM_LXWIN_H

#include "lxtypes.h"

#if defined(_WIN32)
#include <windows.h>
#else

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#define WINAPI
#define APIENTRY
#define STDMETHODCALLTYPE

typedef int BOOL;
typedef int32_t HRESULT;
typedef uint32_t ULONG;
typedef uint16_t USHORT;
typedef int INT;
typedef unsigned int UINT;
typedef uint64_t ULONGLONG;
typedef int16_t SHORT;
typedef uint16_t WCHAR;
typedef void* PVOID;
typedef void* LPVOID;
typedef void* HANDLE;
typedef void* HMODULE;
typedef void* HLOCAL;
typedef struct HPALETTE__* HPALETTE;
typedef BYTE* PBYTE;
typedef char* PSTR;
typedef const char* PCSTR;
typedef const char* LPCSTR;
typedef const WCHAR* LPCWSTR;
typedef WCHAR* LPWSTR;
typedef WCHAR* PWSTR;
typedef WCHAR* LPOLESTR;
typedef DWORD* PDWORD;
typedef BITMAPINFOHEADER* PBITMAPINFOHEADER;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

typedef struct tagPOINT {
  LONG x;
  LONG y;
} POINT, POINTL;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)

constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;

constexpr UINT LMEM_FIXED = 0x0000;
constexpr UINT LMEM_ZEROINIT = 0x0040;
constexpr UINT LPTR = LMEM_FIXED | LMEM_ZEROINIT;

constexpr short DMORIENT_PORTRAIT = 1;
constexpr short DMORIENT_LANDSCAPE = 2;

// The public devmode, with the Windows layout (220 bytes) of its printer form.
typedef struct _devicemodeW {
  WCHAR dmDeviceName[32];
  WORD dmSpecVersion;
  WORD dmDriverVersion;
  WORD dmSize;
  WORD dmDriverExtra;
  DWORD dmFields;
  short dmOrientation;
  short dmPaperSize;
  short dmPaperLength;
  short dmPaperWidth;
  short dmScale;
  short dmCopies;
  short dmDefaultSource;
  short dmPrintQuality;
  short dmColor;
  short dmDuplex;
  short dmYResolution;
  short dmTTOption;
  short dmCollate;
  WCHAR dmFormName[32];
  WORD dmLogPixels;
  DWORD dmBitsPerPel;
  DWORD dmPelsWidth;
  DWORD dmPelsHeight;
  DWORD dmNup;
  DWORD dmDisplayFrequency;
  DWORD dmICMMethod;
  DWORD dmICMIntent;
  DWORD dmMediaType;
  DWORD dmDitherType;
  DWORD dmReserved1;
  DWORD dmReserved2;
  DWORD dmPanningWidth;
  DWORD dmPanningHeight;
} DEVMODEW, *PDEVMODEW;
static_assert(sizeof(DEVMODEW) == 220, "DEVMODEW keeps the Windows layout");

// The local heap: calloc and free, with a failure hook for tests.
HLOCAL LocalAlloc(UINT flags, size_t bytes);
HLOCAL LocalFree(HLOCAL mem);

void SetLastError(DWORD code);
DWORD GetLastError();

// The debugger channel: every message is kept, whole and in order.
void OutputDebugStringA(LPCSTR text);
void OutputDebugStringW(LPCWSTR text);

LONG InterlockedIncrement(LONG volatile* value);
LONG InterlockedDecrement(LONG volatile* value);

#endif  // _WIN32

// Test services of the native platform layer (no-ops on Windows).
namespace lxplatform {
// Makes the n-th next LocalAlloc on this thread fail; negative disarms.
void FailLocalAllocAfter(int count);
#if !defined(_WIN32)
// What the debugger channel has received since the last call, and clears it.
// Wide messages come back converted to UTF-8 with a "W:" mark in front.
std::vector<std::string> TakeDebugMessages();
#endif
}  // namespace lxplatform

#endif  // LORVEX_PLATFORM_LXWIN_H
