#!/usr/bin/env bash
# The Debian package: built by scripts/deb.sh, lintian without errors, its
# files and dependencies; on a CI machine (or with LORVEX_DEB_INSTALL=1, as
# root) installed with dpkg, the unit verified by systemd-analyze, the
# service enabled and the installed server answering as an unprivileged
# user, then purged: not a file of it left.
#   deb_test.sh BUILD-DIR SOURCE-DIR
set -uo pipefail
build=$(realpath "$1") source=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
work=$(mktemp -d /tmp/lorvex-deb.XXXXXX)
server=
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -rf "$work"' EXIT
for tool in dpkg-deb dpkg-shlibdeps lintian; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/deps.sh installs it)"; exit 77; }
done

deb=$("$source/scripts/deb.sh" "$build") || { echo "FAIL: scripts/deb.sh"; exit 1; }
case $(basename "$deb") in
  lorvex-printer-app_7.24.0-1_"$(dpkg --print-architecture)".deb) ;;
  *) fail "the package is named $(basename "$deb")" ;;
esac
lintian --tag-display-limit 0 "$deb" > "$work/lintian.txt" 2>&1
grep -q '^E: ' "$work/lintian.txt" && fail "lintian errors: $(grep '^E: ' "$work/lintian.txt" | tr '\n' ' ')"
grep '^W: ' "$work/lintian.txt" | sed 's/^/lintian warning (kept): /'

want='etc/default/lorvex-printer-app
lib/systemd/system/lorvex-printer-app.service
lib/udev/rules.d/60-lorvex-printer-app.rules
usr/sbin/lorvex-printer-app
usr/share/doc/lorvex-printer-app/changelog.Debian.gz
usr/share/doc/lorvex-printer-app/copyright
usr/share/man/man8/lorvex-printer-app.8.gz'
got=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||' | LC_ALL=C sort)
[ "$got" = "$want" ] || fail "the package's files: $(tr '\n' ' ' <<<"$got")"
fields=$(dpkg-deb -f "$deb" Depends Recommends Section)
for dep in 'libc6 (>=' 'libcups2 (>=' 'libavahi-client3' 'libzint2.11' 'libfreetype6' fonts-dejavu-core fonts-wqy-microhei; do
  grep -qF -- "$dep" <<<"$fields" || fail "Depends lacks $dep: $fields"
done
grep -qi pappl <<<"$fields" && fail "PAPPL is a dependency; it is linked in"
grep -qx 'Recommends: avahi-daemon' <<<"$fields" || fail "Recommends: $fields"
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/sbin/lorvex-printer-app > "$work/server" && chmod 755 "$work/server"
readelf -d "$work/server" | grep -qiE 'rpath|runpath' && fail "the packaged server has a library search path"

# Installing touches the system: only where that is the point.
if [ "$(id -u)" != 0 ] || { [ "${CI:-}" != true ] && [ "${LORVEX_DEB_INSTALL:-}" != 1 ]; }; then
  echo "deb: built and checked; install and purge run on CI machines (CI=true) or with LORVEX_DEB_INSTALL=1 as root"
  [ "$failures" -eq 0 ]; exit
fi
dpkg-query -W lorvex-printer-app >/dev/null 2>&1 && { fail "lorvex-printer-app is installed already"; exit 1; }
DEBIAN_FRONTEND=noninteractive dpkg -i "$deb" > "$work/install.txt" 2>&1 || fail "dpkg -i: $(cat "$work/install.txt")"
files=$(dpkg -L lorvex-printer-app)
systemd-analyze verify /lib/systemd/system/lorvex-printer-app.service > "$work/verify.txt" 2>&1 ||
  fail "systemd-analyze verify: $(cat "$work/verify.txt")"
[ -L /etc/systemd/system/multi-user.target.wants/lorvex-printer-app.service ] || fail "the service is not enabled"
man -w lorvex-printer-app >/dev/null 2>&1 || [ -f /usr/share/man/man8/lorvex-printer-app.8.gz ] || fail "no man page"
if [ -d /run/systemd/system ]; then
  systemctl is-active --quiet lorvex-printer-app || fail "the service is not running"
  wait_up "http://localhost:8000/" || fail "the service does not answer on port 8000"
else
  # No systemd here (a container): the installed server as the service
  # would run it, an unprivileged user and its own state folder.
  port=$(free_port)
  chmod 755 "$work" && mkdir -p "$work/state" && chown nobody "$work/state"
  setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$work/state" TMPDIR="$work/state" \
    /usr/sbin/lorvex-printer-app server -o server-port="$port" -o spool-directory="$work/state" \
    -o log-file="$work/state/log.txt" > "$work/server.txt" 2>&1 &
  server=$!
  wait_up "http://localhost:$port/" || fail "the installed server does not answer: $(cat "$work/server.txt")"
  kill $server; wait $server 2>/dev/null; server=
fi
DEBIAN_FRONTEND=noninteractive dpkg --purge lorvex-printer-app > "$work/purge.txt" 2>&1 || fail "dpkg --purge: $(cat "$work/purge.txt")"
left=""
while read -r f; do
  [ -z "$f" ] && continue
  [ -d "$f" ] && continue  # folders the system shares (/usr/sbin, ...)
  [ -e "$f" ] && left="$left $f"
done <<<"$files"
for f in /etc/systemd/system/multi-user.target.wants/lorvex-printer-app.service /var/lib/lorvex-printer-app \
  /var/lib/private/lorvex-printer-app /var/lib/systemd/deb-systemd-helper-enabled/lorvex-printer-app.service.dsh-also; do
  [ -e "$f" ] || [ -L "$f" ] && left="$left $f"
done
[ -z "$left" ] || fail "left after the purge:$left"
dpkg-query -W lorvex-printer-app >/dev/null 2>&1 && fail "still known to dpkg after the purge"

[ "$failures" -eq 0 ] && echo "deb: built, lintian-clean, installed, answering, purged without a trace"
exit "$failures"
