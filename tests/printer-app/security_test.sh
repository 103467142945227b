#!/usr/bin/env bash
# lorvex-printer-app as an administrator who puts it on a shop's network
# would try it:
#  1. Devices: every way of making a printer (the command line, IPP
#     Create-Printer, the web page's add-printer form, the saved state)
#     refuses file: URIs outside the file device folder: the "etc" and
#     "root" of a throwaway folder stand in for the system's, and the server
#     runs as root so that only the policy, not file rights, stops it.
#  2. Other users' jobs: cancelling or releasing alice's job as mallory is
#     refused; alice herself and the administrator may.
#  3. The network, in a private network namespace with an address of our
#     own (192.0.2.10, a documentation address that never leaves it): no
#     start without an access password; every change from that address is
#     refused without logging in, and works over HTTPS with the password.
#  4. The service unit passes systemd-analyze verify and installs below a
#     throwaway root.
#   security_test.sh BUILD-DIR SAMPLE.png
set -uo pipefail
if [ "${1:-}" = --netns ]; then  # the network part, inside its namespace
  netns_work=$2 netns_port=$3; shift 3
fi
build=$(realpath "$1") sample=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
app=$build/printer-app/lorvex-printer-app
. "$here/common.sh"
# The halftone a printer's printing defaults page shows selected.
halftone_default() {
  curl -sk -b "$2" "$1/printing" | sed -n 's/.*<select name="halftone">\(.*\)/\1/p' | sed 's|</select>.*||' |
    grep -o '<option value="[^"]*" selected>' | sed 's/<option value="//; s/".*//'
}
# The session token of a page's form, from a cookie jar's session.
session_of() { grep -o 'name="session" value="[^"]*"' | head -1 | sed 's/.*value="//; s/"$//'; }

network_part() {
  local work=$1 port=$2 addr=192.0.2.10
  ip link set lo up && ip addr add $addr/32 dev lo || { fail "cannot set up the private network"; return; }
  local asnobody=(setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$work/home" TMPDIR="$work/tmp")
  mkdir -p "$work/home" "$work/tmp" "$work/spool2" "$work/files2"
  chown 65534:65534 "$work/home" "$work/tmp" "$work/spool2" "$work/files2"

  # Listening beyond loopback without a password: no start, and it says why.
  local out
  out=$(timeout 20 "${asnobody[@]}" "$app" server -o server-port="$port" -o spool-directory="$work/spool2" \
        -o listen-hostname='*' 2>&1)
  [ $? -ne 0 ] || fail "the server started on every address without an access password"
  grep -q "needs an access password for administration: start with -o admin-password-file=FILE" <<<"$out" ||
    fail "the refusal to start does not say what to set: $out"

  printf 'shop-admin-1\n' > "$work/password" && chmod 644 "$work/password"
  "${asnobody[@]}" "$app" server -o server-port="$port" -o spool-directory="$work/spool2" -o listen-hostname='*' \
    -o admin-password-file="$work/password" -o file-device-dir="$work/files2" -o log-file="$work/log2.txt" \
    -o log-level=info >/dev/null 2>&1 &
  local server=$!
  wait_up "http://$addr:$port/" || { fail "the networked server does not answer"; kill $server; return; }
  "${asnobody[@]}" "$app" add -d counter -v "file://$work/files2" -m lorvex_80mm >/dev/null ||
    fail "the local command line cannot add a printer"

  local base=http://$addr:$port secure=https://$addr:$port jar=$work/jar
  # A change posted from the network without logging in: nothing happens.
  : > "$jar"
  local page session
  page=$(curl -sk -c "$jar" -b "$jar" "$secure/addprinter")
  grep -q 'name="password"' <<<"$page" || fail "the add-printer page does not ask for the password"
  session=$(session_of <<<"$page")
  curl -sk -o /dev/null -c "$jar" -b "$jar" "$secure/addprinter" --data-urlencode "session=$session" \
    --data-urlencode printer_name=intruder --data-urlencode driver_name=lorvex_80mm \
    --data-urlencode "device_uri=file://$work/files2"
  for form in "counter/printing:halftone=HT_Stucki" "counter/config:location=Yard" "counter/media:ready0-size=x" \
              "counter/delete:x=1" "counter:action=hold-new-jobs"; do
    curl -sk -o /dev/null -c "$jar" -b "$jar" "$secure/${form%%:*}" --data-urlencode "session=$session" \
      --data-urlencode "${form#*:}"
  done
  "${asnobody[@]}" "$app" printers 2>/dev/null | grep -q intruder && fail "a printer was added from the network without login"
  "${asnobody[@]}" "$app" printers 2>/dev/null | grep -q counter || fail "a printer was deleted from the network without login"
  # Plain HTTP from the network is sent to HTTPS before any password.
  local code
  code=$(curl -s -o /dev/null -w '%{http_code}' "$base/addprinter")
  [ "$code" = 301 ] || fail "the add-printer page over plain HTTP from the network answered $code, not a redirect"
  code=$(curl -s -o /dev/null -w '%{http_code}' "$base/addprinter" --data "session=x&password=shop-admin-1")
  [ "$code" = 426 ] || fail "a password posted over plain HTTP from the network answered $code, not 426"

  # IPP administration from the network: refused, with or without a name.
  local uri=ipp://$addr:$port/ipp/print/counter
  for op in Pause-Printer Set-Printer-Attributes; do
    ipptool -q -d op=$op "$uri" "$here/printer-op.test" && fail "$op from the network was accepted"
  done
  ipptool -q -d name=intruder -d device="file://$work/files2" "ipp://$addr:$port/ipp/system" \
    "$here/create-printer.test" && fail "Create-Printer from the network was accepted"
  # Printing from the network needs nothing.
  ipptool -q -f "$sample" -d filetype=image/png "$uri" print-job.test || fail "printing from the network was refused"

  # With the password, over HTTPS: each change works.
  page=$(curl -sk -c "$jar" -b "$jar" "$secure/addprinter" --data-urlencode "session=$session" \
         --data-urlencode password=shop-admin-1)
  grep -q 'name="printer_name"' <<<"$page" || fail "logging in over HTTPS did not open the add-printer form"
  session=$(session_of <<<"$page")
  [ "$(halftone_default "$secure/counter" "$jar")" = auto ] ||
    fail "defaults were changed from the network without login"
  curl -sk -o /dev/null -c "$jar" -b "$jar" "$secure/addprinter" --data-urlencode "session=$session" \
    --data-urlencode printer_name=bar --data-urlencode driver_name=lorvex_80mm \
    --data-urlencode "device_uri=file://$work/files2"
  "${asnobody[@]}" "$app" printers 2>/dev/null | grep -q '^bar' || fail "the logged-in administrator cannot add a printer"
  curl -sk -o /dev/null -c "$jar" -b "$jar" "$secure/counter/printing" --data-urlencode "session=$session" \
    --data-urlencode halftone=HT_Stucki
  [ "$(halftone_default "$secure/counter" "$jar")" = HT_Stucki ] ||
    fail "the logged-in administrator cannot set a default"
  curl -sk -o /dev/null -c "$jar" -b "$jar" "$secure/counter/config" --data-urlencode "session=$session" \
    --data-urlencode location=Yard
  grep -q "Yard" <<<"$(curl -sk -c "$jar" -b "$jar" "$secure/counter")" ||
    fail "the logged-in administrator cannot change the printer's configuration"
  curl -sk -o /dev/null -c "$jar" -b "$jar" "$secure/bar/delete" --data-urlencode "session=$session"
  "${asnobody[@]}" "$app" printers 2>/dev/null | grep -q '^bar' && fail "the logged-in administrator cannot delete a printer"
  # A file: device outside the folder is refused from the web page too.
  page=$(curl -sk -c "$jar" -b "$jar" "$secure/addprinter" --data-urlencode "session=$session" \
    --data-urlencode printer_name=cron --data-urlencode driver_name=lorvex_80mm \
    --data-urlencode "device_uri=file://$work/etc/cron.d/web-remote")
  grep -q "is refused: this server prints to files only inside the folder" <<<"$page" ||
    fail "the add-printer page does not say why a file device is refused"
  [ -e "$work/etc/cron.d/web-remote" ] && fail "a file was written outside the file device folder from the web"

  kill $server 2>/dev/null; wait $server 2>/dev/null
}

if [ -n "${netns_work:-}" ]; then
  network_part "$netns_work" "$netns_port"
  exit "$failures"
fi

work=$(mktemp -d /tmp/lorvex-security.XXXXXX)
chmod 755 "$work"
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/etc/cron.d" "$work/root" "$work/allowed/out" "$work/spool"
printf '# the user'"'"'s own\n' > "$work/root/.bashrc"
: > "$work/allowed/ok.bin"
ln -s "$work/root/.bashrc" "$work/allowed/escape"
ln -s "$work/etc/cron.d" "$work/allowed/cron"
before=$(cd "$work" && find etc root -exec stat -c '%n %s %Y' {} + | sort | sha256sum)

# --- 1. Devices, by every path -------------------------------------------
port=$(free_port)
start_local() {
  "$app" server -o server-port="$port" -o spool-directory="$work/spool" -o log-file="$work/log.txt" \
    -o log-level=info -o file-device-dir="$work/allowed" > "$work/server.txt" 2>&1 &
  server=$!
  wait_up "http://localhost:$port/" || fail "the server does not answer"
}
start_local
refused=("file://$work/root/.bashrc" "file://$work/etc/cron.d?ext=sh" "file://$work/allowed/escape"
         "file://$work/allowed/../root/.bashrc" "file://$work/allowed/cron?ext=sh" "file://$work/etc/cron.d/web-remote")
accepted=("file://$work/allowed/ok.bin" "file://$work/allowed/out?ext=bin")
jar=$work/jar
session=$(curl -s -c "$jar" -b "$jar" "http://localhost:$port/config" | session_of)
i=0
for uri in "${refused[@]}"; do
  i=$((i + 1))
  out=$("$app" add -d cli$i -v "$uri" -m lorvex_80mm 2>&1) && fail "command line add accepted $uri"
  grep -qE "refused|Unsupported" <<<"$out" || fail "command line add of $uri: $out"
  out=$(ipptool -tv -d name=ipp$i -d device="$uri" "ipp://localhost:$port/ipp/system" "$here/create-printer.test" 2>&1) &&
    fail "Create-Printer accepted $uri"
  page=$(curl -s -c "$jar" -b "$jar" "http://localhost:$port/addprinter" --data-urlencode "session=$session" \
    --data-urlencode printer_name=web$i --data-urlencode driver_name=lorvex_80mm --data-urlencode "device_uri=$uri")
  grep -qE "is refused|cannot be used" <<<"$page" || fail "the add-printer page accepted $uri"
done
# Create-Printer says why for an existing file outside the folder.
out=$(ipptool -tv -d name=ipp -d device="file://$work/root/.bashrc" "ipp://localhost:$port/ipp/system" \
      "$here/create-printer.test" 2>&1)
grep -q "only inside the folder named by -o file-device-dir=DIR" <<<"$out" ||
  fail "Create-Printer does not say why: $(grep -i status-message <<<"$out")"
"$app" add -d good1 -v "${accepted[0]}" -m lorvex_80mm >/dev/null || fail "command line add refused ${accepted[0]}"
ipptool -q -d name=good2 -d device="${accepted[1]}" "ipp://localhost:$port/ipp/system" "$here/create-printer.test" ||
  fail "Create-Printer refused ${accepted[1]}"
listed=$("$app" printers 2>/dev/null)
grep -qE "^(cli|ipp|web)[0-9]" <<<"$listed" && fail "a refused printer was made: $listed"
# Jobs on the accepted ones land inside the folder.
"$app" submit -d good1 "$sample" >/dev/null
for _ in $(seq 1 100); do [ -s "$work/allowed/ok.bin" ] && break; sleep 0.1; done
[ -s "$work/allowed/ok.bin" ] || fail "nothing printed into the allowed file"

# --- 2. Other users' jobs ---------------------------------------------------
uri=ipp://localhost:$port/ipp/print/good1
held() { ipptool -tv -f "$sample" -d who="$1" "$uri" "$here/print-held.test" | sed -n 's/.*job-id (integer) = //p' | head -1; }
job=$(held alice)
[ -n "$job" ] || fail "cannot print a held job"
out=$(ipptool -tv -d op=Release-Job -d job_id="$job" -d who=mallory "$uri" "$here/job-op.test" 2>&1) &&
  fail "mallory released alice's job"
out=$(ipptool -tv -d op=Cancel-Job -d job_id="$job" -d who=mallory "$uri" "$here/job-op.test" 2>&1) &&
  fail "mallory cancelled alice's job"
grep -q "client-error-not-authorized" <<<"$out" || fail "cancelling another's job: $(grep status <<<"$out")"
ipptool -q -d op=Cancel-Job -d job_id="$job" -d who=alice "$uri" "$here/job-op.test" || fail "alice cannot cancel her job"
job=$(held alice)
"$app" cancel -d good1 -j "$job" >/dev/null 2>&1 || fail "the administrator (local command line) cannot cancel alice's job"
"$app" jobs -d good1 2>/dev/null | grep -qE "^$job +canceled " ||
  fail "alice's job was not cancelled by the administrator: $("$app" jobs -d good1 2>&1)"

# --- 1, continued: the saved state ---------------------------------------
kill $server; wait $server 2>/dev/null
state=$work/spool/lorvex-printer-app.state
grep -q "good1" "$state" || fail "the state holds no printer"
# A printer on a file outside the folder, written into the state by hand.
sed -n '/^<Printer .* name="good1"/,/^<\/Printer>/p' "$state" |
  sed "s|name=\"good1\"|name=\"sneaky\"|; s| id=\"[0-9]*\"| id=\"99\"|; s|uri=\"file://[^\"]*\"|uri=\"file://$work/root/.bashrc\"|" >> "$state"
grep -q sneaky "$state" || fail "could not plant a printer in the state"
start_local
"$app" printers 2>/dev/null | grep -q sneaky && fail "a saved printer on a file outside the folder was loaded"
"$app" printers 2>/dev/null | grep -q good1 || fail "the saved printer inside the folder was not loaded"
grep -q "refused: The device $work/root/.bashrc" "$work/log.txt" || fail "the refused saved printer is not in the log"
kill $server; wait $server 2>/dev/null

after=$(cd "$work" && find etc root -exec stat -c '%n %s %Y' {} + | sort | sha256sum)
[ "$before" = "$after" ] || fail "something outside the file device folder was made or changed"

# --- 3. The network ----------------------------------------------------------
if unshare -n true 2>/dev/null; then
  unshare -n "$0" --netns "$work" "$(free_port)" "$build" "$sample" || failures=$((failures + $?))
  after=$(cd "$work" && find etc root -exec stat -c '%n %s %Y' {} + | sort | sha256sum)
  [ "$before" = "$after" ] || fail "something outside the file device folder was made or changed from the network"
else
  fail "unshare -n is not possible here, so the network part did not run"
fi

# --- 4. The service unit ---------------------------------------------------
sed "s|/usr/local/bin/lorvex-printer-app|$app|" "$top/printer-app/service/lorvex-printer-app.service" \
  > "$work/lorvex-printer-app.service"
out=$(systemd-analyze verify "$work/lorvex-printer-app.service" 2>&1) || fail "systemd-analyze verify: $out"
[ -z "$out" ] || fail "systemd-analyze verify has something to say: $out"
printf 'shop-admin-1\n' > "$work/password"
"$top/scripts/install-service.sh" --root "$work/sysroot" --listen '*' --admin-password-file "$work/password" >/dev/null ||
  fail "install-service.sh"
for f in usr/local/bin/lorvex-printer-app etc/systemd/system/lorvex-printer-app.service etc/default/lorvex-printer-app \
         etc/systemd/system/lorvex-printer-app.service.d/network.conf etc/lorvex-printer-app/admin-password; do
  [ -e "$work/sysroot/$f" ] || fail "install-service.sh did not install $f"
done
[ "$(stat -c %a "$work/sysroot/etc/lorvex-printer-app/admin-password")" = 600 ] || fail "the installed password is readable by others"
grep -q "listen-hostname=\* -o admin-password-file=%d/admin-password" \
  "$work/sysroot/etc/systemd/system/lorvex-printer-app.service.d/network.conf" || fail "the network drop-in"

[ "$failures" -eq 0 ] && echo "lorvex-printer-app: device policy on every path, job ownership, network administration and the service pass"
exit "$failures"
