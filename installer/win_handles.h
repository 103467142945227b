// win_handles.h: owners for the Windows handles the installer opens, so that
// no early return leaks one. Each closes its handle with the call that
// belongs to it, once.
#ifndef LORVEX_INSTALLER_WIN_HANDLES_H
#define LORVEX_INSTALLER_WIN_HANDLES_H

#include <windows.h>
#include <setupapi.h>
#include <winspool.h>

#include <utility>

// The installer's own SetDefaultPrinter and file helpers carry the names the
// headers' A/W macros would otherwise rename.
#undef SetDefaultPrinter

namespace lorvex {

template <typename Handle, typename Traits>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(Handle h) : h_(h) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : h_(std::exchange(other.h_, Traits::Invalid())) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.h_, Traits::Invalid()));
    return *this;
  }
  ~UniqueHandle() { Reset(); }

  Handle Get() const { return h_; }
  bool Valid() const { return h_ != Traits::Invalid(); }
  explicit operator bool() const { return Valid(); }
  // For calls that hand a handle back through a pointer.
  Handle* Put() {
    Reset();
    return &h_;
  }
  void Reset(Handle h = Traits::Invalid()) {
    if (Valid()) Traits::Close(h_);
    h_ = h;
  }

 private:
  Handle h_ = Traits::Invalid();
};

struct PrinterTraits {
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE h) { ClosePrinter(h); }
};
struct ServiceTraits {
  static SC_HANDLE Invalid() { return nullptr; }
  static void Close(SC_HANDLE h) { CloseServiceHandle(h); }
};
struct RegKeyTraits {
  static HKEY Invalid() { return nullptr; }
  static void Close(HKEY h) { RegCloseKey(h); }
};
struct DevInfoTraits {
  static HDEVINFO Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HDEVINFO h) { SetupDiDestroyDeviceInfoList(h); }
};
struct FileTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct KernelTraits {  // process and thread handles
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct GdiTraits {
  static HGDIOBJ Invalid() { return nullptr; }
  static void Close(HGDIOBJ h) { DeleteObject(h); }
};
struct DcTraits {
  static HDC Invalid() { return nullptr; }
  static void Close(HDC h) { DeleteDC(h); }
};

using PrinterHandle = UniqueHandle<HANDLE, PrinterTraits>;
using ServiceHandle = UniqueHandle<SC_HANDLE, ServiceTraits>;
using RegKey = UniqueHandle<HKEY, RegKeyTraits>;
using DevInfoSet = UniqueHandle<HDEVINFO, DevInfoTraits>;
using FileHandle = UniqueHandle<HANDLE, FileTraits>;
using KernelHandle = UniqueHandle<HANDLE, KernelTraits>;
using GdiObject = UniqueHandle<HGDIOBJ, GdiTraits>;
using DeviceContext = UniqueHandle<HDC, DcTraits>;

}  // namespace lorvex

#endif  // LORVEX_INSTALLER_WIN_HANDLES_H
