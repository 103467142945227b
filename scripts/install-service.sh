#!/usr/bin/env bash
# Installs lorvex-printer-app as a systemd service that runs unprivileged
# (see printer-app/service/lorvex-printer-app.service) and starts it.
#   scripts/install-service.sh [--listen ADDRESS --admin-password-file FILE] [--root DIR]
# Without --listen it serves loopback only. --listen '*' (or an address)
# serves the network and needs the administrator's access password, which
# is copied to /etc/lorvex-printer-app/admin-password (root only) and handed
# to the service as a credential. --root DIR installs below DIR and starts
# nothing (for packaging and tests). Build first: scripts/build.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
root="" listen="" password=""
while [ $# -gt 0 ]; do
  case $1 in
    --root) root=$2; shift 2 ;;
    --listen) listen=$2; shift 2 ;;
    --admin-password-file) password=$2; shift 2 ;;
    *) echo "install-service: unknown argument $1" >&2; exit 2 ;;
  esac
done
if [ -n "$listen" ] && [ -z "$password" ]; then
  echo "install-service: --listen needs --admin-password-file FILE (the password on its first line)" >&2
  exit 2
fi
app=dist/linux/lorvex-printer-app
[ -x "$app" ] || app=build/native/printer-app/lorvex-printer-app
[ -x "$app" ] || { echo "install-service: build first (scripts/build.sh)" >&2; exit 1; }

install -D -m 755 "$app" "$root/usr/local/bin/lorvex-printer-app"
install -D -m 644 printer-app/service/lorvex-printer-app.service "$root/etc/systemd/system/lorvex-printer-app.service"
install -D -m 644 README.md "$root/usr/local/share/doc/lorvex-printer-app/README.md"
if [ ! -f "$root/etc/default/lorvex-printer-app" ]; then
  install -D -m 644 /dev/stdin "$root/etc/default/lorvex-printer-app" <<'TXT'
# Further server options for lorvex-printer-app, e.g. -o log-level=debug.
# Files printed by file: devices may only go to /var/lib/lorvex-printer-app/files.
LORVEX_PRINTER_APP_OPTIONS=
TXT
fi
dropin=$root/etc/systemd/system/lorvex-printer-app.service.d/network.conf
if [ -n "$listen" ]; then
  install -D -m 600 "$password" "$root/etc/lorvex-printer-app/admin-password"
  install -D -m 644 /dev/stdin "$dropin" <<TXT
# Serves the network; administration needs the access password.
[Service]
LoadCredential=admin-password:/etc/lorvex-printer-app/admin-password
Environment="LORVEX_PRINTER_APP_NETWORK=-o listen-hostname=$listen -o admin-password-file=%d/admin-password"
TXT
else
  rm -f "$dropin"
fi
echo "install-service: installed below ${root:-/}"

[ -z "$root" ] || exit 0
if command -v systemctl >/dev/null && [ -d /run/systemd/system ]; then
  systemctl daemon-reload
  systemctl enable --now lorvex-printer-app.service
  systemctl restart lorvex-printer-app.service
  echo "install-service: lorvex-printer-app is running: http://localhost:8000/"
else
  echo "install-service: systemd is not running here; start the service where it does"
fi
