// test_print.cpp: the GDI test page, the raw USB port test and the port
// wizard.
#include <windows.h>

#include <vector>

#include "dialog_rules.h"
#include "installer_program.h"
#include "win_handles.h"

namespace lorvex {

namespace {

constexpr size_t kAnsiBytes = 250;
constexpr DWORD kWizardIdleMs = 10000;
constexpr UINT kTcmSetCurFocus = 0x1330;
constexpr WPARAM kPortsTab = 2;
// The test page's layout in the printer's device units.
constexpr RECT kTextBox = {10, 10, 400, 500};
constexpr int kLogoX = 30, kLogoY = 20;
constexpr LONG kTestFontWeight = 580;

// The window FindProcessWindow found.
HWND g_foundWindow = nullptr;

}  // namespace

// Window enumeration callback: stops at the first top-level window of the
// process whose id `processId` carries.
BOOL CALLBACK FindProcessWindow(HWND window, LPARAM processId) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == static_cast<DWORD>(processId)) {
    g_foundWindow = window;
    return FALSE;
  }
  return TRUE;
}

int PrintTestPage(const WText& printerName) {
  DOCINFOW document{};
  document.cbSize = sizeof document;
  document.lpszDocName = printerName.c_str();

  SYSTEMTIME now{};
  GetLocalTime(&now);

  GdiObject logo(LoadBitmapW(g_instance, MAKEINTRESOURCEW(ids::kLogoBitmap)));
  DeviceContext printer(CreateDCW(nullptr, printerName.c_str(), nullptr, nullptr));
  DeviceContext memory(CreateCompatibleDC(printer.Get()));
  BITMAP logoSize{};
  if (logo) GetObjectW(logo.Get(), sizeof logoSize, &logoSize);
  HGDIOBJ memoryBefore = (memory && logo) ? SelectObject(memory.Get(), logo.Get()) : nullptr;

  LOGFONTW face{};
  GetObjectW(GetStockObject(SYSTEM_FONT), sizeof face, &face);
  face.lfWidth = 0;
  face.lfWeight = kTestFontWeight;
  face.lfHeight = static_cast<LONG>(face.lfHeight * 2.0);
  GdiObject font(CreateFontIndirectW(&face));

  if (printer) {
    HGDIOBJ fontBefore = SelectObject(printer.Get(), font.Get());
    StartDocW(printer.Get(), &document);
    StartPage(printer.Get());
    const LocalTime when{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
    const WText text = TestPageText(LoadText(ids::kTestPageText), printerName, when).value_or(WText());
    RECT box = kTextBox;
    DrawTextW(printer.Get(), text.c_str(), -1, &box, DT_NOCLIP);
    if (memory && logo)
      BitBlt(printer.Get(), kLogoX, kLogoY, logoSize.bmWidth, logoSize.bmHeight, memory.Get(), 0, 0, SRCCOPY);
    EndPage(printer.Get());
    EndDoc(printer.Get());
    SelectObject(printer.Get(), fontBefore);
  }
  // The logo leaves the memory context before either is deleted.
  if (memoryBefore) SelectObject(memory.Get(), memoryBefore);
  return 1;
}

bool WriteToDevice(const WText& devicePath, const void* bytes, DWORD length) {
  FileHandle device(CreateFileW(devicePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                0, nullptr));
  if (!device) {
    OutputDebugStringW(L"open usb device failed !");
    return false;
  }
  DWORD written = 0;
  // A write that takes fewer bytes than asked has not printed the test.
  if (WriteFile(device.Get(), bytes, length, &written, nullptr) && written == length) {
    OutputDebugStringW(L"print scuessful !");
    return true;
  }
  OutputDebugStringW(L"print failed !");
  return false;
}

bool PrintUsbPortTest(const UsbPrinterEntry& entry) {
  const WText text = PortTestText(LoadText(ids::kPortTestText), entry.portName).value_or(WText());
  char ansi[kAnsiBytes] = {};
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, ansi, sizeof ansi - 1, nullptr, nullptr);
  WriteToDevice(entry.devicePath, ansi, static_cast<DWORD>(strnlen(ansi, sizeof ansi)));
  return WriteToDevice(entry.devicePath, FeedAndCutBytes, sizeof FeedAndCutBytes);
}

void OpenPortWizard(const WText& printerName) {
  WText command = PortWizardCommand(printerName);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
  KernelHandle processHandle(process.hProcess), threadHandle(process.hThread);
  if (processHandle && WaitForInputIdle(processHandle.Get(), kWizardIdleMs) == 0) {
    g_foundWindow = nullptr;
    EnumWindows(FindProcessWindow, static_cast<LPARAM>(process.dwProcessId));
    if (g_foundWindow != nullptr) {
      HWND tabs = FindWindowExW(g_foundWindow, nullptr, L"SysTabControl32", nullptr);
      // Without a tab control there is nothing to turn (a post to no window
      // would land in our own queue).
      if (tabs != nullptr) PostMessageW(tabs, kTcmSetCurFocus, kPortsTab, 0);
    }
  }
}

}  // namespace lorvex
