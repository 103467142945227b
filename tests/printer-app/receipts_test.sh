#!/usr/bin/env bash
# Receipts as people print them: lorvex-printer-app behind a private CUPS
# (cupsd with its own configuration, port and socket in a temporary folder;
# the machine's CUPS, if any, is never touched), the queue made with
# "lpadmin -m everywhere", and a receipt PDF made by headless Chromium, a
# text file and a photo printed with lp. The bytes are decoded: paper used,
# the gray ramp's tone, crisp text. Then each knob (print-content-optimize,
# print-quality, halftone, print-darkness, finishings, a custom length), the
# 58 mm driver, the web pages in English and Chinese, and the IPP Everywhere
# checks of ipptool.
#   receipts_test.sh BUILD-DIR SHOTS
set -uo pipefail
build=$(realpath "$1") shots=$(realpath -m "$2")
here=$(cd "$(dirname "$0")" && pwd)
app=$build/printer-app/lorvex-printer-app
print=$build/tools/lorvex-print
report=$build/tests/paper-report
work=$(mktemp -d /tmp/lorvex-receipts.XXXXXX)
mkdir -p "$work/spool" "$work/jobs" "$shots"
chmod 755 "$work"
. "$here/common.sh"

port=$(free_port)
"$app" server -o server-port=$port -o spool-directory="$work/spool" -o log-file="$work/log.txt" \
  -o log-level=info -o file-device-dir="$work/jobs" > "$work/server.txt" 2>&1 &
server=$!
cupsd_pid=
trap 'kill $server $cupsd_pid 2>/dev/null; wait $server $cupsd_pid 2>/dev/null; [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"' EXIT
wait_up "http://localhost:$port/" || fail "the server does not answer"
"$app" add -d r80 -v "file://$work/jobs" -m lorvex_80mm >/dev/null || fail "cannot add the 80 mm printer"
"$app" add -d r58 -v "file://$work/jobs" -m lorvex_58mm >/dev/null || fail "cannot add the 58 mm printer"

# A private cupsd, as root, its filters run as lp.
start_cupsd "$work/cups"
cups=$work/cups
lpadmin -p receipt -E -v "ipp://localhost:$port/ipp/print/r80" -m everywhere || fail "lpadmin -m everywhere"

# The documents: an 80 x 150 mm receipt page from Chromium, a text file and
# a photo.
timeout 120 chromium --headless=new --no-sandbox --disable-gpu --no-first-run --disable-background-networking \
  --disable-component-update --disable-sync --user-data-dir="$work/chromium" --no-pdf-header-footer \
  --print-to-pdf="$work/receipt.pdf" "file://$here/receipt/receipt.html" >/dev/null 2>&1
[ -s "$work/receipt.pdf" ] || fail "Chromium made no PDF"
cp "$work/receipt.pdf" "$shots/receipt.pdf"
printf '%s\n' "LORVEX CAFE" "Table 4" "" "Espresso      2.50" "Espresso      2.50" "Croissant     2.80" "" \
  "TOTAL         7.80" "Thank you!" > "$work/receipt.txt"
lines=$(wc -l < "$work/receipt.txt")
# A continuous-tone "photo": light at the top, darker below, swirled.
convert -size 800x600 gradient:white-gray25 \( -size 800x600 radial-gradient:white-gray40 \) \
  -compose multiply -composite -swirl 300 -quality 90 "$work/photo.jpg"
photo_tone=$(convert "$work/photo.jpg" -colorspace gray -format '%[fx:1-mean]' info:)

# ended NAME QUEUE: waits until the app's job NAME on QUEUE has ended;
# prints its state.
ended() {
  local state i
  for i in $(seq 1 600); do
    state=$("$app" jobs -d "$2" 2>/dev/null | awk -v n="$1" '$NF == n {print $2; exit}')
    case "$state" in completed|aborted|canceled) echo "$state"; return;; esac
    sleep 0.1
  done
  echo "not-ended"
}
# keep NAME: the job's bytes, as the file: device wrote them, to $work/NAME.bin.
keep() { cp "$work/jobs/$1.prn" "$work/$1.bin" 2>/dev/null || : > "$work/$1.bin"; }
# cups NAME FILE [lp options]: prints through CUPS, titled NAME.
cups() {
  local name=$1 file=$2; shift 2
  lp -d receipt -t "$name" "$@" "$file" >/dev/null || { fail "lp $name"; return; }
  local state
  state=$(ended "$name" r80)
  [ "$state" = completed ] || fail "$name through CUPS: $state ($(tail -n 2 "$cups/log/error_log"))"
  keep "$name"
}
# field NAME KEY [--ramp]: a value of paper-report's for NAME's bytes.
field() { "$report" "$work/$1.bin" ${3:-} | awk -v k="$2" '$1 == k {$1 = ""; sub(/^ /, ""); print; exit}'; }
mm() { field "$1" mm; }
# within A B D: |A - B| <= D
within() { awk -v a="$1" -v b="$2" -v d="$3" 'BEGIN {exit !((a - b <= d) && (b - a <= d))}'; }

# Before: the printer as it was (the whole page, thresholded).
"$app" modify -d r80 -o page-length-default=full-page -o halftone-default=HT_NONE >/dev/null
cups pdf-before "$work/receipt.pdf"
cups text-before "$work/receipt.txt"
cups photo-before "$work/photo.jpg"
"$app" modify -d r80 -o page-length-default=fit-content -o halftone-default=auto >/dev/null
cups pdf "$work/receipt.pdf"
cups text "$work/receipt.txt"
cups photo "$work/photo.jpg"
for n in pdf text photo; do
  "$build/tools/lorvex-preview" --job "$work/$n.bin" "$shots/cups-$n.png" >/dev/null || fail "$n does not decode"
done

# The PDF: its content and 3 mm above and below, no more.
first=$(field pdf ink | cut -d' ' -f1) last=$(field pdf ink | cut -d' ' -f2) rows=$(field pdf paper | cut -d' ' -f2)
[ "$first" = 24 ] || fail "the PDF's first printed row is $first, not 24 (3 mm)"
[ "$((rows - last - 1))" = 24 ] || fail "the PDF leaves $((rows - last - 1)) rows below its last printed row, not 24"
# The ramp: each 8 mm block's share of burnt dots follows the source's tone
# (black at the left, white at the right) within 0.1.
ramp=$(field pdf ramp --ramp)
set -- $ramp
[ $# -eq 9 ] || fail "the ramp was not found: '$ramp'"
ramp_error=0
for k in $(seq 0 8); do
  [ $# -gt 0 ] || break
  want=$(awk -v k="$k" 'BEGIN {printf "%.3f", 1 - (k + 0.5) / 9}')
  within "$1" "$want" 0.1 || fail "ramp block $((k + 1)): tone $1, the source's $want"
  ramp_error=$(awk -v e="$ramp_error" -v a="$1" -v b="$want" 'BEGIN {d = a - b; if (d < 0) d = -d; print (d > e ? d : e)}')
  shift
done
before_ramp=$(field pdf-before ramp --ramp)
# Crisp text: next to no lone dots above the rule.
isolated=$(field pdf isolated --ramp)
within "$isolated" 0 0.01 || fail "text is not crisp: $isolated of its dots stand alone"
# The text file: as long as its lines (6 to the inch) and the margins (its
# first line starts 6 rows below the top of its page: those 6 are kept).
first=$(field text ink | cut -d' ' -f1) last=$(field text ink | cut -d' ' -f2) rows=$(field text paper | cut -d' ' -f2)
[ "$first" -le 24 ] && [ "$((rows - last - 1))" = 24 ] || fail "the text file's margins: ink $first-$last of $rows rows"
[ "$((last - first + 1))" -le $((lines * 34)) ] || fail "$lines lines of text take $((last - first + 1)) rows"
# The photo: its tone kept (before, thresholded, it was mostly black or white).
photo_burnt=$(field photo burnt)
within "$photo_burnt" "$photo_tone" 0.1 || fail "the photo prints with tone $photo_burnt, the source's $photo_tone"
# On the wire: no white row as raster, and the Chromium receipt in no more
# bytes than LPrint 1.4.0 sends for it (27,300).
size() { stat -c %s "$work/$1.bin"; }
for n in pdf text photo pdf-before; do
  set -- $(field "$n" rows)
  [ "${1:-x}" = "${2:-y}" ] || fail "$n sends ${1:-?} raster rows for ${2:-?} inked rows"
done
[ "$(size pdf)" -le 27300 ] || fail "the Chromium receipt takes $(size pdf) bytes, more than LPrint's 27300"
echo "bytes: PDF $(size pdf) (whole page $(size pdf-before)), text $(size text), photo $(size photo)"
echo "figures: paper (mm) before/after: PDF $(mm pdf-before)/$(mm pdf), text $(mm text-before)/$(mm text)," \
  "photo $(mm photo-before)/$(mm photo); ramp before: $before_ramp; ramp after: $ramp (largest error $ramp_error);" \
  "photo tone $photo_tone, printed $(field photo-before burnt) before, $photo_burnt after; lone dots in text $isolated"

# CUPS offers a custom length (the media range), and prints one.
ppd=$cups/etc/ppd/receipt.ppd
for _ in $(seq 1 100); do [ -s "$ppd" ] && break; sleep 0.1; done
grep -q '^\*ParamCustomPageSize Height: 2 points 70.8' "$ppd" || fail "CUPS offers no custom length (media range)"
cups custom "$work/receipt.txt" -o media=Custom.80x150mm
# CUPS 2.4 makes "Cut: None" the queue's default and sends finishings none
# for every job: no choice, so the printer's own cut applies; "Cut" sends
# trim. A desktop's receipt is cut.
[ "$(field text cuts)" = 1 ] || fail "a receipt from CUPS's default settings was not cut"
cups cut "$work/receipt.txt" -o CutMedia=Auto
[ "$(field cut cuts)" = 1 ] || fail "CUPS's Cut (finishings trim) did not cut"

# CUPS does not pass -o cut=none on: its users turn the cut off with the
# printer's default (cut-default=none).
"$app" modify -d r80 -o cut-default=none >/dev/null && cups nocut "$work/receipt.txt" &&
  { [ "$(field nocut cuts)" = 0 ] || fail "cut-default=none: a receipt from CUPS was cut"; }
"$app" modify -d r80 -o cut-default=each-page >/dev/null

# Each knob, straight to the app.
run() {  # run NAME QUEUE FILE [submit options]: leaves the bytes in $work/NAME.bin
  local name=$1 queue=$2 file=$3; shift 3
  "$app" submit -d "$queue" -t "$name" "$@" "$file" >/dev/null 2>&1 || { fail "submit $name"; return; }
  local state
  state=$(ended "$name" "$queue")
  [ "$state" = completed ] || fail "$name: $state"
  keep "$name"
}
same() { cmp -s "$work/$1.bin" "$work/$2.bin" || fail "$1 is not printed as $2"; }
convert -size 120x576 gradient:black-white -rotate 90 "$work/ramp.png"
run ht-none r80 "$work/ramp.png" -o halftone=HT_NONE
run ht-fs r80 "$work/ramp.png" -o halftone=HT_FloydSteinberg
run ht-jjn r80 "$work/ramp.png" -o halftone=HT_Jarvis-Judice-Ninke
run ht-stucki r80 "$work/ramp.png" -o halftone=HT_Stucki
run ht-sierra r80 "$work/ramp.png" -o halftone=HT_Sierra
cmp -s "$work/ht-none.bin" "$work/ht-fs.bin" && fail "the halftones print alike"
run text r80 "$work/ramp.png" -o print-content-optimize=text;           same text ht-none
run photo r80 "$work/ramp.png" -o print-content-optimize=photo;         same photo ht-fs
run photo-high r80 "$work/ramp.png" -o print-content-optimize=photo -o print-quality=high; same photo-high ht-jjn
run graphic r80 "$work/ramp.png" -o print-content-optimize=graphic;     same graphic ht-fs
run mixed r80 "$work/ramp.png" -o print-content-optimize=text-and-graphic -o print-quality=high; same mixed ht-fs
run automatic r80 "$work/ramp.png";                                     same automatic ht-fs
run named r80 "$work/ramp.png" -o print-content-optimize=text -o halftone=HT_Stucki; same named ht-stucki
"$app" modify -d r80 -o halftone-default=HT_Sierra >/dev/null
run printer-default r80 "$work/ramp.png" -o print-content-optimize=text; same printer-default ht-sierra
"$app" modify -d r80 -o halftone-default=auto >/dev/null
# print-darkness bends the tone curve: a darker job burns more dots.
run dark r80 "$work/ramp.png" -o print-darkness=60
run light r80 "$work/ramp.png" -o print-darkness=-60
awk -v d="$(field dark burnt)" -v n="$(field ht-fs burnt)" -v l="$(field light burnt)" \
  'BEGIN {exit !(d >= n + 0.08 && l <= n - 0.08)}' ||
  fail "print-darkness: burnt $(field light burnt) at -60, $(field ht-fs burnt) at 0, $(field dark burnt) at 60"
# A darkness set as the printer's default is answered and reaches jobs.
"$app" modify -d r80 -o print-darkness-default=60 >/dev/null
ipptool -tv -d requested=print-darkness-default "ipp://localhost:$port/ipp/print/r80" "$here/get-attribute.test" |
  grep -q 'print-darkness-default (integer) = 60' || fail "print-darkness-default is not answered"
run default-dark r80 "$work/ramp.png";                                  same default-dark dark
"$app" modify -d r80 -o print-darkness-default=0 >/dev/null
# finishings: none does not cut, trim cuts, and without it the default cuts.
uri="ipp://localhost:$port/ipp/print/r80"
finishings() {  # finishings NAME ENUM CUT
  local id
  id=$(ipptool -tv -f "$work/ramp.png" -d filetype=image/png -d finishings="$2" -d cut="$3" "$uri" \
         "$here/print-finishings.test" | sed -n 's/.*job-id (integer) = //p' | head -1)
  [ -n "$id" ] || { fail "finishings $2: no job"; return; }
  local f
  for _ in $(seq 1 300); do f=$(ls -t "$work/jobs"/*.prn 2>/dev/null | head -1)
    "$app" jobs -d r80 | grep -qE "^$id +completed" && break; sleep 0.1; done
  cp "$f" "$work/$1.bin"
}
rm -f "$work/jobs"/*.prn
finishings fin-none 3 each-page;  [ "$(field fin-none cuts)" = 0 ] || fail "finishings none cut the paper"
rm -f "$work/jobs"/*.prn
finishings fin-trim 11 none;      [ "$(field fin-trim cuts)" = 1 ] || fail "finishings trim did not cut"
[ "$(field automatic cuts)" = 1 ] || fail "a job without finishings was not cut"
# The 58 mm printer: lorvex-print's bytes for the same picture at 384 dots
# (thresholded: error diffusion runs on across bands here, not in the
# plug-in's pipeline).
convert "$work/photo.jpg" -resize 384x "$work/photo384.png"
run narrow r58 "$work/photo384.png" -o halftone=HT_NONE -o page-length=full-page
"$print" -q -o "$work/narrow-ref.bin" --halftone HT_NONE "$work/photo384.png" || fail "lorvex-print"
printf '\x1d\x56\x42\x00' >> "$work/narrow-ref.bin"
same_paper "$work/narrow.bin" "$work/narrow-ref.bin" || fail "the 58 mm job does not print lorvex-print's paper at 384 dots"
run narrow-wide r58 "$work/photo.jpg"
[ "$(field narrow-wide paper | cut -d' ' -f1)" = 384 ] || fail "a wide photo on the 58 mm printer: $(field narrow-wide paper)"
"$build/tools/lorvex-preview" --job --line-dots 384 "$work/narrow-wide.bin" "$shots/58mm-photo.png" >/dev/null || fail "58 mm photo"

# The web pages in English and Chinese, and the printer's own icon.
label() {  # label LANGUAGE TEXT
  local page
  page=$(curl -s -H "Accept-Language: $1" "http://localhost:$port/r80/printing")
  grep -q "$2" <<<"$page" || fail "no '$2' on the $1 page"
}
label en "Floyd–Steinberg"; label en "Cut after each page"; label en "Halftone"
label zh-CN "半色调"; label zh-CN "每页后切纸"; label zh-CN "打印默认设置"
label zh-TW "半色調"; label zh-TW "每頁後裁紙"; label zh-TW "列印預設值"
curl -s -o "$work/icon.png" "http://localhost:$port/r80/icon-md.png"
[ "$(identify -format '%wx%h' "$work/icon.png" 2>/dev/null)" = 128x128 ] || fail "the printer icon is not ours at 128 x 128"
cmp -s "$work/icon.png" <(curl -s "http://localhost:$port/r58/icon-md.png") || fail "the 58 mm printer has another icon"
cmp -s "$work/icon.png" <(curl -s "http://localhost:$port/favicon.png") || fail "the pages' icon is not ours"
if command -v chromium >/dev/null; then
  for lang in en zh-CN zh-TW; do
    for page in printing:/r80/printing printer:/r80; do
      timeout 60 chromium --headless=new --no-sandbox --disable-gpu --no-first-run --disable-background-networking \
        --disable-component-update --disable-sync --user-data-dir="$work/chromium-$lang" --lang="$lang" \
        --accept-lang="$lang" --virtual-time-budget=3000 --window-size=1024,1200 --screenshot="$shots/${page%%:*}-$lang.png" \
        "http://localhost:$port${page#*:}" >/dev/null 2>&1
      [ -s "$shots/${page%%:*}-$lang.png" ] || fail "no screenshot of ${page#*:} in $lang"
    done
  done
fi

# ipptool's IPP Everywhere checks: all pass but what PAPPL 1.3.1 cannot
# answer (identify-actions for a printer with no light, sound or display,
# and overrides).
convert "$work/photo.jpg" -resize 576x "$work/check.jpg"
timeout 600 ipptool -V 2.0 -c -tf "$work/check.jpg" "$uri" ipp-everywhere.test > "$work/everywhere.txt" 2>&1
while read -r line; do
  fail "ipptool: $line"
done < <(grep -E '\[FAIL\]' "$work/everywhere.txt" | grep -v "PWG 5100.14 section 5.1/5.2")
while read -r line; do
  fail "ipptool 5.1/5.2: $line"
done < <(awk '/\[FAIL\]/ {f = /5100.14 section 5.1\/5.2/; next} /\[(PASS|SKIP)\]/ {f = 0} f && /EXPECTED/' "$work/everywhere.txt" |
         grep -vE 'identify-actions-(default|supported)|overrides-supported')
echo "ipp-everywhere.test: $(grep -c '\[PASS\]' "$work/everywhere.txt") passed, $(grep -c '\[SKIP\]' "$work/everywhere.txt") skipped," \
  "$(grep -c '\[FAIL\]' "$work/everywhere.txt") failed (identify-actions and overrides only)"

[ "$failures" -eq 0 ] && echo "receipts through CUPS, the IPP knobs, the 58 mm driver and the web pages in three languages pass"
[ "$failures" -eq 0 ]
