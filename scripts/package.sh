#!/usr/bin/env bash
# Lays out the driver package that a Windows user runs Installer.exe from, as
# the installer reads it: Installer.exe (i386) and the common files in the
# folder, the per-architecture files in i386/ and amd64/.
#   scripts/package.sh OUT-DIR
# Takes the builds under build/ (native for the descriptions and INIs,
# mingw-i686 and mingw-x64 for the binaries). The generic Unidrv files are
# Windows' own: the installer takes them from Windows at install time, or the
# package carries them when $LORVEX_UNIDRV_DIR names a folder holding them
# (see the README); they are never made up. Prints one line saying which;
# exits 1 when LORVEX_UNIDRV_DIR is set but lacks a file.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$1

rm -rf "$out"
mkdir -p "$out/i386" "$out/amd64"
cp "$root/build/mingw-i686/installer/Installer.exe" "$out/"
for f in LORVEX.INI LORVEXC.INI LORVEXC.GPD MARLITC.INI MARLITC.GPD; do
  cp "$root/build/native/package/$f" "$out/"
done
for arch in i386:mingw-i686 amd64:mingw-x64; do
  cp "$root/build/${arch#*:}/package/LORVEXRES.DLL" "$root/build/${arch#*:}/plugin/LORVEX.DLL" "$out/${arch%%:*}/"
done

arch_generic=(UNIDRV.DLL UNIDRVUI.DLL UNIRES.DLL)
common_generic=(STDNAMES.GPD TTFSUB.GPD UNIDRV.HLP)
if [ -z "${LORVEX_UNIDRV_DIR:-}" ]; then
  echo "package: $out is ready; the installer takes Windows' own Unidrv files (${arch_generic[*]} ${common_generic[*]}) from Windows at install time (set LORVEX_UNIDRV_DIR to bundle them instead)"
  exit 0
fi

# A file of that name in the folder, whatever its case.
find_generic() {
  find "$1" -maxdepth 1 -type f -iname "$2" -print -quit 2>/dev/null
}
missing=()
for f in "${common_generic[@]}"; do
  src=$(find_generic "$LORVEX_UNIDRV_DIR" "$f")
  if [ -n "$src" ]; then cp "$src" "$out/$f"; else missing+=("$f"); fi
done
for arch in i386 amd64; do
  for f in "${arch_generic[@]}"; do
    src=$(find_generic "$LORVEX_UNIDRV_DIR/$arch" "$f")
    if [ -n "$src" ]; then cp "$src" "$out/$arch/$f"; else missing+=("$arch/$f"); fi
  done
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "package: LORVEX_UNIDRV_DIR=$LORVEX_UNIDRV_DIR lacks ${missing[*]}" >&2
  exit 1
fi
echo "package: $out is ready, with the Unidrv files bundled from $LORVEX_UNIDRV_DIR"
