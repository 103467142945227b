// win_maintenance.cpp: the real system behind the unattended install and the
// uninstall: the spooler's driver and queue lists, the Local Port monitor,
// the Apps & features entry in the registry and the kept installer.
#include <windows.h>
#include <shlobj.h>
#include <winspool.h>

#include "win_system.h"

namespace lorvex {

const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\LORVEX";

namespace {

// A level's records of an Enum* call: the size first, then the records.
template <typename Call>
std::optional<std::vector<BYTE>> Listing(Call call, DWORD* count) {
  DWORD needed = 0;
  *count = 0;
  call(nullptr, 0, &needed, count);
  std::vector<BYTE> buffer(needed + sizeof(void*), 0);
  if (!call(buffer.data(), needed, &needed, count)) {
    if (needed == 0) return std::vector<BYTE>();
    return std::nullopt;
  }
  return buffer;
}

WText BaseName(const wchar_t* path) {
  if (path == nullptr) return WText();
  const WText text(path);
  const size_t slash = text.find_last_of(L'\\');
  return slash == WText::npos ? text : text.substr(slash + 1);
}

std::optional<WText> KeptInstallerPath() {
  wchar_t folder[MAX_PATH] = {};
  if (SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK) return std::nullopt;
  return WText(folder) + L"\\LORVEX\\Installer.exe";
}

WText FolderOf(const WText& path) { return path.substr(0, path.find_last_of(L'\\')); }

WText RunningProgram() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

bool SamePath(const WText& a, const WText& b) { return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL; }

bool SetText(HKEY key, const wchar_t* name, const WText& value) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// A text value, read whole whatever its length; a value of another type or
// one missing reads as empty.
std::vector<wchar_t> ReadValue(HKEY key, const wchar_t* name, DWORD wantType) {
  DWORD type = 0, bytes = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS || type != wantType)
    return {};
  std::vector<wchar_t> value(bytes / sizeof(wchar_t) + 1, 0);
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &bytes) != ERROR_SUCCESS)
    return {};
  value.resize(bytes / sizeof(wchar_t));
  return value;
}

WText TextOf(const std::vector<wchar_t>& value) {
  return MultiStringTexts(value.data(), value.size()).empty() ? WText()
                                                               : MultiStringTexts(value.data(), value.size()).front();
}

// The Local Port monitor's answer to one command.
bool PortCommand(const wchar_t* command, const WText& port) {
  PRINTER_DEFAULTSW defaults{nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
  PrinterHandle monitor;
  wchar_t name[] = L",XcvMonitor Local Port";
  if (!OpenPrinterW(name, monitor.Put(), &defaults)) return false;
  DWORD needed = 0, status = 0;
  WText data = port;
  if (!XcvDataW(monitor.Get(), command, reinterpret_cast<BYTE*>(data.data()),
                static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)), nullptr, 0, &needed, &status))
    return false;
  if (status != ERROR_SUCCESS) {
    ::SetLastError(status);
    return false;
  }
  return true;
}

}  // namespace

bool WinInstallSystem::IsAdministrator() {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                &administrators))
    return false;
  BOOL member = FALSE;
  // A filtered (not elevated) token holds the group for denying only, which
  // counts as not a member.
  if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
  FreeSid(administrators);
  return member != FALSE;
}

std::optional<std::vector<InstalledDriver>> WinInstallSystem::Drivers(const WText& environment) {
  WText env = environment;
  DWORD count = 0;
  const auto buffer = Listing(
      [&](BYTE* data, DWORD size, DWORD* needed, DWORD* returned) {
        return EnumPrinterDriversW(nullptr, env.data(), 3, data, size, needed, returned) != FALSE;
      },
      &count);
  if (!buffer) return std::nullopt;
  std::vector<InstalledDriver> drivers;
  const auto* info = reinterpret_cast<const DRIVER_INFO_3W*>(buffer->data());
  for (DWORD i = 0; i < count; ++i) {
    InstalledDriver driver;
    driver.name = info[i].pName ? info[i].pName : L"";
    for (const wchar_t* file : {info[i].pDriverPath, info[i].pDataFile, info[i].pConfigFile, info[i].pHelpFile})
      if (file && *file) driver.files.push_back(BaseName(file));
    for (const wchar_t* d = info[i].pDependentFiles; d && *d; d += wcslen(d) + 1) driver.files.push_back(BaseName(d));
    drivers.push_back(driver);
  }
  return drivers;
}

std::optional<std::vector<InstalledQueue>> WinInstallSystem::Queues() {
  DWORD count = 0;
  const auto buffer = Listing(
      [&](BYTE* data, DWORD size, DWORD* needed, DWORD* returned) {
        return EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, data, size, needed, returned) != FALSE;
      },
      &count);
  if (!buffer) return std::nullopt;
  std::vector<InstalledQueue> queues;
  const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer->data());
  for (DWORD i = 0; i < count; ++i) {
    InstalledQueue queue;
    queue.name = info[i].pPrinterName ? info[i].pPrinterName : L"";
    queue.driver = info[i].pDriverName ? info[i].pDriverName : L"";
    queue.port = info[i].pPortName ? info[i].pPortName : L"";
    queue.jobs = info[i].cJobs;
    // Counted from the queue itself where the record does not say.
    if (queue.jobs == 0) {
      if (PrinterHandle printer = OpenLocalPrinter(queue.name)) {
        DWORD needed = 0, jobs = 0;
        EnumJobsW(printer.Get(), 0, 1000, 1, nullptr, 0, &needed, &jobs);
        std::vector<BYTE> list(needed + sizeof(void*), 0);
        if (needed != 0 && EnumJobsW(printer.Get(), 0, 1000, 1, list.data(), needed, &needed, &jobs))
          queue.jobs = jobs;
      }
    }
    queues.push_back(queue);
  }
  return queues;
}

bool WinInstallSystem::DeleteQueue(const WText& name, bool purge) {
  PrinterHandle printer = OpenLocalPrinter(name);
  if (!printer) return false;
  if (purge && !SetPrinterW(printer.Get(), 0, nullptr, PRINTER_CONTROL_PURGE)) return false;
  return DeletePrinter(printer.Get()) != FALSE;
}

bool WinInstallSystem::DeleteDriver(const WText& environment, const WText& name) {
  WText env = environment, driver = name;
  if (DeletePrinterDriverExW(nullptr, env.data(), driver.data(), DPD_DELETE_UNUSED_FILES, 0)) return true;
  // A spooler that deletes no files itself (Wine's) takes only the
  // registration away; the uninstall removes the files after it.
  if (GetLastError() != ERROR_INVALID_PARAMETER) return false;
  return DeletePrinterDriverExW(nullptr, env.data(), driver.data(), 0, 0) != FALSE;
}

std::optional<WText> WinInstallSystem::DriverDirectoryOf(const WText& environment) {
  WText env = environment;
  wchar_t directory[MAX_PATH] = {};
  DWORD needed = 0;
  if (!GetPrinterDriverDirectoryW(nullptr, env.data(), 1, reinterpret_cast<BYTE*>(directory), sizeof directory,
                                  &needed))
    return std::nullopt;
  return WText(directory);
}

bool WinInstallSystem::RemoveAtRestart(const WText& path) {
  return MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

bool WinInstallSystem::SameContents(const WText& a, const WText& b) {
  auto read = [](const WText& path, std::string* bytes) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart > (64 << 20)) return false;
    bytes->resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    return bytes->empty() ||
           (ReadFile(file.Get(), &(*bytes)[0], static_cast<DWORD>(bytes->size()), &got, nullptr) && got == bytes->size());
  };
  std::string first, second;
  return read(a, &first) && read(b, &second) && first == second;
}

bool WinInstallSystem::MoveAside(const WText& from, const WText& to) {
  return MoveFileExW(from.c_str(), to.c_str(), 0) != FALSE;
}

bool WinInstallSystem::AddLocalPort(const WText& name) { return PortCommand(L"AddPort", name); }
bool WinInstallSystem::DeleteLocalPort(const WText& name) { return PortCommand(L"DeletePort", name); }

std::optional<UninstallEntry> WinInstallSystem::ReadEntry() {
  RegKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return std::nullopt;
  UninstallEntry entry;
  entry.displayName = TextOf(ReadValue(key.Get(), L"DisplayName", REG_SZ));
  entry.displayVersion = TextOf(ReadValue(key.Get(), L"DisplayVersion", REG_SZ));
  entry.publisher = TextOf(ReadValue(key.Get(), L"Publisher", REG_SZ));
  entry.displayIcon = TextOf(ReadValue(key.Get(), L"DisplayIcon", REG_SZ));
  entry.uninstallString = TextOf(ReadValue(key.Get(), L"UninstallString", REG_SZ));
  entry.quietUninstallString = TextOf(ReadValue(key.Get(), L"QuietUninstallString", REG_SZ));
  entry.installLocation = TextOf(ReadValue(key.Get(), L"InstallLocation", REG_SZ));
  const std::vector<wchar_t> ports = ReadValue(key.Get(), L"AddedPorts", REG_MULTI_SZ);
  entry.addedPorts = MultiStringTexts(ports.data(), ports.size());
  return entry;
}

bool WinInstallSystem::WriteEntry(const UninstallEntry& entry) {
  RegKey key;
  const LSTATUS created = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                          key.Put(), nullptr);
  if (created != ERROR_SUCCESS) {
    ::SetLastError(static_cast<DWORD>(created));
    return false;
  }
  const std::vector<wchar_t> ports = MultiStringOf(entry.addedPorts);
  const DWORD one = 1;
  const bool ok = SetText(key.Get(), L"DisplayName", entry.displayName) &&
                  SetText(key.Get(), L"DisplayVersion", entry.displayVersion) &&
                  SetText(key.Get(), L"Publisher", entry.publisher) &&
                  SetText(key.Get(), L"DisplayIcon", entry.displayIcon) &&
                  SetText(key.Get(), L"UninstallString", entry.uninstallString) &&
                  SetText(key.Get(), L"QuietUninstallString", entry.quietUninstallString) &&
                  SetText(key.Get(), L"InstallLocation", entry.installLocation) &&
                  RegSetValueExW(key.Get(), L"NoModify", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one),
                                 sizeof one) == ERROR_SUCCESS &&
                  RegSetValueExW(key.Get(), L"NoRepair", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one),
                                 sizeof one) == ERROR_SUCCESS &&
                  RegSetValueExW(key.Get(), L"AddedPorts", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(ports.data()),
                                 static_cast<DWORD>(ports.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
  return ok;
}

void WinInstallSystem::DeleteEntry() { RegDeleteKeyW(HKEY_LOCAL_MACHINE, kUninstallKey); }

std::optional<WText> WinInstallSystem::KeepInstaller() {
  const std::optional<WText> kept = KeptInstallerPath();
  if (!kept) return std::nullopt;
  const WText running = RunningProgram();
  if (SamePath(running, *kept)) return kept;
  CreateDirectoryW(FolderOf(*kept).c_str(), nullptr);
  if (!CopyFileW(running.c_str(), kept->c_str(), FALSE)) return std::nullopt;
  return kept;
}

void WinInstallSystem::RemoveKeptInstaller() {
  const std::optional<WText> kept = KeptInstallerPath();
  if (!kept) return;
  const WText folder = FolderOf(*kept);
  if (SamePath(RunningProgram(), *kept) || !DeleteFileW(kept->c_str())) {
    // A running program cannot be deleted: Windows removes it, then its
    // folder, at the next start.
    MoveFileExW(kept->c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    MoveFileExW(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return;
  }
  RemoveDirectoryW(folder.c_str());
}

}  // namespace lorvex
