// maintenance.h: the installer without its dialog: the unattended install,
// the Apps & features entry, and the uninstall.
//
// Scripts and management tools call these through the command line; the
// dialog's own installation registers the same entry. Each flow answers an
// Outcome: the exit code and the message (a string-table id with its
// arguments) that the program shows or writes to its log in the system's
// language.
#ifndef LORVEX_INSTALLER_MAINTENANCE_H
#define LORVEX_INSTALLER_MAINTENANCE_H

#include <functional>
#include <optional>
#include <vector>

#include "command_line.h"
#include "install_core.h"
#include "usb_discovery.h"

namespace lorvex {

namespace ids {
constexpr int kUsage = 115, kBadArguments = 116, kNoPortQuiet = 117, kNotAdministrator = 118,
              kInstalled = 119, kUpdated = 120, kDefaultRefused = 121, kPortRefused = 122,
              kEntryRefused = 123, kJobsWaiting = 124, kJobsWaitingQuestion = 125, kNothingRemoved = 126,
              kRemoved = 127, kNothingToRemove = 128, kQueueRemovalRefused = 129, kDriverRemovalRefused = 130,
              kLogRefused = 131;
}  // namespace ids

// One argument of a message: a text or a number.
struct MessageArg {
  bool isText = false;
  WText text;
  uint32_t number = 0;
  MessageArg(const WText& t) : isText(true), text(t) {}  // NOLINT: implicit by design
  MessageArg(uint32_t n) : number(n) {}                  // NOLINT
};

struct Outcome {
  ExitCode code = kExitDone;
  int message = 0;  // string-table id
  std::vector<MessageArg> args;
};

// The message's text from its string-table format; nothing when the format
// does not take the arguments.
std::optional<WText> OutcomeText(const WText& format, const Outcome& outcome);

// A driver as the spooler lists it for one environment: its name and the
// file names it uses (driver, data, configuration, help and dependent files,
// without their folders).
struct InstalledDriver {
  WText name;
  std::vector<WText> files;
};

// A local queue: name, driver, port and the jobs waiting in it.
struct InstalledQueue {
  WText name;
  WText driver;
  WText port;
  uint32_t jobs = 0;
};

// The Apps & features entry: the values Windows shows, and the ports the
// installation added (removed again with the driver).
struct UninstallEntry {
  WText displayName;
  WText displayVersion;
  WText publisher;
  WText displayIcon;
  WText uninstallString;
  WText quietUninstallString;
  WText installLocation;
  std::vector<WText> addedPorts;
};

// A REG_MULTI_SZ value's texts: each ended by a zero, the list by an empty
// one. A value cut short (no final zero) still gives its whole texts.
std::vector<WText> MultiStringTexts(const WChar* data, size_t chars);
// The value's characters for a list of non-empty texts.
std::vector<WChar> MultiStringOf(const std::vector<WText>& texts);

// The environments the spooler keeps drivers for, one per processor.
extern const WChar* const kDriverEnvironments[4];

// What the maintenance flows ask of the system beyond the installation's
// own calls. Failing calls leave their cause in LastError().
class MaintenanceSystem : public InstallSystem {
 public:
  // The program runs with an administrator's rights.
  virtual bool IsAdministrator() = 0;
  // The drivers of an environment, or nothing when the spooler knows none
  // for it (an environment it does not serve).
  virtual std::optional<std::vector<InstalledDriver>> Drivers(const WText& environment) = 0;
  virtual std::optional<std::vector<InstalledQueue>> Queues() = 0;
  // Deletes a queue; with `purge` its jobs first.
  virtual bool DeleteQueue(const WText& name, bool purge) = 0;
  // Removes a driver of an environment with its files no other driver uses.
  virtual bool DeleteDriver(const WText& environment, const WText& name) = 0;
  // An environment's printer-driver directory, or nothing.
  virtual std::optional<WText> DriverDirectoryOf(const WText& environment) = 0;
  // Marks a file that cannot be removed now (loaded) for removal at the
  // next start of Windows.
  virtual bool RemoveAtRestart(const WText& path) = 0;
  // Whether two files hold the same bytes; false when one cannot be read.
  virtual bool SameContents(const WText& a, const WText& b) = 0;
  // Renames a file, also one that is loaded (which cannot be overwritten).
  virtual bool MoveAside(const WText& from, const WText& to) = 0;
  // The Local Port monitor's ports: add one, delete one.
  virtual bool AddLocalPort(const WText& name) = 0;
  virtual bool DeleteLocalPort(const WText& name) = 0;
  virtual std::optional<UninstallEntry> ReadEntry() = 0;
  virtual bool WriteEntry(const UninstallEntry& entry) = 0;
  virtual void DeleteEntry() = 0;
  // Keeps a copy of the running installer where the entry can run it after
  // the package's folder is gone; answers its full path.
  virtual std::optional<WText> KeepInstaller() = 0;
  // Removes the kept copy and its folder (at the next restart when the
  // kept copy is the program that runs).
  virtual void RemoveKeptInstaller() = 0;
};

// Where the installation's package and version come from.
struct PackageInfo {
  WText sourceDirectory;  // the installer's own folder, ending in a backslash
  WText version;          // "7.24.0"
};

// The Apps & features entry for a kept installer.
UninstallEntry EntryFor(const WText& keptInstaller, const WText& version, std::vector<WText> addedPorts);

// Registers (or refreshes) the entry after an installation, keeping the
// ports an earlier installation added. Nonzero error in LastError() when it
// could not be written.
bool RegisterUninstallEntry(MaintenanceSystem& system, const WText& version,
                            const std::vector<WText>& newlyAddedPorts);

// Installs as "Install Now" would with what the dialog picks by itself: the
// first discovered USB printer's port and model (the only model when its
// description names none), or the port of /port:; the queue of /name:, else
// the model's name. A queue of that name already there is kept as it is
// (name, port, preferences) and the driver's files are replaced.
Outcome QuietInstall(MaintenanceSystem& system, const PackageInfo& package, const Command& command,
                     const UsbPrinterList& usbPrinters);

// After the driver was registered over an installed one: a file in the
// spooler's copy of the driver that still differs from the package's was
// loaded and kept. It is set aside (removed at the next restart) and the
// driver registered once more, so that the next job runs the new file.
// False when a file still differs then, with the cause in LastError().
bool ReplaceLoadedDriverFiles(MaintenanceSystem& system, const InstallRequest& request);

// Removes every queue that uses the driver, the driver of every environment
// with its files, the ports the installation added, the entry and the kept
// installer. `quiet`: a queue with jobs waiting stops it with
// kExitJobsWaiting; otherwise `purgeQueue(name, jobs)` is asked, and a no
// stops it with kExitCancelled. Nothing is removed when it stops there.
Outcome Uninstall(MaintenanceSystem& system, bool quiet,
                  const std::function<bool(const WText& queue, uint32_t jobs)>& purgeQueue);

}  // namespace lorvex

#endif  // LORVEX_INSTALLER_MAINTENANCE_H
