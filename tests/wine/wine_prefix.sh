# wine_prefix.sh: sourced by the Wine checks. Makes one throwaway prefix for
# the whole check, booted once, so that its programs share one spooler and
# registry; removes it on exit.
#   wine_prefix_start i386|amd64     (exits 77 where that Wine cannot run)
#   wrun PROGRAM [ARGS...]           runs a Windows program in the prefix
#   check ARGS...                    runs C:\install-check.exe, output without CRs
#   fail TEXT / expect OUTPUT LINE... count failures in $failures
# After wine_prefix_start: $WINEPREFIX, $drive_c.

# Picks the Wine loader of an architecture into $WINE_LOADER (and WINEARCH);
# exits 77 (skipped) where this machine cannot run it: 32-bit Wine needs a
# kernel that executes i386 Linux programs.
wine_loader_for() {
  local arch=$1
  case "$arch" in
    amd64) WINE_LOADER=/usr/lib/wine/wine64; export WINEARCH=win64 ;;
    i386) WINE_LOADER=/usr/lib/wine/wine; export WINEARCH=win32 ;;
    *) echo "wine_prefix: unknown architecture $arch" >&2; exit 2 ;;
  esac
  if [ ! -x "$WINE_LOADER" ]; then
    echo "SKIP: $WINE_LOADER is not installed" >&2
    exit 77
  fi
  if [ "$arch" = i386 ] && ! timeout 20 "$WINE_LOADER" --version >/dev/null 2>&1; then
    echo "SKIP: this kernel does not run i386 programs, so 32-bit Wine cannot start here" >&2
    exit 77
  fi
}

wine_prefix_start() {
  wine_loader_for "$1"
  WINEPREFIX=$(mktemp -d /tmp/lorvex-wine.XXXXXX)
  export WINEPREFIX WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=${WINEDEBUG:--all}
  trap 'wine_prefix_end' EXIT
  wrun wineboot -i >/dev/null 2>&1
  # Until the boot's own processes are done, the first service start can
  # fail with "database locked".
  timeout 60 wineserver -w
  drive_c=$WINEPREFIX/drive_c
}

wine_prefix_end() {
  cd / || true
  wineserver -k >/dev/null 2>&1
  rm -rf "$WINEPREFIX"
}

# $WINE_LC_ALL, when set, is the locale of every Wine program (Wine picks
# its resource language from LC_ALL, without generated locales).
wrun() {
  env ${WINE_LC_ALL:+LC_ALL=$WINE_LC_ALL} timeout 120 "$WINE_LOADER" "$@"
}

# The texts a program sent to the debugger channel, one per line as Wine
# logs them under WINEDEBUG=-all,warn+seh: OutputDebugStringA "..." with C
# escapes kept (a backslash shows as \\, a line feed as \n).
debugger_texts() {
  sed -n 's/^[0-9a-f]*:warn:seh:OutputDebugStringA "\(.*\)"$/\1/p' "$1"
}

# The same text in Wine's escaped form.
wine_escape() {
  printf '%s' "$1" | sed -e 's/\\/\\\\/g'
}

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# expect OUTPUT LINE...: every LINE is a whole line of OUTPUT.
expect() {
  local out=$1; shift
  for line in "$@"; do grep -qxF -- "$line" <<<"$out" || fail "expected '$line' in: $(tr '\n' ' ' <<<"$out")"; done
}
check() { wrun 'C:\install-check.exe' "$@" 2>/dev/null | tr -d '\r'; }

# port_to_file PORT FILE: the spooler runs and lists PORT, and what a queue
# prints on it lands in FILE (a Linux path).
port_to_file() {
  check spooler-start >/dev/null
  check add-port "$1" >/dev/null
  wrun reg add 'HKCU\Software\Wine\Printing\Spooler' /v "$1" /d "$2" /f >/dev/null 2>&1
}

# raw_lands PRINTER FILE LANDED: FILE's bytes, sent RAW through the queue,
# arrive in LANDED unchanged.
raw_lands() {
  cp "$2" "$drive_c/raw.bin"
  expect "$(check raw "$1" 'C:\raw.bin')" "ok=1"
  local i
  for i in $(seq 1 100); do [ -s "$3" ] && [ "$(stat -c %s "$3")" -ge "$(stat -c %s "$2")" ] && break; sleep 0.1; done
  cmp -s "$2" "$3" || fail "the bytes printed on $1 differ from those sent ($(stat -c %s "$3" 2>/dev/null || echo none) of $(stat -c %s "$2"))"
}

# package_as_built ROOT: lays the driver package out in C:\package as the
# main job does, without Unidrv's generic files, and sets $pkg to it. Run
# from the prefix's folder (package.log is left there).
package_as_built() {
  pkg="$drive_c/package"
  (unset LORVEX_UNIDRV_DIR; "$1/scripts/package.sh" "$pkg") > package.log || { cat package.log >&2; exit 1; }
  grep -q "the installer takes Windows' own Unidrv files" package.log || fail "the package message: $(cat package.log)"
}

# package_with_stand_ins ROOT: after package_as_built, lays the package out
# again with stand-ins (test bytes of our own, never shipped) for Unidrv's
# generic files, named as a Windows folder may name them.
package_with_stand_ins() {
  local generic="$WINEPREFIX/unidrv" a f
  mkdir -p "$generic/i386" "$generic/amd64"
  for a in i386 amd64; do
    for f in unidrv.dll UNIDRVUI.DLL unires.dll; do echo "stand-in $f ($a)" > "$generic/$a/$f"; done
  done
  for f in stdnames.gpd TTFSUB.GPD unidrv.hlp; do echo "stand-in $f" > "$generic/$f"; done
  LORVEX_UNIDRV_DIR=$generic "$1/scripts/package.sh" "$pkg" > package.log || fail "package with the generic files: $(cat package.log)"
}
