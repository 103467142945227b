// dialog-driver: drives the installer's dialogs from another process, as a
// user would, and prints what it sees. Commands run in order:
//
//   state             the dialog's caption and every control: id, shown,
//                     checked, text; the splash's rectangle and state
//   click ID          clicks a radio or check box (no box opens from these)
//   post ID           presses a button whose handler may open a modal box
//   box               waits for a message box of the dialog; prints its text
//   answer CODE       answers the box (IDOK 1, IDYES 6, IDNO 7), waiting for
//                     one if this run has not seen it yet
//   gone              waits until the dialog has closed
//   sleep MS
//
// The dialog is the "#32770" window with a control 1001; the splash the one
// with a control 1013; a message box a "#32770" owned by the dialog with the
// static 0xFFFF. Every wait polls every 50 ms and gives up after 60 s.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "wtext.h"

namespace {

std::string U8(const std::wstring& t) { return Utf8FromWide(t); }

std::wstring ClassOf(HWND w) {
  wchar_t name[64] = {};
  GetClassNameW(w, name, 64);
  return name;
}

std::wstring TextOf(HWND w) {
  wchar_t text[1024] = {};
  GetWindowTextW(w, text, 1024);
  return text;
}

struct Search {
  int childId;
  HWND owner;
  HWND found;
};

BOOL CALLBACK FindDialog(HWND w, LPARAM param) {
  Search* s = reinterpret_cast<Search*>(param);
  if (ClassOf(w) != L"#32770" || !IsWindowVisible(w)) return TRUE;
  if (s->owner != nullptr && GetWindow(w, GW_OWNER) != s->owner) return TRUE;
  if (GetDlgItem(w, s->childId) == nullptr) return TRUE;
  s->found = w;
  return FALSE;
}

HWND Find(int childId, HWND owner = nullptr) {
  Search s{childId, owner, nullptr};
  EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

HWND WaitFor(int childId, HWND owner = nullptr) {
  for (int i = 0; i < 1200; ++i) {
    if (HWND w = Find(childId, owner)) return w;
    Sleep(50);
  }
  return nullptr;
}

void State(HWND dialog) {
  std::printf("caption=%s\n", U8(TextOf(dialog)).c_str());
  RECT r;
  GetWindowRect(dialog, &r);
  std::printf("dialog=%ld,%ld,%ld,%ld\n", r.left, r.top, r.right, r.bottom);
  std::printf("style=0x%08lx\n", static_cast<unsigned long>(GetWindowLongW(dialog, GWL_STYLE)));
  static const int kIds[] = {1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010,
                             1014, 1015, 1016, 1017, 1018, 1019, 1, 2, 3};
  for (int id : kIds) {
    HWND c = GetDlgItem(dialog, id);
    if (c == nullptr) {
      std::printf("ctl=%d missing\n", id);
      continue;
    }
    const LRESULT check = SendMessageW(c, BM_GETCHECK, 0, 0);
    std::printf("ctl=%d|%d|%d|%s\n", id, IsWindowVisible(c) ? 1 : 0, check == BST_CHECKED ? 1 : 0,
                U8(TextOf(c)).c_str());
  }
  if (HWND splash = Find(1013)) {
    GetWindowRect(splash, &r);
    std::printf("splash=%ld,%ld,%ld,%ld|zoomed=%d|title=%s\n", r.left, r.top, r.right, r.bottom,
                IsZoomed(splash) ? 1 : 0, U8(TextOf(GetDlgItem(splash, 1013))).c_str());
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  HWND dialog = WaitFor(1001);
  if (dialog == nullptr) {
    std::printf("error=no dialog\n");
    return 1;
  }
  HWND box = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::wstring cmd = argv[i];
    const int arg = i + 1 < argc ? _wtoi(argv[i + 1]) : 0;
    if (cmd == L"state") {
      State(dialog);
    } else if (cmd == L"click") {
      SendMessageW(GetDlgItem(dialog, arg), BM_CLICK, 0, 0);
      ++i;
    } else if (cmd == L"post") {
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(arg, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(dialog, arg)));
      ++i;
    } else if (cmd == L"box") {
      box = WaitFor(0xFFFF, dialog);
      if (box == nullptr) {
        std::printf("box=none\n");
        return 1;
      }
      std::wstring text = TextOf(GetDlgItem(box, 0xFFFF));
      for (auto& c : text)
        if (c == L'\n') c = L'|';
      std::printf("box=%s\nboxcaption=%s\n", U8(text).c_str(), U8(TextOf(box)).c_str());
    } else if (cmd == L"answer") {
      if (box == nullptr) box = WaitFor(0xFFFF, dialog);
      if (box == nullptr) return std::printf("error=no box to answer\n"), 1;
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(arg, BN_CLICKED), 0);
      for (int k = 0; k < 1200 && IsWindow(box); ++k) Sleep(50);
      box = nullptr;
      ++i;
    } else if (cmd == L"gone") {
      int k = 0;
      for (; k < 1200 && IsWindow(dialog); ++k) Sleep(50);
      std::printf("gone=%d\n", IsWindow(dialog) ? 0 : 1);
    } else if (cmd == L"sleep") {
      Sleep(static_cast<DWORD>(arg));
      ++i;
    } else {
      std::printf("error=unknown command %s\n", U8(cmd).c_str());
      return 2;
    }
    std::fflush(stdout);
  }
  return 0;
}
