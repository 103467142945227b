// fake_install_system.h: an in-memory spooler, file system, service manager
// and registry entry for the installation's and the uninstall's native
// tests. It records every call that
// changes something, so a test can see what the installation did and did not
// touch.
#ifndef LORVEX_TESTS_FAKE_INSTALL_SYSTEM_H
#define LORVEX_TESTS_FAKE_INSTALL_SYSTEM_H

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "install_core.h"
#include "maintenance.h"

class FakeInstallSystem : public lorvex::MaintenanceSystem {
 public:
  uint16_t architecture = lorvex::kArchX64;
  std::optional<WText> driverDirectory = WTXT("C:\\windows\\system32\\spool\\drivers\\x64");
  std::map<WText, std::string> files;     // path -> content
  std::map<WText, uint64_t> folderTimes;  // a folder's last write time
  std::optional<WText> infLocation;       // SetupAPI's answer for ntprint.inf
  std::optional<WText> windowsDirectory = WTXT("C:\\windows");
  std::vector<WText> listed;              // folders read
  std::set<WText> lockedTargets;          // files the spooler holds open
  std::vector<WText> drivers;             // registered driver names
  std::vector<lorvex::DriverRegistration> registrations;
  bool refuseDriver = false;
  int driverListedAfter = 0;              // listings before a new driver shows
  std::set<WText> printers;
  std::vector<lorvex::QueueRecord> queues;
  bool refusePrinter = false;
  bool queueNeverOpens = false;
  std::optional<std::vector<WText>> ports = std::vector<WText>{WTXT("LPT1:"), WTXT("COM1:"), WTXT("FILE:")};
  bool spoolerOpens = true;
  uint32_t serviceState = lorvex::kServiceRunning;
  int lockedStarts = 0;                   // starts refused with 1055 first
  std::vector<std::string> serviceCalls;
  std::vector<uint32_t> sleeps;
  std::vector<WText> defaults;
  std::vector<WText> debug;
  uint32_t lastError = 0;

  uint16_t NativeArchitecture() override { return architecture; }
  std::optional<WText> PrinterDriverDirectory() override {
    if (!driverDirectory) lastError = 2;
    return driverDirectory;
  }
  void RemoveFile(const WText& path) override {
    if (!lockedTargets.count(path)) files.erase(path);
  }
  bool FileExists(const WText& path) override { return files.count(path) != 0; }
  // A folder holds the files below it, and the folders of those deeper.
  std::optional<std::vector<lorvex::DirectoryEntry>> ListDirectory(const WText& folder) override {
    listed.push_back(folder);
    std::map<WText, lorvex::DirectoryEntry> entries;
    const WText prefix = folder + WTXT("\\");
    for (const auto& [path, content] : files) {
      if (path.compare(0, prefix.size(), prefix) != 0) continue;
      const WText rest = path.substr(prefix.size());
      const size_t slash = rest.find(WChar('\\'));
      lorvex::DirectoryEntry entry;
      entry.name = rest.substr(0, slash);
      entry.folder = slash != WText::npos;
      if (entry.folder) {
        auto time = folderTimes.find(prefix + entry.name);
        entry.modified = time == folderTimes.end() ? 0 : time->second;
      }
      entries[entry.name] = entry;
    }
    if (entries.empty()) return std::nullopt;
    std::vector<lorvex::DirectoryEntry> list;
    for (const auto& [name, entry] : entries) list.push_back(entry);
    return list;
  }
  std::optional<WText> InfDriverStoreLocation(const WText&) override { return infLocation; }
  std::optional<WText> WindowsDirectory() override { return windowsDirectory; }
  bool CopyPackageFile(const WText& from, const WText& to) override {
    auto it = files.find(from);
    if (it == files.end()) return Fail(2);   // ERROR_FILE_NOT_FOUND
    if (lockedTargets.count(to)) return Fail(32);  // ERROR_SHARING_VIOLATION
    files[to] = it->second;
    lastError = 0;
    return true;
  }
  std::optional<std::vector<WText>> DriverNames() override {
    if (driverListedAfter > 0) {
      --driverListedAfter;
      return std::vector<WText>{};
    }
    return drivers;
  }
  bool RegisterDriver(const lorvex::DriverRegistration& driver) override {
    if (refuseDriver) return Fail(1797);
    registrations.push_back(driver);
    if (std::find(drivers.begin(), drivers.end(), driver.name) == drivers.end()) drivers.push_back(driver.name);
    // The spooler's own copy in the "3" folder; a loaded file stays as it
    // is (Wine's spooler does not say so either).
    if (driverDirectory) {
      for (const WText& file : PackageFileNames()) {
        const WText from = *driverDirectory + WTXT("\\") + file, to = *driverDirectory + WTXT("\\3\\") + file;
        if (files.count(from) && !lockedTargets.count(to) && (driver.replaceFiles || !files.count(to)))
          files[to] = files[from];
      }
    }
    return true;
  }
  bool ProbePrinter(const WText& name) override {
    if (queueNeverOpens || !printers.count(name)) return Fail(1801);  // ERROR_INVALID_PRINTER_NAME
    return true;
  }
  bool CreateQueue(const lorvex::QueueRecord& queue) override {
    if (refusePrinter) return Fail(1797);
    queues.push_back(queue);
    printers.insert(queue.printerName);
    return true;
  }
  std::optional<std::vector<WText>> PortNames() override { return ports; }

  class Service : public lorvex::SpoolerService {
   public:
    explicit Service(FakeInstallSystem* s) : s_(s) { s_->serviceCalls.push_back("open"); }
    ~Service() override { s_->serviceCalls.push_back("close"); }
    std::optional<uint32_t> QueryState() override { return s_->serviceState; }
    bool Stop() override {
      s_->serviceCalls.push_back("stop");
      s_->serviceState = lorvex::kServiceStopped;
      return true;
    }
    bool Start() override {
      s_->serviceCalls.push_back("start");
      if (s_->lockedStarts > 0) {
        --s_->lockedStarts;
        return s_->Fail(lorvex::kErrorServiceDatabaseLocked);
      }
      s_->serviceState = lorvex::kServiceRunning;
      return true;
    }

   private:
    FakeInstallSystem* s_;
  };
  std::unique_ptr<lorvex::SpoolerService> OpenSpooler() override {
    if (!spoolerOpens) return nullptr;
    return std::make_unique<Service>(this);
  }
  bool MakeDefaultPrinter(const WText& name) override {
    defaults.push_back(name);
    return true;
  }
  void Sleep(uint32_t ms) override { sleeps.push_back(ms); }
  uint32_t LastError() override { return lastError; }
  void SetLastError(uint32_t code) override { lastError = code; }
  void DebugOutput(const WText& text) override { debug.push_back(text); }

  // Maintenance.
  bool administrator = true;
  std::map<WText, std::vector<lorvex::InstalledDriver>> otherDrivers;  // by environment
  std::map<WText, uint32_t> jobs;                                       // by queue
  std::vector<WText> purged, deletedQueues, removedAtRestart;
  std::vector<std::pair<WText, WText>> deletedDrivers;                  // environment, name
  std::optional<lorvex::UninstallEntry> appEntry;  // the Apps & features entry
  bool refuseEntry = false, refusePortAdd = false, refuseQueueDelete = false;
  bool installerKept = false;

  bool IsAdministrator() override { return administrator; }
  std::optional<std::vector<lorvex::InstalledDriver>> Drivers(const WText& environment) override {
    std::vector<lorvex::InstalledDriver> list = otherDrivers[environment];
    if (environment == WTXT("Windows x64"))
      for (const lorvex::DriverRegistration& r : registrations) {
        if (std::find(drivers.begin(), drivers.end(), r.name) == drivers.end()) continue;
        if (std::any_of(list.begin(), list.end(), [&](const auto& d) { return d.name == r.name; })) continue;
        lorvex::InstalledDriver d{r.name, {r.driverPath, r.dataFile, r.configFile}};
        for (const WText& f : lorvex::DependentFileNames(r.dependentFiles)) d.files.push_back(f);
        list.push_back(d);
      }
    if (environment == WTXT("Windows ARM")) return std::nullopt;
    return list;
  }
  std::optional<std::vector<lorvex::InstalledQueue>> Queues() override {
    std::vector<lorvex::InstalledQueue> list;
    for (const lorvex::QueueRecord& q : queues)
      if (printers.count(q.printerName)) list.push_back({q.printerName, q.driverName, q.portName, jobs[q.printerName]});
    return list;
  }
  bool DeleteQueue(const WText& name, bool purge) override {
    if (refuseQueueDelete) return Fail(5);
    if (purge) purged.push_back(name);
    printers.erase(name);
    deletedQueues.push_back(name);
    return true;
  }
  bool DeleteDriver(const WText& environment, const WText& name) override {
    deletedDrivers.push_back({environment, name});
    auto& others = otherDrivers[environment];
    others.erase(std::remove_if(others.begin(), others.end(), [&](const auto& d) { return d.name == name; }), others.end());
    if (environment == WTXT("Windows x64")) drivers.erase(std::remove(drivers.begin(), drivers.end(), name), drivers.end());
    return true;
  }
  std::optional<WText> DriverDirectoryOf(const WText& environment) override {
    if (environment == WTXT("Windows x64")) return driverDirectory;
    return std::nullopt;
  }
  bool RemoveAtRestart(const WText& path) override {
    removedAtRestart.push_back(path);
    return true;
  }
  bool SameContents(const WText& a, const WText& b) override {
    return files.count(a) && files.count(b) && files[a] == files[b];
  }
  bool MoveAside(const WText& from, const WText& to) override {
    if (!files.count(from)) return Fail(2);
    files[to] = files[from];
    files.erase(from);
    if (lockedTargets.erase(from)) lockedTargets.insert(to);
    return true;
  }
  bool AddLocalPort(const WText& name) override {
    if (refusePortAdd) return Fail(5);
    ports->push_back(name);
    return true;
  }
  bool DeleteLocalPort(const WText& name) override {
    ports->erase(std::remove(ports->begin(), ports->end(), name), ports->end());
    return true;
  }
  std::optional<lorvex::UninstallEntry> ReadEntry() override { return appEntry; }
  bool WriteEntry(const lorvex::UninstallEntry& e) override {
    if (refuseEntry) return Fail(5);
    appEntry = e;
    return true;
  }
  void DeleteEntry() override { appEntry.reset(); }
  std::optional<WText> KeepInstaller() override {
    installerKept = true;
    return WText(WTXT("C:\\Program Files\\LORVEX\\Installer.exe"));
  }
  void RemoveKeptInstaller() override { installerKept = false; }

  static std::vector<WText> PackageFileNames() {
    std::vector<WText> names(std::begin(lorvex::kArchitectureFiles), std::end(lorvex::kArchitectureFiles));
    names.insert(names.end(), std::begin(lorvex::kCommonFiles), std::end(lorvex::kCommonFiles));
    return names;
  }
  // Files under a folder (the folder's own level and below).
  size_t FilesUnder(const WText& folder) const {
    size_t n = 0;
    for (const auto& [path, content] : files) n += path.compare(0, folder.size() + 1, folder + WTXT("\\")) == 0;
    return n;
  }

  // Puts the whole package beside the installer in C:\setup\ (with
  // Unidrv's generic files unless told not to).
  void StagePackage(bool withGenericFiles = true) {
    for (const WChar* f : lorvex::kArchitectureFiles)
      if (withGenericFiles || !lorvex::IsGenericFile(f))
        files[WTXT("C:\\setup\\\\amd64\\") + WText(f)] = "amd64 " + Utf8FromWide(f);
    for (const WChar* f : lorvex::kCommonFiles)
      if (withGenericFiles || !lorvex::IsGenericFile(f)) files[WTXT("C:\\setup\\\\") + WText(f)] = Utf8FromWide(f);
  }
  // The trace lines, without the line feeds sent after each.
  std::vector<std::string> TraceLines() const {
    std::vector<std::string> lines;
    for (size_t i = 0; i < debug.size(); ++i) {
      if (debug[i] == WTXT("\n")) continue;
      lines.push_back(Utf8FromWide(debug[i]));
    }
    return lines;
  }

 private:
  bool Fail(uint32_t code) {
    lastError = code;
    return false;
  }
};

#endif  // LORVEX_TESTS_FAKE_INSTALL_SYSTEM_H
