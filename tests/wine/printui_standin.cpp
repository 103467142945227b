// A stand-in for the system's printui.dll, for the port wizard's test: Wine's
// own does nothing for "/p". PrintUIEntryW shows a window with a tab control,
// as the printer-properties dialog has, writes its command line to
// C:\printui-standin.log and then every tab-focus request its tab control
// receives, and closes itself after eight seconds.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>

namespace {

constexpr UINT kTcmSetCurFocus = 0x1330;
constexpr UINT_PTR kCloseTimer = 1;
WNDPROC g_tabProc = nullptr;

void Log(const wchar_t* format, ...) {
  FILE* f = _wfopen(L"C:\\printui-standin.log", L"a");
  if (f == nullptr) return;
  va_list args;
  va_start(args, format);
  vfwprintf(f, format, args);
  va_end(args);
  fclose(f);
}

LRESULT CALLBACK TabProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kTcmSetCurFocus) Log(L"focus=%u\n", static_cast<unsigned>(wParam));
  return CallWindowProcW(g_tabProc, w, message, wParam, lParam);
}

LRESULT CALLBACK FrameProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER || message == WM_CLOSE) {
    DestroyWindow(w);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(w, message, wParam, lParam);
}

}  // namespace

extern "C" __declspec(dllexport) void WINAPI PrintUIEntryW(HWND, HINSTANCE instance, LPCWSTR command, int) {
  Log(L"command=%ls\n", command ? command : L"(null)");
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
  WNDCLASSW frameClass{};
  frameClass.lpfnWndProc = FrameProc;
  frameClass.hInstance = instance;
  frameClass.lpszClassName = L"LorvexPrintUiStandIn";
  frameClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  RegisterClassW(&frameClass);
  HWND frame = CreateWindowExW(0, frameClass.lpszClassName, L"Printer Properties (stand-in)",
                               WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 420, 300, nullptr, nullptr,
                               instance, nullptr);
  HWND tabs = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE, 10, 10, 390, 240, frame,
                              nullptr, instance, nullptr);
  const wchar_t* names[] = {L"General", L"Sharing", L"Ports", L"Advanced"};
  for (int i = 0; i < 4; ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(names[i]);
    SendMessageW(tabs, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
  g_tabProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(tabs, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TabProc)));
  SetTimer(frame, kCloseTimer, 8000, nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  Log(L"closed\n");
}
