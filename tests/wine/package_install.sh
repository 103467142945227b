#!/usr/bin/env bash
# The built driver package, installed by the installer's core in a fresh
# prefix: the folder is laid out as the installer reads it; with stand-in
# generic Unidrv files added (test bytes of our own, never shipped), every
# file lands byte-equal in the driver directory, the driver is registered
# with the description as data file and six dependent files, the queue
# opens, and raw ESC/POS sent through the new queue reaches the USB port
# unchanged.
#   package_install.sh i386|amd64 REPO-ROOT INSTALL-CHECK.exe LORVEX-PRINT
set -uo pipefail
arch=$1 root=$(realpath "$2") check_exe=$(realpath "$3") lorvex_print=$(realpath "$4")
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine_prefix.sh"
wine_prefix_start "$arch"
cd "$WINEPREFIX" || exit 1

# The package as the main job lays it out, without the generic files.
package_as_built "$root"
want=$'Installer.exe\nLORVEX.INI\nLORVEXC.GPD\nLORVEXC.INI\nMARLITC.GPD\nMARLITC.INI\namd64/LORVEX.DLL\namd64/LORVEXRES.DLL\ni386/LORVEX.DLL\ni386/LORVEXRES.DLL'
got=$(cd "$pkg" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
[ "$got" = "$want" ] || fail "package layout: $got"

package_with_stand_ins "$root"
grep -q "with the Unidrv files bundled" package.log || fail "the bundled package is not reported"

cp "$check_exe" "$drive_c/install-check.exe"
case "$arch" in amd64) sub=amd64 driver_dir=x64 ;; i386) sub=i386 driver_dir=w32x86 ;; esac
# The USB printer's port, mapped to a file that the spooler writes to.
landed="$WINEPREFIX/usb001.bin"
port_to_file USB001 "$landed"

expect "$(check install 'C:\package\' RVT-520 USB001)" "result=1" "printer=RVT-520"
dd="$drive_c/windows/system32/spool/drivers/$driver_dir"
for f in LORVEXRES.DLL LORVEX.DLL UNIDRV.DLL UNIDRVUI.DLL UNIRES.DLL; do
  cmp -s "$pkg/$sub/$f" "$dd/$f" || fail "$sub/$f not in the driver directory byte for byte"
done
for f in LORVEX.INI LORVEXC.INI LORVEXC.GPD MARLITC.INI MARLITC.GPD STDNAMES.GPD TTFSUB.GPD UNIDRV.HLP; do
  cmp -s "$pkg/$f" "$dd/$f" || fail "$f not in the driver directory byte for byte"
done
driver=$(check driver RVT-520)
expect "$driver" "found=1" "version=3"
grep -qiE '^data=.*\\LORVEXC\.GPD$' <<<"$driver" || fail "data file: $driver"
[ "$(grep -c '^dependent=' <<<"$driver")" -eq 6 ] || fail "six dependent files: $driver"
expect "$(check queue RVT-520)" "opened=1" "port=USB001" "driver=RVT-520" "datatype=RAW"

# A receipt as the plug-in's pipeline makes it, sent RAW through the queue.
"$lorvex_print" --quiet --halftone HT_FloydSteinberg -o receipt.bin "$root/samples/receipt.png" ||
  fail "lorvex-print failed"
raw_lands RVT-520 receipt.bin "$landed"

[ "$failures" -eq 0 ] && echo "$arch: the built package installs and its queue passes ESC/POS through unchanged"
exit "$failures"
