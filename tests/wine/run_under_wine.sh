#!/usr/bin/env bash
# Runs a Windows program under Wine in a throwaway prefix.
#   run_under_wine.sh i386|amd64 PROGRAM.exe [ARGS...]
# Exits 77 (skipped) when this machine cannot run that architecture: 32-bit
# Wine needs a kernel that executes i386 Linux programs.
set -uo pipefail
arch=$1; shift

. "$(dirname "$0")/wine_prefix.sh"
wine_loader_for "$arch"

prefix=$(mktemp -d /tmp/lorvex-wine.XXXXXX)
trap 'WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1; rm -rf "$prefix"' EXIT
export WINEPREFIX=$prefix WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=${WINEDEBUG:--all}
"$WINE_LOADER" "$@"
