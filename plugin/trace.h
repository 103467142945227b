// trace.h: the plug-in's trace on the system debugger channel.
//
// Fixed lines carry the source file, "@", the line, ": ", the text and CR LF,
// and a class (0 information, 1 warning, 2 error); a line is sent when the
// process-wide level is at or below its class. Formatted traces go through
// DbgTrace, whatever the level.
#ifndef LORVEX_PLUGIN_TRACE_H
#define LORVEX_PLUGIN_TRACE_H

#include "lxcom.h"

extern LONG g_nTraceLevel;

enum TraceClass : int { kTraceInfo = 0, kTraceWarning = 1, kTraceError = 2 };

// A fixed trace line: where it comes from, its class and its text.
struct TraceLine {
  const char* file;
  int line;
  TraceClass cls;
  const char* text;
};

// The complete set of fixed lines.
namespace trace_lines {
constexpr TraceLine kQueryIUnknown = {"intrface", 130, kTraceInfo, "COemUni2::QueryInterface IUnknown."};
constexpr TraceLine kQueryUni2 = {"intrface", 135, kTraceInfo, "COemUni2::QueryInterface IPrintOemUni2."};
constexpr TraceLine kQueryUni3 = {"intrface", 139, kTraceInfo, "COemUni2::QueryInterface IPrintOemUni3."};
constexpr TraceLine kQueryRefused = {"intrface", 144, kTraceWarning,
                                     "Warning: COemUni2::QueryInterface NULL. Returning E_NOINTERFACE."};
constexpr TraceLine kDevModeInvalid = {"intrface", 343, kTraceError, "Error:DevMode() ERROR_INVALID_PARAMETER."};
constexpr TraceLine kGetInfoInvalid = {
    "intrface", 1021, kTraceWarning,
    "Warning: COemUni2::GetInfo() exit pcbNeeded is NULL! ERROR_INVALID_PARAMETER."};
constexpr TraceLine kClassNotAvailable = {"intrface", 2194, kTraceError,
                                          "Error:DllGetClassObject:\tClass not available!"};
constexpr TraceLine kConvertInvalid = {"devmode", 54, kTraceError,
                                       "Error:ConvertOEMDevmode() invalid parameters."};
}  // namespace trace_lines

// Sends a fixed line when the level lets its class through.
void Trace(const TraceLine& line);

// Formats printf-style and sends the text as it is (no prefix, no line end).
// A text longer than 767 characters, or one that cannot be formatted, is not
// sent at all. Each call formats in a buffer of its own. Answers whether the
// text was sent.
BOOL DbgTrace(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Sends the registry form of an interface identifier on the wide channel,
// whatever the level, when it can be made.
void TraceInterfaceId(REFIID riid);

#endif  // LORVEX_PLUGIN_TRACE_H
