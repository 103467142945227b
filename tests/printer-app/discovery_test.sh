#!/usr/bin/env bash
# DNS-SD as clients on the shop's network see it, in a network namespace of
# the test's own (a veth pair, avahi and a system bus of its own): a printer
# added while the server runs is advertised at once, without a restart; a
# desktop's CUPS lists it with lpstat -e and prints a cut receipt with lp and
# no options; a second server on the same host with a printer of the same
# name makes it
# "NAME (HOST)", both visible, and keeps that name across a restart; no
# mopria-certified in the TXT record; the name, location and description set
# on the configuration page are advertised and kept; a stopped server's
# printer, and a deleted one, are withdrawn.
#   discovery_test.sh BUILD-DIR   (run as root; re-runs itself in the namespace)
set -uo pipefail
build=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
app=$build/printer-app/lorvex-printer-app
if [ "${LORVEX_IN_NAMESPACE:-}" != 1 ]; then
  [ "$(id -u)" = 0 ] || { echo "SKIP: needs root for a network namespace"; exit 77; }
  for tool in avahi-daemon avahi-browse dbus-daemon ip unshare; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
  LORVEX_IN_NAMESPACE=1 exec unshare -n -m --propagation private "$0" "$@"
fi
. "$here/common.sh"
work=$(mktemp -d /tmp/lorvex-dnssd.XXXXXX)
chmod 755 "$work"  # CUPS filters run as lp
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

# The network: a veth pair, multicast on, and the bus and avahi on a /run
# of this namespace's own.
ip link set lo up
ip link add lxv0 type veth peer name lxv1 || { echo "SKIP: no veth here"; exit 77; }
ip addr add 10.77.0.1/24 dev lxv0 && ip addr add 10.77.0.2/24 dev lxv1
ip link set lxv0 up multicast on && ip link set lxv1 up multicast on
mount -t tmpfs tmpfs /run && mkdir -p /run/dbus /run/avahi-daemon
dbus-daemon --system --fork --nopidfile || { fail "no system bus"; exit 1; }
host=$(hostname -s)
cat > "$work/avahi.conf" <<CONF
[server]
host-name=$host
use-ipv4=yes
use-ipv6=no
allow-interfaces=lxv0,lxv1
enable-dbus=yes
[publish]
publish-workstation=no
CONF
avahi-daemon --no-drop-root --no-chroot --no-rlimits -f "$work/avahi.conf" > "$work/avahi.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 50); do avahi-browse -at >/dev/null 2>&1 && break; sleep 0.2; done

# start NAME [OPTIONS]: a server with its own state, on a port of its own;
# cli NAME ARGS... talks to it (the command line reaches the server started
# last).
start() {
  local name=$1 dir=$work/$1
  shift
  mkdir -p "$dir/spool" "$dir/jobs" "$dir/tmp"
  local port
  port=$(free_port)
  echo "$port" > "$dir/port"
  TMPDIR=$dir/tmp HOME=$dir "$app" server -o server-port="$port" -o spool-directory="$dir/spool" \
    -o log-file="$dir/log.txt" -o log-level=debug -o file-device-dir="$dir/jobs" "$@" > "$dir/server.txt" 2>&1 &
  eval "pid_$name=$!"
  pids+=($!)
  wait_up "http://localhost:$port/" || fail "server $name does not answer"
}
cli() { local dir=$work/$1; shift; TMPDIR=$dir/tmp HOME=$dir "$app" "$@"; }
stop() { local pid="pid_$1"; kill "${!pid}"; wait "${!pid}" 2>/dev/null; }
# The _ipp._tcp names avahi resolves, one a line.
names() { avahi-browse -rtp _ipp._tcp 2>/dev/null | awk -F';' '$1 == "=" {print $4}' | perl -pe 's/\\(\d{3})/chr($1)/ge' | sort -u; }
# seen NAME / gone NAME: within 10 s.
seen() { for _ in $(seq 1 50); do names | grep -qxF -- "$1" && return 0; sleep 0.2; done; return 1; }
gone() { for _ in $(seq 1 50); do names | grep -qxF -- "$1" || return 0; sleep 0.2; done; return 1; }

start a
cli a add -d receipt -v "file://$work/a/jobs" -m lorvex_80mm >/dev/null || fail "add on server a"
seen receipt || fail "a printer added at run time is not advertised: $(names | tr '\n' '|')"
txt=$(avahi-browse -rtp _ipp._tcp 2>/dev/null | grep '^=' | grep ';receipt;' | head -1)
grep -q 'mopria' <<<"$txt" && fail "the TXT record claims mopria-certified"
grep -q '"rp=ipp/print/receipt"' <<<"$txt" || fail "the TXT record: $txt"

# A second server on this host, a printer of the same name: both seen, the
# second under the host's name, kept across its restart.
start b
cli b add -d receipt -v "file://$work/b/jobs" -m lorvex_80mm >/dev/null || fail "add on server b"
seen "receipt ($host)" || fail "the second printer is not seen as 'receipt ($host)': $(names | tr '\n' '|')"
seen receipt || fail "the first printer went"
stop b
gone "receipt ($host)" || fail "a stopped server's printer is still advertised"
start b
seen "receipt ($host)" || fail "after a restart the second printer is not 'receipt ($host)': $(names | tr '\n' '|')"

# Deleted (the command line talks to the server started last): withdrawn at
# once, and the server still answers.
cli b delete -d receipt || fail "delete on server b"
gone "receipt ($host)" || fail "a deleted printer is still advertised"
cli b printers >/dev/null || fail "server b stopped answering after a delete"
seen receipt || fail "deleting b's printer took a's"

# The configuration page names it anew, with a location and a description:
# advertised under the new name at once, the old one withdrawn, and kept
# across a restart.
config() {  # config NAME FIELD=VALUE...: posts server NAME's printer configuration form
  local dir=$work/$1 jar=$work/$1/cookies; shift
  local url="http://localhost:$(cat "$dir/port")/receipt/config" page session args=()
  page=$(curl -s -c "$jar" -b "$jar" "$url")
  session=$(grep -o 'name="session" value="[^"]*"' <<<"$page" | head -1 | sed 's/.*value="//; s/"$//')
  for field in "$@"; do args+=(--data-urlencode "$field"); done
  curl -s -o /dev/null -c "$jar" -b "$jar" -X POST "$url" --data-urlencode "session=$session" "${args[@]}"
}
info() { ipptool -tv -d requested="$2" "ipp://localhost:$(cat "$work/$1/port")/ipp/print/receipt" "$here/get-attribute.test" 2>/dev/null | sed -n "s/^ *$2 ([^)]*) = //p"; }
config a "dns_sd_name=Front till" "location=Counter 1" "description=Receipts at the front till"
seen "Front till" || fail "the name set on the page is not advertised: $(names | tr '\n' '|')"
gone receipt || fail "the old name is still advertised"
txt=$(avahi-browse -rtp _ipp._tcp 2>/dev/null | grep '^=' | perl -pe 's/\\(\d{3})/chr($1)/ge' | grep ';Front till;' | head -1)
grep -q '"note=Counter 1"' <<<"$txt" || fail "the TXT record has not the location: $txt"
[ "$(info a printer-info)" = "Receipts at the front till" ] || fail "printer-info is $(info a printer-info)"
[ "$(info a printer-location)" = "Counter 1" ] || fail "printer-location is $(info a printer-location)"
grep -q 'name="description" value="Receipts at the front till"' <<<"$(curl -s "http://localhost:$(cat "$work/a/port")/receipt/config")" ||
  fail "the configuration page does not show the description"
stop a
start a
seen "Front till" || fail "after a restart the name set on the page is gone: $(names | tr '\n' '|')"
[ "$(info a printer-info)" = "Receipts at the front till" ] || fail "after a restart printer-info is $(info a printer-info)"


# A desktop's CUPS finds a printer by itself (lpstat -e browses DNS-SD) and
# prints a receipt sent with lp and no options, cut: a third server that
# listens on the network, as a shop's does.
printf 'till-admin-secret\n' > "$work/password"
start c -o listen-hostname='*' -o admin-password-file="$work/password"
cli c add -d counter -v "file://$work/c/jobs" -m lorvex_80mm >/dev/null || fail "add on server c"
start_cupsd "$work/cups"
pids+=("$cupsd_pid")
dests=
for _ in $(seq 1 50); do dests=$(lpstat -e 2>/dev/null); grep -qx counter <<<"$dests" && break; sleep 0.2; done
grep -qx counter <<<"$dests" || fail "lpstat -e does not list the printer: $(tr '\n' ' ' <<<"$dests")"
printf '%s\n' "LORVEX CAFE" "Espresso  2.50" "TOTAL     2.50" > "$work/receipt.txt"
lp -d counter "$work/receipt.txt" >/dev/null 2>"$work/lp.txt" || fail "lp to the found printer: $(cat "$work/lp.txt")"
job=
for _ in $(seq 1 300); do
  job=$(ls "$work/c/jobs"/* 2>/dev/null | head -1)
  [ -n "$job" ] && [ "$(cli c jobs -d counter 2>/dev/null | awk '{print $2}')" = completed ] && break
  sleep 0.2
done
if [ -z "$job" ]; then
  fail "the receipt from CUPS never reached the printer: $(tail -3 "$work/cups/log/error_log" 2>/dev/null)"
else
  cuts=$("$build/tests/paper-report" "$job" | awk '$1 == "cuts" {print $2}')
  [ "$cuts" = 1 ] || fail "the receipt from CUPS with no options has ${cuts:-no} cuts, not 1"
fi

stop a
stop b
stop c
[ -n "${KEEP_DNSSD:-}" ] && cp -r "$work" /tmp/dnssd-kept
[ "$failures" -eq 0 ] && echo "DNS-SD: printers advertised at run time, unique readable names, no false claims"
exit "$failures"
