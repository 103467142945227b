#!/usr/bin/env bash
# Installer.exe as an integrator's script runs it under Wine: /? and bad
# arguments, a quiet install with and without a (simulated) USB printer, the
# same install again, a changed package over the old one while the spooler's
# copy of the plug-in is loaded, a named local port and the default printer,
# the Apps & features entry, and the uninstall it runs after the package's
# folder is gone: no queue, driver, driver file, port or entry left.
#   unattended.sh i386|amd64 WIN-BUILD-DIR REPO-ROOT
set -uo pipefail
arch=$1 build=$(realpath "$2") root=$(realpath "$3")
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine_prefix.sh"
wine_prefix_start "$arch"
cd "$WINEPREFIX" || exit 1

case "$arch" in amd64) sub=amd64 driver_dir=x64 ;; i386) sub=i386 driver_dir=w32x86 ;; esac
dd="$drive_c/windows/system32/spool/drivers/$driver_dir"
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\LORVEX'
cp "$build/tests/wine/install-check.exe" "$drive_c/install-check.exe"

# The package as the main job lays it out, with stand-in generic files, and
# the installer of this architecture in it.
package_as_built "$root"
package_with_stand_ins "$root"
cp "$build/installer/Installer.exe" "$pkg/Installer.exe"

# run LOG ARGS...: Installer.exe from the package with /log:, its output in
# $out and its exit code in $rc. A window would keep it running: timeout.
run() {
  local log=$1; shift
  out=$(wrun 'C:\package\Installer.exe' "$@" "/log:C:\\$log" 2>/dev/null | tr -d '\r')
  rc=$?
}
log_of() { tr -d '\r' < "$drive_c/$1"; }
no_trace_of_us() {
  expect "$(check driver RVT-520)" "found=0"
  expect "$(check queue RVT-520)" "opened=0"
  wrun reg query "$entry" >/dev/null 2>&1 && fail "$1: the Apps & features entry is there"
}

# /? and refused arguments: the usage, exit codes 0 and 1, no window.
out=$(wrun 'C:\package\Installer.exe' '/?' 2>/dev/null | tr -d '\r'); rc=$?
[ "$rc" -eq 0 ] || fail "/? exit code $rc"
grep -q '^Exit codes: 0 done, 1 bad arguments, 2 no port' <<<"$out" || fail "/? usage: $out"
run bad.log /quiet /port:LPT1: /colour
[ "$rc" -eq 1 ] || fail "bad arguments exit code $rc"
expect "$out" 'The command line was not understood: "/colour": unknown switch'
WINE_LC_ALL=zh_CN.UTF-8 run bad-zh.log /quiet /nonsense
[ "$rc" -eq 1 ] || fail "bad arguments (Chinese) exit code $rc"
grep -q '^exit code 1: 无法识别命令行："/nonsense": unknown switch$' <(log_of bad-zh.log) ||
  fail "the Chinese log: $(log_of bad-zh.log)"

# No USB printer and no /port:: refused, nothing changed.
run none.log /quiet
[ "$rc" -eq 2 ] || fail "no port exit code $rc"
grep -q '^exit code 2: No USB printer device found, and no port was named with /port:' <(log_of none.log) ||
  fail "no port log: $(log_of none.log)"
no_trace_of_us "refused install"
[ -e "$dd/LORVEX.DLL" ] && fail "the refused install copied files"

# A USB receipt printer: its port and model, the entry, the kept installer.
check usb-add 'USB\VID_0416&PID_5011\SN0001' 1 "RVT-520 Receipt" SN0001 >/dev/null
run first.log /quiet /default
[ "$rc" -eq 0 ] || fail "quiet install exit code $rc: $out"
expect "$out" "The printer RVT-520 is installed on port USB001."
expect "$(check queue RVT-520)" "opened=1" "port=USB001" "driver=RVT-520"
expect "$(check default)" "default=RVT-520"
[ "$(grep -c '^Copy file from .*, 1, errcode:0x0\.$' <(log_of first.log))" -eq 13 ] ||
  fail "13 copy lines in the log: $(log_of first.log)"
grep -qx 'exit code 0: The printer RVT-520 is installed on port USB001.' <(log_of first.log) || fail "outcome not logged"
values=$(wrun reg query "$entry" 2>/dev/null | tr -d '\r')
kept='C:\Program Files\LORVEX\Installer.exe'
[ "$arch" = i386 ] && [ -d "$drive_c/Program Files (x86)" ] && kept='C:\Program Files (x86)\LORVEX\Installer.exe'
for want in "DisplayName    REG_SZ    LORVEX receipt printer driver (RVT-520)" "DisplayVersion    REG_SZ    7.24.0" \
  "Publisher    REG_SZ    LORVEX" "DisplayIcon    REG_SZ    $kept,0" \
  "UninstallString    REG_SZ    \"$kept\" /uninstall" "QuietUninstallString    REG_SZ    \"$kept\" /uninstall /quiet"; do
  grep -qF -- "$want" <<<"$values" || fail "entry lacks '$want': $values"
done
kept_unix="$drive_c/${kept#C:\\}"; kept_unix=${kept_unix//\\//}
cmp -s "$pkg/Installer.exe" "$kept_unix" || fail "no copy of the installer at $kept"

# Again with the same arguments: the one queue, the driver updated.
check set-preferences RVT-520 >/dev/null
run again.log /quiet /default
[ "$rc" -eq 0 ] || fail "second install exit code $rc"
expect "$out" "The printer RVT-520 was already installed; its driver is up to date now."
expect "$(check queue 'RVT-520(Copy 1)')" "opened=0"

# A changed package while a program has the spooler's copy of the plug-in
# loaded: the new files are used, the queue keeps name, port, preferences.
printf 'version two\n' >> "$pkg/$sub/LORVEX.DLL"
printf '; version two\n' >> "$pkg/LORVEX.INI"
wrun 'C:\install-check.exe' load "C:\\windows\\system32\\spool\\drivers\\$driver_dir\\3\\LORVEX.DLL" 30 > load.txt 2>&1 &
load_pid=$!
for _ in $(seq 1 50); do grep -q loaded=1 load.txt 2>/dev/null && break; sleep 0.2; done
grep -q loaded=1 load.txt || fail "the plug-in could not be loaded: $(cat load.txt)"
run upgrade.log /quiet
[ "$rc" -eq 0 ] || fail "upgrade exit code $rc: $out"
cmp -s "$pkg/$sub/LORVEX.DLL" "$dd/3/LORVEX.DLL" || fail "the loaded plug-in was not replaced"
cmp -s "$pkg/LORVEX.INI" "$dd/3/LORVEX.INI" || fail "LORVEX.INI was not replaced"
grep -q 'LORVEX.DLL was in use: set aside as .*LORVEX.DLL.old1, removed at the next restart.' <(log_of upgrade.log) ||
  fail "the set-aside file is not logged: $(grep -v '^Copy' <(log_of upgrade.log))"
expect "$(check queue RVT-520)" "opened=1" "port=USB001" "location=till 3" "orientation=2" "copies=3"

# A named local port, made by the install and recorded for the uninstall.
run com.log /quiet /port:COM7: /name:Kitchen
[ "$rc" -eq 0 ] || fail "COM7: install exit code $rc: $out"
expect "$(check queue Kitchen)" "opened=1" "port=COM7:"
wrun reg query "$entry" /v AddedPorts 2>/dev/null | tr -d '\r' | grep -q 'REG_MULTI_SZ    COM7:' || fail "COM7: not recorded"

# The uninstall as Apps & features runs it, with the package folder gone.
rm -rf "$pkg"
quiet_uninstall=$(wrun reg query "$entry" /v QuietUninstallString 2>/dev/null | tr -d '\r' |
  sed -n 's/.*REG_SZ    "\(.*\)" \/uninstall \/quiet$/\1/p')
[ "$quiet_uninstall" = "$kept" ] || fail "QuietUninstallString names $quiet_uninstall"
out=$(wrun "$kept" /uninstall /quiet '/log:C:\uninstall.log' 2>/dev/null | tr -d '\r'); rc=$?
[ "$rc" -eq 0 ] || fail "uninstall exit code $rc: $out"
expect "$out" "The receipt printer driver is removed, and with it 2 printer(s)."
no_trace_of_us "uninstall"
expect "$(check queue Kitchen)" "opened=0"
wrun reg query 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Ports' 2>/dev/null | grep -q 'COM7:' &&
  fail "the COM7: port is left"
# The kept installer ran the uninstall, and a program still has the old
# plug-in loaded: Windows removes both at the restart, when that program
# has ended.
wait "$load_pid"
wrun wineboot -r >/dev/null 2>&1
timeout 60 wineserver -w
left=$(find "$drive_c/windows/system32/spool/drivers" -type f ! -name 'wineps*' ! -name '*.icm' | sed "s|$drive_c/||")
[ -z "$left" ] || fail "files left in the driver directories: $left"
[ -e "$kept_unix" ] && fail "the kept installer is still there after the restart"
[ -e "$(dirname "$kept_unix")" ] && fail "its folder is still there after the restart"

# Once more: nothing to remove is no failure.
cp "$build/installer/Installer.exe" "$drive_c/Installer.exe"
out=$(wrun 'C:\Installer.exe' /uninstall /quiet 2>/dev/null | tr -d '\r'); rc=$?
[ "$rc" -eq 0 ] || fail "second uninstall exit code $rc"
expect "$out" "The receipt printer driver is not installed; there is nothing to remove."

[ "$failures" -eq 0 ] && echo "$arch: Installer.exe installs, reinstalls, upgrades and uninstalls from a script"
exit "$failures"
