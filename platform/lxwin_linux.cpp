// lxwin_linux.cpp: the native build's stand-ins for the Windows services in
// lxwin.h.
#include "lxwin.h"

#if !defined(_WIN32)

#include <cstdlib>
#include <mutex>

namespace {
thread_local int t_localFailAfter = -1;
thread_local DWORD t_lastError = 0;

std::mutex g_debugMutex;
std::vector<std::string> g_debugMessages;

void Keep(std::string message) {
  std::lock_guard<std::mutex> lock(g_debugMutex);
  g_debugMessages.push_back(std::move(message));
}
}  // namespace

HLOCAL LocalAlloc(UINT flags, size_t bytes) {
  if (t_localFailAfter >= 0) {
    if (t_localFailAfter == 0) {
      t_localFailAfter = -1;
      return nullptr;
    }
    --t_localFailAfter;
  }
  if (bytes == 0) bytes = 1;
  return (flags & LMEM_ZEROINIT) ? std::calloc(bytes, 1) : std::malloc(bytes);
}

HLOCAL LocalFree(HLOCAL mem) {
  std::free(mem);
  return nullptr;
}

void SetLastError(DWORD code) { t_lastError = code; }
DWORD GetLastError() { return t_lastError; }

void OutputDebugStringA(LPCSTR text) { Keep(text ? text : ""); }

void OutputDebugStringW(LPCWSTR text) {
  // UTF-16 to UTF-8; the texts we send are identifiers, plain ASCII.
  std::string out = "W:";
  for (; text && *text; ++text) {
    const WCHAR c = *text;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  Keep(out);
}

LONG InterlockedIncrement(LONG volatile* value) {
  return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST);
}

LONG InterlockedDecrement(LONG volatile* value) {
  return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST);
}

namespace lxplatform {
void FailLocalAllocAfter(int count) { t_localFailAfter = count; }

std::vector<std::string> TakeDebugMessages() {
  std::lock_guard<std::mutex> lock(g_debugMutex);
  std::vector<std::string> out;
  out.swap(g_debugMessages);
  return out;
}
}  // namespace lxplatform

#else

namespace lxplatform {
void FailLocalAllocAfter(int) {}
}  // namespace lxplatform

#endif  // _WIN32
