// install-check: drives the installer's core against the real spooler,
// service manager, SetupAPI and registry of the Windows it runs on (Wine in
// our tests), and reads back what the installation left, one command a run:
//
//   install-check usb-add INSTANCE-ID PORT-NUMBER DESCRIPTION SERIAL   ("-": no value)
//   install-check usb-list
//   install-check install SOURCE-DIR DRIVER-AND-PRINTER PORT [default]
//   install-check driver NAME          registered driver: data file, dependents
//   install-check queue NAME           the queue's level-2 record
//   install-check spooler              the Spooler service's state and process
//   install-check spooler-start        starts it and waits until it runs
//   install-check add-port NAME        makes the spooler list a port
//   install-check default              the default printer
//   install-check raw PRINTER FILE     sends FILE's bytes through the queue as RAW
//   install-check driver-dir           the printer-driver directory
//   install-check set-preferences NAME sets the queue's location and its
//                                      preferences (landscape, 3 copies)
//   install-check load FILE SECONDS    keeps FILE loaded as a DLL that long
//   install-check hold-job PRINTER SECONDS  keeps a job in the queue that long
//
// Each prints plain "key=value" lines for the test script, and exits 0 when
// the command could be carried out.
#include <windows.h>
#include <setupapi.h>
#include <winspool.h>

#include <cstdio>
#include <string>
#include <vector>

#include "install_core.h"
#include "usb_discovery.h"
#include "win_system.h"

using namespace lorvex;

namespace {

std::string U8(const WText& t) { return Utf8FromWide(t); }
std::string U8(const wchar_t* t) { return t ? Utf8FromWide(t) : std::string("(null)"); }

constexpr DWORD kNoValue = 0xFFFFFFFF;

int UsbAdd(const WText& instance, DWORD port, const WText& description, const WText& serial) {
  DevInfoSet set(SetupDiCreateDeviceInfoList(&kUsbPrintInterface, nullptr));
  if (!set) return std::printf("error=create list %lu\n", GetLastError()), 1;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  if (!SetupDiCreateDeviceInfoW(set.Get(), instance.c_str(), &kUsbPrintInterface, nullptr,
                                nullptr, 0, &device))
    return std::printf("error=create device %lu\n", GetLastError()), 1;
  if (!SetupDiRegisterDeviceInfo(set.Get(), &device, 0, nullptr, nullptr, nullptr))
    return std::printf("error=register %lu\n", GetLastError()), 1;
  SP_DEVICE_INTERFACE_DATA iface{};
  iface.cbSize = sizeof iface;
  if (!SetupDiCreateDeviceInterfaceW(set.Get(), &device, &kUsbPrintInterface, nullptr, 0, &iface))
    return std::printf("error=interface %lu\n", GetLastError()), 1;
  // The interface's path names its registry key.
  DWORD size = 0;
  SetupDiGetDeviceInterfaceDetailW(set.Get(), &iface, nullptr, 0, &size, nullptr);
  std::vector<BYTE> buffer(size + 2, 0);
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
  detail->cbSize = sizeof *detail;
  if (!SetupDiGetDeviceInterfaceDetailW(set.Get(), &iface, detail, size, &size, nullptr))
    return std::printf("error=detail %lu\n", GetLastError()), 1;
  const WText path = detail->DevicePath;
  const WText base = DeviceParametersKey(path).value();
  const WText interfaceKey = base.substr(0, base.size() - std::wstring(L"\\#\\Device Parameters").size());
  RegKey control, params;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, (interfaceKey + L"\\#\\Control").c_str(), 0, nullptr, 0,
                      KEY_ALL_ACCESS, nullptr, control.Put(), nullptr) != ERROR_SUCCESS ||
      RegCreateKeyExW(HKEY_LOCAL_MACHINE, base.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      params.Put(), nullptr) != ERROR_SUCCESS)
    return std::printf("error=keys\n"), 1;
  const DWORD linked = 1;
  RegSetValueExW(control.Get(), L"Linked", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&linked), 4);
  // "-" leaves a value out, as a device whose driver never wrote it.
  if (port != kNoValue)
    RegSetValueExW(params.Get(), L"Port Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&port), 4);
  auto setText = [&](const wchar_t* name, const WText& text) {
    if (text == L"-") return;
    RegSetValueExW(params.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(WChar)));
  };
  setText(L"Port Description", description);
  setText(L"Serial Number", serial);
  std::printf("path=%s\n", U8(path).c_str());
  return 0;
}

int UsbList() {
  WinUsbDeviceSource source;
  UsbPrinterList list;
  const int count = DiscoverUsbPrinters(source, list);
  std::printf("count=%d\n", count);
  for (const UsbPrinterEntry* e = list.Head(); e != nullptr; e = e->next.get())
    std::printf("entry=%s|%s|%s|%s|%s|%s|%s|%u\n", U8(e->portName).c_str(), U8(e->portDescription).c_str(),
                U8(e->serialNumber).c_str(), U8(e->vendorId).c_str(), U8(e->checksum).c_str(),
                U8(e->hardwareIdentifier).c_str(), U8(e->devicePath).c_str(), e->flag);
  return 0;
}

int Install(const WText& source, const WText& name, const WText& port, bool makeDefault) {
  WinInstallSystem system;
  InstallRequest request;
  request.driverName = name;
  request.printerName = name;
  request.portName = port;
  request.dataFile = L"LORVEXC.GPD";
  request.resourceDll = L"LORVEXRES.DLL";
  WText missing;
  const int result = InstallPrinter(system, source, request, &missing);
  const DWORD error = GetLastError();
  if (result != 0 && makeDefault) SetDefaultPrinter(system, request.printerName);
  std::printf("result=%d\nprinter=%s\nerror=%lu\nmissing=%s\n", result, U8(request.printerName).c_str(), error,
              U8(missing).c_str());
  return 0;
}

int Driver(const WText& name) {
  DWORD needed = 0, count = 0;
  EnumPrinterDriversW(nullptr, nullptr, 3, nullptr, 0, &needed, &count);
  std::vector<BYTE> buffer(needed + 8, 0);
  if (!EnumPrinterDriversW(nullptr, nullptr, 3, buffer.data(), needed, &needed, &count))
    return std::printf("error=enum %lu\n", GetLastError()), 1;
  const auto* info = reinterpret_cast<const DRIVER_INFO_3W*>(buffer.data());
  int found = 0;
  for (DWORD i = 0; i < count; ++i) {
    if (name != info[i].pName) continue;
    ++found;
    std::printf("version=%lu\ndriver=%s\ndata=%s\nconfig=%s\ndefaulttype=%s\n", info[i].cVersion,
                U8(info[i].pDriverPath).c_str(), U8(info[i].pDataFile).c_str(),
                U8(info[i].pConfigFile).c_str(), U8(info[i].pDefaultDataType).c_str());
    for (const wchar_t* d = info[i].pDependentFiles; d && *d; d += wcslen(d) + 1)
      std::printf("dependent=%s\n", U8(d).c_str());
  }
  std::printf("found=%d\n", found);
  return 0;
}

int Queue(const WText& name) {
  PrinterHandle printer = OpenLocalPrinter(name);
  if (!printer) return std::printf("opened=0\nerror=%lu\n", GetLastError()), 0;
  DWORD needed = 0;
  GetPrinterW(printer.Get(), 2, nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed + 8, 0);
  if (!GetPrinterW(printer.Get(), 2, buffer.data(), needed, &needed))
    return std::printf("opened=1\nerror=%lu\n", GetLastError()), 1;
  const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
  std::printf("opened=1\nname=%s\nport=%s\ndriver=%s\nprocessor=%s\ndatatype=%s\nattributes=0x%lx\n",
              U8(info->pPrinterName).c_str(), U8(info->pPortName).c_str(), U8(info->pDriverName).c_str(),
              U8(info->pPrintProcessor).c_str(), U8(info->pDatatype).c_str(), info->Attributes);
  std::printf("location=%s\njobs=%lu\n", U8(info->pLocation).c_str(), info->cJobs);
  if (info->pDevMode != nullptr)
    std::printf("orientation=%d\ncopies=%d\n", info->pDevMode->dmOrientation, info->pDevMode->dmCopies);
  return 0;
}

int SetPreferences(const WText& name) {
  PrinterHandle printer = OpenLocalPrinter(name);
  if (!printer) return std::printf("error=open %lu\n", GetLastError()), 1;
  DWORD needed = 0;
  GetPrinterW(printer.Get(), 2, nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed + 8, 0);
  if (!GetPrinterW(printer.Get(), 2, buffer.data(), needed, &needed)) return 1;
  auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buffer.data());
  wchar_t location[] = L"till 3";
  info->pLocation = location;
  DEVMODEW mode{};
  if (info->pDevMode != nullptr) mode = *info->pDevMode;
  mode.dmSize = sizeof mode;
  mode.dmDriverExtra = 0;
  mode.dmFields |= DM_ORIENTATION | DM_COPIES;
  mode.dmOrientation = DMORIENT_LANDSCAPE;
  mode.dmCopies = 3;
  info->pDevMode = &mode;
  info->pSecurityDescriptor = nullptr;
  if (!SetPrinterW(printer.Get(), 2, buffer.data(), 0)) return std::printf("error=set %lu\n", GetLastError()), 1;
  std::printf("ok=1\n");
  return 0;
}

int Load(const WText& file, DWORD seconds) {
  HMODULE module = LoadLibraryExW(file.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  if (module == nullptr) return std::printf("error=load %lu\n", GetLastError()), 1;
  std::printf("loaded=1\n");
  std::fflush(stdout);
  Sleep(seconds * 1000);
  FreeLibrary(module);
  return 0;
}

int HoldJob(const WText& printerName, DWORD seconds) {
  PrinterHandle printer;
  if (!OpenPrinterW(const_cast<LPWSTR>(printerName.c_str()), printer.Put(), nullptr))
    return std::printf("error=open %lu\n", GetLastError()), 1;
  wchar_t docName[] = L"waiting receipt";
  wchar_t dataType[] = L"RAW";
  DOC_INFO_1W doc{docName, nullptr, dataType};
  const DWORD job = StartDocPrinterW(printer.Get(), 1, reinterpret_cast<BYTE*>(&doc));
  if (job == 0) return std::printf("error=startdoc %lu\n", GetLastError()), 1;
  char bytes[] = "\x1b@waiting\n";
  DWORD written = 0;
  WritePrinter(printer.Get(), bytes, sizeof bytes - 1, &written);
  std::printf("job=%lu\n", job);
  std::fflush(stdout);
  // The job stays in the queue while its document is still being written.
  Sleep(seconds * 1000);
  return 0;
}

int Spooler(bool start) {
  ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  ServiceHandle service(manager ? OpenServiceW(manager.Get(), L"Spooler", SERVICE_ALL_ACCESS) : nullptr);
  if (!service) return std::printf("error=open %lu\n", GetLastError()), 1;
  SERVICE_STATUS_PROCESS status{};
  DWORD needed = 0;
  for (int i = 0; i < 1000; ++i) {
    QueryServiceStatusEx(service.Get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                         sizeof status, &needed);
    if (!start || status.dwCurrentState == SERVICE_RUNNING) break;
    if (status.dwCurrentState == SERVICE_STOPPED) StartServiceW(service.Get(), 0, nullptr);
    Sleep(20);
  }
  std::printf("state=%lu\npid=%lu\n", status.dwCurrentState, status.dwProcessId);
  return 0;
}

int AddPort(const WText& port) {
  RegKey ports;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports", 0,
                      nullptr, 0, KEY_ALL_ACCESS, nullptr, ports.Put(), nullptr) != ERROR_SUCCESS)
    return 1;
  const wchar_t empty[1] = {0};
  return RegSetValueExW(ports.Get(), port.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(empty), 2) ==
                 ERROR_SUCCESS
             ? 0
             : 1;
}

int Default() {
  wchar_t name[260] = {};
  DWORD size = 260;
  if (!GetDefaultPrinterW(name, &size)) return std::printf("default=\nerror=%lu\n", GetLastError()), 0;
  std::printf("default=%s\n", U8(name).c_str());
  return 0;
}

int Raw(const WText& printerName, const WText& file) {
  FileHandle in(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!in) return std::printf("error=read %lu\n", GetLastError()), 1;
  std::vector<BYTE> bytes(GetFileSize(in.Get(), nullptr));
  DWORD got = 0;
  if (!bytes.empty() && !ReadFile(in.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr))
    return 1;
  PrinterHandle printer;
  if (!OpenPrinterW(const_cast<LPWSTR>(printerName.c_str()), printer.Put(), nullptr))
    return std::printf("error=open %lu\n", GetLastError()), 1;
  wchar_t docName[] = L"raw ESC/POS";
  wchar_t dataType[] = L"RAW";
  DOC_INFO_1W doc{docName, nullptr, dataType};
  if (StartDocPrinterW(printer.Get(), 1, reinterpret_cast<BYTE*>(&doc)) == 0)
    return std::printf("error=startdoc %lu\n", GetLastError()), 1;
  DWORD written = 0;
  const BOOL ok = WritePrinter(printer.Get(), bytes.data(), got, &written);
  EndDocPrinter(printer.Get());
  std::printf("written=%lu\nok=%d\n", written, ok);
  return ok && written == got ? 0 : 1;
}

int DriverDir() {
  WinInstallSystem system;
  std::printf("dir=%s\narch=%u\n", U8(system.PrinterDriverDirectory().value_or(L"")).c_str(),
              system.NativeArchitecture());
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::vector<WText> a(argv + 1, argv + argc);
  auto is = [&](const wchar_t* cmd, size_t args) { return a.size() >= args + 1 && a[0] == cmd; };
  if (is(L"usb-add", 4)) return UsbAdd(a[1], a[2] == L"-" ? kNoValue : wcstoul(a[2].c_str(), nullptr, 10), a[3], a[4]);
  if (is(L"usb-list", 0)) return UsbList();
  if (is(L"install", 3)) return Install(a[1], a[2], a[3], a.size() > 4 && a[4] == L"default");
  if (is(L"driver", 1)) return Driver(a[1]);
  if (is(L"queue", 1)) return Queue(a[1]);
  if (is(L"spooler", 0)) return Spooler(false);
  if (is(L"spooler-start", 0)) return Spooler(true);
  if (is(L"add-port", 1)) return AddPort(a[1]);
  if (is(L"default", 0)) return Default();
  if (is(L"raw", 2)) return Raw(a[1], a[2]);
  if (is(L"driver-dir", 0)) return DriverDir();
  if (is(L"set-preferences", 1)) return SetPreferences(a[1]);
  if (is(L"load", 2)) return Load(a[1], wcstoul(a[2].c_str(), nullptr, 10));
  if (is(L"hold-job", 2)) return HoldJob(a[1], wcstoul(a[2].c_str(), nullptr, 10));
  std::fprintf(stderr, "install-check: unknown command\n");
  return 2;
}
