// installer_main.cpp: the installer program: the splash, the configuration
// dialog and the flow behind its buttons.
//
// The program takes no command line. The splash opens maximised as a blue
// backdrop and at once opens the configuration dialog on top of it, which
// stays open through any number of USB checks, installations and test pages
// until Cancel, or until the port wizard has been started.
#include <windows.h>

#include "dialog_rules.h"
#include "install_core.h"
#include "installer_program.h"
#include "usb_discovery.h"
#include "win_system.h"

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

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  using namespace lorvex;
  g_instance = instance;
  WChar path[kPathChars] = {};
  GetModuleFileNameW(nullptr, path, kPathChars);
  WChar drive[_MAX_DRIVE] = {}, directory[_MAX_DIR] = {};
  _wsplitpath_s(path, drive, _MAX_DRIVE, directory, _MAX_DIR, nullptr, 0, nullptr, 0);
  SourceDirectory = FormatBounded(kPathChars, L"%ws%ws", {drive, directory}).value_or(WText());
  DialogBoxParamW(instance, MAKEINTRESOURCEW(ids::kSplashDialog), nullptr, SplashDialogProc, 0);
  return 0;
}
