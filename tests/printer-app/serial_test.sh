#!/usr/bin/env bash
# A receipt printer on a serial line, as a shop owner adds one: a
# pseudo-terminal stands in for the port, with the fake printer on its far
# side. The job's bytes arrive whole and unchanged (LF bytes in the raster
# among them) and the job is done once the printer confirms it on the line;
# the line is left raw at the speed and flow control asked; paper end, read
# from the line, shows as media-empty. Devices the server cannot print to are
# refused with a sentence that says what to do, and a port that goes away
# says so on the printer; the Add Printer page offers the speed and flow
# control and a printer added there takes them.
#   serial_test.sh BUILD-DIR SAMPLE.png
set -uo pipefail
build=$(realpath "$1") sample=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
app=$build/printer-app/lorvex-printer-app
fake=$build/tests/fake-printer
work=$(mktemp -d /tmp/lorvex-serial.XXXXXX)
mkdir -p "$work/spool" "$work/jobs"
. "$here/common.sh"
server=
trap 'kill $server $fakepid 2>/dev/null; wait $server $fakepid 2>/dev/null; [ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT

# The printer at the far end of the line; its port is $work/ttyLX.
fake_dir=$work/printer
mkdir -p "$fake_dir"
control paper=ok
"$fake" "pty:$work/ttyLX" "$fake_dir" > "$fake_dir.log" 2>&1 &
fakepid=$!
for _ in $(seq 1 50); do [ -L "$work/ttyLX" ] && break; sleep 0.1; done
port_dev=$(readlink "$work/ttyLX")
[ -c "$port_dev" ] || { fail "the fake printer made no terminal"; exit 1; }

port=$(free_port)
"$app" server -o server-port="$port" -o spool-directory="$work/spool" -o log-file="$work/log.txt" \
  -o log-level=debug -o file-device-dir="$work/jobs" > "$work/server.txt" 2>&1 &
server=$!
wait_up "http://localhost:$port/" || fail "the server does not answer"
uri=ipp://localhost:$port/ipp/print/till

# refused URI TEXT: adding a printer on URI fails, and says TEXT.
refused() {
  local out
  out=$("$app" add -d refused -v "$1" -m lorvex_80mm 2>&1) && { fail "a printer was made on $1"; "$app" delete -d refused; return; }
  grep -qF -- "$2" <<<"$out" || fail "adding $1 said: $out"
}
refused "serial:/dev/ttyUSB97?baud=9600" "There is no serial port /dev/ttyUSB97: plug in the printer's cable or USB adapter"
refused "serial:$work/ttyLX?baud=12345" "The speed \"12345\" is not one a serial port takes: use baud=1200, 2400"
refused "serial:$work/ttyLX?flow=hardware" "use flow=none, flow=xonxoff or flow=rtscts"
refused "serial:/dev/null" "is not a serial port"
refused "lpd://192.0.2.1/queue" "This server cannot print to \"lpd://192.0.2.1/queue\": it prints to usb:, socket:"
refused "file://$port_dev" "is a character device that is not a printer or serial port"
grep -q "Unsupported smi55357" "$work/log.txt" && fail "a refusal still answers Unsupported smi55357-device-uri"

"$app" add -d till -v "serial:$work/ttyLX?baud=19200&flow=xonxoff" -m lorvex_80mm >/dev/null ||
  fail "cannot add the serial printer"
"$app" add -d file -v "file://$work/jobs" -m lorvex_80mm >/dev/null || fail "cannot add the file printer"

# print PRINTER FILE: the job's final state.
print() {
  local id s=
  id=$(ipptool -tv -f "$2" -d filetype=image/png "ipp://localhost:$port/ipp/print/$1" print-job.test 2>/dev/null |
       sed -n 's/.*job-id (integer) = //p' | head -1)
  for _ in $(seq 1 600); do
    s=$(state_of "$id" "$1")
    case $s in completed|aborted|canceled) break;; esac
    sleep 0.1
  done
  echo "$s"
}
[ "$(print till "$sample")" = completed ] || fail "the serial job did not complete: $(tail -3 "$work/log.txt")"
[ "$(print file "$sample")" = completed ] || fail "the file job did not complete"
got=$(ls "$fake_dir"/job-*.bin 2>/dev/null | head -1)
want=$(ls "$work/jobs"/* 2>/dev/null | head -1)
if [ -z "$got" ] || [ -z "$want" ]; then
  fail "no job reached the printer (${got:-none}) or the file (${want:-none})"
else
  cmp -s "$got" "$want" || fail "the serial job's $(stat -c %s "$got") bytes are not the $(stat -c %s "$want") the job is"
  [ "$(tr -dc '\n' < "$want" | wc -c)" -gt 0 ] || fail "the job has no LF byte that a cooked line would change"
fi
grep -q "^ask 1" "$fake_dir/events" || fail "the printer was never asked its status on the line"

# The line as the job left it.
line=$(stty -F "$port_dev" -a 2>&1)
for want in "speed 19200 baud" "-opost" "-icanon" "-echo" "-isig" "-icrnl" "cs8" "-parenb" "-cstopb" "ixon" "-crtscts"; do
  grep -qw -- "$want" <<<"$line" || fail "after the job the line is not $want: $line"
done

# Paper end, told on the line, is media-empty; back to ok, it goes.
reasons() { ipptool -tv -d requested=printer-state-reasons "$uri" "$here/get-attribute.test" 2>/dev/null | sed -n 's/^ *printer-state-reasons ([^)]*) = //p'; }
control paper=end
for _ in $(seq 1 150); do grep -q media-empty <<<"$(reasons)" && break; sleep 0.1; done
grep -q media-empty <<<"$(reasons)" || fail "paper end on the line does not show media-empty: $(reasons)"
control paper=ok
for _ in $(seq 1 150); do grep -q media-empty <<<"$(reasons)" || break; sleep 0.1; done
grep -q media-empty <<<"$(reasons)" && fail "media-empty stays after the paper is back"

# The Add Printer page: the speed and the flow control beside the devices.
page=$(curl -s "http://localhost:$port/addprinter")
for want in 'name="serial_baud"' '<option value="38400" selected>38400 baud</option>' 'name="serial_flow"' \
            '<option value="xonxoff">'; do
  grep -qF -- "$want" <<<"$page" || fail "the Add Printer page has no $want"
done
# ... and a printer added there on a serial port takes them.
jar=$work/cookies
session=$(grep -o 'name="session" value="[^"]*"' <<<"$(curl -s -c "$jar" -b "$jar" "http://localhost:$port/addprinter")" |
          head -1 | sed 's/.*value="//; s/"$//')
curl -s -o /dev/null -c "$jar" -b "$jar" -X POST "http://localhost:$port/addprinter" --data-urlencode "session=$session" \
  --data-urlencode "printer_name=webtill" --data-urlencode "device_uri=serial:$work/ttyLX?baud=38400&flow=rtscts|" \
  --data-urlencode "serial_baud=9600" --data-urlencode "serial_flow=none" --data-urlencode "driver_name=lorvex_80mm"
# (the device is seen in the saved state, written within a few seconds)
for _ in $(seq 1 100); do grep -qF "serial:$work/ttyLX?baud=9600&flow=none" "$work/spool/lorvex-printer-app.state" 2>/dev/null && break; sleep 0.1; done
grep -qF "serial:$work/ttyLX?baud=9600&flow=none" "$work/spool/lorvex-printer-app.state" ||
  fail "the page's speed and flow control did not reach the printer's device: $(grep -a DeviceURI "$work/spool/lorvex-printer-app.state")"
"$app" devices >/dev/null 2>&1 || fail "devices failed"

# The adapter pulled out: the job waits, and the printer says why.
mkdir -p "$work/gone"
"$fake" "pty:$work/ttyGONE" "$work/gone" > /dev/null 2>&1 &
gonepid=$!
for _ in $(seq 1 50); do [ -L "$work/ttyGONE" ] && break; sleep 0.1; done
"$app" add -d gone -v "serial:$work/ttyGONE" -m lorvex_80mm >/dev/null || fail "cannot add the second serial printer"
kill "$gonepid"; wait "$gonepid" 2>/dev/null
ipptool -tv -f "$sample" -d filetype=image/png "ipp://localhost:$port/ipp/print/gone" print-job.test >/dev/null 2>&1
message() { ipptool -tv -d requested=printer-state-message "ipp://localhost:$port/ipp/print/gone" "$here/get-attribute.test" 2>/dev/null | sed -n 's/^ *printer-state-message ([^)]*) = //p'; }
for _ in $(seq 1 100); do grep -q "There is no serial port" <<<"$(message)" && break; sleep 0.1; done
grep -q "There is no serial port $work/ttyGONE: plug in the printer's cable" <<<"$(message)" ||
  fail "a printer whose port is gone says: $(message)"

# A printer saved on a serial port as file: (before serial: devices) is
# kept across the upgrade, with a warning, where a new one is refused.
if [ -c /dev/ttyS0 ] && [ "$(stat -c %t /dev/ttyS0)" = 4 ]; then
  kill "$server"; wait "$server" 2>/dev/null
  sed -i "s|uri=\"file://$work/jobs\"|uri=\"file:///dev/ttyS0\"|" "$work/spool/lorvex-printer-app.state"
  "$app" server -o server-port="$port" -o spool-directory="$work/spool" -o log-file="$work/log2.txt" \
    -o log-level=info -o file-device-dir="$work/jobs" > "$work/server2.txt" 2>&1 &
  server=$!
  wait_up "http://localhost:$port/" || fail "the server does not answer after the restart"
  "$app" printers | grep -qx file || fail "the printer saved on file:///dev/ttyS0 was dropped"
  grep -q "A saved printer prints to file:///dev/ttyS0 as a file: The device /dev/ttyS0 is a serial port: add it as serial:" \
    "$work/log2.txt" || fail "no warning for the saved printer on a serial port as a file"
  refused "file:///dev/ttyS0" "is a serial port: add it as serial:/dev/ttyS0?baud=38400"
fi

[ "$failures" -eq 0 ] && echo "serial: whole, raw at 19200 baud with XON/XOFF, paper end seen, refusals that say what to do"
exit "$failures"
