// win_system.h: the real system behind the installation and the discovery:
// the print spooler, the service manager, the file system, SetupAPI and the
// registry, each call in a thin wrapper over an owned handle.
#ifndef LORVEX_INSTALLER_WIN_SYSTEM_H
#define LORVEX_INSTALLER_WIN_SYSTEM_H

#include <functional>

#include "install_core.h"
#include "maintenance.h"
#include "usb_discovery.h"
#include "win_handles.h"

namespace lorvex {

// The USB printing device-interface class.
constexpr GUID kUsbPrintInterface = {0x28d78fad, 0x5a12, 0x11d1, {0xae, 0x5b, 0x00, 0x00, 0xf8, 0x03, 0xa8, 0xc2}};

class WinInstallSystem : public MaintenanceSystem {
 public:
  // Where the trace lines go besides the debugger channel (the log of
  // /log:), if anywhere.
  std::function<void(const WText&)> traceSink;

  uint16_t NativeArchitecture() override;
  std::optional<WText> PrinterDriverDirectory() override;
  void RemoveFile(const WText& path) override;
  bool CopyPackageFile(const WText& from, const WText& to) override;
  bool FileExists(const WText& path) override;
  std::optional<std::vector<DirectoryEntry>> ListDirectory(const WText& folder) override;
  std::optional<WText> InfDriverStoreLocation(const WText& inf) override;
  std::optional<WText> WindowsDirectory() override;
  std::optional<std::vector<WText>> DriverNames() override;
  bool RegisterDriver(const DriverRegistration& driver) override;
  bool ProbePrinter(const WText& name) override;
  bool CreateQueue(const QueueRecord& queue) override;
  std::optional<std::vector<WText>> PortNames() override;
  std::unique_ptr<SpoolerService> OpenSpooler() override;
  bool MakeDefaultPrinter(const WText& name) override;
  void Sleep(uint32_t milliseconds) override;
  uint32_t LastError() override;
  void SetLastError(uint32_t code) override;
  void DebugOutput(const WText& text) override;

  // Maintenance (win_maintenance.cpp).
  bool IsAdministrator() override;
  std::optional<std::vector<InstalledDriver>> Drivers(const WText& environment) override;
  std::optional<std::vector<InstalledQueue>> Queues() override;
  bool DeleteQueue(const WText& name, bool purge) override;
  bool DeleteDriver(const WText& environment, const WText& name) override;
  std::optional<WText> DriverDirectoryOf(const WText& environment) override;
  bool RemoveAtRestart(const WText& path) override;
  bool SameContents(const WText& a, const WText& b) override;
  bool MoveAside(const WText& from, const WText& to) override;
  bool AddLocalPort(const WText& name) override;
  bool DeleteLocalPort(const WText& name) override;
  std::optional<UninstallEntry> ReadEntry() override;
  bool WriteEntry(const UninstallEntry& entry) override;
  void DeleteEntry() override;
  std::optional<WText> KeepInstaller() override;
  void RemoveKeptInstaller() override;
};

// The Apps & features key of the package, under HKEY_LOCAL_MACHINE.
extern const wchar_t kUninstallKey[];

// The present USB printing interfaces, enumerated once when made.
class WinUsbDeviceSource : public UsbDeviceSource {
 public:
  WinUsbDeviceSource();
  Member DevicePath(uint32_t index, WText* path) override;
  std::unique_ptr<DeviceParameters> OpenKey(const WText& key) override;
  std::string ToAnsi(const WText& text) override;

 private:
  DevInfoSet set_;
};

// Opens a local printer with the installer's defaults (full access, no data
// type, no device mode).
PrinterHandle OpenLocalPrinter(const WText& name);

}  // namespace lorvex

#endif  // LORVEX_INSTALLER_WIN_SYSTEM_H
