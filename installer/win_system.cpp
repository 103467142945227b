// win_system.cpp: the installation's and the discovery's system calls.
#include "win_system.h"


#include <vector>

namespace lorvex {

namespace {

constexpr DWORD kDriverDirectoryBytes = 520;
constexpr DWORD kPrinterAllAccess = 0xF000C;
constexpr DWORD kManagerAllAccess = 0xF003F;
constexpr DWORD kServiceAllAccess = 0xF01FF;
constexpr int kSetDefaultPrinterOrdinal = 204;
constexpr int kAnsiBytes = 255;

// SetupAPI's records are packed: the detail record's fixed part (its size
// field and the first path character) is 6 bytes on i386 and 8 on amd64.
#if defined(_WIN64)
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) == 8, "amd64 SetupAPI packing");
#else
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) == 6, "i386 SetupAPI packing");
#endif

// The names in a spooler enumeration of `Info` records: a first call for
// the size, then a zero-filled buffer of that size. Nothing when the size is
// zero or the second call fails.
template <typename Info, typename Enumerate>
std::optional<std::vector<WText>> EnumerateNames(Enumerate enumerate, LPWSTR Info::*name) {
  DWORD needed = 0, count = 0;
  enumerate(nullptr, 0, &needed, &count);
  if (needed == 0) return std::nullopt;
  std::vector<BYTE> buffer(needed, 0);
  if (!enumerate(buffer.data(), needed, &needed, &count)) return std::nullopt;
  std::vector<WText> names;
  const auto* info = reinterpret_cast<const Info*>(buffer.data());
  for (DWORD i = 0; i < count; ++i)
    if (info[i].*name) names.emplace_back(info[i].*name);
  return names;
}

class WinSpoolerService : public SpoolerService {
 public:
  WinSpoolerService(ServiceHandle manager, ServiceHandle service)
      : manager_(std::move(manager)), service_(std::move(service)) {}
  ~WinSpoolerService() override {
    // The service handle is closed before the manager's.
    service_.Reset();
    manager_.Reset();
  }
  std::optional<uint32_t> QueryState() override {
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(service_.Get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                              sizeof status, &needed))
      return std::nullopt;
    return status.dwCurrentState;
  }
  bool Stop() override {
    SERVICE_STATUS status{};
    return ControlService(service_.Get(), SERVICE_CONTROL_STOP, &status) != FALSE;
  }
  bool Start() override { return StartServiceW(service_.Get(), 0, nullptr) != FALSE; }

 private:
  ServiceHandle manager_;
  ServiceHandle service_;
};

class WinDeviceParameters : public DeviceParameters {
 public:
  explicit WinDeviceParameters(RegKey key) : key_(std::move(key)) {}
  std::optional<RegistryValue> Query(const WText& name) override {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key_.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      return std::nullopt;
    RegistryValue value;
    value.type = type;
    value.bytes.assign(size, 0);
    if (size != 0 && RegQueryValueExW(key_.Get(), name.c_str(), nullptr, &type, value.bytes.data(),
                                      &size) != ERROR_SUCCESS)
      return std::nullopt;
    value.bytes.resize(size);
    return value;
  }

 private:
  RegKey key_;
};

}  // namespace

PrinterHandle OpenLocalPrinter(const WText& name) {
  PRINTER_DEFAULTSW defaults{nullptr, nullptr, kPrinterAllAccess};
  PrinterHandle printer;
  if (!OpenPrinterW(const_cast<LPWSTR>(name.c_str()), printer.Put(), &defaults)) printer.Reset();
  return printer;
}

uint16_t WinInstallSystem::NativeArchitecture() {
  SYSTEM_INFO info{};
  GetNativeSystemInfo(&info);
  return info.wProcessorArchitecture;
}

std::optional<WText> WinInstallSystem::PrinterDriverDirectory() {
  BYTE buffer[kDriverDirectoryBytes] = {};
  DWORD needed = 0;
  if (!GetPrinterDriverDirectoryW(nullptr, nullptr, 1, buffer, sizeof buffer, &needed))
    return std::nullopt;
  const WChar* text = reinterpret_cast<const WChar*>(buffer);
  return WText(text, WideLength(text, kDriverDirectoryBytes / sizeof(WChar)));
}

void WinInstallSystem::RemoveFile(const WText& path) { DeleteFileW(path.c_str()); }

namespace {

// The 32-bit installer on 64-bit Windows: System32 is redirected to
// SysWOW64 for it. The driver store and the spooler's folders are exempt
// from Windows 7 on; on Vista-era systems they are not, so redirection is
// off around every file call of the installation (it is a no-op for the
// exempt folders). Both calls are looked up by name: a 32-bit Windows has
// no WOW64 at all.
class FileSystemRedirectionOff {
 public:
  FileSystemRedirectionOff() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    using Disable = BOOL(WINAPI*)(PVOID*);
    using Revert = BOOL(WINAPI*)(PVOID);
    auto disable = kernel ? reinterpret_cast<Disable>(
                                reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")))
                          : nullptr;
    revert_ = kernel ? reinterpret_cast<Revert>(
                           reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64RevertWow64FsRedirection")))
                     : nullptr;
    BOOL wow64 = FALSE;
    off_ = disable && revert_ && IsWow64Process(GetCurrentProcess(), &wow64) && wow64 && disable(&old_);
  }
  ~FileSystemRedirectionOff() {
    if (off_) {
      const DWORD error = GetLastError();
      revert_(old_);
      ::SetLastError(error);
    }
  }
  FileSystemRedirectionOff(const FileSystemRedirectionOff&) = delete;
  FileSystemRedirectionOff& operator=(const FileSystemRedirectionOff&) = delete;

 private:
  BOOL(WINAPI* revert_)(PVOID) = nullptr;
  PVOID old_ = nullptr;
  bool off_ = false;
};

}  // namespace

bool WinInstallSystem::CopyPackageFile(const WText& from, const WText& to) {
  FileSystemRedirectionOff redirection;
  return CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
}

bool WinInstallSystem::FileExists(const WText& path) {
  FileSystemRedirectionOff redirection;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<std::vector<DirectoryEntry>> WinInstallSystem::ListDirectory(const WText& folder) {
  FileSystemRedirectionOff redirection;
  WIN32_FIND_DATAW found{};
  const WText pattern = folder + L"\\*";
  HANDLE find = FindFirstFileW(pattern.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return std::nullopt;
  std::vector<DirectoryEntry> entries;
  do {
    const WText name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    DirectoryEntry entry;
    entry.name = name;
    entry.folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.modified = (uint64_t{found.ftLastWriteTime.dwHighDateTime} << 32) | found.ftLastWriteTime.dwLowDateTime;
    entries.push_back(entry);
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return entries;
}

std::optional<WText> WinInstallSystem::InfDriverStoreLocation(const WText& inf) {
  // Vista and later; looked up by name so that the program still starts
  // where SetupAPI lacks it.
  HMODULE setupapi = GetModuleHandleW(L"setupapi.dll");
  if (setupapi == nullptr) setupapi = LoadLibraryW(L"setupapi.dll");
  using Locate = BOOL(WINAPI*)(PCWSTR, void*, PCWSTR, PWSTR, DWORD, PDWORD);
  auto locate = setupapi ? reinterpret_cast<Locate>(
                               reinterpret_cast<void*>(GetProcAddress(setupapi, "SetupGetInfDriverStoreLocationW")))
                         : nullptr;
  if (locate == nullptr) return std::nullopt;
  WChar path[MAX_PATH] = {};
  DWORD needed = 0;
  if (!locate(inf.c_str(), nullptr, nullptr, path, MAX_PATH, &needed) || path[0] == 0) return std::nullopt;
  return WText(path);
}

std::optional<WText> WinInstallSystem::WindowsDirectory() {
  WChar path[MAX_PATH] = {};
  const UINT n = GetWindowsDirectoryW(path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::nullopt;
  return WText(path, n);
}

std::optional<std::vector<WText>> WinInstallSystem::DriverNames() {
  return EnumerateNames(
      [](BYTE* b, DWORD size, DWORD* needed, DWORD* n) {
        return EnumPrinterDriversW(nullptr, nullptr, 8, b, size, needed, n) != FALSE;
      },
      &DRIVER_INFO_8W::pName);
}

bool WinInstallSystem::RegisterDriver(const DriverRegistration& driver) {
  std::vector<WChar> dependent = driver.dependentFiles;
  WText name = driver.name, path = driver.driverPath, data = driver.dataFile,
        config = driver.configFile, type = driver.defaultDataType;
  DRIVER_INFO_3W info{};
  info.cVersion = driver.version;
  info.pName = name.data();
  info.pDriverPath = path.data();
  info.pDataFile = data.data();
  info.pConfigFile = config.data();
  info.pDependentFiles = dependent.data();
  info.pDefaultDataType = type.data();
  // Over an installed driver the spooler copies every file anew; a file it
  // has loaded is set aside and the new one used from the next job on.
  return AddPrinterDriverExW(nullptr, 3, reinterpret_cast<BYTE*>(&info),
                             driver.replaceFiles ? APD_COPY_ALL_FILES : APD_COPY_NEW_FILES) != FALSE;
}

bool WinInstallSystem::ProbePrinter(const WText& name) {
  PrinterHandle printer = OpenLocalPrinter(name);
  if (!printer) return false;
  // The record is read as the spooler hands it; nothing in it is used.
  DWORD needed = 0;
  GetPrinterW(printer.Get(), 2, nullptr, 0, &needed);
  if (needed != 0) {
    std::vector<BYTE> info(needed, 0);
    GetPrinterW(printer.Get(), 2, info.data(), needed, &needed);
  }
  return true;
}

bool WinInstallSystem::CreateQueue(const QueueRecord& queue) {
  WText name = queue.printerName, port = queue.portName, driver = queue.driverName,
        processor = queue.printProcessor, type = queue.dataType;
  PRINTER_INFO_2W info{};
  info.pPrinterName = name.data();
  info.pPortName = port.data();
  info.pDriverName = driver.data();
  info.pPrintProcessor = processor.data();
  info.pDatatype = type.data();
  info.Attributes = queue.attributes;
  PrinterHandle added(AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&info)));
  return added.Valid();
}

std::optional<std::vector<WText>> WinInstallSystem::PortNames() {
  return EnumerateNames(
      [](BYTE* b, DWORD size, DWORD* needed, DWORD* n) { return EnumPortsW(nullptr, 2, b, size, needed, n) != FALSE; },
      &PORT_INFO_2W::pPortName);
}

std::unique_ptr<SpoolerService> WinInstallSystem::OpenSpooler() {
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, kManagerAllAccess));
  if (!manager) return nullptr;
  ServiceHandle service(OpenServiceW(manager.Get(), L"Spooler", kServiceAllAccess));
  if (!service) return nullptr;
  return std::make_unique<WinSpoolerService>(std::move(manager), std::move(service));
}

bool WinInstallSystem::MakeDefaultPrinter(const WText& name) {
  typedef BOOL(WINAPI * SetDefaultPrinterEntry)(LPCWSTR);
  HMODULE spooler = GetModuleHandleW(L"winspool.drv");
  if (spooler == nullptr) spooler = LoadLibraryW(L"winspool.drv");
  if (spooler == nullptr) return false;
  const auto entry = reinterpret_cast<SetDefaultPrinterEntry>(reinterpret_cast<void (*)()>(
      GetProcAddress(spooler, MAKEINTRESOURCEA(kSetDefaultPrinterOrdinal))));
  return entry != nullptr && entry(name.c_str()) != FALSE;
}

void WinInstallSystem::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }
uint32_t WinInstallSystem::LastError() { return ::GetLastError(); }
void WinInstallSystem::SetLastError(uint32_t code) { ::SetLastError(code); }
void WinInstallSystem::DebugOutput(const WText& text) {
  OutputDebugStringW(text.c_str());
  if (traceSink) traceSink(text);
}

WinUsbDeviceSource::WinUsbDeviceSource()
    : set_(SetupDiGetClassDevsW(&kUsbPrintInterface, nullptr, nullptr,
                                DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)) {}

UsbDeviceSource::Member WinUsbDeviceSource::DevicePath(uint32_t index, WText* path) {
  if (!set_) return Member::kEnd;
  SP_DEVICE_INTERFACE_DATA interfaceData{};
  interfaceData.cbSize = sizeof interfaceData;
  if (!SetupDiEnumDeviceInterfaces(set_.Get(), nullptr, &kUsbPrintInterface, index,
                                   &interfaceData))
    return Member::kEnd;
  SP_DEVINFO_DATA deviceData{};
  deviceData.cbSize = sizeof deviceData;
  DWORD size = 0;
  SetupDiGetDeviceInterfaceDetailW(set_.Get(), &interfaceData, nullptr, 0, &size, &deviceData);
  if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) return Member::kSkip;
  std::vector<BYTE> buffer(size, 0);
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
  if (!SetupDiGetDeviceInterfaceDetailW(set_.Get(), &interfaceData, detail, size, &size, &deviceData))
    return Member::kSkip;
  const size_t maxChars = (buffer.size() - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)) /
                          sizeof(WChar);
  *path = WText(detail->DevicePath, WideLength(detail->DevicePath, maxChars));
  return Member::kFound;
}

std::unique_ptr<DeviceParameters> WinUsbDeviceSource::OpenKey(const WText& key) {
  RegKey opened;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, opened.Put()) != ERROR_SUCCESS)
    return nullptr;
  return std::make_unique<WinDeviceParameters>(std::move(opened));
}

std::string WinUsbDeviceSource::ToAnsi(const WText& text) {
  char bytes[kAnsiBytes] = {};
  const WText cut = Bounded(text, kAnsiBytes + 1);
  if (WideCharToMultiByte(CP_ACP, 0, cut.c_str(), -1, bytes, sizeof bytes, nullptr, nullptr) == 0)
    return std::string();
  return std::string(bytes, strnlen(bytes, sizeof bytes));
}

}  // namespace lorvex
