// The unattended install, the Apps & features entry and the uninstall
// against the in-memory system: what each exit code leaves behind.
#include <gtest/gtest.h>

#include "fake_install_system.h"
#include "maintenance.h"

using namespace lorvex;

namespace {
const WText kDir = WTXT("C:\\windows\\system32\\spool\\drivers\\x64");
const PackageInfo kPackage{WTXT("C:\\setup\\"), WTXT("7.24.0")};
WText W(const char* text) { return WideFromUtf8(text); }

Command Quiet(const char* port = nullptr, const char* name = nullptr) {
  Command c;
  c.action = Action::kInstall;
  c.quiet = true;
  if (port) c.port = W(port);
  if (name) c.queueName = W(name);
  return c;
}

// A USB receipt printer as discovery lists it.
void AddUsbPrinter(UsbPrinterList& list, const char* description = "RVT-520 Receipt") {
  auto e = std::make_unique<UsbPrinterEntry>();
  e->portName = WTXT("USB001");
  e->portDescription = W(description);
  e->flag = 1;
  list.PushFront(std::move(e));
}

// Nothing a failed install may leave: no copies, queue, port or entry.
void ExpectUntouched(const FakeInstallSystem& sys, size_t portsBefore) {
  EXPECT_EQ(sys.FilesUnder(kDir), 0u);
  EXPECT_TRUE(sys.queues.empty());
  EXPECT_TRUE(sys.registrations.empty());
  EXPECT_FALSE(sys.appEntry.has_value());
  EXPECT_EQ(sys.ports->size(), portsBefore);
}
}  // namespace

TEST(QuietInstall, TakesTheUsbPrinterAndRegistersTheEntry) {
  FakeInstallSystem sys;
  sys.StagePackage();
  UsbPrinterList usb;
  AddUsbPrinter(usb);
  const Outcome out = QuietInstall(sys, kPackage, Quiet(), usb);
  EXPECT_EQ(out.code, kExitDone);
  EXPECT_EQ(out.message, ids::kInstalled);
  ASSERT_EQ(sys.queues.size(), 1u);
  EXPECT_EQ(sys.queues[0].printerName, W("RVT-520"));
  EXPECT_EQ(sys.queues[0].portName, W("USB001"));
  // USB001 is not listed yet: the spooler is restarted to pick it up.
  EXPECT_NE(std::find(sys.serviceCalls.begin(), sys.serviceCalls.end(), "stop"), sys.serviceCalls.end());
  ASSERT_TRUE(sys.appEntry);
  EXPECT_EQ(sys.appEntry->displayVersion, W("7.24.0"));
  EXPECT_EQ(sys.appEntry->publisher, W("LORVEX"));
  EXPECT_EQ(sys.appEntry->displayIcon, W("C:\\Program Files\\LORVEX\\Installer.exe,0"));
  EXPECT_EQ(sys.appEntry->uninstallString, W("\"C:\\Program Files\\LORVEX\\Installer.exe\" /uninstall"));
  EXPECT_EQ(sys.appEntry->quietUninstallString, W("\"C:\\Program Files\\LORVEX\\Installer.exe\" /uninstall /quiet"));
  EXPECT_TRUE(sys.installerKept);
  EXPECT_EQ(OutcomeText(W("%ws on %ws."), out).value(), W("RVT-520 on USB001."));
}

TEST(QuietInstall, AgainUpdatesTheDriverAndKeepsTheOneQueue) {
  FakeInstallSystem sys;
  sys.StagePackage();
  ASSERT_EQ(QuietInstall(sys, kPackage, Quiet("LPT1:", "Till 1"), UsbPrinterList()).code, kExitDone);
  sys.files[W("C:\\setup\\\\amd64\\LORVEX.DLL")] = "version two";
  // The spooler has the old plug-in loaded: it is set aside, the new one used.
  sys.lockedTargets.insert(kDir + W("\\3\\LORVEX.DLL"));
  const Outcome again = QuietInstall(sys, kPackage, Quiet("LPT1:", "Till 1"), UsbPrinterList());
  EXPECT_EQ(again.code, kExitDone);
  EXPECT_EQ(again.message, ids::kUpdated);
  EXPECT_EQ(sys.queues.size(), 1u);
  ASSERT_GE(sys.registrations.size(), 2u);
  EXPECT_TRUE(sys.registrations.back().replaceFiles);
  EXPECT_EQ(sys.files[kDir + W("\\3\\LORVEX.DLL")], "version two");
  EXPECT_EQ(sys.removedAtRestart, std::vector<WText>{kDir + W("\\3\\LORVEX.DLL.old1")});
}

TEST(QuietInstall, RefusalsChangeNothing) {
  struct Case {
    const char* what;
    ExitCode code;
    std::function<void(FakeInstallSystem&)> arrange;
    Command command;
  };
  const Case cases[] = {
      {"no USB printer, no /port:", kExitNoPort, [](FakeInstallSystem&) {}, Quiet()},
      {"not an administrator", kExitNotAdministrator, [](FakeInstallSystem& s) { s.administrator = false; },
       Quiet("LPT1:")},
      {"a generic file found nowhere", kExitMissingFile,
       [](FakeInstallSystem& s) { s.files.erase(W("C:\\setup\\\\amd64\\UNIDRV.DLL")); }, Quiet("LPT1:")},
      {"the port refused", kExitSpoolerRefused, [](FakeInstallSystem& s) { s.refusePortAdd = true; },
       Quiet("COM7:")},
      {"the driver refused", kExitSpoolerRefused, [](FakeInstallSystem& s) { s.refuseDriver = true; },
       Quiet("COM7:")},
  };
  for (const Case& c : cases) {
    FakeInstallSystem sys;
    sys.StagePackage();
    c.arrange(sys);
    const size_t ports = sys.ports->size();
    const Outcome out = QuietInstall(sys, kPackage, c.command, UsbPrinterList());
    EXPECT_EQ(out.code, c.code) << c.what;
    if (c.code == kExitSpoolerRefused && !sys.refusePortAdd) {
      // Only the copies into the driver directory may stay, as in the dialog.
      EXPECT_TRUE(sys.queues.empty()) << c.what;
      EXPECT_FALSE(sys.appEntry) << c.what;
      EXPECT_EQ(sys.ports->size(), ports) << c.what;
    } else {
      ExpectUntouched(sys, ports);
    }
  }
}

TEST(QuietInstall, AddsANamedLocalPortAndMakesTheDefault) {
  FakeInstallSystem sys;
  sys.StagePackage();
  Command c = Quiet("COM7:");
  c.makeDefault = true;
  UsbPrinterList usb;
  AddUsbPrinter(usb);
  EXPECT_EQ(QuietInstall(sys, kPackage, c, usb).code, kExitDone);
  EXPECT_EQ(sys.queues.at(0).portName, W("COM7:"));  // the named port over the USB one
  EXPECT_EQ(sys.appEntry->addedPorts, std::vector<WText>{W("COM7:")});
  EXPECT_EQ(sys.defaults, std::vector<WText>{W("RVT-520")});
  // A listed port is not added, and the earlier one stays recorded.
  EXPECT_EQ(QuietInstall(sys, kPackage, Quiet("LPT1:", "Till 2"), UsbPrinterList()).code, kExitDone);
  EXPECT_EQ(sys.appEntry->addedPorts, std::vector<WText>{W("COM7:")});
}

TEST(Uninstall, RemovesOursAndLeavesOtherDriversTheirFiles) {
  FakeInstallSystem sys;
  sys.StagePackage();
  ASSERT_EQ(QuietInstall(sys, kPackage, Quiet("COM7:"), UsbPrinterList()).code, kExitDone);
  ASSERT_EQ(QuietInstall(sys, kPackage, Quiet("LPT1:", "Till 2"), UsbPrinterList()).code, kExitDone);
  // Another vendor's Unidrv driver and its queue.
  sys.otherDrivers[W("Windows x64")].push_back({W("Other"), {W("UNIDRV.DLL"), W("OTHER.GPD")}});
  sys.queues.push_back({W("Kitchen"), W("LPT2:"), W("Other"), W("WinPrint"), W("RAW"), 0x40});
  sys.printers.insert(W("Kitchen"));
  sys.files[kDir + W("\\3\\LORVEX.DLL")] = "loaded";
  sys.lockedTargets.insert(kDir + W("\\3\\LORVEX.DLL"));

  const Outcome out = Uninstall(sys, true, nullptr);
  EXPECT_EQ(out.code, kExitDone);
  EXPECT_EQ(OutcomeText(W("%d"), out).value(), W("2"));
  EXPECT_EQ(sys.printers, std::set<WText>{W("Kitchen")});
  EXPECT_TRUE(sys.drivers.empty());
  EXPECT_FALSE(sys.appEntry);
  EXPECT_FALSE(sys.installerKept);
  EXPECT_EQ(std::count(sys.ports->begin(), sys.ports->end(), W("COM7:")), 0);
  for (const WText& f : FakeInstallSystem::PackageFileNames()) {
    const bool shared = f == W("UNIDRV.DLL");
    EXPECT_EQ(sys.files.count(kDir + W("\\") + f), shared ? 1u : 0u) << Utf8FromWide(f);
  }
  EXPECT_EQ(sys.removedAtRestart, std::vector<WText>{kDir + W("\\3\\LORVEX.DLL")});

  // Once more: nothing left to remove is still a success.
  EXPECT_EQ(Uninstall(sys, true, nullptr).message, ids::kNothingToRemove);
}

TEST(Uninstall, JobsWaitingStopItUnlessTheUserLetsThemGo) {
  for (int answer : {-1, 0, 1}) {  // quiet, no, yes
    FakeInstallSystem sys;
    sys.StagePackage();
    ASSERT_EQ(QuietInstall(sys, kPackage, Quiet("LPT1:"), UsbPrinterList()).code, kExitDone);
    sys.jobs[W("RVT-520")] = 3;
    std::vector<std::string> asked;
    const Outcome out = Uninstall(sys, answer < 0, [&](const WText& queue, uint32_t jobs) {
      asked.push_back(Utf8FromWide(queue) + " " + std::to_string(jobs));
      return answer == 1;
    });
    EXPECT_EQ(out.code, answer < 0 ? kExitJobsWaiting : answer == 0 ? kExitCancelled : kExitDone);
    EXPECT_EQ(asked.size(), answer < 0 ? 0u : 1u);
    if (answer == 1) {
      EXPECT_EQ(sys.purged, std::vector<WText>{W("RVT-520")});
    } else {
      EXPECT_TRUE(sys.deletedQueues.empty());
      EXPECT_TRUE(sys.deletedDrivers.empty());
      EXPECT_TRUE(sys.appEntry);
    }
  }
  FakeInstallSystem sys;
  sys.administrator = false;
  EXPECT_EQ(Uninstall(sys, true, nullptr).code, kExitNotAdministrator);
}

TEST(Uninstall, ReadsTheRegistrysListsAsStored) {
  const WChar value[] = {'L', 'P', 'T', '9', ':', 0, 'C', 'O', 'M', '7', ':', 0, 0, 'X', 0};
  EXPECT_EQ(MultiStringTexts(value, 15), (std::vector<WText>{W("LPT9:"), W("COM7:")}));
  EXPECT_EQ(MultiStringTexts(value, 3), std::vector<WText>{W("LPT")});  // cut short
  EXPECT_TRUE(MultiStringTexts(value, 0).empty());
  const std::vector<WChar> stored = MultiStringOf({W("A"), W(""), W("BC")});
  EXPECT_EQ(stored, (std::vector<WChar>{'A', 0, 'B', 'C', 0, 0}));
  EXPECT_EQ(MultiStringOf({}), std::vector<WChar>{0});
}
