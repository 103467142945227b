#!/usr/bin/env bash
# The installer's core against Wine's real spooler, service manager, SetupAPI
# and registry, in one fresh prefix: a staged package installs (files, driver,
# queue, default printer, trace lines), later installs take numbered names, a
# missing file skips registration, the port check restarts the spooler only
# for an unlisted port, and USB discovery reads simulated printers.
#   installer_core.sh i386|amd64 INSTALL-CHECK.exe
set -uo pipefail
arch=$1 check_exe=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine_prefix.sh"
wine_prefix_start "$arch"
cd "$WINEPREFIX" || exit 1


cp "$check_exe" "$drive_c/install-check.exe"
case "$arch" in amd64) sub=amd64 driver_dir=x64 ;; i386) sub=i386 driver_dir=w32x86 ;; esac
expect "$(check driver-dir)" "dir=C:\\windows\\system32\\spool\\drivers\\$driver_dir"

# A staged package: stand-in bytes of our own, different in every file.
arch_files=(LORVEXRES.DLL LORVEX.DLL UNIDRV.DLL UNIDRVUI.DLL UNIRES.DLL)
common_files=(LORVEX.INI LORVEXC.INI LORVEXC.GPD MARLITC.INI MARLITC.GPD STDNAMES.GPD TTFSUB.GPD UNIDRV.HLP)
mkdir -p "$drive_c/setup/$sub"
for f in "${arch_files[@]}"; do printf 'stand-in %s for %s\n' "$f" "$sub" > "$drive_c/setup/$sub/$f"; done
for f in "${common_files[@]}"; do printf 'stand-in %s\n' "$f" > "$drive_c/setup/$f"; done

pid_of_spooler() { check spooler | sed -n 's/^pid=//p'; }
expect "$(check spooler-start)" "state=4"
pid_before=$(pid_of_spooler)

# First install on LPT1:, made the default, with the trace read off the
# debugger channel.
WINEDEBUG=-all,warn+seh wrun 'C:\install-check.exe' install 'C:\setup\' RVT-520 'LPT1:' default \
  > first.txt 2> first.log
expect "$(tr -d '\r' < first.txt)" "result=1" "printer=RVT-520"
dd="$drive_c/windows/system32/spool/drivers/$driver_dir"
for f in "${arch_files[@]}"; do cmp -s "$drive_c/setup/$sub/$f" "$dd/$f" || fail "$f not copied from $sub"; done
for f in "${common_files[@]}"; do cmp -s "$drive_c/setup/$f" "$dd/$f" || fail "$f not copied"; done
driver=$(check driver RVT-520)
expect "$driver" "found=1" "version=3" "defaulttype=RAW"
grep -qiE '^data=.*\\LORVEXC\.GPD$' <<<"$driver" || fail "data file: $driver"
grep -qiE '^driver=.*\\UNIDRV\.DLL$' <<<"$driver" || fail "driver path: $driver"
grep -qiE '^config=.*\\UNIDRVUI\.DLL$' <<<"$driver" || fail "config file: $driver"
[ "$(grep -c '^dependent=' <<<"$driver")" -eq 6 ] || fail "six dependent files: $driver"
for f in TTFSUB.GPD STDNAMES.GPD UNIRES.DLL LORVEX.DLL LORVEXRES.DLL LORVEX.INI; do
  grep -qiE "^dependent=.*\\\\$f\$" <<<"$driver" || fail "dependent $f missing"
done
expect "$(check queue RVT-520)" "opened=1" "port=LPT1:" "driver=RVT-520" "processor=WinPrint" \
  "datatype=RAW" "attributes=0x40"
expect "$(check default)" "default=RVT-520"
[ "$(pid_of_spooler)" = "$pid_before" ] || fail "LPT1: restarted the spooler"

# Every copy traced with both paths, its result and error, each line then a
# line feed of its own.
debugger_texts first.log > first.trace
for f in "${arch_files[@]}"; do
  want="Copy file from C:\\setup\\\\$sub\\$f to C:\\windows\\system32\\spool\\drivers\\$driver_dir\\$f, 1, errcode:0x0."
  grep -qxF -- "$(wine_escape "$want")" first.trace || fail "trace line missing: $want"
done
for f in "${common_files[@]}"; do
  want="Copy file from C:\\setup\\\\$f to C:\\windows\\system32\\spool\\drivers\\$driver_dir\\$f, 1, errcode:0x0."
  grep -qxF -- "$(wine_escape "$want")" first.trace || fail "trace line missing: $want"
done
[ "$(grep -c '^Copy file' first.trace)" -eq 13 ] || fail "13 copy lines: $(cat first.trace)"
[ "$(grep -cxF '\n' first.trace)" -eq 13 ] || fail "a line feed after each trace line"

# Later installs: numbered names.
expect "$(check install 'C:\setup\' RVT-520 'LPT1:')" "result=1" "printer=RVT-520(Copy 1)"
expect "$(check install 'C:\setup\' RVT-520 'LPT1:')" "result=1" "printer=RVT-520(Copy 2)"
expect "$(check queue 'RVT-520(Copy 2)')" "opened=1" "driver=RVT-520"

# A missing package file of our own (a generic one would be taken from
# Windows): the copy fails (traced), registration is skipped, and the queue
# is still added for the registered driver.
rm "$drive_c/setup/MARLITC.INI"
WINEDEBUG=-all,warn+seh wrun 'C:\install-check.exe' install 'C:\setup\' RVT-520 'LPT1:' \
  > missing.txt 2> missing.log
expect "$(tr -d '\r' < missing.txt)" "result=1" "printer=RVT-520(Copy 3)"
want="Copy file from C:\\setup\\\\MARLITC.INI to C:\\windows\\system32\\spool\\drivers\\$driver_dir\\MARLITC.INI, 0, errcode:0x2."
grep -qxF -- "$(wine_escape "$want")" <(debugger_texts missing.log) || fail "failed copy not traced"
# For a driver never registered the queue cannot be made: a failure with
# the spooler's cause, not a success.
out=$(WINEDEBUG=-all,warn+seh wrun 'C:\install-check.exe' install 'C:\setup\' RVT-999 'LPT1:' 2> unknown.log | tr -d '\r')
expect "$out" "result=0" "printer=RVT-999"
grep -q '^error=0$' <<<"$out" && fail "failed install reports no error code"
expect "$(check driver RVT-999)" "found=0"
grep -q "AddPrinter RVT-999 failed, portName: LPT1:, driverName:RVT-999, errcode:" <(debugger_texts unknown.log) ||
  fail "refused queue not traced: $(debugger_texts unknown.log | tail -3)"
printf 'stand-in MARLITC.INI\n' > "$drive_c/setup/MARLITC.INI"

# An unlisted USB port restarts the spooler: a new service process.
expect "$(check install 'C:\setup\' RVT-520 USB001)" "result=1" "printer=RVT-520(Copy 4)"
pid_after=$(pid_of_spooler)
[ -n "$pid_after" ] && [ "$pid_after" != 0 ] || fail "spooler not running after the restart"
[ "$pid_after" != "$pid_before" ] || fail "USB001 did not restart the spooler (pid $pid_before)"
expect "$(check queue 'RVT-520(Copy 4)')" "port=USB001"
# A listed port leaves it alone.
check add-port USB007 >/dev/null
expect "$(check install 'C:\setup\' RVT-520 USB007)" "result=1" "printer=RVT-520(Copy 5)"
[ "$(pid_of_spooler)" = "$pid_after" ] || fail "a listed port restarted the spooler"

# USB discovery: the vendor filter, newest first, the 32-character cuts, a
# device without values, and a fresh list each time.
check usb-add 'USB\VID_0416&PID_5011\SN0001' 1 "RVT-520 Receipt" SN0001 >/dev/null
check usb-add 'USB\VID_046D&PID_C52B\MOUSE1' 3 "Mouse" MOUSE1 >/dev/null
out=$(check usb-list)
expect "$out" "count=1"
sum=$(grep '^entry=' <<<"$out" | cut -d'|' -f5)
expect "$out" "entry=USB001|RVT-520 Receipt|SN0001|0416|$sum|usbprint\\rvt-520 receipt$sum|\\\\?\\usb#vid_0416&pid_5011#sn0001#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}|1"
check usb-add 'USB\VID_04B8&PID_0E15\EPSON-SERIAL-NUMBER-LONGER-THAN-32' 2 \
  "TM-T20II Receipt printer with a long description" EPSON-SERIAL-NUMBER-LONGER-THAN-32 >/dev/null
check usb-add 'USB\VID_0483&PID_5720\NOVALUES' - - - >/dev/null
check usb-add 'USB\VID_1FC9&PID_2016\NOTEXTS' 12 - - >/dev/null
out=$(check usb-list)
expect "$out" "count=3"
entries=$(grep '^entry=' <<<"$out" | cut -d'|' -f1-4)
want=$'entry=USB012|||1fc9\nentry=USB002|TM-T20II Receipt printer with a |EPSON-SERIAL-NUMBER-LONGER-THAN-|04b8\nentry=USB001|RVT-520 Receipt|SN0001|0416'
[ "$entries" = "$want" ] || fail "discovery order or cuts: $entries"
grep -q '|0000|usbprint\\0000|' <<<"$out" || fail "empty description's checksum and identifier"

[ "$failures" -eq 0 ] && echo "$arch: the installer's core installs, names, restarts and discovers under Wine"
exit "$failures"
