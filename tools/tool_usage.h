// tool_usage.h: every tool answers --help (or -h) with its usage on
// standard output and status 0, before it looks at anything else.
#ifndef LORVEX_TOOLS_TOOL_USAGE_H
#define LORVEX_TOOLS_TOOL_USAGE_H

#include <cstdio>
#include <cstring>

// True, with `usage` printed, when the command line asks for help.
inline bool AnswerHelp(int argc, char** argv, const char* usage) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(usage, stdout);
      return true;
    }
  }
  return false;
}

#endif  // LORVEX_TOOLS_TOOL_USAGE_H
