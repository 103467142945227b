// trace.cpp: fixed trace lines, DbgTrace and the identifier line.
#include "trace.h"

#include <cstdarg>
#include <cstdio>

LONG g_nTraceLevel = 0;

namespace {
// The longest formatted text that is sent; one more byte ends it.
constexpr int kMaxTraceChars = 767;
}  // namespace

void Trace(const TraceLine& line) {
  if (g_nTraceLevel > line.cls) return;
  char text[512];
  std::snprintf(text, sizeof(text), "%s@%d: %s\r\n", line.file, line.line, line.text);
  OutputDebugStringA(text);
}

BOOL DbgTrace(const char* format, ...) {
  // A buffer per call: two threads tracing at once keep their own texts.
  char buffer[kMaxTraceChars + 1];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(buffer, sizeof(buffer), format, args);
  va_end(args);
  buffer[kMaxTraceChars] = '\0';
  if (length < 0 || length > kMaxTraceChars) return FALSE;
  OutputDebugStringA(buffer);
  return TRUE;
}

void TraceInterfaceId(REFIID riid) {
  LPOLESTR text = nullptr;
  if (SUCCEEDED(StringFromIID(riid, &text)) && text) {
    OutputDebugStringW(text);
    CoTaskMemFree(text);
  }
}
