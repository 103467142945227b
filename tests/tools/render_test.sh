#!/usr/bin/env bash
# The renderer's pictures of receipts from a real point-of-sale encoder, read
# back by machine: tesseract reads the text receipt, zbarimg decodes every
# barcode symbology and the QR codes with the data the encoder was given. A
# stream the grammar refuses gets the printer application's message. The
# pictures are left in SHOT-DIR.
#   render_test.sh BUILD-DIR REPO-ROOT SHOT-DIR
set -uo pipefail
build=$(realpath "$1") root=$(realpath "$2") shots=$(realpath -m "$3")
preview=$build/tools/lorvex-preview
modules=$root/build/node/node_modules
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$shots"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
for tool in node tesseract zbarimg convert; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/deps.sh installs it)"; exit 77; }
done
[ -d "$modules/@point-of-sale/receipt-printer-encoder" ] || { echo "SKIP: no encoder in $modules"; exit 77; }

node "$root/tests/tools/pos_pictures.mjs" "$modules" "$work" > "$work/want.txt" || fail "pos_pictures.mjs"
node "$root/tests/printer-app/pos_receipts.mjs" "$modules" "$work" || fail "pos_receipts.mjs"
# The encoder's images are GS v 0 records that move the paper by their rows.
for n in text codes pos-raster pos-column; do
  "$preview" --job --raster-advances "$work/$n.bin" "$shots/$n.png" > "$work/$n.out" || fail "$n: $(cat "$work/$n.out")"
done
grep -q ' 10 barcodes and symbols, 0 images, 1 cuts, 0 drawer pulses, paper 576 x ' "$work/codes.out" ||
  fail "codes: $(cat "$work/codes.out")"
grep -q ' 1 cuts, 1 drawer pulses,' "$work/pos-raster.out" || fail "pos-raster: $(cat "$work/pos-raster.out")"

decode() { zbarimg -q -Supca.enable -Supce.enable -Sean8.enable "$1" 2>/dev/null | LC_ALL=C sort; }
got=$(decode "$shots/codes.png")
want=$(LC_ALL=C sort "$work/want.txt")
[ "$got" = "$want" ] || fail "barcodes decoded: $(tr '\n' ' ' <<<"$got") wanted: $(tr '\n' ' ' <<<"$want")"
for n in pos-raster pos-column; do
  want=$'CODE-128:LORVEX-128\nEAN-13:4012345678901\nQR-Code:https://example.com/r/42'
  [ "$(decode "$shots/$n.png")" = "$want" ] || fail "$n: decoded $(decode "$shots/$n.png" | tr '\n' ' ')"
done

# Tesseract reads printer dots best a little larger than they are.
read_text() { convert "$1" -scale 300% "$work/ocr.png" && tesseract "$work/ocr.png" - 2>/dev/null; }
text=$(read_text "$shots/text.png")
for line in "CORNER CAFE" "12 Market Street" "Espresso 2.50" "Cappuccino large 3.80" "Lemon cake 3.20" \
  "Sparkling water 1.90" "TOTAL 11.40"; do
  grep -qF -- "$line" <<<"$text" || fail "OCR did not read '$line' in: $(tr '\n' '|' <<<"$text")"
done
text=$(read_text "$shots/pos-raster.png")
for line in "BOLD LINE" "underlined" "centred" "Espresso"; do
  grep -qF -- "$line" <<<"$text" || fail "OCR did not read '$line' on the encoder's receipt"
done

# Refused: the printer application's words, exit 1.
printf 'AB\x1da' > "$work/bad.bin"
out=$("$preview" --job "$work/bad.bin" "$work/bad.png" 2>&1); rc=$?
[ "$rc" = 1 ] || fail "a refused stream exits $rc"
grep -qF "bad.bin: The ESC/POS document is not one this printer takes (offset 2: " <<<"$out" || fail "refusal: $out"
"$preview" --help | grep -q 'CODE93, CODE128' || fail "--help does not name the barcodes"
out=$("$preview" --line-dots 384 "$work/bad.bin" "$work/x.png" 2>&1); rc=$?
[ "$rc" = 2 ] || fail "--line-dots without --job exits $rc: $out"

[ "$failures" -eq 0 ] && echo "the renderer's receipts read back as the encoder wrote them"
exit "$failures"
