#!/usr/bin/env bash
# The main job: installs what is missing, builds every configuration (Linux,
# Windows i386 and amd64) and lays the deliverables out under dist/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/pappl.sh

jobs=$(nproc)
for preset in native mingw-i686 mingw-x64; do
  cmake --preset "$preset" >/dev/null
  cmake --build "build/$preset" -j "$jobs"
done

rm -rf dist
mkdir -p dist/linux dist/i386 dist/amd64
cp build/native/tools/{lorvex-print,lorvex-preview,lorvex-host,lxcheck} dist/linux/
cp build/native/printer-app/lorvex-printer-app dist/linux/
for arch in i386:mingw-i686 amd64:mingw-x64; do
  cp "build/${arch#*:}/plugin/LORVEX.DLL" "build/${arch#*:}/tools/"{lorvex-host.exe,lxcheck.exe} "dist/${arch%%:*}/"
done
echo "built: $(cd dist && find . -type f | sort | tr '\n' ' ')"

# The driver package a Windows user installs from, and its zip.
scripts/package.sh dist/package
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/native/CMakeCache.txt)
(cd dist/package && zip -qr "../lorvex-driver-$version.zip" .)
echo "packaged: dist/package/ and dist/lorvex-driver-$version.zip"

# The Debian package of the printer application.
echo "packaged: $(scripts/deb.sh build/native)"

# The sample receipt through every halftone option: the byte stream the
# printer would get, and a picture of what it would print.
mkdir -p out
for halftone in $(dist/linux/lorvex-print --list-halftones); do
  dist/linux/lorvex-print --quiet --halftone "$halftone" \
    --output "out/receipt-$halftone.bin" --preview "out/receipt-$halftone.png" samples/receipt.png
done
echo "printed: samples/receipt.png with every halftone into out/ (.bin streams, .png previews)"
