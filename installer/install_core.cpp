// install_core.cpp: copying the package, registering the driver, adding the
// queue and restarting the spooler.
#include "install_core.h"

#include <algorithm>

namespace lorvex {

namespace {

constexpr int kDriverListedTries = 5;
constexpr int kQueueOpenTries = 5;
constexpr uint32_t kPollSleepMs = 1000;
constexpr int kServiceWaitTries = 1000;
constexpr uint32_t kServiceSleepMs = 10;
constexpr uint32_t kErrorUnknownPrinterDriver = 1797;
constexpr uint32_t kErrorInvalidPrinterName = 1801;

// Keeps the system's last error across a trace, so that the caller still
// sees the failing call's code.
bool TraceKeepingError(InstallSystem& system, const WChar* format,
                       const std::vector<FormatArg>& args) {
  const uint32_t error = system.LastError();
  const bool sent = DebugLog(system, format, args);
  system.SetLastError(error);
  return sent;
}

bool Contains(const std::vector<WText>& names, const WText& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

bool DebugLog(InstallSystem& system, const WChar* format, const std::vector<FormatArg>& args) {
  const std::optional<WText> line = FormatW(format, args);
  if (!line || line->size() > kTraceChars - 1) return false;
  system.DebugOutput(*line);
  system.DebugOutput(WTXT("\n"));
  return true;
}

bool PrinterExists(InstallSystem& system, const WText& printerName) {
  return system.ProbePrinter(printerName);
}

bool IsDriverInstalled(InstallSystem& system, const WText& driverName) {
  const std::optional<std::vector<WText>> names = system.DriverNames();
  return names && Contains(*names, driverName);
}

namespace {

// Copies `source` into the driver directory as `file`, tracing the copy.
bool CopyIntoDriverDirectory(InstallSystem& system, const WText& source, const WText& file,
                             const std::optional<WText>& directory) {
  if (!directory) {
    // Without the driver directory there is no target: copying to "\FILE"
    // would write to the root of the drive.
    TraceKeepingError(system, WTXT("Copy file from %ws to %ws, %d, errcode:0x%x."),
                      {source, WTXT(""), 0, unsigned(system.LastError())});
    return false;
  }
  const WText target = DriverTargetPath(*directory, file);
  system.RemoveFile(target);
  const bool copied = system.CopyPackageFile(source, target);
  TraceKeepingError(system, WTXT("Copy file from %ws to %ws, %d, errcode:0x%x."),
                    {source, target, copied ? 1 : 0, unsigned(system.LastError())});
  return copied;
}

// A folder as read once: its path and what it holds.
struct Folder {
  WText path;
  std::vector<DirectoryEntry> entries;
};

// The entry of that name in any case (a file or a sub-folder), as a full
// path.
std::optional<WText> FindIn(const Folder& folder, const WText& name, bool wantFolder) {
  for (const DirectoryEntry& entry : folder.entries)
    if (entry.folder == wantFolder && SameFileName(entry.name, name)) return folder.path + WTXT("\\") + entry.name;
  return std::nullopt;
}

// Reads a folder (one that cannot be read holds nothing).
Folder ReadFolder(InstallSystem& system, const WText& path) {
  std::optional<std::vector<DirectoryEntry>> entries = system.ListDirectory(path);
  return Folder{path, entries ? std::move(*entries) : std::vector<DirectoryEntry>()};
}

}  // namespace

bool CopyDriverFile(InstallSystem& system, const WText& sourceDirectory, const WText& file,
                    const WChar* architecture, const std::optional<WText>& directory) {
  return CopyIntoDriverDirectory(system, PackageSourcePath(sourceDirectory, architecture, file), file, directory);
}

std::optional<WText> CoreDriverFolder(InstallSystem& system, uint16_t architecture) {
  if (const std::optional<WText> inf = system.InfDriverStoreLocation(WTXT("ntprint.inf"))) {
    const size_t slash = inf->find_last_of(WChar('\\'));
    if (slash != WText::npos && slash > 0) return inf->substr(0, slash);
  }
  const WChar* token = DriverStoreArchitecture(architecture);
  const std::optional<WText> windows = system.WindowsDirectory();
  if (token == nullptr || !windows) return std::nullopt;
  const WText repository = *windows + WTXT("\\System32\\DriverStore\\FileRepository");
  const WText prefix = WText(WTXT("ntprint.inf_")) + token + WTXT("_");
  const std::optional<std::vector<DirectoryEntry>> entries = system.ListDirectory(repository);
  if (!entries) return std::nullopt;
  // Several versions after updates: the newest.
  const DirectoryEntry* newest = nullptr;
  for (const DirectoryEntry& entry : *entries) {
    if (!entry.folder || !StartsWithFileName(entry.name, prefix)) continue;
    if (newest == nullptr || entry.modified > newest->modified ||
        (entry.modified == newest->modified && entry.name > newest->name))
      newest = &entry;
  }
  if (newest == nullptr) return std::nullopt;
  return repository + WTXT("\\") + newest->name;
}

CopyPlan PlanCopies(InstallSystem& system, const WText& sourceDirectory, uint16_t architectureCode,
                    const std::optional<WText>& driverDirectory) {
  CopyPlan plan;
  const WChar* architecture = ArchitectureDirectory(architectureCode);
  // Windows' own folders, in the order they are searched: found and read
  // once, and only when the package lacks a generic file.
  bool looked = false;
  std::vector<Folder> windowsFolders;
  auto windowsPlaces = [&]() -> const std::vector<Folder>& {
    if (looked) return windowsFolders;
    looked = true;
    if (const std::optional<WText> core = CoreDriverFolder(system, architectureCode)) {
      Folder coreFolder = ReadFolder(system, *core);
      if (const WChar* processor = DriverStoreProcessorFolder(architectureCode))
        if (const std::optional<WText> sub = FindIn(coreFolder, processor, /*wantFolder=*/true))
          windowsFolders.push_back(ReadFolder(system, *sub));
      windowsFolders.push_back(std::move(coreFolder));
    }
    if (driverDirectory) windowsFolders.push_back(ReadFolder(system, *driverDirectory + WTXT("\\3")));
    return windowsFolders;
  };
  auto add = [&](const WChar* file, const WChar* sub) {
    CopyPlan::Item item;
    item.file = file;
    const WText packaged = PackageSourcePath(sourceDirectory, sub, item.file);
    if (!IsGenericFile(item.file) || system.FileExists(packaged)) {
      item.source = packaged;  // the package's own, as it always was
    } else {
      item.fromPackage = false;
      for (const Folder& folder : windowsPlaces())
        if ((item.source = FindIn(folder, item.file, /*wantFolder=*/false))) break;
      if (!item.source && !IsOptionalFile(item.file) && !plan.missing) {
        plan.missing = item.file;
        plan.placesLooked = packaged;
        for (const Folder& folder : windowsPlaces()) plan.placesLooked += WTXT(", ") + folder.path;
      }
    }
    plan.items.push_back(item);
  };
  for (const WChar* file : kArchitectureFiles) add(file, architecture);
  for (const WChar* file : kCommonFiles) add(file, nullptr);
  return plan;
}

void RestartSpooler(InstallSystem& system) {
  std::unique_ptr<SpoolerService> spooler = system.OpenSpooler();
  if (!spooler) return;
  const std::optional<uint32_t> state = spooler->QueryState();
  if (!state || *state != kServiceRunning) return;

  spooler->Stop();
  for (int i = 0; i < kServiceWaitTries; ++i) {
    if (spooler->QueryState() == kServiceStopped) break;
    system.Sleep(kServiceSleepMs);
  }
  bool started = spooler->Start();
  bool locked = !started && system.LastError() == kErrorServiceDatabaseLocked;
  for (int i = 0; i < kServiceWaitTries; ++i) {
    const std::optional<uint32_t> now = spooler->QueryState();
    if (now == kServiceRunning) break;
    // The service database can still be locked just after the stop; the
    // start is tried again within the same wait.
    if (locked && now == kServiceStopped) {
      started = spooler->Start();
      locked = !started && system.LastError() == kErrorServiceDatabaseLocked;
    }
    system.Sleep(kServiceSleepMs);
  }
}

DriverRegistration RegistrationFor(const InstallRequest& request) {
  DriverRegistration driver;
  driver.name = request.driverName;
  driver.driverPath = WTXT("uniDRV.DLL");
  driver.dataFile = request.dataFile ? request.dataFile : WTXT("");
  driver.configFile = WTXT("uniDRVUI.DLL");
  driver.dependentFiles = DependentFileList();
  driver.defaultDataType = WTXT("RAW");
  return driver;
}

int InstallDriverAndQueue(InstallSystem& system, const WText& sourceDirectory,
                          const InstallRequest& request, WText* missingFile) {
  const uint16_t architectureCode = system.NativeArchitecture();
  if (ArchitectureDirectory(architectureCode) == nullptr) {
    system.SetLastError(kErrorNotSupported);
    return 0;
  }

  // The spooler's driver directory, asked once for all thirteen copies.
  const std::optional<WText> directory = system.PrinterDriverDirectory();
  // Every file's source is known before the first copy: a generic file
  // found nowhere stops the installation with nothing changed.
  const CopyPlan plan = PlanCopies(system, sourceDirectory, architectureCode, directory);
  if (plan.missing) {
    DebugLog(system, WTXT("%ws was not found: looked in %ws."), {*plan.missing, plan.placesLooked});
    if (missingFile) *missingFile = *plan.missing;
    system.SetLastError(kErrorFileNotFound);
    return 0;
  }
  bool allCopied = true;
  for (const CopyPlan::Item& item : plan.items) {
    if (!item.source) {
      TraceKeepingError(system, WTXT("%ws was not found in the package or in Windows; the driver does not need it: skipped."),
                        {item.file});
      continue;
    }
    // A package file's source is the package path CopyDriverFile makes.
    allCopied = CopyIntoDriverDirectory(system, *item.source, item.file, directory) && allCopied;
  }

  const bool installed = allCopied && IsDriverInstalled(system, request.driverName);
  if (allCopied && (!installed || request.replaceDriverFiles)) {
    DriverRegistration driver = RegistrationFor(request);
    driver.replaceFiles = installed;
    if (!system.RegisterDriver(driver)) {
      TraceKeepingError(system, WTXT("AddPrinterDriver failed, errcode:%d."),
                        {int(system.LastError())});
      return 0;
    }
    bool listed = installed;
    for (int i = 0; i < kDriverListedTries && !listed; ++i) {
      listed = IsDriverInstalled(system, request.driverName);
      if (!listed) system.Sleep(kPollSleepMs);
    }
    if (!listed) {
      system.SetLastError(kErrorUnknownPrinterDriver);
      return 0;
    }
  }

  if (system.ProbePrinter(request.printerName)) {
    TraceKeepingError(system, WTXT("The printer %ws is already added."), {request.printerName});
    return 1;
  }

  QueueRecord queue;
  queue.printerName = request.printerName;
  queue.portName = request.portName;
  queue.driverName = request.driverName;
  queue.printProcessor = WTXT("WinPrint");
  queue.dataType = WTXT("RAW");
  queue.attributes = kPrinterAttributeLocal;
  std::optional<uint32_t> addError;
  if (!system.CreateQueue(queue)) {
    addError = system.LastError();
    TraceKeepingError(system, WTXT("AddPrinter %s failed, portName: %s, driverName:%s, errcode:%d."),
                      {request.printerName, request.portName, request.driverName, int(*addError)});
  }
  for (int i = 0; i < kQueueOpenTries; ++i) {
    if (system.ProbePrinter(request.printerName)) return 1;
    system.Sleep(kPollSleepMs);
  }
  // The queue never opened: that is a failed installation, whatever was
  // copied. The cause is the refused AddPrinter, else the failing open.
  if (addError) system.SetLastError(*addError);
  return 0;
}

bool SetDefaultPrinter(InstallSystem& system, const WText& printerName) {
  return system.MakeDefaultPrinter(printerName);
}

int InstallPrinter(InstallSystem& system, const WText& sourceDirectory, InstallRequest& request,
                   WText* missingFile) {
  if (request.printerName.empty() || request.printerName.size() >= kCandidateChars) {
    system.SetLastError(kErrorInvalidPrinterName);
    return 0;
  }
  // The model name, then "(Copy 1)" to "(Copy 253)" after it.
  std::optional<WText> free;
  if (!PrinterExists(system, request.printerName)) free = request.printerName;
  for (int n = 1; !free && n <= kLastCopyNumber; ++n) {
    const std::optional<WText> candidate = CopyCandidateName(request.printerName, n);
    if (!candidate) {
      // The numbered name would only fit cut short.
      system.SetLastError(kErrorInvalidPrinterName);
      return 0;
    }
    if (!PrinterExists(system, *candidate)) free = candidate;
  }
  if (!free) {
    system.SetLastError(kErrorPrinterAlreadyExists);
    return 0;
  }
  request.printerName = Bounded(*free, kNameChars);

  const int result = InstallDriverAndQueue(system, sourceDirectory, request, missingFile);
  if (result == 0) return 0;

  RestartSpoolerUnlessPortListed(system, request.portName);
  return result;
}

void RestartSpoolerUnlessPortListed(InstallSystem& system, const WText& portName) {
  const std::optional<std::vector<WText>> ports = system.PortNames();
  if (ports && Contains(*ports, portName)) return;
  RestartSpooler(system);
}

}  // namespace lorvex
