#!/usr/bin/env bash
# Restarts, crashes and floods lose nothing: lorvex-printer-app printing to
# fake-printer on loopback, stopped and killed at many moments.
#  - SIGTERM while a job waits for an unreachable printer, and while one
#    waits for paper: the server ends within seconds; restarted on the same
#    state, each job prints once.
#  - kill -9 while a job is on its way to the printer: after the restart it
#    is held, saying so (`jobs`, job-state-message); released, it prints
#    once. A job killed before any byte of it went out prints by itself.
#  - kill -9 while jobs come in, repeated until a save is caught: every
#    printer and every job the clients were told of comes back, and none
#    prints twice.
#  - Order: a small job sent while a larger one still uploads prints after it.
#  - Floods at a low open-file limit: slow headers are closed after 10 s,
#    one address holds at most 32 connections, and with the server full of
#    idle connections a normal client is answered at once.
#  - A sub-command that cannot reach its server says so and leaves none.
# Figures (time to stop, time to answer at the limit) are printed.
#   restarts_test.sh BUILD-DIR SAMPLE.png
set -uo pipefail
build=$(realpath "$1") sample=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
app=$build/printer-app/lorvex-printer-app
print=$build/tools/lorvex-print
fake=$build/tests/fake-printer
clients=$here/clients.py
work=$(mktemp -d /tmp/lorvex-restarts.XXXXXX)
mkdir -p "$work/spool"
. "$here/common.sh"
port=$(free_port)
start_fake_printer "$work/printer" up=0
server=
trap 'kill -9 $server 2>/dev/null; kill $fakepid 2>/dev/null; wait 2>/dev/null; [ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
uri=ipp://localhost:$port/ipp/print/counter

start_server() {  # start_server [ULIMIT [server options]]: $server is its pid
  local limit=${1:-}
  [ $# -gt 0 ] && shift
  (
    [ -n "$limit" ] && ulimit -n "$limit"
    exec "$app" server -o server-port="$port" -o spool-directory="$work/spool" -o log-file="$work/log.txt" \
      -o log-level=debug "$@"
  ) >> "$work/server.txt" 2>&1 &
  server=$!
  wait_up "http://localhost:$port/" || fail "the server does not answer after a start"
}
# stop_server SIGNAL: seconds until the process was gone (99 when it never went).
stop_server() {
  local t0 t1
  t0=$(date +%s.%N)
  kill -"$1" "$server" 2>/dev/null
  for _ in $(seq 1 300); do kill -0 "$server" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$server" 2>/dev/null; then
    kill -9 "$server"; wait "$server" 2>/dev/null; echo 99; return
  fi
  wait "$server" 2>/dev/null
  t1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN {printf "%.1f", b - a}'
}
wait_state() {  # wait_state ID STATE SECONDS [PRINTER]: true once the job is in STATE
  for _ in $(seq 1 $(($3 * 10))); do [ "$(state_of "$1" "${4:-counter}")" = "$2" ] && return 0; sleep 0.1; done
  return 1
}
submit() {  # submit FILE [PRINTER-URI]: the job id the server answered, empty when none
  ipptool -tv -f "$1" -d filetype=image/png "${2:-$uri}" print-job.test 2>/dev/null | sed -n 's/.*job-id (integer) = //p' | head -1
}
whole() { local n=0 f; for f in "$work/printer"/job-*.bin; do [ -f "$f" ] && same_paper "$f" "$1" && n=$((n + 1)); done; echo "$n"; }
# Each job as the plug-in prints it, so that lorvex-print's bytes are the reference.
convert -size 576x60 xc:white -fill black -draw 'rectangle 20,10 400,50' "$work/small.png"
ref=$work/ref-receipt.bin
reference "$sample" "$ref"
reference "$work/small.png" "$work/ref-small.bin"

start_server
"$app" add -d counter -v "socket://127.0.0.1:$printer_port" -m lorvex_80mm >/dev/null || fail "cannot add the printer"
"$app" modify -d counter -o halftone-default=HT_NONE -o page-length-default=full-page >/dev/null ||
  fail "cannot set the plug-in's defaults"

# --- SIGTERM with a job waiting for the printer -------------------------------
# sigterm_while WHAT SETTINGS...: a job waits with the printer set so; the
# server stopped by SIGTERM and restarted with the printer well prints it
# once. $took is the seconds the stop took.
sigterm_while() {
  local what=$1 id receipts; shift
  control "$@"
  receipts=$(whole "$ref")
  id=$(submit "$sample")
  wait_state "$id" processing 20 || fail "the job waiting for $what is not processing: $(state_of "$id" counter)"
  sleep 1
  took=$(stop_server TERM)
  [ "$took" != 99 ] || fail "SIGTERM did not stop a server whose job waits for $what"
  control up=1
  start_server
  wait_state "$id" completed 60 || fail "the job stopped while waiting for $what did not print: $(state_of "$id" counter)"
  [ "$(whole "$ref")" -eq $((receipts + 1)) ] || fail "the job stopped while waiting for $what printed $(( $(whole "$ref") - receipts )) times"
}
sigterm_while "an unreachable printer" up=0
stop_unreachable=$took
sigterm_while "paper" up=1 paper=end
stop_paper=$took
echo "SIGTERM to exit: ${stop_unreachable} s with a job waiting for an unreachable printer, ${stop_paper} s waiting for paper"

# --- kill -9 while a job is on its way, and before it is ----------------------
# The printer takes the job slowly; what the server had written before the
# kill may still reach it, so the receipts are counted once it has closed.
control up=1 rate=4000
conns=$(ls "$work/printer" | grep -c '^conn-')
id=$(submit "$sample")
latest=$work/printer/conn-$((conns + 1)).bin
for _ in $(seq 1 100); do [ "$(stat -c %s "$latest" 2>/dev/null || echo 0)" -gt 8000 ] && break; sleep 0.1; done
[ "$(stat -c %s "$latest" 2>/dev/null || echo 0)" -gt 8000 ] || fail "the slow job had not begun before the kill"
stop_server 9 >/dev/null
control up=1
for _ in $(seq 1 300); do grep -qE "^close $((conns + 1)) " "$work/printer/events" && break; sleep 0.1; done
receipts=$(whole "$ref")
start_server
wait_state "$id" pending-held 10 || fail "a job cut short by a kill is not held after the restart: $(state_of "$id" counter)"
job_message "$id" "$uri" | grep -qx "stopped by a restart while printing; release it to print it again" ||
  fail "the held job does not say why: $(job_message "$id" "$uri")"
"$app" jobs -d counter 2>/dev/null | grep -A1 -E "^$id " | grep -q "release it to print it again" ||
  fail "'jobs' does not show why the job is held: $("$app" jobs -d counter 2>&1 | head -4)"
sleep 2
[ "$(whole "$ref")" -eq "$receipts" ] || fail "a job cut short by a kill printed again by itself"
ipptool -q -d op=Release-Job -d job_id="$id" -d who="$(id -un)" "$uri" "$here/job-op.test" || fail "cannot release the held job"
wait_state "$id" completed 60 || fail "the released job did not print: $(state_of "$id" counter)"
[ "$(whole "$ref")" -eq $((receipts + 1)) ] || fail "the released job printed $(( $(whole "$ref") - receipts )) times"

control up=0
receipts=$(whole "$ref")
id=$(submit "$sample")
wait_state "$id" processing 20 || fail "the job to an unreachable printer is not processing"
stop_server 9 >/dev/null
control up=1
start_server
wait_state "$id" completed 60 || fail "a job killed before any byte went out did not print by itself: $(state_of "$id" counter)"
[ "$(whole "$ref")" -eq $((receipts + 1)) ] || fail "the job killed before it began printed $(( $(whole "$ref") - receipts )) times"

# --- kill -9 while jobs come in ---------------------------------------------------
"$app" add -d kills -v "socket://127.0.0.1:$printer_port" -m lorvex_80mm >/dev/null || fail "cannot add the second printer"
"$app" modify -d kills -o halftone-default=HT_NONE -o page-length-default=full-page >/dev/null
kuri=ipp://localhost:$port/ipp/print/kills
control up=0
: > "$work/acked"
rounds=0 caught=0 lost=0
while [ "$rounds" -lt 30 ] && { [ "$rounds" -lt 8 ] || [ "$caught" -eq 0 ]; }; do
  rounds=$((rounds + 1))
  ( while :; do j=$(submit "$work/small.png" "$kuri"); [ -n "$j" ] && echo "$j" >> "$work/acked"; done ) &
  submitter=$!
  sleep "0.$((RANDOM % 6 + 1))"
  stop_server 9 >/dev/null
  kill "$submitter" 2>/dev/null; wait "$submitter" 2>/dev/null
  [ -f "$work/spool/lorvex-printer-app.state.N" ] && caught=$((caught + 1))
  start_server
  "$app" printers 2>/dev/null | grep -qx kills || fail "round $rounds: the printer is gone after a kill"
  listed=$("$app" jobs -d kills 2>/dev/null | awk '{print $1}')
  for j in $(sort -un "$work/acked"); do grep -qx "$j" <<<"$listed" || lost=$((lost + 1)); done
done
acked=$(sort -un "$work/acked" | wc -l)
[ "$lost" -eq 0 ] || fail "$lost acknowledged jobs were lost over $rounds kills"
[ "$caught" -gt 0 ] || echo "note: no kill landed inside a state save in $rounds rounds"
before=$(whole "$work/ref-small.bin")
control up=1
# (A listing that did not come, the server busy, says nothing of the jobs.)
for _ in $(seq 1 1200); do
  listing=$("$app" jobs -d kills 2>/dev/null)
  [ -n "$listing" ] && ! grep -qE ' (pending|pending-held|processing) ' <<<"$listing" && break
  sleep 0.1
done
completed=$(grep -c ' completed ' <<<"$listing")
# The printer files the last receipt as it answers for it.
for _ in $(seq 1 50); do [ $(( $(whole "$work/ref-small.bin") - before )) -ge "$completed" ] && break; sleep 0.1; done
printed=$(( $(whole "$work/ref-small.bin") - before ))
[ "$printed" -eq "$completed" ] || fail "$completed jobs completed but the printer got $printed receipts"
[ "$completed" -ge "$acked" ] || fail "$acked jobs were acknowledged but $completed completed"
echo "kill -9 while jobs came in: $rounds kills, $caught inside a save, $acked jobs acknowledged, $lost lost, $completed printed once each"

# --- Order: a job still uploading is not overtaken ----------------------------
before=$(ls "$work/printer" | grep -c '^job-')
python3 "$clients" print-slowly "$port" counter "$sample" image/png 20000 > "$work/slow-id" &
slowpid=$!
sleep 1
quick=$(submit "$work/small.png")
wait "$slowpid"
slow=$(cat "$work/slow-id")
[ -n "$slow" ] && [ "$slow" != 0 ] || fail "the slow upload got no job id"
[ -n "$quick" ] && [ "$quick" -gt "${slow:-0}" ] || fail "the quick job ($quick) was not numbered after the slow one ($slow)"
wait_state "$quick" completed 60 || fail "the quick job did not print"
wait_state "$slow" completed 60 || fail "the slow job did not print"
first=$(ls "$work/printer" | grep '^job-' | sort -t- -k2 -n | sed -n "$((before + 1))p")
same_paper "$work/printer/$first" "$ref" || fail "a small job sent during a slow upload printed before it"

# --- Floods at a low open-file limit ------------------------------------------
stop_server TERM >/dev/null
start_server 256
closed=$(python3 "$clients" slow-headers "$port" 50 20)
[ "$closed" -eq 50 ] || fail "of 50 connections sending their header a byte every 2 s, $closed were closed"
# (The log may have been rotated to log.txt.O meanwhile.)
logged() { cat "$work"/log.txt* 2>/dev/null | grep -c "$1"; }
[ "$(logged "whose request header did not come whole")" -eq 1 ] ||
  fail "slow headers were not logged once: $(logged 'whose request header') lines"
read -r at_once _ <<<"$(python3 "$clients" idle "$port" 40 2)"
[ "$at_once" -ge 8 ] || fail "one address held more than 32 connections ($((40 - at_once)) of 40)"
stop_server TERM >/dev/null
start_server 256 -o max-connections-per-client=1000
python3 "$clients" idle "$port" 300 30 > /dev/null &
idlers=$!
sleep 3
t0=$(date +%s.%N)
code=$(curl -s -o /dev/null -w '%{http_code}' --max-time 20 "http://localhost:$port/")
t1=$(date +%s.%N)
kill "$idlers" 2>/dev/null; wait "$idlers" 2>/dev/null
[ "$code" = 200 ] || fail "with 300 idle connections at 256 open files, a normal client got no answer in 20 s ($code)"
[ "$(logged "longest idle ones are closed")" -ge 1 ] || fail "the connection limit was not logged"
echo "answer at the connection limit (300 idle, 256 open files): $(awk -v a="$t0" -v b="$t1" 'BEGIN {printf "%.2f", b - a}') s"

# --- No stray servers -------------------------------------------------------------
stop_server TERM >/dev/null
out=$("$app" printers -o server-port="$port" 2>&1) && fail "'printers' with no server answering succeeded"
grep -q "does not answer" <<<"$out" || fail "'printers' with no server does not say so: $out"
sleep 1
pgrep -f "lorvex-printer-app server -o private-server" >/dev/null && fail "a sub-command left a server of its own"

kill -0 "$fakepid" 2>/dev/null || fail "the fake printer died"
[ "$failures" -eq 0 ] && echo "lorvex-printer-app: stops, kills, restarts and floods lose nothing"
exit "$failures"
