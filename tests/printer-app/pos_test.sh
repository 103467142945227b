#!/usr/bin/env bash
# ESC/POS from point-of-sale software, over IPP: receipts made by a real
# encoder (text styles, code pages, barcodes, a QR code, a logo in raster
# and in column mode, the drawer pulse and the cut) reach the printer byte
# for byte; status requests and automatic status back inside a document are
# taken out; truncated, unknown and random streams are refused with their
# offset, send nothing, and the next job prints.
#   pos_test.sh BUILD-DIR SOURCE-DIR
set -uo pipefail
build=$(realpath "$1") source=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
app=$build/printer-app/lorvex-printer-app
modules=$source/build/node/node_modules
work=$(mktemp -d /tmp/lorvex-pos.XXXXXX)
mkdir -p "$work/spool" "$work/jobs"
. "$here/common.sh"
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; [ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
if [ ! -d "$modules/@point-of-sale/receipt-printer-encoder" ]; then
  echo "SKIP: the receipt encoder is not installed (scripts/deps.sh installs it)"; exit 77
fi
node "$here/pos_receipts.mjs" "$modules" "$work" || { echo "FAIL: the encoder made no receipts"; exit 1; }

port=$(free_port)
"$app" server -o server-port="$port" -o spool-directory="$work/spool" -o log-file="$work/log.txt" \
  -o log-level=info -o file-device-dir="$work/jobs" > "$work/server.txt" 2>&1 &
server=$!
wait_up "http://localhost:$port/" || fail "the server does not answer"
"$app" add -d pos -v "file://$work/jobs" -m lorvex_80mm >/dev/null || fail "cannot add the printer"
uri=ipp://localhost:$port/ipp/print/pos
format=application/vnd.lorvex-escpos

# print FILE: prints it and says the job's final state; what reached the
# printer is then in $work/sent (empty when nothing did).
print() {
  local id s=none
  rm -f "$work"/jobs/*
  id=$(ipptool -tv -f "$1" -d filetype=$format "$uri" print-job.test 2>/dev/null | sed -n 's/.*job-id (integer) = //p' | head -1)
  if [ -n "$id" ]; then
    for _ in $(seq 1 300); do
      s=$(state_of "$id" pos)
      case $s in completed|aborted|canceled) break;; esac
      sleep 0.1
    done
  fi
  cat "$work"/jobs/* > "$work/sent" 2>/dev/null || : > "$work/sent"
  echo "${s:-gone}"
}

# Receipts of the encoder pass unchanged.
for receipt in pos-raster pos-column; do
  [ "$(print "$work/$receipt.bin")" = completed ] || fail "$receipt did not complete"
  cmp -s "$work/sent" "$work/$receipt.bin" || fail "$receipt did not reach the printer byte for byte"
done
grep -q "ESC/POS document is not one" "$work/log.txt" && fail "an encoder's receipt was refused: $(grep 'not one' "$work/log.txt" | head -1)"

# Status requests inside a document are taken out, the rest passes.
printf '\x10\x04\x01\x1da\xff' > "$work/asks.bin"
cat "$work/pos-raster.bin" "$work/asks.bin" > "$work/with-status.bin"
[ "$(print "$work/with-status.bin")" = completed ] || fail "a receipt with status requests did not complete"
cmp -s "$work/sent" "$work/pos-raster.bin" || fail "the status requests were not taken out, or more was"
grep -q "2 status request(s) or automatic status back taken out" "$work/log.txt" || fail "taking them out is not logged"

# Truncated, unknown and random streams: refused, naming the offset, and
# nothing is sent; the next job prints.
head -c 500 "$work/pos-raster.bin" > "$work/cut.bin"   # inside the logo's GS v 0
printf 'Hello\n\x1d\x99\x01' > "$work/unknown.bin"
head -c 3000 /dev/urandom > "$work/random.bin"
for bad in cut unknown random; do
  [ "$(print "$work/$bad.bin")" = aborted ] || fail "the $bad stream was not refused"
  [ -s "$work/sent" ] && fail "the $bad stream sent bytes"
done
grep -qF "not one this printer takes (offset 6: GS 0x99 is not a command this printer takes (bytes 1D 99 01))" "$work/log.txt" ||
  fail "the unknown command's refusal does not name its offset and bytes"
grep -qE "not one this printer takes \(offset [0-9]+: GS v 0 needs [0-9]+ bytes with its image data" "$work/log.txt" ||
  fail "the truncated image's refusal does not say what is missing"
[ "$(print "$work/pos-column.bin")" = completed ] || fail "the server did not print the job after the refusals"
cmp -s "$work/sent" "$work/pos-column.bin" || fail "the job after the refusals is not whole"

kill -0 $server 2>/dev/null || fail "the server died"
[ "$failures" -eq 0 ] && echo "lorvex-printer-app: receipts from a point-of-sale encoder print byte for byte"
exit "$failures"
