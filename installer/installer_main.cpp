// installer_main.cpp: the installer program: the splash, the configuration
// dialog and the flow behind its buttons, and the switches of scripts.
//
// Without arguments the splash opens maximised as a blue backdrop and at
// once opens the configuration dialog on top of it, which stays open through
// any number of USB checks, installations and test pages until Cancel, or
// until the port wizard has been started. With /quiet or /uninstall (see
// command_line.h) it installs or removes without a window and ends with an
// exit code.
#include <windows.h>

#include <cstdio>

#include "command_line.h"
#include "dialog_rules.h"
#include "install_core.h"
#include "installer_program.h"
#include "maintenance.h"
#include "usb_discovery.h"
#include "win_system.h"

#ifndef LX_PACKAGE_VERSION
#define LX_PACKAGE_VERSION L"0.0.0"
#endif

namespace lorvex {

HINSTANCE g_instance = nullptr;

namespace {

constexpr size_t kPathChars = 260;
constexpr size_t kCaptionChars = 100;
constexpr size_t kMessageChars = 250;
constexpr COLORREF kSplashBlue = RGB(0, 100, 160);
constexpr COLORREF kSplashTitleColour = RGB(0, 20, 140);
constexpr int kSplashFontHeight = 50;

// Drive and directory of the program, ending in a backslash: the package
// files lie there.
WText SourceDirectory;
// Caption of every message box: the splash title, then string 109.
WText MessageCaption;
// The last USB discovery's printers, newest first.
UsbPrinterList g_usbPrinters;
// The splash background, made on first use and kept until the end.
HBRUSH g_splashBrush = nullptr;
GdiObject g_splashFont;

// The /log: file: every trace line and the outcome, in UTF-8, appended.
class LogFile {
 public:
  bool Open(const WText& path) {
    file_.Reset(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file_);
  }
  void Line(const WText& text) {
    if (!file_) return;
    const std::string bytes = Utf8FromWide(text) + "\r\n";
    DWORD written = 0;
    WriteFile(file_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }

 private:
  FileHandle file_;
};
LogFile g_log;

// Hands the trace to the log as well; the lone line feed after each trace
// line is the debugger channel's, not the log's.
void TraceToLog(WinInstallSystem& system) {
  system.traceSink = [](const WText& text) {
    if (text != L"\n") g_log.Line(text);
  };
}

HBRUSH SplashBrush() {
  if (g_splashBrush == nullptr) g_splashBrush = CreateSolidBrush(kSplashBlue);
  return g_splashBrush;
}

int ShowMessage(HWND owner, const WText& text, UINT style) {
  return MessageBoxW(owner, text.c_str(), MessageCaption.c_str(), style);
}

void Discover() {
  WinUsbDeviceSource source;
  DiscoverUsbPrinters(source, g_usbPrinters);
}

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void InitConfigDialog(HWND dialog) {
  // The operating system, for the user's information only.
  OSVERSIONINFOEXW probe{};
  probe.dwOSVersionInfoSize = sizeof probe;
  probe.wProductType = VER_NT_WORKSTATION;
  const bool workstation =
      VerifyVersionInfoW(&probe, VER_PRODUCT_TYPE, VerSetConditionMask(0, VER_PRODUCT_TYPE, VER_EQUAL)) != FALSE;
  auto atLeast = [](uint32_t major, uint32_t minor) {
    OSVERSIONINFOEXW want{};
    want.dwOSVersionInfoSize = sizeof want;
    want.dwMajorVersion = major;
    want.dwMinorVersion = minor;
    want.wServicePackMajor = 0;
    ULONGLONG mask = VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&want, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, mask) != FALSE;
  };
  auto trueBuild = []() -> std::optional<uint32_t> {
    typedef LONG(WINAPI * RtlGetVersionEntry)(OSVERSIONINFOW*);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) return std::nullopt;
    const auto entry = reinterpret_cast<RtlGetVersionEntry>(
        reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "RtlGetVersion")));
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (entry == nullptr || entry(&version) != 0) return std::nullopt;
    return version.dwBuildNumber;
  };
  const int os = ChooseOsRadio(workstation, atLeast, trueBuild);
  if (os != 0) CheckDlgButton(dialog, os, BST_CHECKED);

  // The model radios: named slots shown, the others hidden.
  for (int i = 0; i < kModelSlots; ++i) {
    HWND radio = GetDlgItem(dialog, ids::kFirstModel + i);
    const WChar* name = ModelTable[i].modelName;
    SetWindowTextW(radio, name != nullptr ? name : L"");
    ShowWindow(radio, name != nullptr ? SW_SHOW : SW_HIDE);
  }

  Discover();
  if (const UsbPrinterEntry* first = g_usbPrinters.Head()) {
    if (const std::optional<int> slot = PreselectModelSlot(first->portDescription))
      CheckDlgButton(dialog, ids::kFirstModel + *slot, BST_CHECKED);
    CheckDlgButton(dialog, ids::kPortUsb, BST_CHECKED);
  } else {
    CheckDlgButton(dialog, ids::kPortOther, BST_CHECKED);
  }
}

void OnInstallNow(HWND dialog) {
  int slot = -1;
  for (int i = 0; i < kModelSlots && slot < 0; ++i)
    if (Checked(dialog, ids::kFirstModel + i)) slot = i;
  if (slot < 0 || ModelTable[slot].modelName == nullptr) {
    ShowMessage(dialog, LoadText(ids::kSelectPrinter), MB_ICONERROR);
    return;
  }

  InstallRequest request;
  request.driverName = Bounded(ModelTable[slot].modelName, kPathChars);
  request.printerName = request.driverName;
  request.dataFile = ModelTable[slot].dataFile;
  request.resourceDll = ModelTable[slot].resourceDll;
  const bool usb = Checked(dialog, ids::kPortUsb);
  if (usb) {
    // The list as the last discovery left it: a printer plugged in since
    // is used only after "Check USB Port".
    const UsbPrinterEntry* first = g_usbPrinters.Head();
    if (first == nullptr) {
      ShowMessage(dialog, LoadText(ids::kNoUsbPrinter), MB_ICONERROR);
      return;
    }
    request.portName = first->portName;
    request.usb = first->flag;
  } else {
    request.portName = L"LPT1:";
  }

  WinInstallSystem system;
  TraceToLog(system);
  WText missingFile;
  if (InstallPrinter(system, SourceDirectory, request, &missingFile) == 0) {
    const unsigned error = GetLastError();
    // A generic Unidrv file found nowhere is named; any other failure shows
    // its error code.
    const WText text = missingFile.empty()
                           ? FormatBounded(kMessageChars, LoadText(ids::kInstallFailed).c_str(), {error}).value_or(WText())
                           : FormatBounded(kMessageChars, LoadText(ids::kGenericFileMissing).c_str(), {missingFile})
                                 .value_or(WText());
    ShowMessage(dialog, text, MB_ICONERROR);
    return;
  }
  if (Checked(dialog, ids::kSetDefault)) SetDefaultPrinter(system, request.printerName);
  // Listed in Apps & features, so that it can be removed again.
  if (!RegisterUninstallEntry(system, LX_PACKAGE_VERSION, {}))
    DebugLog(system, L"The entry in Apps & features could not be written, errcode:0x%x.", {unsigned(GetLastError())});

  const int question = usb ? ids::kSucceedTestPage : ids::kSucceedPortSetup;
  if (ShowMessage(dialog, LoadText(question), MB_ICONQUESTION | MB_YESNO) != IDYES) return;
  if (usb) {
    PrintTestPage(request.printerName);
    return;
  }
  OpenPortWizard(request.printerName);
  EndDialog(dialog, ids::kCancel);
}

void OnCheckUsbPort(HWND dialog) {
  Discover();
  const UsbPrinterEntry* first = g_usbPrinters.Head();
  if (first == nullptr) {
    ShowMessage(dialog, LoadText(ids::kNoUsbPrinter), MB_ICONERROR);
    return;
  }
  CheckRadioButton(dialog, ids::kPortUsb, ids::kPortOther, ids::kPortUsb);
  if (PrintUsbPortTest(*first)) {
    const WText text =
        FormatBounded(kMessageChars, LoadText(ids::kCurrentPort).c_str(), {first->portName}).value_or(WText());
    ShowMessage(dialog, text, MB_OK);
  }
}

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      MessageCaption = LoadText(ids::kCaption, kCaptionChars + 1);
      InitConfigDialog(dialog);
      return FALSE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case ids::kInstallNow: OnInstallNow(dialog); break;
        case ids::kCancel: EndDialog(dialog, ids::kCancel); break;
        case ids::kCheckUsbPort: OnCheckUsbPort(dialog); break;
        default: break;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK SplashDialogProc(HWND splash, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      MessageCaption = FormatW(L"%ws %ws", {L"RVT-520 Printer Driver Setup", L""}).value_or(WText());
      SetDlgItemTextW(splash, ids::kSplashTitle, MessageCaption.c_str());
      // The face name matches no font; the font mapper picks its default.
      g_splashFont.Reset(CreateFontW(kSplashFontHeight, 0, 0, 0, FW_BOLD, TRUE, TRUE, FALSE, DEFAULT_CHARSET,
                                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                     DEFAULT_PITCH, L""));
      SendDlgItemMessageW(splash, ids::kSplashTitle, WM_SETFONT, reinterpret_cast<WPARAM>(g_splashFont.Get()),
                          TRUE);
      // The backdrop covers the screen even where a maximise during dialog
      // creation keeps the template's size (Wine 8 does): its normal
      // rectangle is the work area too.
      MONITORINFO monitor{};
      monitor.cbSize = sizeof monitor;
      if (GetMonitorInfoW(MonitorFromWindow(splash, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
        const RECT& work = monitor.rcWork;
        SetWindowPos(splash, nullptr, work.left, work.top, work.right - work.left, work.bottom - work.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      }
      ShowWindow(splash, SW_SHOWMAXIMIZED);
      PostMessageW(splash, WM_COMMAND, ids::kCancel, 0);
      return FALSE;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(splash, &paint);
      EndPaint(splash, &paint);
      return FALSE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == ids::kCancel) {
        DialogBoxParamW(g_instance, MAKEINTRESOURCEW(ids::kConfigDialog), splash, ConfigDialogProc, 0);
        EndDialog(splash, ids::kCancel);
      }
      return FALSE;
    case WM_CTLCOLORDLG:
      SetBkColor(reinterpret_cast<HDC>(wParam), kSplashBlue);
      return reinterpret_cast<INT_PTR>(SplashBrush());
    case WM_CTLCOLORSTATIC:
      if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == ids::kSplashTitle) {
        SetTextColor(reinterpret_cast<HDC>(wParam), kSplashTitleColour);
        SetBkColor(reinterpret_cast<HDC>(wParam), kSplashBlue);
        return reinterpret_cast<INT_PTR>(SplashBrush());
      }
      return reinterpret_cast<INT_PTR>(g_splashBrush);
    default:
      return FALSE;
  }
}

}  // namespace

WText LoadText(int id, size_t capacity) {
  // A pointer into the resource itself (length first), so any text length
  // can be cut to the buffer as LoadString would.
  const WChar* text = nullptr;
  const int length = LoadStringW(g_instance, static_cast<UINT>(id), reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || text == nullptr) return WText();
  return Bounded(WText(text, static_cast<size_t>(length)), capacity);
}

}  // namespace lorvex

namespace lorvex {
namespace {

// Text for whoever started the program: its console, or what its output
// is redirected to (UTF-8). False when there is neither.
bool WriteOut(const WText& text) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  FileHandle console;
  if ((out == nullptr || out == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
    console.Reset(CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    out = console.Get();
  }
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return false;
  const WText line = text + L"\r\n";
  DWORD written = 0, mode = 0;
  if (GetConsoleMode(out, &mode))
    return WriteConsoleW(out, line.c_str(), static_cast<DWORD>(line.size()), &written, nullptr) != FALSE;
  const std::string bytes = Utf8FromWide(line);
  return WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != FALSE;
}

// Whether the arguments ask for no window, even when they were refused.
bool AsksQuiet(const std::vector<WText>& arguments) {
  for (const WText& a : arguments) {
    const WText name = AsciiLower(a);
    if (name == L"/quiet" || name == L"-quiet" || name == L"/q" || name == L"-q") return true;
  }
  return false;
}

// The outcome: in the log with its code, to the caller's output, and in a
// message box when a window is allowed.
int Finish(const Outcome& outcome, bool quiet) {
  const WText format = LoadText(outcome.message);
  const WText text = OutcomeText(format, outcome).value_or(format);
  wchar_t code[16];
  swprintf(code, 16, L"%d", static_cast<int>(outcome.code));
  g_log.Line(WText(L"exit code ") + code + L": " + text);
  WriteOut(text);
  if (!quiet) {
    MessageCaption = LoadText(ids::kCaption, kCaptionChars + 1);
    MessageBoxW(nullptr, text.c_str(), MessageCaption.c_str(),
                outcome.code == kExitDone ? MB_ICONINFORMATION : MB_ICONERROR);
  }
  return outcome.code;
}

int RunCommand(const Command& command, const WText& commandLine) {
  if (command.logFile && !g_log.Open(*command.logFile))
    return Finish(Outcome{kExitBadArguments, ids::kLogRefused, {*command.logFile, unsigned(GetLastError())}},
                  command.quiet);
  g_log.Line(L"Installer.exe " LX_PACKAGE_VERSION L" " + commandLine);
  WinInstallSystem system;
  TraceToLog(system);
  if (command.action == Action::kInstall) {
    PackageInfo package{SourceDirectory, LX_PACKAGE_VERSION};
    Discover();
    return Finish(QuietInstall(system, package, command, g_usbPrinters), true);
  }
  // /uninstall: the dialog form asks before jobs are thrown away.
  MessageCaption = LoadText(ids::kCaption, kCaptionChars + 1);
  auto ask = [](const WText& queue, uint32_t jobs) {
    const WText text =
        FormatBounded(kMessageChars, LoadText(ids::kJobsWaitingQuestion).c_str(), {queue, unsigned(jobs)})
            .value_or(WText());
    return MessageBoxW(nullptr, text.c_str(), MessageCaption.c_str(), MB_ICONQUESTION | MB_YESNO) == IDYES;
  };
  return Finish(Uninstall(system, command.quiet, ask), command.quiet);
}

}  // namespace
}  // namespace lorvex

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  using namespace lorvex;
  g_instance = instance;
  WChar path[kPathChars] = {};
  GetModuleFileNameW(nullptr, path, kPathChars);
  WChar drive[_MAX_DRIVE] = {}, directory[_MAX_DIR] = {};
  _wsplitpath_s(path, drive, _MAX_DRIVE, directory, _MAX_DIR, nullptr, 0, nullptr, 0);
  SourceDirectory = FormatBounded(kPathChars, L"%ws%ws", {drive, directory}).value_or(WText());

  const WText line = commandLine != nullptr ? commandLine : L"";
  const std::vector<WText> arguments = SplitArguments(line);
  const Command command = ParseCommand(arguments);
  if (!command.error.empty()) {
    if (const std::optional<WText> log = LogFileOf(arguments); log && g_log.Open(*log))
      g_log.Line(L"Installer.exe " LX_PACKAGE_VERSION L" " + line);
    return Finish(Outcome{kExitBadArguments, ids::kBadArguments, {command.error}}, AsksQuiet(arguments));
  }
  switch (command.action) {
    case Action::kUsage:
      // Double-clicked with /? (no console): the usage in a box.
      if (!WriteOut(LoadText(ids::kUsage, 4096)))
        MessageBoxW(nullptr, LoadText(ids::kUsage, 4096).c_str(), LoadText(ids::kCaption).c_str(), MB_OK);
      return kExitDone;
    case Action::kInstall:
    case Action::kUninstall:
      return RunCommand(command, line);
    case Action::kDialog:
      break;
  }
  if (command.logFile && g_log.Open(*command.logFile)) g_log.Line(L"Installer.exe " LX_PACKAGE_VERSION L" " + line);
  DialogBoxParamW(instance, MAKEINTRESOURCEW(ids::kSplashDialog), nullptr, SplashDialogProc, 0);
  return 0;
}
