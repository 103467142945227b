#!/usr/bin/env bash
# The package exactly as the main job builds it (without Unidrv's generic
# files), installed by the installer's core, which takes those files from
# Windows. Stand-ins (test bytes of our own, never shipped) lie where Windows
# keeps them:
#  1. nowhere: the installation fails naming UNIDRV.DLL, before any file is
#     copied, a driver registered or a queue added;
#  2. in the core printer driver package's folder of the driver store, names
#     in lower case and no UNIDRV.HLP: it installs, every driver file is
#     byte-equal to where it came from, the queue opens on USB001 and a
#     receipt sent RAW through it lands unchanged;
#  3. only as an installed driver's copies in the driver directory's 3\
#     folder: it installs.
#   package_from_windows.sh i386|amd64 REPO-ROOT INSTALL-CHECK.exe LORVEX-PRINT
set -uo pipefail
arch=$1 root=$(realpath "$2") check_exe=$(realpath "$3") lorvex_print=$(realpath "$4")
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine_prefix.sh"
wine_prefix_start "$arch"
cd "$WINEPREFIX" || exit 1

package_as_built "$root"
cp "$check_exe" "$drive_c/install-check.exe"
case "$arch" in
  amd64) sub=amd64 driver_dir=x64 store=ntprint.inf_amd64_3f5a0c1d2b4e6789 processor=Amd64 ;;
  i386) sub=i386 driver_dir=w32x86 store=ntprint.inf_x86_3f5a0c1d2b4e6789 processor=I386 ;;
esac
landed="$WINEPREFIX/usb001.bin"
port_to_file USB001 "$landed"
dd="$drive_c/windows/system32/spool/drivers/$driver_dir"
generic_names=(unidrv.dll unidrvui.dll unires.dll stdnames.gpd ttfsub.gpd)
stand_ins() {  # stand_ins FOLDER TAG: the five required files, lower-case names
  mkdir -p "$1"
  for f in "${generic_names[@]}"; do echo "stand-in $f ($2, $arch)" > "$1/$f"; done
}

# 1. Nowhere.
out=$(check install 'C:\package\' RVT-520 USB001)
expect "$out" "result=0" "error=2" "missing=UNIDRV.DLL"
[ -e "$dd/LORVEX.DLL" ] && fail "a file was copied although UNIDRV.DLL is nowhere"
expect "$(check driver RVT-520)" "found=0"
grep -q "opened=1" <<<"$(check queue RVT-520)" && fail "a queue was added although UNIDRV.DLL is nowhere"

# 2. In the driver store.
folder="$drive_c/windows/system32/DriverStore/FileRepository/$store/$processor"
stand_ins "$folder" store
expect "$(check install 'C:\package\' RVT-520 USB001)" "result=1" "printer=RVT-520" "missing="
for f in LORVEXRES.DLL LORVEX.DLL; do
  cmp -s "$pkg/$sub/$f" "$dd/$f" || fail "$sub/$f not in the driver directory byte for byte"
done
for f in LORVEX.INI LORVEXC.INI LORVEXC.GPD MARLITC.INI MARLITC.GPD; do
  cmp -s "$pkg/$f" "$dd/$f" || fail "$f not in the driver directory byte for byte"
done
for f in "${generic_names[@]}"; do
  cmp -s "$folder/$f" "$(find "$dd" -maxdepth 1 -iname "$f" | head -1)" || fail "$f not taken from the driver store"
done
find "$dd" -maxdepth 1 -iname unidrv.hlp | grep -q . && fail "a help file came from nowhere"
driver=$(check driver RVT-520)
expect "$driver" "found=1" "version=3"
[ "$(grep -c '^dependent=' <<<"$driver")" -eq 6 ] || fail "six dependent files: $driver"
expect "$(check queue RVT-520)" "opened=1" "port=USB001" "driver=RVT-520" "datatype=RAW"
"$lorvex_print" --quiet --halftone HT_FloydSteinberg -o receipt.bin "$root/samples/receipt.png" || fail "lorvex-print"
raw_lands RVT-520 receipt.bin "$landed"

# 3. Only an installed driver's copies, in the driver directory's 3\.
# (The spooler keeps its own copies of the driver just registered there:
# the folder is laid anew, as another driver's copies.)
rm -rf "$drive_c/windows/system32/DriverStore/FileRepository/$store" "$dd/3"
stand_ins "$dd/3" installed
expect "$(check install 'C:\package\' RVT-3 USB001)" "result=1" "printer=RVT-3" "missing="
cmp -s "$dd/3/unires.dll" "$(find "$dd" -maxdepth 1 -iname unires.dll | head -1)" || fail "unires.dll not taken from 3\\"
expect "$(check driver RVT-3)" "found=1"
expect "$(check queue RVT-3)" "opened=1" "port=USB001"

[ "$failures" -eq 0 ] && echo "$arch: the package as built installs with Windows' own Unidrv files, and says which one it lacks"
exit "$failures"
