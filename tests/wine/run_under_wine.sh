#!/usr/bin/env bash
# Runs a Windows program under Wine in a throwaway prefix.
#   run_under_wine.sh i386|amd64 PROGRAM.exe [ARGS...]
# Exits 77 (skipped) when this machine cannot run that architecture: 32-bit
# Wine needs a kernel that executes i386 Linux programs.
set -uo pipefail
arch=$1; shift

case "$arch" in
  amd64) loader=/usr/lib/wine/wine64 ;;
  i386) loader=/usr/lib/wine/wine ;;
  *) echo "run_under_wine: unknown architecture $arch" >&2; exit 2 ;;
esac

if [ ! -x "$loader" ]; then
  echo "SKIP: $loader is not installed" >&2
  exit 77
fi
if [ "$arch" = i386 ] && ! timeout 20 "$loader" --version >/dev/null 2>&1; then
  echo "SKIP: this kernel does not run i386 programs, so 32-bit Wine cannot start here" >&2
  exit 77
fi

prefix=$(mktemp -d /tmp/lorvex-wine.XXXXXX)
trap 'WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1; rm -rf "$prefix"' EXIT
export WINEPREFIX=$prefix WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=${WINEDEBUG:--all}
[ "$arch" = i386 ] && export WINEARCH=win32
"$loader" "$@"
