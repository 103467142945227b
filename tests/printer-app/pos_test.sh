#!/usr/bin/env bash
# ESC/POS from point-of-sale software, over IPP and TCP 9100: receipts made
# by a real encoder (text styles, code pages, barcodes, a QR code, a logo in
# raster and in column mode, the drawer pulse and the cut) reach the
# printer byte for byte; status requests and automatic status back inside a
# document are taken out; truncated, unknown and random streams are refused
# with their offset, send nothing, and the next job prints. TCP 9100 listens
# on loopback only (where IPP does), one connection is one job in the same
# queue, a silent client is closed, and DLE EOT and GS r on the connection
# get the printer's answer (none from a printer that never answers).
#   pos_test.sh BUILD-DIR SOURCE-DIR
set -uo pipefail
build=$(realpath "$1") source=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
app=$build/printer-app/lorvex-printer-app
modules=$source/build/node/node_modules
work=$(mktemp -d /tmp/lorvex-pos.XXXXXX)
mkdir -p "$work/spool" "$work/jobs"
. "$here/common.sh"
fake=$build/tests/fake-printer
fakepid=
trap 'kill $server $fakepid 2>/dev/null; wait 2>/dev/null; [ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
if [ ! -d "$modules/@point-of-sale/receipt-printer-encoder" ]; then
  echo "SKIP: the receipt encoder is not installed (scripts/deps.sh installs it)"; exit 77
fi
node "$here/pos_receipts.mjs" "$modules" "$work" || { echo "FAIL: the encoder made no receipts"; exit 1; }

port=$(free_port)
"$app" server -o server-port="$port" -o spool-directory="$work/spool" -o log-file="$work/log.txt" \
  -o log-level=info -o file-device-dir="$work/jobs" -o server-options=raw-socket > "$work/server.txt" 2>&1 &
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

# --- TCP 9100 ------------------------------------------------------------------
clients=$here/clients.py
raw=9100   # 9099 + the printer's id
listening=$(ss -ltnH "sport = :$raw" | awk '{print $4}' | sort | tr '\n' ' ')
[ -n "$listening" ] || fail "nothing listens on port $raw"
grep -qE '(^| )(0\.0\.0\.0|\*|\[::\]):' <<<"$listening" && fail "port $raw listens on every address: $listening"
grep -qE '127\.0\.0\.1:|\[::1\]:' <<<"$listening" || fail "port $raw does not listen on loopback: $listening"
curl -s "http://localhost:$port/pos" | grep -q "Socket printing on TCP port $raw." ||
  fail "the printer's web page does not say its socket print port"
curl -s -H 'Accept-Language: zh-TW' "http://localhost:$port/pos" | grep -q "通訊端列印使用 TCP 連接埠 $raw。" ||
  fail "the Traditional Chinese page does not say the socket print port"
# sock_print FILE: sends it as one connection; the job's final state.
sock_print() {
  local before id s
  before=$("$app" jobs -d pos 2>/dev/null | awk 'NR == 1 {print $1}')
  rm -f "$work"/jobs/*
  python3 -c 'import socket,sys; s=socket.create_connection(("127.0.0.1", int(sys.argv[1]))); s.sendall(open(sys.argv[2],"rb").read()); s.close()' "$raw" "$1"
  for _ in $(seq 1 300); do
    id=$("$app" jobs -d pos 2>/dev/null | awk 'NR == 1 {print $1}')
    [ -n "$id" ] && [ "$id" != "$before" ] && { s=$(state_of "$id" pos); case $s in completed|aborted) break;; esac; }
    sleep 0.1
  done
  cat "$work"/jobs/* > "$work/sent" 2>/dev/null || : > "$work/sent"
  "$app" jobs -d pos 2>/dev/null | awk -v id="$id" '$1 == id' > "$work/sock-job"
  echo "${s:-none}"
}
t0=$(date +%s.%N)
[ "$(sock_print "$work/pos-raster.bin")" = completed ] || fail "a receipt on TCP $raw did not complete"
t1=$(date +%s.%N)
cmp -s "$work/sent" "$work/pos-raster.bin" || fail "a receipt on TCP $raw did not reach the printer byte for byte"
grep -q "socket print from 127.0.0.1" "$work/sock-job" || fail "the socket job is not named by its client: $(cat "$work/sock-job")"
echo "a TCP $raw job from connect to completed (as 'jobs' sees it): $(awk -v a="$t0" -v b="$t1" 'BEGIN {printf "%.2f", b - a}') s"
for bad in cut unknown random; do
  [ "$(sock_print "$work/$bad.bin")" = aborted ] || fail "the $bad stream on TCP $raw was not refused"
  [ -s "$work/sent" ] && fail "the $bad stream on TCP $raw sent bytes"
done
[ "$(sock_print "$work/pos-column.bin")" = completed ] || fail "the receipt after the refused socket jobs did not complete"
cmp -s "$work/sent" "$work/pos-column.bin" || fail "the receipt after the refused socket jobs is not whole"

# A socket job and an IPP job sent together print whole, one after the other.
rm -f "$work"/jobs/*
python3 -c 'import socket,sys; s=socket.create_connection(("127.0.0.1", int(sys.argv[1]))); s.sendall(open(sys.argv[2],"rb").read()); s.close()' "$raw" "$work/pos-column.bin" &
sender=$!
ipptool -q -f "$work/pos-raster.bin" -d filetype=$format "$uri" print-job.test || fail "the IPP job beside a socket job was refused"
wait "$sender"
for _ in $(seq 1 300); do [ -z "$("$app" jobs -d pos 2>/dev/null | grep -E ' (pending|processing) ')" ] && break; sleep 0.1; done
cat "$work"/jobs/* > "$work/both" 2>/dev/null
cat "$work/pos-column.bin" "$work/pos-raster.bin" > "$work/one-way"
cat "$work/pos-raster.bin" "$work/pos-column.bin" > "$work/other-way"
cmp -s "$work/both" "$work/one-way" || cmp -s "$work/both" "$work/other-way" ||
  fail "a socket job and an IPP job sent together did not print whole, one after the other"

# A client that keeps the connection open without sending is closed, and
# its job ends with what it sent.
rm -f "$work"/jobs/*
waited=$(python3 "$clients" send-and-wait "$raw" "48656c6c6f0a")
[ "${waited%.*}" -lt 30 ] || fail "a silent socket client was not closed ($waited s)"
for _ in $(seq 1 100); do [ -s "$(ls "$work"/jobs/* 2>/dev/null | head -1)" ] && break; sleep 0.1; done
[ "$(cat "$work"/jobs/* 2>/dev/null)" = Hello ] || fail "the silent client's job did not end with what it sent"
echo "a silent socket client is closed after $waited s"

# Status on the socket: a file printer never answers, so neither do we; a
# network printer's answers are given, fresh within 2 s.
[ "$(python3 "$clients" ask "$raw" 100401 3)" = none ] || fail "a status request was answered for a printer that never answers"
start_fake_printer "$work/printer" up=1
"$app" add -d net -v "socket://127.0.0.1:$printer_port" -m lorvex_80mm >/dev/null || fail "cannot add the network printer"
sleep 6   # its first status poll
[ "$(python3 "$clients" ask $((raw + 1)) 100401100404 3)" = 1212 ] || fail "DLE EOT 1 and 4 were not answered as the printer says"
control up=1 paper=end
sleep 3
answer=$(python3 "$clients" ask $((raw + 1)) 1004041d7201 5)
[ "$answer" = 720c ] || fail "with the paper out, DLE EOT 4 and GS r 1 were answered $answer, not 720c"
kill "$fakepid" 2>/dev/null

kill -0 $server 2>/dev/null || fail "the server died"
[ "$failures" -eq 0 ] && echo "lorvex-printer-app: receipts from a point-of-sale encoder print byte for byte, over IPP and TCP $raw"
exit "$failures"
