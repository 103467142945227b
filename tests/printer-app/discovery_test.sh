#!/usr/bin/env bash
# DNS-SD as clients on the shop's network see it, in a network namespace of
# the test's own (a veth pair, avahi and a system bus of its own): a printer
# added while the server runs is advertised at once, without a restart; a
# second server on the same host with a printer of the same name makes it
# "NAME (HOST)", both visible, and keeps that name across a restart; no
# mopria-certified in the TXT record; a stopped server's printer is withdrawn.
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

# start NAME: a server with its own state and command socket ($TMPDIR),
# on a port of its own; cli NAME ARGS... talks to it.
start() {
  local dir=$work/$1
  mkdir -p "$dir/spool" "$dir/jobs" "$dir/tmp"
  local port
  port=$(free_port)
  TMPDIR=$dir/tmp HOME=$dir "$app" server -o server-port="$port" -o spool-directory="$dir/spool" \
    -o log-file="$dir/log.txt" -o log-level=debug -o file-device-dir="$dir/jobs" > "$dir/server.txt" 2>&1 &
  eval "pid_$1=$!"
  pids+=($!)
  wait_up "http://localhost:$port/" || fail "server $1 does not answer"
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

stop a
stop b
[ -n "${KEEP_DNSSD:-}" ] && cp -r "$work" /tmp/dnssd-kept
[ "$failures" -eq 0 ] && echo "DNS-SD: printers advertised at run time, unique readable names, no false claims"
exit "$failures"
