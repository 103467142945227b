// maintenance.cpp: the unattended install, the Apps & features entry and the
// uninstall, over the system interface.
#include "maintenance.h"

#include <algorithm>

#include "dialog_rules.h"
#include "install_rules.h"

namespace lorvex {

const WChar* const kDriverEnvironments[4] = {WTXT("Windows NT x86"), WTXT("Windows x64"),
                                             WTXT("Windows ARM64"), WTXT("Windows ARM")};

namespace {

constexpr uint32_t kErrorUnknownPrinterDriver = 1797;
const WChar kPlugin[] = WTXT("LORVEX.DLL");

Outcome Say(ExitCode code, int message, std::vector<MessageArg> args = {}) {
  return Outcome{code, message, std::move(args)};
}

bool HasFile(const std::vector<WText>& files, const WText& name) {
  return std::any_of(files.begin(), files.end(), [&](const WText& f) { return SameFileName(f, name); });
}

bool IsUsbPort(const WText& port) {
  if (port.size() < 4 || !StartsWithFileName(port, WTXT("USB"))) return false;
  return std::all_of(port.begin() + 3, port.end(), [](WChar c) { return c >= WChar('0') && c <= WChar('9'); });
}

// The installation's failures, as the dialog words them.
Outcome InstallFailure(MaintenanceSystem& system, const WText& missingFile) {
  if (!missingFile.empty()) return Say(kExitMissingFile, ids::kGenericFileMissing, {missingFile});
  const uint32_t error = system.LastError();
  if (error == 5) return Say(kExitNotAdministrator, ids::kNotAdministrator);  // ERROR_ACCESS_DENIED
  return Say(kExitSpoolerRefused, ids::kInstallFailed, {error});
}

}  // namespace

std::optional<WText> OutcomeText(const WText& format, const Outcome& outcome) {
  std::vector<FormatArg> args;
  for (const MessageArg& arg : outcome.args) {
    if (arg.isText) args.emplace_back(arg.text);
    else args.emplace_back(unsigned(arg.number));
  }
  return FormatW(format.c_str(), args);
}

std::vector<WText> MultiStringTexts(const WChar* data, size_t chars) {
  std::vector<WText> texts;
  WText text;
  for (size_t i = 0; i < chars; ++i) {
    if (data[i] != 0) {
      text += data[i];
      continue;
    }
    if (text.empty()) break;  // the list's end
    texts.push_back(text);
    text.clear();
  }
  if (!text.empty()) texts.push_back(text);
  return texts;
}

std::vector<WChar> MultiStringOf(const std::vector<WText>& texts) {
  std::vector<WChar> value;
  for (const WText& text : texts) {
    if (text.empty()) continue;
    value.insert(value.end(), text.begin(), text.end());
    value.push_back(0);
  }
  value.push_back(0);
  return value;
}

UninstallEntry EntryFor(const WText& kept, const WText& version, std::vector<WText> addedPorts) {
  UninstallEntry entry;
  entry.displayName = WTXT("LORVEX receipt printer driver (RVT-520)");
  entry.displayVersion = version;
  entry.publisher = WTXT("LORVEX");
  entry.displayIcon = kept + WTXT(",0");
  entry.uninstallString = WTXT("\"") + kept + WTXT("\" /uninstall");
  entry.quietUninstallString = entry.uninstallString + WTXT(" /quiet");
  const size_t slash = kept.find_last_of(WChar('\\'));
  entry.installLocation = slash == WText::npos ? WText() : kept.substr(0, slash);
  entry.addedPorts = std::move(addedPorts);
  return entry;
}

bool RegisterUninstallEntry(MaintenanceSystem& system, const WText& version,
                            const std::vector<WText>& newlyAddedPorts) {
  std::vector<WText> ports;
  if (const std::optional<UninstallEntry> earlier = system.ReadEntry()) ports = earlier->addedPorts;
  for (const WText& port : newlyAddedPorts)
    if (std::find(ports.begin(), ports.end(), port) == ports.end()) ports.push_back(port);
  const std::optional<WText> kept = system.KeepInstaller();
  if (!kept) return false;
  return system.WriteEntry(EntryFor(*kept, version, ports));
}

namespace {

// Where an upgrade sets a loaded file aside: "LORVEX.DLL.old1", ...
WText SetAsideName(const WText& path, int n) { return FormatW(WTXT("%ws.old%d"), {path, n}).value_or(path); }

std::vector<WText> PackageFiles() {
  std::vector<WText> files(std::begin(kArchitectureFiles), std::end(kArchitectureFiles));
  files.insert(files.end(), std::begin(kCommonFiles), std::end(kCommonFiles));
  return files;
}

// The spooler's copy of each package file that differs from the one just
// copied into the driver directory.
std::vector<WText> StaleDriverFiles(MaintenanceSystem& system, const WText& directory) {
  std::vector<WText> stale;
  for (const WText& file : PackageFiles()) {
    const WText fresh = DriverTargetPath(directory, file);
    const WText used = DriverTargetPath(directory + WTXT("\\3"), file);
    if (system.FileExists(fresh) && system.FileExists(used) && !system.SameContents(fresh, used)) stale.push_back(used);
  }
  return stale;
}

}  // namespace

bool ReplaceLoadedDriverFiles(MaintenanceSystem& system, const InstallRequest& request) {
  const std::optional<WText> directory = system.PrinterDriverDirectory();
  if (!directory) return true;  // nothing was copied either
  const std::vector<WText> stale = StaleDriverFiles(system, *directory);
  if (stale.empty()) return true;
  for (const WText& used : stale) {
    // A name no earlier upgrade took.
    WText aside;
    for (int n = 1; n < 1000; ++n) {
      aside = SetAsideName(used, n);
      if (!system.FileExists(aside)) break;
    }
    if (!system.MoveAside(used, aside)) {
      DebugLog(system, WTXT("%ws is in use and cannot be set aside, errcode:0x%x."), {used, unsigned(system.LastError())});
      continue;
    }
    system.RemoveAtRestart(aside);
    DebugLog(system, WTXT("%ws was in use: set aside as %ws, removed at the next restart."), {used, aside});
  }
  DriverRegistration driver = RegistrationFor(request);
  driver.replaceFiles = true;
  if (!system.RegisterDriver(driver)) return false;
  if (!StaleDriverFiles(system, *directory).empty()) {
    system.SetLastError(32);  // ERROR_SHARING_VIOLATION
    return false;
  }
  return true;
}

Outcome QuietInstall(MaintenanceSystem& system, const PackageInfo& package, const Command& command,
                     const UsbPrinterList& usbPrinters) {
  if (!system.IsAdministrator()) return Say(kExitNotAdministrator, ids::kNotAdministrator);

  // The model the first USB printer's description names, else the first
  // (today the only) model there is.
  const UsbPrinterEntry* usb = usbPrinters.Head();
  std::optional<int> slot = usb ? PreselectModelSlot(usb->portDescription) : std::nullopt;
  for (int i = 0; i < kModelSlots && !slot; ++i)
    if (ModelTable[i].modelName != nullptr) slot = i;
  if (!slot) return Say(kExitSpoolerRefused, ids::kSelectPrinter);

  InstallRequest request;
  request.driverName = Bounded(ModelTable[*slot].modelName, kNameChars);
  request.printerName = command.queueName ? *command.queueName : request.driverName;
  request.dataFile = ModelTable[*slot].dataFile;
  request.resourceDll = ModelTable[*slot].resourceDll;
  request.replaceDriverFiles = true;
  if (command.port) {
    request.portName = *command.port;
  } else if (usb != nullptr) {
    request.portName = usb->portName;
    request.usb = usb->flag;
  } else {
    return Say(kExitNoPort, ids::kNoPortQuiet);
  }

  const bool existed = PrinterExists(system, request.printerName);
  // A named port the spooler does not list is made a local port (a COM
  // port, a file); USB ports are the USB monitor's, listed once the spooler
  // restarts.
  std::vector<WText> addedPorts;
  const std::optional<std::vector<WText>> ports = system.PortNames();
  const bool listed = ports && std::find(ports->begin(), ports->end(), request.portName) != ports->end();
  if (!existed && !listed && !IsUsbPort(request.portName)) {
    if (!system.AddLocalPort(request.portName))
      return Say(kExitSpoolerRefused, ids::kPortRefused, {request.portName, system.LastError()});
    addedPorts.push_back(request.portName);
  }

  WText missingFile;
  if (InstallDriverAndQueue(system, package.sourceDirectory, request, &missingFile) == 0) {
    const Outcome failure = InstallFailure(system, missingFile);
    for (const WText& port : addedPorts) system.DeleteLocalPort(port);  // nothing changed
    return failure;
  }
  if (!ReplaceLoadedDriverFiles(system, request))
    return Say(kExitSpoolerRefused, ids::kInstallFailed, {system.LastError()});
  if (!existed) RestartSpoolerUnlessPortListed(system, request.portName);

  if (command.makeDefault && !SetDefaultPrinter(system, request.printerName))
    return Say(kExitSpoolerRefused, ids::kDefaultRefused, {request.printerName, system.LastError()});
  if (!RegisterUninstallEntry(system, package.version, addedPorts))
    return Say(kExitSpoolerRefused, ids::kEntryRefused, {request.printerName, system.LastError()});
  if (existed) return Say(kExitDone, ids::kUpdated, {request.printerName});
  return Say(kExitDone, ids::kInstalled, {request.printerName, request.portName});
}

Outcome Uninstall(MaintenanceSystem& system, bool quiet,
                  const std::function<bool(const WText& queue, uint32_t jobs)>& purgeQueue) {
  if (!system.IsAdministrator()) return Say(kExitNotAdministrator, ids::kNotAdministrator);

  // Ours: every driver, of any environment, that runs our plug-in.
  struct Ours {
    WText environment;
    WText name;
  };
  std::vector<Ours> drivers;
  std::vector<WText> driverNames;
  for (const WChar* environment : kDriverEnvironments) {
    const std::optional<std::vector<InstalledDriver>> listed = system.Drivers(environment);
    if (!listed) continue;
    for (const InstalledDriver& driver : *listed) {
      if (!HasFile(driver.files, kPlugin)) continue;
      drivers.push_back({environment, driver.name});
      if (std::find(driverNames.begin(), driverNames.end(), driver.name) == driverNames.end())
        driverNames.push_back(driver.name);
    }
  }
  std::vector<InstalledQueue> queues, others;
  if (const std::optional<std::vector<InstalledQueue>> all = system.Queues()) {
    for (const InstalledQueue& queue : *all) {
      const bool ours = std::find(driverNames.begin(), driverNames.end(), queue.driver) != driverNames.end();
      (ours ? queues : others).push_back(queue);
    }
  }
  const std::optional<UninstallEntry> entry = system.ReadEntry();
  if (drivers.empty() && queues.empty() && !entry) return Say(kExitDone, ids::kNothingToRemove);

  // Jobs waiting stop it before anything is removed, unless the user
  // lets them go.
  for (const InstalledQueue& queue : queues) {
    if (queue.jobs == 0) continue;
    if (quiet) return Say(kExitJobsWaiting, ids::kJobsWaiting, {queue.name, queue.jobs});
    if (!purgeQueue(queue.name, queue.jobs)) return Say(kExitCancelled, ids::kNothingRemoved);
  }

  for (const InstalledQueue& queue : queues) {
    if (!system.DeleteQueue(queue.name, queue.jobs > 0))
      return Say(kExitSpoolerRefused, ids::kQueueRemovalRefused, {queue.name, system.LastError()});
    DebugLog(system, WTXT("The printer %ws is removed."), {queue.name});
  }

  for (const Ours& driver : drivers) {
    if (!system.DeleteDriver(driver.environment, driver.name) && system.LastError() != kErrorUnknownPrinterDriver)
      return Say(kExitSpoolerRefused, ids::kDriverRemovalRefused, {driver.name, system.LastError()});
    DebugLog(system, WTXT("The driver %ws (%ws) is removed."), {driver.name, driver.environment});
  }

  // The package's files the spooler left in the driver directories: ours
  // always, Unidrv's generic ones only when no other driver uses them.
  for (const WChar* environment : kDriverEnvironments) {
    const std::optional<WText> directory = system.DriverDirectoryOf(environment);
    if (!directory) continue;
    std::vector<WText> inUse;
    if (const std::optional<std::vector<InstalledDriver>> listed = system.Drivers(environment))
      for (const InstalledDriver& driver : *listed) inUse.insert(inUse.end(), driver.files.begin(), driver.files.end());
    auto remove = [&](const WText& path) {
      if (!system.FileExists(path)) return false;
      system.RemoveFile(path);
      if (system.FileExists(path)) {
        // Loaded by the spooler: gone at the next start of Windows.
        system.RemoveAtRestart(path);
        DebugLog(system, WTXT("%ws is in use; Windows removes it at the next restart."), {path});
      }
      return true;
    };
    for (const WText& file : PackageFiles()) {
      if (HasFile(inUse, file)) continue;
      remove(DriverTargetPath(*directory, file));
      const WText used = DriverTargetPath(*directory + WTXT("\\3"), file);
      remove(used);
      // The copies earlier upgrades set aside.
      for (int n = 1; n < 1000 && remove(SetAsideName(used, n)); ++n) {
      }
    }
  }

  if (entry) {
    for (const WText& port : entry->addedPorts) {
      const bool used = std::any_of(others.begin(), others.end(), [&](const InstalledQueue& q) { return q.port == port; });
      if (!used && system.DeleteLocalPort(port)) DebugLog(system, WTXT("The port %ws is removed."), {port});
    }
    system.DeleteEntry();
    system.RemoveKeptInstaller();
  }
  return Say(kExitDone, ids::kRemoved, {uint32_t(queues.size())});
}

}  // namespace lorvex
