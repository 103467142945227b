#!/usr/bin/env bash
# No job lost: lorvex-printer-app printing to a network receipt printer
# stood in for by fake-printer on a loopback port.
#  - Concurrency: 4 and 8 clients at once, 15 jobs each, PNG, JPEG and PWG
#    raster mixed, in several rounds: the server lives, every job completes,
#    and each job the printer got equals lorvex-print's bytes for the same
#    picture, whole and not interleaved with another.
#  - Order: a backlog queued while the printer is down, or while the queue
#    is paused, prints oldest first.
#  - Reconnect: a connection that drops aborts its job, saying how much was
#    sent; the next job opens a new connection and prints whole.
#  - Done: a job is completed only once the printer has all its bytes (a
#    slow printer).
#  - Status: paper end holds the job and shows media-empty, and it prints
#    when the paper is back; cover open shows door-open; an unreachable
#    printer shows offline; a printer that never answers still prints.
#   jobs_test.sh BUILD-DIR SAMPLE.png
set -uo pipefail
build=$(realpath "$1") sample=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
app=$build/printer-app/lorvex-printer-app
print=$build/tools/lorvex-print
fake=$build/tests/fake-printer
mkpwg=$build/tests/make-pwg
work=$(mktemp -d /tmp/lorvex-jobs.XXXXXX)
mkdir -p "$work/spool"
. "$here/common.sh"
port=$(free_port)
start_fake_printer "$work/printer" up=1
"$app" server -o server-port="$port" -o spool-directory="$work/spool" -o log-file="$work/log.txt" \
  -o log-level=debug > "$work/server.txt" 2>&1 &
server=$!
trap 'kill $server $fakepid 2>/dev/null; wait $server $fakepid 2>/dev/null; [ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
wait_up "http://localhost:$port/" || fail "the server does not answer"
"$app" add -d counter -v "socket://127.0.0.1:$printer_port" -m lorvex_80mm >/dev/null || fail "cannot add the printer"
# Printed as the plug-in prints, so that lorvex-print's bytes are the reference.
"$app" modify -d counter -o halftone-default=HT_NONE -o page-length-default=full-page >/dev/null ||
  fail "cannot set the plug-in's defaults"
uri=ipp://localhost:$port/ipp/print/counter

# The same picture as PNG, JPEG and PWG raster, and what each must print.
convert "$sample" -quality 92 "$work/receipt.jpg"
"$mkpwg" "$sample" "$work/receipt.pwg" 640 || fail "make-pwg"
reference "$sample" "$work/ref-png.bin"
reference "$work/receipt.jpg" "$work/ref-jpeg.bin"
cmp -s "$work/ref-png.bin" "$work/ref-jpeg.bin" && fail "the JPEG and PNG references are the same"
for mm in 1 2 3 4 5; do reference "$sample" "$work/ref-P${mm}0.bin" --offset "P${mm}0"; done

wait_ended() {  # wait_ended ID [SECONDS]: its final state
  local s
  for _ in $(seq 1 $((${2:-60} * 10))); do
    s=$(state_of "$1" counter)
    case $s in completed|aborted|canceled) echo "$s"; return;; esac
    sleep 0.1
  done
  echo "${s:-gone}"
}
printer_attr() {  # printer_attr NAME: its value(s), as ipptool shows them
  ipptool -tv "$uri" get-printer-attributes.test 2>/dev/null | sed -n "s/^ *$1 ([^)]*) = //p" | head -1
}
submit() {  # submit FILE FORMAT [job attributes for ipptool's print-job.test]: the job id
  ipptool -tv -f "$1" -d filetype="$2" "$uri" print-job.test 2>/dev/null | sed -n 's/.*job-id (integer) = //p' | head -1
}
jobs_printed() { ls "$work/printer"/job-*.bin 2>/dev/null | wc -l; }
# The jobs the printer got since job number $1, in order.
printed_since() {
  ls "$work/printer" | grep '^job-' | sort -t- -k2 -n | tail -n +$(($1 + 1)) | sed "s|^|$work/printer/|"
}
same_as() { same_paper "$1" "$work/ref-$2.bin"; }

# --- Concurrency ---------------------------------------------------------
round() {  # round CLIENTS: each client sends 15 jobs, formats mixed
  local clients=$1 before ids=() c j
  before=$(jobs_printed)
  for c in $(seq 1 "$clients"); do
    (
      for j in $(seq 1 15); do
        case $(( (c + j) % 3 )) in
          0) ipptool -q -f "$sample" -d filetype=image/png "$uri" print-job.test || echo "refused png" ;;
          1) ipptool -q -f "$work/receipt.jpg" -d filetype=image/jpeg "$uri" print-job.test || echo "refused jpeg" ;;
          2) ipptool -q -f "$work/receipt.pwg" -d filetype=image/pwg-raster "$uri" print-job.test || echo "refused pwg" ;;
        esac
      done
    ) > "$work/client-$c.txt" 2>&1 &
    ids+=($!)
  done
  wait "${ids[@]}"
  grep -h refused "$work"/client-*.txt | sort | uniq -c | sed 's/^/    /' | grep . && fail "$clients clients: jobs were refused"
  rm -f "$work"/client-*.txt
  local want=$((clients * 15)) n
  for _ in $(seq 1 1200); do
    n=$(( $(jobs_printed) - before ))
    [ "$n" -ge "$want" ] && [ -z "$("$app" jobs -d counter 2>/dev/null | grep -E ' (pending|processing) ')" ] && break
    sleep 0.1
  done
  kill -0 $server 2>/dev/null || { fail "$clients clients: the server died"; return; }
  [ "$n" -eq "$want" ] || fail "$clients clients: the printer got $n jobs of $want"
  local bad=0 f
  for f in $(printed_since "$before"); do
    same_as "$f" png || same_as "$f" jpeg || bad=$((bad + 1))
  done
  [ "$bad" -eq 0 ] || fail "$clients clients: $bad jobs are not whole receipts (interleaved or cut)"
  local notdone
  notdone=$("$app" jobs -d counter 2>/dev/null | grep -vc ' completed ')
  [ "$notdone" -eq 0 ] || fail "$clients clients: $notdone jobs did not complete: $("$app" jobs -d counter | grep -v ' completed ' | head -3)"
}
start=$(date +%s.%N)
round 1
t1=$(date +%s.%N)
round 4
t4=$(date +%s.%N)
round 8
t8=$(date +%s.%N)
round 4
rate() { awk -v n="$1" -v a="$2" -v b="$3" 'BEGIN {printf "%.1f", n / (b - a)}'; }
echo "jobs per second: 1 client $(rate 15 "$start" "$t1"), 4 clients $(rate 60 "$t1" "$t4")," \
  "8 clients $(rate 120 "$t4" "$t8"); server peak memory $(awk '/VmHWM/ {print $2, $3}' /proc/$server/status)"

# --- Order after an outage, and while paused ---------------------------------
order() {  # order WHAT: five jobs with offsets P10..P50 came out in that order
  local before=$1 what=$2 i=1 f
  for _ in $(seq 1 600); do [ $(( $(jobs_printed) - before )) -ge 5 ] && break; sleep 0.1; done
  for f in $(printed_since "$before"); do
    same_as "$f" "P${i}0" || { fail "$what: job $i of the backlog is not the ${i}th sent"; break; }
    i=$((i + 1))
  done
  [ "$i" -eq 6 ] || fail "$what: $((i - 1)) of 5 jobs came out in order"
}
control up=0
sleep 0.5
before=$(jobs_printed)
for mm in 1 2 3 4 5; do ipptool -q -f "$sample" -d filetype=image/png -d offset="P${mm}0" "$uri" "$here/print-offset.test"; done
sleep 6
# While it cannot be reached, the printer says so.
grep -q offline <<<"$(printer_attr printer-state-reasons)" || fail "an unreachable printer does not show offline"
grep -q "cannot be reached" <<<"$(printer_attr printer-state-message)" || fail "an unreachable printer does not say so"
control up=1
order "$before" "after an outage"
ipptool -q -d op=Pause-Printer "$uri" "$here/printer-op.test" || fail "Pause-Printer"
before=$(jobs_printed)
for mm in 1 2 3 4 5; do ipptool -q -f "$sample" -d filetype=image/png -d offset="P${mm}0" "$uri" "$here/print-offset.test"; done
sleep 1
[ "$(jobs_printed)" -eq "$before" ] || fail "a paused printer printed"
ipptool -q -d op=Resume-Printer "$uri" "$here/printer-op.test" || fail "Resume-Printer"
order "$before" "after a pause"

# --- Reconnect after a dropped connection ---------------------------------
control up=1 drop=20000
sleep 0.2
first=$(submit "$sample" image/png)
second=$(submit "$work/receipt.jpg" image/jpeg)
[ "$(wait_ended "$first")" = aborted ] || fail "a job cut off at 20000 bytes did not end aborted"
job_message "$first" "$uri" | grep -qE "broke after [0-9]+ bytes of this job were sent" ||
  fail "the cut-off job does not say how much was sent: $(job_message "$first" "$uri")"
[ "$(wait_ended "$second")" = completed ] || fail "the job after a dropped connection did not complete"
same_as "$(printed_since 0 | tail -1)" jpeg || fail "the job after a dropped connection is not whole"
grep -q "^drop" "$work/printer/events" || fail "the fake printer did not drop the connection"

# --- Completed only when the printer has it -----------------------------------
control up=1 rate=20000
sleep 0.2
id=$(submit "$sample" image/png)
# The size of the PNG receipt as this server sends it: a job printed before.
size=$(for f in $(printed_since 0); do same_as "$f" png && { stat -c %s "$f"; break; }; done)
seen=""
for _ in $(seq 1 600); do
  s=$(state_of "$id" counter)
  if [ "$s" = completed ]; then
    seen=$(awk '$1 == "job" {n = $3} END {print n}' "$work/printer/events")
    break
  fi
  sleep 0.1
done
[ "$s" = completed ] || fail "the job to a slow printer did not complete"
[ "$seen" = "$size" ] || fail "a job was completed when the slow printer had ${seen:-0} of its $size bytes"
control up=1

# --- Paper end holds the job; cover open; a printer that never answers --------
control up=1 paper=end
t0=$(date +%s.%N)
for _ in $(seq 1 150); do grep -q media-empty <<<"$(printer_attr printer-state-reasons)" && break; sleep 0.1; done
t_empty=$(date +%s.%N)
grep -q media-empty <<<"$(printer_attr printer-state-reasons)" || fail "paper end does not show media-empty"
grep -q "out of paper" <<<"$(printer_attr printer-state-message)" || fail "paper end does not say so"
echo "paper end to media-empty: $(awk -v a="$t0" -v b="$t_empty" 'BEGIN {printf "%.1f", b - a}') s"
before=$(jobs_printed)
id=$(submit "$sample" image/png)
sleep 4
s=$(state_of "$id" counter)
[ "$s" = processing ] || [ "$s" = pending ] || fail "a job printed without paper: $s"
[ "$(jobs_printed)" -eq "$before" ] || fail "the printer got a job while out of paper"
job_message "$id" "$uri" | grep -q "out of paper" || fail "the held job does not say why: $(job_message "$id" "$uri")"
control up=1 paper=ok
[ "$(wait_ended "$id")" = completed ] || fail "the held job did not print when the paper came back"
same_as "$(printed_since 0 | tail -1)" png || fail "the held job is not whole"
for _ in $(seq 1 100); do grep -q media-empty <<<"$(printer_attr printer-state-reasons)" || break; sleep 0.1; done
grep -q media-empty <<<"$(printer_attr printer-state-reasons)" && fail "media-empty stays after the paper came back"

control up=1 cover=open
for _ in $(seq 1 150); do grep -q door-open <<<"$(printer_attr printer-state-reasons)" && break; sleep 0.1; done
grep -q door-open <<<"$(printer_attr printer-state-reasons)" || fail "an open cover does not show door-open"
control up=1 paper=near
for _ in $(seq 1 150); do grep -q media-low <<<"$(printer_attr printer-state-reasons)" && break; sleep 0.1; done
grep -q media-low <<<"$(printer_attr printer-state-reasons)" || fail "paper near its end does not show media-low"
grep -q door-open <<<"$(printer_attr printer-state-reasons)" && fail "door-open stays after the cover is closed"

# A second printer on another port that never answers: its jobs still print.
mute_port=$(free_port)
mkdir -p "$work/mute"
printf 'answer=0\n' > "$work/mute/control"
"$fake" "$mute_port" "$work/mute" > "$work/fake-mute.txt" 2>&1 &
mutepid=$!
"$app" add -d mute -v "socket://127.0.0.1:$mute_port" -m lorvex_80mm >/dev/null || fail "cannot add the mute printer"
muri=ipp://localhost:$port/ipp/print/mute
a=$(ipptool -tv -f "$sample" -d filetype=image/png "$muri" print-job.test | sed -n 's/.*job-id (integer) = //p' | head -1)
b=$(ipptool -tv -f "$sample" -d filetype=image/png "$muri" print-job.test | sed -n 's/.*job-id (integer) = //p' | head -1)
for _ in $(seq 1 600); do
  "$app" jobs -d mute 2>/dev/null | grep -qE "^$b +(completed|aborted)" && break
  sleep 0.1
done
"$app" jobs -d mute 2>/dev/null | grep -qE "^$a +completed" || fail "a job to a printer that never answers did not complete"
"$app" jobs -d mute 2>/dev/null | grep -qE "^$b +completed" || fail "the next job to a printer that never answers did not complete"
# Asked once (three real-time requests, by the first job or the idle
# poll, whichever came first), then never again.
asks=$(grep -c "^ask" "$work/mute/events")
[ "$asks" -le 3 ] || fail "a printer that never answered was asked again ($asks requests)"
kill $mutepid 2>/dev/null

kill -0 $server 2>/dev/null || fail "the server died"
[ "$failures" -eq 0 ] && echo "lorvex-printer-app: concurrency, order, reconnect, confirmation and printer status pass"
exit "$failures"
