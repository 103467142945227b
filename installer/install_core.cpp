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

bool CopyDriverFile(InstallSystem& system, const WText& sourceDirectory, const WText& file,
                    const WChar* architecture, const std::optional<WText>& directory) {
  const WText source = PackageSourcePath(sourceDirectory, architecture, file);
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

int InstallDriverAndQueue(InstallSystem& system, const WText& sourceDirectory,
                          const InstallRequest& request) {
  const WChar* architecture = ArchitectureDirectory(system.NativeArchitecture());
  if (architecture == nullptr) {
    system.SetLastError(kErrorNotSupported);
    return 0;
  }

  // The spooler's driver directory, asked once for all thirteen copies.
  const std::optional<WText> directory = system.PrinterDriverDirectory();
  bool allCopied = true;
  for (const WChar* file : kArchitectureFiles)
    allCopied = CopyDriverFile(system, sourceDirectory, file, architecture, directory) && allCopied;
  for (const WChar* file : kCommonFiles)
    allCopied = CopyDriverFile(system, sourceDirectory, file, nullptr, directory) && allCopied;

  if (allCopied && !IsDriverInstalled(system, request.driverName)) {
    DriverRegistration driver;
    driver.name = request.driverName;
    driver.driverPath = WTXT("uniDRV.DLL");
    driver.dataFile = request.dataFile ? request.dataFile : WTXT("");
    driver.configFile = WTXT("uniDRVUI.DLL");
    driver.dependentFiles = DependentFileList();
    driver.defaultDataType = WTXT("RAW");
    if (!system.RegisterDriver(driver)) {
      TraceKeepingError(system, WTXT("AddPrinterDriver failed, errcode:%d."),
                        {int(system.LastError())});
      return 0;
    }
    bool listed = false;
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

int InstallPrinter(InstallSystem& system, const WText& sourceDirectory, InstallRequest& request) {
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

  const int result = InstallDriverAndQueue(system, sourceDirectory, request);
  if (result == 0) return 0;

  const std::optional<std::vector<WText>> ports = system.PortNames();
  if (ports && Contains(*ports, request.portName)) return result;
  RestartSpooler(system);
  return result;
}

}  // namespace lorvex
