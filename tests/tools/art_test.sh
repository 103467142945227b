#!/usr/bin/env bash
# The installer's committed logo and icon are exactly what our drawing tool
# makes, and the logo has the size and depth the test page expects.
#   art_test.sh MAKE-INSTALLER-ART ART-DIR
set -uo pipefail
tool=$1 art=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$tool" "$out" || exit 1
status=0
for f in logo.bmp installer.ico; do
  cmp -s "$out/$f" "$art/$f" || { echo "$f differs from what make-installer-art draws" >&2; status=1; }
done
# BITMAPINFOHEADER: width 308, height 87, 1 bit per pixel.
header=$(od -An -j18 -N12 -tu4 "$art/logo.bmp" | awk '{print $1, $2}')
depth=$(od -An -j28 -N2 -tu2 "$art/logo.bmp" | tr -d ' ')
[ "$header" = "308 87" ] && [ "$depth" = 1 ] || { echo "logo is $header at $depth bits" >&2; status=1; }
exit $status
