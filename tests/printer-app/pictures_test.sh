#!/usr/bin/env bash
# The pictures of what jobs printed: a point-of-sale receipt and an image
# job each get a picture drawn from the bytes that reached the printer,
# shown beside the job in the job list and served full size, readable by a
# barcode reader and OCR; the folder and files are the server's own; the
# printer setting job-pictures-default=off takes them away and keeps no
# more; with an access password, the picture asks for the login as the job
# list does.
#   pictures_test.sh BUILD-DIR SOURCE-DIR
set -uo pipefail
build=$(realpath "$1") source=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
app=$build/printer-app/lorvex-printer-app
modules=$source/build/node/node_modules
work=$(mktemp -d /tmp/lorvex-pictures.XXXXXX)
mkdir -p "$work/spool" "$work/jobs"
. "$here/common.sh"
server=
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; [ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
for tool in node zbarimg tesseract convert; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/deps.sh installs it)"; exit 77; }
done
[ -d "$modules/@point-of-sale/receipt-printer-encoder" ] || { echo "SKIP: no receipt encoder"; exit 77; }
node "$here/pos_receipts.mjs" "$modules" "$work" || { echo "FAIL: the encoder made no receipts"; exit 1; }

start() {
  port=$(free_port)
  "$app" server -o server-port="$port" -o spool-directory="$work/spool" -o log-file="$work/log.txt" \
    -o log-level=info -o file-device-dir="$work/jobs" "$@" > "$work/server.txt" 2>&1 &
  server=$!
  wait_up "http://localhost:$port/" || fail "the server does not answer"
}
# print FILE FORMAT: the job's id once it is done.
print() {
  local id
  id=$(ipptool -tv -f "$1" -d filetype="$2" "ipp://localhost:$port/ipp/print/pos" print-job.test 2>/dev/null |
    sed -n 's/.*job-id (integer) = //p' | head -1)
  for _ in $(seq 1 300); do
    case $(state_of "$id" pos) in completed|aborted|canceled) break;; esac
    sleep 0.1
  done
  echo "$id"
}
picture() { curl -s -o "$2" -w '%{http_code} %{content_type}' "http://localhost:$port/receipt-picture?printer=1&job=$1"; }

start
"$app" add -d pos -v "file://$work/jobs" -m lorvex_80mm >/dev/null || fail "cannot add the printer"
# The encoder's logo is a GS v 0 image that moves the paper by itself.
"$app" modify -d pos -o slice-feed-default=none >/dev/null || fail "modify"

pos=$(print "$work/pos-raster.bin" application/vnd.lorvex-escpos)
[ "$(state_of "$pos" pos)" = completed ] || fail "the receipt did not print"
image=$(print "$source/samples/receipt.png" image/png)
[ "$(state_of "$image" pos)" = completed ] || fail "the image did not print"

page=$(curl -s "http://localhost:$port/pos/jobs")
for id in "$pos" "$image"; do
  grep -qF "<a href=\"/receipt-picture?printer=1&amp;job=$id\"><img src=\"/receipt-picture?printer=1&amp;job=$id\"" <<<"$page" ||
    fail "the job list shows no picture of job $id"
done
grep -qF 'alt="What the printer printed"' <<<"$page" || fail "the picture has no text"
[ "$(picture "$pos" "$work/pos.png")" = "200 image/png" ] || fail "the receipt's picture is not served"
size=$(identify -format '%w' "$work/pos.png" 2>/dev/null)
[ "$size" = 576 ] || fail "the receipt's picture is $size dots wide"
want=$'CODE-128:LORVEX-128\nEAN-13:4012345678901\nQR-Code:https://example.com/r/42'
got=$(zbarimg -q "$work/pos.png" 2>/dev/null | LC_ALL=C sort)
[ "$got" = "$want" ] || fail "the receipt's picture decodes as: $(tr '\n' ' ' <<<"$got")"
convert "$work/pos.png" -scale 300% "$work/ocr.png"
tesseract "$work/ocr.png" - 2>/dev/null | grep -q 'BOLD LINE' || fail "OCR does not read the receipt's picture"
[ "$(picture "$image" "$work/image.png")" = "200 image/png" ] || fail "the image job's picture is not served"
[ "$(identify -format '%w' "$work/image.png" 2>/dev/null)" = 576 ] || fail "the image job's picture"
mkdir -p "$source/build/screenshots/pictures"
cp "$work/pos.png" "$work/image.png" "$source/build/screenshots/pictures/"
[ "$(stat -c %a "$work/spool/pictures")" = 700 ] || fail "the pictures folder is not the server's own"
[ "$(stat -c %a "$work/spool/pictures/p1-j$pos.png")" = 600 ] || fail "a picture is not the server's own"
ls "$work/spool/pictures" | grep -q '\.bytes$' && fail "a capture was left behind"
[ "$(picture 999 "$work/none.png" | cut -d' ' -f1)" = 404 ] || fail "a job without a picture"
[ "$(picture "$pos';" "$work/none.png" | cut -d' ' -f1)" = 404 ] || fail "a bad job number"

# Turned off: the pictures go and no more are kept.
"$app" modify -d pos -o job-pictures-default=off >/dev/null || fail "modify job-pictures-default"
grep -q 'receipt-picture' <(curl -s "http://localhost:$port/pos/jobs") && fail "pictures shown while turned off"
[ "$(picture "$pos" "$work/none.png" | cut -d' ' -f1)" = 404 ] || fail "a picture served while turned off"
ls "$work/spool/pictures"/*.png >/dev/null 2>&1 && fail "the pictures stay while turned off"
third=$(print "$work/pos-column.bin" application/vnd.lorvex-escpos)
[ -e "$work/spool/pictures/p1-j$third.png" ] && fail "a picture was kept while turned off"
"$app" modify -d pos -o job-pictures-default=on >/dev/null
kill $server; wait $server 2>/dev/null

# With an access password: the login, as for the job list.
printf 'shop-admin-1\n' > "$work/password"
start -o admin-password-file="$work/password"
fourth=$(print "$work/pos-column.bin" application/vnd.lorvex-escpos)
[ -e "$work/spool/pictures/p1-j$fourth.png" ] || fail "no picture with a password set"
out=$(picture "$fourth" "$work/locked.png")
[ "${out#* }" = "image/png" ] && fail "the picture is served without logging in"
head -c 4 "$work/locked.png" | grep -q PNG && fail "the picture's bytes are served without logging in"
grep -q 'name="password"' <(curl -s "http://localhost:$port/pos/jobs") || fail "the job list does not ask for the login"

[ "$failures" -eq 0 ] && echo "job pictures: kept, shown, served to whoever may see the jobs, and turned off"
exit "$failures"
