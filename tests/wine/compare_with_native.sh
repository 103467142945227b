#!/usr/bin/env bash
# Runs the same check program natively and as a Windows build under Wine and
# compares what they print, line by line.
#   compare_with_native.sh i386|amd64 NATIVE_PROGRAM WINDOWS_PROGRAM.exe
set -uo pipefail
arch=$1 native=$2 windows=$3
here=$(cd "$(dirname "$0")" && pwd)

if [ ! -f "$windows" ]; then
  echo "missing Windows build: $windows" >&2
  exit 1
fi
want=$("$native") || { echo "native run failed" >&2; exit 1; }
got=$("$here/run_under_wine.sh" "$arch" "$windows" | tr -d '\r')
rc=${PIPESTATUS[0]}
[ "$rc" -eq 77 ] && exit 77
if [ "$rc" -ne 0 ]; then
  echo "Windows build exited with $rc under Wine" >&2
  exit 1
fi
if [ "$want" != "$got" ]; then
  echo "Windows ($arch) and native results differ:" >&2
  diff <(printf '%s\n' "$want") <(printf '%s\n' "$got") >&2
  exit 1
fi
echo "$arch under Wine matches native: $(printf '%s\n' "$want" | wc -l) lines"
