// Installing the package and the queue against an in-memory system: the
// free name, the copies, the registration, the queue, the port check, the
// spooler restart and the trace lines.
#include <gtest/gtest.h>

#include <algorithm>

#include "fake_install_system.h"
#include "install_core.h"

using namespace lorvex;

namespace {
const WText kSource = WTXT("C:\\setup\\");
const WText kDriverDir = WTXT("C:\\windows\\system32\\spool\\drivers\\x64");

InstallRequest Rvt520(const WChar* port = WTXT("LPT1:")) {
  InstallRequest r;
  r.driverName = WTXT("RVT-520");
  r.printerName = WTXT("RVT-520");
  r.portName = port;
  r.dataFile = WTXT("LORVEXC.GPD");
  r.resourceDll = WTXT("LORVEXRES.DLL");
  return r;
}
std::string U8(const WText& t) { return Utf8FromWide(t); }
}  // namespace

TEST(InstallCore, FreshInstallCopiesRegistersAndAddsTheQueue) {
  FakeInstallSystem sys;
  sys.StagePackage();
  InstallRequest req = Rvt520();
  ASSERT_NE(InstallPrinter(sys, kSource, req), 0);

  // All thirteen files land in the driver directory, from the right folders.
  for (const WChar* f : kArchitectureFiles)
    EXPECT_EQ(sys.files[kDriverDir + WTXT("\\") + f], "amd64 " + U8(f));
  for (const WChar* f : kCommonFiles) EXPECT_EQ(sys.files[kDriverDir + WTXT("\\") + f], U8(f));

  ASSERT_EQ(sys.registrations.size(), 1u);
  const DriverRegistration& d = sys.registrations[0];
  EXPECT_EQ(d.version, 3u);
  EXPECT_EQ(U8(d.name), "RVT-520");
  EXPECT_EQ(U8(d.driverPath), "uniDRV.DLL");
  EXPECT_EQ(U8(d.configFile), "uniDRVUI.DLL");
  EXPECT_EQ(U8(d.dataFile), "LORVEXC.GPD");
  EXPECT_EQ(U8(d.defaultDataType), "RAW");
  EXPECT_EQ(DependentFileNames(d.dependentFiles).size(), 6u);

  ASSERT_EQ(sys.queues.size(), 1u);
  const QueueRecord& q = sys.queues[0];
  EXPECT_EQ(U8(q.printerName), "RVT-520");
  EXPECT_EQ(U8(q.portName), "LPT1:");
  EXPECT_EQ(U8(q.driverName), "RVT-520");
  EXPECT_EQ(U8(q.printProcessor), "WinPrint");
  EXPECT_EQ(U8(q.dataType), "RAW");
  EXPECT_EQ(q.attributes, 0x40u);
  // LPT1: is known: the spooler is left alone.
  EXPECT_TRUE(sys.serviceCalls.empty());
  EXPECT_EQ(U8(req.printerName), "RVT-520");
}

TEST(InstallCore, LaterInstallsTakeNumberedNamesAndSkipRegistration) {
  FakeInstallSystem sys;
  sys.StagePackage();
  std::vector<std::string> names;
  for (int i = 0; i < 3; ++i) {
    InstallRequest req = Rvt520();
    ASSERT_NE(InstallPrinter(sys, kSource, req), 0);
    names.push_back(U8(req.printerName));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"RVT-520", "RVT-520(Copy 1)", "RVT-520(Copy 2)"}));
  EXPECT_EQ(sys.registrations.size(), 1u);
  EXPECT_EQ(sys.queues.size(), 3u);
}

TEST(InstallCore, EveryNameTakenFailsAndChangesNothing) {
  FakeInstallSystem sys;
  sys.StagePackage();
  sys.printers.insert(WTXT("RVT-520"));
  for (int n = 1; n <= 253; ++n) sys.printers.insert(*CopyCandidateName(WTXT("RVT-520"), n));
  const auto filesBefore = sys.files;
  InstallRequest req = Rvt520(WTXT("USB001"));
  EXPECT_EQ(InstallPrinter(sys, kSource, req), 0);
  EXPECT_EQ(sys.lastError, kErrorPrinterAlreadyExists);
  EXPECT_EQ(sys.files, filesBefore);
  EXPECT_TRUE(sys.queues.empty());
  EXPECT_TRUE(sys.registrations.empty());
  EXPECT_TRUE(sys.serviceCalls.empty());
  EXPECT_EQ(U8(req.printerName), "RVT-520");

  // With Copy 253 free, that one is taken.
  sys.printers.erase(*CopyCandidateName(WTXT("RVT-520"), 253));
  EXPECT_NE(InstallPrinter(sys, kSource, req), 0);
  EXPECT_EQ(U8(req.printerName), "RVT-520(Copy 253)");
}

TEST(InstallCore, NameThatWouldBeCutShortFails) {
  FakeInstallSystem sys;
  sys.StagePackage();
  const WText longName(250, 'N');
  sys.printers.insert(longName);
  InstallRequest req = Rvt520();
  req.printerName = longName;
  req.driverName = longName;
  EXPECT_EQ(InstallPrinter(sys, kSource, req), 0);
  EXPECT_NE(sys.lastError, 0u);
  EXPECT_TRUE(sys.queues.empty());
  EXPECT_EQ(req.printerName, longName);
}

TEST(InstallCore, MissingFileSkipsRegistrationButAddsTheQueueForARegisteredDriver) {
  FakeInstallSystem sys;
  sys.StagePackage();
  sys.files.erase(WTXT("C:\\setup\\\\MARLITC.INI"));
  sys.drivers.push_back(WTXT("RVT-520"));
  InstallRequest req = Rvt520();
  EXPECT_EQ(InstallPrinter(sys, kSource, req), 1);
  EXPECT_TRUE(sys.registrations.empty());
  EXPECT_EQ(sys.queues.size(), 1u);
  const auto lines = sys.TraceLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "Copy file from C:\\setup\\\\MARLITC.INI to " + U8(kDriverDir) +
                          "\\MARLITC.INI, 0, errcode:0x2."),
            lines.end());
}

// --- Unidrv's generic files, when the package does not carry them --------

namespace {
const WText kRepository = WTXT("C:\\windows\\System32\\DriverStore\\FileRepository");
const WChar* const kGeneric[] = {WTXT("UNIDRV.DLL"), WTXT("UNIDRVUI.DLL"), WTXT("UNIRES.DLL"),
                                 WTXT("STDNAMES.GPD"), WTXT("TTFSUB.GPD"), WTXT("UNIDRV.HLP")};

// Lower-case names, as some Windows versions keep them; no UNIDRV.HLP
// unless asked.
void StageFolder(FakeInstallSystem& sys, const WText& folder, const std::string& tag, bool withHelp = false) {
  for (const WChar* f : kGeneric) {
    if (!withHelp && WText(f) == WTXT("UNIDRV.HLP")) continue;
    WText lower = f;
    for (WChar& c : lower) c = (c >= 'A' && c <= 'Z') ? WChar(c - 'A' + 'a') : c;
    sys.files[folder + WTXT("\\") + lower] = tag + " " + U8(f);
  }
}
std::string Copied(FakeInstallSystem& sys, const WChar* file) { return sys.files[kDriverDir + WTXT("\\") + file]; }
bool Traced(FakeInstallSystem& sys, const std::string& line) {
  const auto lines = sys.TraceLines();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}
}  // namespace

TEST(GenericFiles, ThePackagesOwnComeFirstAndWindowsIsNotSearched) {
  FakeInstallSystem sys;
  sys.StagePackage();
  StageFolder(sys, kRepository + WTXT("\\ntprint.inf_amd64_1\\Amd64"), "store", true);
  InstallRequest req = Rvt520();
  ASSERT_EQ(InstallPrinter(sys, kSource, req), 1);
  EXPECT_EQ(Copied(sys, WTXT("UNIDRV.DLL")), "amd64 UNIDRV.DLL");
  EXPECT_EQ(Copied(sys, WTXT("UNIDRV.HLP")), "UNIDRV.HLP");
  EXPECT_TRUE(sys.listed.empty());
  EXPECT_TRUE(Traced(sys, "Copy file from C:\\setup\\\\amd64\\UNIDRV.DLL to " + U8(kDriverDir) +
                              "\\UNIDRV.DLL, 1, errcode:0x0."));
}

TEST(GenericFiles, TakenFromWindowsDriverStoreInAnyCaseWithoutTheHelpFile) {
  FakeInstallSystem sys;
  sys.StagePackage(/*withGenericFiles=*/false);
  const WText store = kRepository + WTXT("\\ntprint.inf_amd64_3c1f\\Amd64");
  StageFolder(sys, store, "store");
  InstallRequest req = Rvt520();
  ASSERT_EQ(InstallPrinter(sys, kSource, req), 1);
  for (const WChar* f : kGeneric) {
    if (WText(f) == WTXT("UNIDRV.HLP")) continue;
    EXPECT_EQ(Copied(sys, f), "store " + U8(f));
  }
  EXPECT_EQ(Copied(sys, WTXT("LORVEX.DLL")), "amd64 LORVEX.DLL");
  EXPECT_EQ(sys.files.count(kDriverDir + WTXT("\\UNIDRV.HLP")), 0u);
  EXPECT_EQ(sys.registrations.size(), 1u);
  EXPECT_EQ(sys.queues.size(), 1u);
  // Traced as the package's copies are, with the real source path.
  EXPECT_TRUE(Traced(sys, "Copy file from " + U8(store) + "\\unidrv.dll to " + U8(kDriverDir) +
                              "\\UNIDRV.DLL, 1, errcode:0x0."));
  EXPECT_TRUE(Traced(sys, "UNIDRV.HLP was not found in the package or in Windows; the driver does not need it: "
                          "skipped."));
}

TEST(GenericFiles, TheNewestStoreFolderOfTheNativeArchitectureWins) {
  FakeInstallSystem sys;
  sys.StagePackage(false);
  StageFolder(sys, kRepository + WTXT("\\ntprint.inf_amd64_old\\Amd64"), "old");
  StageFolder(sys, kRepository + WTXT("\\NTPRINT.INF_AMD64_new\\amd64"), "new");
  StageFolder(sys, kRepository + WTXT("\\ntprint.inf_x86_newest\\I386"), "x86");
  sys.folderTimes[kRepository + WTXT("\\ntprint.inf_amd64_old")] = 100;
  sys.folderTimes[kRepository + WTXT("\\NTPRINT.INF_AMD64_new")] = 200;
  sys.folderTimes[kRepository + WTXT("\\ntprint.inf_x86_newest")] = 300;
  InstallRequest req = Rvt520();
  ASSERT_EQ(InstallPrinter(sys, kSource, req), 1);
  EXPECT_EQ(Copied(sys, WTXT("UNIRES.DLL")), "new UNIRES.DLL");
}

TEST(GenericFiles, SetupApiAnswerComesBeforeTheSearch) {
  FakeInstallSystem sys;
  sys.StagePackage(false);
  const WText named = kRepository + WTXT("\\ntprint.inf_amd64_setup");
  sys.infLocation = named + WTXT("\\ntprint.inf");
  StageFolder(sys, named, "setupapi");  // in the folder itself, no Amd64 sub-folder
  StageFolder(sys, kRepository + WTXT("\\ntprint.inf_amd64_zz\\Amd64"), "search");
  sys.folderTimes[kRepository + WTXT("\\ntprint.inf_amd64_zz")] = 999;
  InstallRequest req = Rvt520();
  ASSERT_EQ(InstallPrinter(sys, kSource, req), 1);
  EXPECT_EQ(Copied(sys, WTXT("TTFSUB.GPD")), "setupapi TTFSUB.GPD");
}

TEST(GenericFiles, AnInstalledDriversCopiesComeLast) {
  FakeInstallSystem sys;
  sys.StagePackage(false);
  StageFolder(sys, kDriverDir + WTXT("\\3"), "installed");
  // One file in the store too: the store comes before the driver directory.
  sys.files[kRepository + WTXT("\\ntprint.inf_amd64_1\\Amd64\\STDNAMES.GPD")] = "store STDNAMES.GPD";
  InstallRequest req = Rvt520();
  ASSERT_EQ(InstallPrinter(sys, kSource, req), 1);
  EXPECT_EQ(Copied(sys, WTXT("STDNAMES.GPD")), "store STDNAMES.GPD");
  EXPECT_EQ(Copied(sys, WTXT("UNIDRV.DLL")), "installed UNIDRV.DLL");
  EXPECT_EQ(sys.registrations.size(), 1u);
}

TEST(GenericFiles, ARequiredFileFoundNowhereChangesNothingAndIsNamed) {
  FakeInstallSystem sys;
  sys.StagePackage(false);
  // Everything but UNIRES.DLL is there.
  StageFolder(sys, kRepository + WTXT("\\ntprint.inf_amd64_1\\Amd64"), "store");
  sys.files.erase(kRepository + WTXT("\\ntprint.inf_amd64_1\\Amd64\\unires.dll"));
  InstallRequest req = Rvt520(WTXT("USB001"));
  WText missing;
  EXPECT_EQ(InstallPrinter(sys, kSource, req, &missing), 0);
  EXPECT_EQ(U8(missing), "UNIRES.DLL");
  EXPECT_EQ(sys.lastError, 2u);
  for (const auto& [path, content] : sys.files)
    EXPECT_NE(path.compare(0, kDriverDir.size(), kDriverDir), 0) << U8(path);
  EXPECT_TRUE(sys.registrations.empty());
  EXPECT_TRUE(sys.queues.empty());
  EXPECT_TRUE(sys.serviceCalls.empty());
  EXPECT_TRUE(Traced(sys, "UNIRES.DLL was not found: looked in C:\\setup\\\\amd64\\UNIRES.DLL, " + U8(kRepository) +
                              "\\ntprint.inf_amd64_1\\Amd64, " + U8(kRepository) + "\\ntprint.inf_amd64_1, " +
                              U8(kDriverDir) + "\\3."));
}

TEST(InstallCore, QueueThatNeverOpensIsAFailure) {
  FakeInstallSystem sys;
  sys.StagePackage();
  sys.queueNeverOpens = true;
  InstallRequest req = Rvt520();
  EXPECT_EQ(InstallPrinter(sys, kSource, req), 0);
  EXPECT_EQ(sys.lastError, 1801u);  // the failing open's error
  // Five tries, a second apart.
  EXPECT_EQ(std::count(sys.sleeps.begin(), sys.sleeps.end(), 1000u), 5);
}

TEST(InstallCore, RefusedQueueIsTracedAndReportsItsError) {
  FakeInstallSystem sys;
  sys.StagePackage();
  sys.refusePrinter = true;
  InstallRequest req = Rvt520(WTXT("USB001"));
  EXPECT_EQ(InstallPrinter(sys, kSource, req), 0);
  EXPECT_EQ(sys.lastError, 1797u);
  const auto lines = sys.TraceLines();
  EXPECT_EQ(lines.back(), "AddPrinter RVT-520 failed, portName: USB001, driverName:RVT-520, errcode:1797.");
}

TEST(InstallCore, RefusedDriverStopsTheInstallation) {
  FakeInstallSystem sys;
  sys.StagePackage();
  sys.refuseDriver = true;
  InstallRequest req = Rvt520();
  EXPECT_EQ(InstallPrinter(sys, kSource, req), 0);
  EXPECT_EQ(sys.lastError, 1797u);
  EXPECT_TRUE(sys.queues.empty());
  EXPECT_EQ(sys.TraceLines().back(), "AddPrinterDriver failed, errcode:1797.");
}

TEST(InstallCore, DriverListedLateIsAwaitedUpToFiveTimes) {
  FakeInstallSystem sys;
  sys.StagePackage();
  sys.driverListedAfter = 3;  // the first (before registering) and two polls
  InstallRequest req = Rvt520();
  EXPECT_NE(InstallPrinter(sys, kSource, req), 0);
  EXPECT_EQ(std::count(sys.sleeps.begin(), sys.sleeps.end(), 1000u), 2);

  FakeInstallSystem never;
  never.StagePackage();
  never.driverListedAfter = 100;
  InstallRequest again = Rvt520();
  EXPECT_EQ(InstallPrinter(never, kSource, again), 0);
  EXPECT_EQ(std::count(never.sleeps.begin(), never.sleeps.end(), 1000u), 5);
  EXPECT_TRUE(never.queues.empty());
}

TEST(InstallCore, UnknownArchitectureCopiesNothing) {
  FakeInstallSystem sys;
  sys.StagePackage();
  sys.architecture = 6;  // IA64
  const auto before = sys.files;
  InstallRequest req = Rvt520();
  EXPECT_EQ(InstallPrinter(sys, kSource, req), 0);
  EXPECT_EQ(sys.files, before);
  EXPECT_EQ(sys.lastError, kErrorNotSupported);
}

TEST(InstallCore, X86TakesTheI386Folder) {
  FakeInstallSystem sys;
  sys.architecture = kArchX86;
  sys.driverDirectory = WTXT("C:\\windows\\system32\\spool\\drivers\\w32x86");
  for (const WChar* f : kArchitectureFiles) sys.files[WTXT("C:\\setup\\\\i386\\") + WText(f)] = "x86";
  for (const WChar* f : kCommonFiles) sys.files[WTXT("C:\\setup\\\\") + WText(f)] = "common";
  InstallRequest req = Rvt520();
  EXPECT_NE(InstallPrinter(sys, kSource, req), 0);
  EXPECT_EQ(sys.files[WTXT("C:\\windows\\system32\\spool\\drivers\\w32x86\\LORVEX.DLL")], "x86");
}

TEST(InstallCore, UnknownPortRestartsTheSpooler) {
  FakeInstallSystem sys;
  sys.StagePackage();
  InstallRequest req = Rvt520(WTXT("USB001"));
  EXPECT_NE(InstallPrinter(sys, kSource, req), 0);
  EXPECT_EQ(sys.serviceCalls, (std::vector<std::string>{"open", "stop", "start", "close"}));
  EXPECT_EQ(sys.serviceState, kServiceRunning);
}

TEST(InstallCore, PortNamesCompareCaseSensitively) {
  FakeInstallSystem sys;
  sys.StagePackage();
  InstallRequest req = Rvt520(WTXT("lpt1:"));
  EXPECT_NE(InstallPrinter(sys, kSource, req), 0);
  EXPECT_FALSE(sys.serviceCalls.empty());
}

TEST(InstallCore, UnlistablePortsRestartTheSpooler) {
  FakeInstallSystem sys;
  sys.StagePackage();
  sys.ports.reset();
  InstallRequest req = Rvt520();
  EXPECT_NE(InstallPrinter(sys, kSource, req), 0);
  EXPECT_EQ(sys.serviceCalls.size(), 4u);
}

TEST(InstallCore, SpoolerRestartCases) {
  {
    FakeInstallSystem sys;  // not running: left alone
    sys.serviceState = kServiceStopped;
    RestartSpooler(sys);
    EXPECT_EQ(sys.serviceCalls, (std::vector<std::string>{"open", "close"}));
  }
  {
    FakeInstallSystem sys;  // cannot be opened: nothing happens
    sys.spoolerOpens = false;
    RestartSpooler(sys);
    EXPECT_TRUE(sys.serviceCalls.empty());
  }
  {
    FakeInstallSystem sys;  // a locked database is waited out
    sys.lockedStarts = 2;
    RestartSpooler(sys);
    EXPECT_EQ(sys.serviceCalls,
              (std::vector<std::string>{"open", "stop", "start", "start", "start", "close"}));
    EXPECT_EQ(sys.serviceState, kServiceRunning);
  }
  {
    FakeInstallSystem sys;  // locked for good: the wait ends after 1000 polls
    sys.lockedStarts = 1 << 20;
    RestartSpooler(sys);
    EXPECT_EQ(std::count(sys.sleeps.begin(), sys.sleeps.end(), 10u), 1000);
    EXPECT_EQ(sys.serviceCalls.back(), "close");
  }
}

TEST(InstallCore, LockedTargetFileSkipsRegistration) {
  FakeInstallSystem sys;
  sys.StagePackage();
  sys.lockedTargets.insert(kDriverDir + WTXT("\\UNIDRV.DLL"));
  sys.drivers.push_back(WTXT("RVT-520"));
  InstallRequest req = Rvt520();
  EXPECT_EQ(InstallPrinter(sys, kSource, req), 1);
  EXPECT_TRUE(sys.registrations.empty());
  EXPECT_EQ(sys.queues.size(), 1u);
}

TEST(InstallCore, ExistingQueueAtStepFourIsReportedAsAdded) {
  FakeInstallSystem sys;
  sys.StagePackage();
  sys.printers.insert(WTXT("RVT-520"));
  InstallRequest req = Rvt520();
  EXPECT_EQ(InstallDriverAndQueue(sys, kSource, req), 1);
  EXPECT_EQ(sys.TraceLines().back(), "The printer RVT-520 is already added.");
  EXPECT_TRUE(sys.queues.empty());
}

TEST(InstallCore, DebugLogSendsTheLineThenALineFeedAndDropsOverlongLines) {
  FakeInstallSystem sys;
  EXPECT_TRUE(DebugLog(sys, WTXT("The printer %ws is already added."), {WTXT("X")}));
  ASSERT_EQ(sys.debug.size(), 2u);
  EXPECT_EQ(U8(sys.debug[0]), "The printer X is already added.");
  EXPECT_EQ(U8(sys.debug[1]), "\n");

  sys.debug.clear();
  EXPECT_TRUE(DebugLog(sys, WTXT("%ws"), {WText(767, 'a')}));
  EXPECT_FALSE(DebugLog(sys, WTXT("%ws"), {WText(768, 'a')}));
  EXPECT_FALSE(DebugLog(sys, WTXT("%q"), {1}));
  EXPECT_EQ(sys.debug.size(), 2u);
}

TEST(InstallCore, CopyTraceLinesNameBothPathsAndTheResult) {
  FakeInstallSystem sys;
  sys.StagePackage();
  EXPECT_TRUE(CopyDriverFile(sys, kSource, WTXT("LORVEX.DLL"), WTXT("amd64"), sys.PrinterDriverDirectory()));
  EXPECT_EQ(sys.TraceLines().back(),
            "Copy file from C:\\setup\\\\amd64\\LORVEX.DLL to " + U8(kDriverDir) +
                "\\LORVEX.DLL, 1, errcode:0x0.");
  sys.driverDirectory.reset();
  EXPECT_FALSE(CopyDriverFile(sys, kSource, WTXT("LORVEX.DLL"), WTXT("amd64"), sys.PrinterDriverDirectory()));
}
