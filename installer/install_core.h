// install_core.h: installing the driver package and one printer queue.
//
// The steps are plain functions over an InstallSystem, the thin face of the
// spooler, the service manager, the file system and the debugger channel.
// The Windows program hands them the real system (win_system.h); tests hand
// them a fake one or, under Wine, the real one again.
#ifndef LORVEX_INSTALLER_INSTALL_CORE_H
#define LORVEX_INSTALLER_INSTALL_CORE_H

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "install_rules.h"
#include "wtext.h"

// winspool.h maps SetDefaultPrinter to its A/W forms; ours is a function of
// its own.
#ifdef SetDefaultPrinter
#undef SetDefaultPrinter
#endif

namespace lorvex {

// One installation, filled by the dialog. The printer name is replaced by the
// free name the installation settles on.
struct InstallRequest {
  WText driverName;
  WText printerName;
  WText portName;
  const WChar* dataFile = nullptr;     // the model's printer description
  const WChar* resourceDll = nullptr;  // carried along, not used here
  uint16_t usb = 0;                    // 1 when the port came from discovery
  // The driver is registered again when it is already installed, so that
  // the spooler replaces its files (the unattended install's upgrade).
  bool replaceDriverFiles = false;
};

// The level-3 driver record the installation registers.
struct DriverRegistration {
  uint32_t version = 3;
  WText name;
  WText driverPath;            // "uniDRV.DLL"
  WText dataFile;
  WText configFile;            // "uniDRVUI.DLL"
  std::vector<WChar> dependentFiles;
  WText defaultDataType;       // "RAW"
  // Registered over an installed driver of that name: the spooler copies
  // every file anew, also over files it has loaded.
  bool replaceFiles = false;
};

// The level-2 printer record of the new queue.
struct QueueRecord {
  WText printerName;
  WText portName;
  WText driverName;
  WText printProcessor;        // "WinPrint"
  WText dataType;              // "RAW"
  uint32_t attributes = 0;     // PRINTER_ATTRIBUTE_LOCAL
};

constexpr uint32_t kPrinterAttributeLocal = 0x40;
constexpr uint32_t kServiceStopped = 1;
constexpr uint32_t kServiceRunning = 4;
constexpr uint32_t kErrorPrinterAlreadyExists = 1802;
constexpr uint32_t kErrorServiceDatabaseLocked = 1055;
constexpr uint32_t kErrorNotSupported = 50;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorFileNotFound = 2;

// One entry of a folder: a file or a sub-folder, with its last write time
// (any monotonic scale; only compared).
struct DirectoryEntry {
  WText name;
  bool folder = false;
  uint64_t modified = 0;
};

// The print spooler service, opened with all access; closed when destroyed.
class SpoolerService {
 public:
  virtual ~SpoolerService() = default;
  // The current state (kServiceStopped, kServiceRunning, ...), or nothing.
  virtual std::optional<uint32_t> QueryState() = 0;
  virtual bool Stop() = 0;
  virtual bool Start() = 0;
};

// What the installation asks of the system. Every failing call leaves its
// cause in LastError(), as the system's own calls do.
class InstallSystem {
 public:
  virtual ~InstallSystem() = default;
  virtual uint16_t NativeArchitecture() = 0;
  // The local printer-driver directory of the spooler's default environment.
  virtual std::optional<WText> PrinterDriverDirectory() = 0;
  virtual void RemoveFile(const WText& path) = 0;
  virtual bool FileExists(const WText& path) = 0;
  // What a folder holds, or nothing when it cannot be read.
  virtual std::optional<std::vector<DirectoryEntry>> ListDirectory(const WText& folder) = 0;
  // Where SetupAPI says an inf of the driver store lies (the inf's full
  // path), or nothing where it cannot say.
  virtual std::optional<WText> InfDriverStoreLocation(const WText& inf) = 0;
  // %SystemRoot%, or nothing.
  virtual std::optional<WText> WindowsDirectory() = 0;
  // Copies, overwriting the target.
  virtual bool CopyPackageFile(const WText& from, const WText& to) = 0;
  // The names of the installed drivers (level 8), or nothing when they
  // cannot be listed.
  virtual std::optional<std::vector<WText>> DriverNames() = 0;
  virtual bool RegisterDriver(const DriverRegistration& driver) = 0;
  // Opens the local printer with full access, reads its level-2 record and
  // closes it again; true when it opened.
  virtual bool ProbePrinter(const WText& name) = 0;
  virtual bool CreateQueue(const QueueRecord& queue) = 0;
  // The names of the local ports (level 2), or nothing.
  virtual std::optional<std::vector<WText>> PortNames() = 0;
  // The "Spooler" service, or null when the service manager or the service
  // cannot be opened.
  virtual std::unique_ptr<SpoolerService> OpenSpooler() = 0;
  // The spooler's set-default-printer entry (ordinal 204 of WINSPOOL.DRV).
  virtual bool MakeDefaultPrinter(const WText& name) = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
  virtual uint32_t LastError() = 0;
  virtual void SetLastError(uint32_t code) = 0;
  // One message on the debugger channel.
  virtual void DebugOutput(const WText& text) = 0;
};

// Formats one trace line into a 768-character buffer and sends it, then a
// line feed on its own. A line that cannot be formatted or would not fit
// (more than 767 characters) is not sent at all. Answers whether it was sent.
bool DebugLog(InstallSystem& system, const WChar* format, const std::vector<FormatArg>& args);

// The spooler knows the printer.
bool PrinterExists(InstallSystem& system, const WText& printerName);
// The driver of exactly that name (case-sensitive) is registered.
bool IsDriverInstalled(InstallSystem& system, const WText& driverName);
// The folder of Windows' own core printer driver package (ntprint.inf) for
// `architecture`: where SetupAPI says it is, else the newest
// "%SystemRoot%\System32\DriverStore\FileRepository\ntprint.inf_<arch>_*"
// folder. Nothing when there is none.
std::optional<WText> CoreDriverFolder(InstallSystem& system, uint16_t architecture);

// Where each file the package copies comes from: a generic file the package
// does not carry is taken from Windows' own printer drivers, else from an
// installed driver's copies in the driver directory's "3" folder; null
// source for an optional file found nowhere (skipped). `missing` names the
// first required file found nowhere; then the plan is not to be carried out.
struct CopyPlan {
  struct Item {
    WText file;
    std::optional<WText> source;          // the path to copy from
    bool fromPackage = true;
  };
  std::vector<Item> items;
  std::optional<WText> missing;
  WText placesLooked;  // for the trace line of the missing file
};
CopyPlan PlanCopies(InstallSystem& system, const WText& sourceDirectory, uint16_t architectureCode,
                    const std::optional<WText>& driverDirectory);

// Copies one package file into the spooler's driver directory (nothing
// when the spooler named none); `architecture` null for a common file.
// Answers the copy's result; traces the paths and the error.
bool CopyDriverFile(InstallSystem& system, const WText& sourceDirectory, const WText& file,
                    const WChar* architecture, const std::optional<WText>& driverDirectory);
// Stops the running spooler and starts it again, waiting up to 10 s for
// each; leaves a spooler that is not running alone.
void RestartSpooler(InstallSystem& system);
// The driver record of a request.
DriverRegistration RegistrationFor(const InstallRequest& request);

// Copies the package, registers the driver and adds the queue. Nonzero when
// the queue opens (or already existed); zero with the failing call's last
// error otherwise.
// A required generic file found nowhere fails it before anything is copied
// or registered, with ERROR_FILE_NOT_FOUND and the file's name in
// `missingFile`.
int InstallDriverAndQueue(InstallSystem& system, const WText& sourceDirectory,
                          const InstallRequest& request, WText* missingFile = nullptr);
// Makes the printer the default through the spooler's set-default entry;
// the dialog does not look at the result.
bool SetDefaultPrinter(InstallSystem& system, const WText& printerName);

// The whole installation: settles on a free printer name (written back into
// the request), installs, and restarts the spooler when the request's port is
// not among the spooler's ports. Nonzero on success; zero with the cause in
// the system's last error, in which case nothing but copied files may have
// changed.
int InstallPrinter(InstallSystem& system, const WText& sourceDirectory, InstallRequest& request,
                   WText* missingFile = nullptr);

// Restarts the spooler unless it lists the port (so that it picks up a USB
// port the system made since it started).
void RestartSpoolerUnlessPortListed(InstallSystem& system, const WText& portName);

}  // namespace lorvex

#endif  // LORVEX_INSTALLER_INSTALL_CORE_H
