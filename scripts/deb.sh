#!/usr/bin/env bash
# Builds the Debian package of the printer application into dist/:
#   dist/lorvex-printer-app_<version>-1_<arch>.deb
# from the native build (scripts/build.sh, or the test build): the server in
# /usr/sbin, its man page, the systemd unit (enabled and started on install,
# stopped on removal, its state removed on purge), the udev rule for USB
# receipt printers, the copyright and changelog. Depends are computed by
# dpkg-shlibdeps from what the server links (PAPPL is in it, patched and
# static). Prints the package's path.
#   scripts/deb.sh [BUILD-DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/native}
app=$build/printer-app/lorvex-printer-app
[ -x "$app" ] || { echo "deb: no $app: build first (scripts/build.sh)" >&2; exit 1; }
version=$(sed -n 's/^project(lorvex VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")-1
arch=$(dpkg --print-architecture)
name=lorvex-printer-app
stage=$root/build/deb/${name}_${version}_${arch}
rm -rf "$stage"
umask 022
mkdir -p "$stage/DEBIAN" "$root/dist"

install -D -m 755 "$app" "$stage/usr/sbin/$name"
strip --strip-unneeded --remove-section=.comment --remove-section=.note "$stage/usr/sbin/$name"
install -d "$stage/usr/share/man/man8"
gzip -9n < "$root/printer-app/debian/$name.8" > "$stage/usr/share/man/man8/$name.8.gz"
install -D -m 644 "$root/printer-app/debian/60-$name.rules" "$stage/lib/udev/rules.d/60-$name.rules"
install -D -m 644 "$root/printer-app/debian/copyright" "$stage/usr/share/doc/$name/copyright"
printf '%s (%s) stable; urgency=medium\n\n  * The LORVEX receipt printer application, packaged.\n\n -- LORVEX developers <packages@lorvex.invalid>  %s\n' \
  "$name" "$version" "$(date -R -d @"${SOURCE_DATE_EPOCH:-1765238400}")" | gzip -9n > "$stage/usr/share/doc/$name/changelog.Debian.gz"
# The service, as installed by the source route but for its paths.
mkdir -p "$stage/lib/systemd/system"
sed -e "s|/usr/local/bin/$name|/usr/sbin/$name|" \
    -e "s|^Documentation=.*|Documentation=man:$name(8)|" \
    -e "s|^# Installed by scripts/install-service.sh; local settings go in|# Installed by the Debian package; local settings go in|" \
  "$root/printer-app/service/$name.service" > "$stage/lib/systemd/system/$name.service"
chmod 644 "$stage/lib/systemd/system/$name.service"
install -D -m 644 /dev/stdin "$stage/etc/default/$name" <<'TXT'
# Further server options for lorvex-printer-app, e.g. -o log-level=debug.
# Files printed by file: devices may only go to /var/lib/lorvex-printer-app/files.
LORVEX_PRINTER_APP_OPTIONS=
TXT
echo "/etc/default/$name" > "$stage/DEBIAN/conffiles"

# What the server links, as Debian names it.
shlibs=$(mktemp -d)
mkdir -p "$shlibs/debian"
printf 'Source: %s\n\nPackage: %s\nArchitecture: any\n' "$name" "$name" > "$shlibs/debian/control"
depends=$(cd "$shlibs" && dpkg-shlibdeps -O "$stage/usr/sbin/$name" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
rm -rf "$shlibs"
[ -n "$depends" ] || { echo "deb: dpkg-shlibdeps found no dependencies" >&2; exit 1; }
size=$(du -sk --exclude=DEBIAN "$stage" | cut -f1)
cat > "$stage/DEBIAN/control" <<TXT
Package: $name
Version: $version
Architecture: $arch
Maintainer: LORVEX developers <packages@lorvex.invalid>
Installed-Size: $size
Depends: $depends, fonts-dejavu-core, fonts-wqy-microhei
Recommends: avahi-daemon
Section: net
Priority: optional
Homepage: https://lorvex.invalid/
Description: IPP Everywhere printer application for ESC/POS receipt printers
 Makes 80 mm and 58 mm thermal receipt printers that speak ESC/POS (USB,
 network and serial) into IPP Everywhere printers, which phones, Macs,
 Linux desktops and Windows find on the network by themselves and print to
 without a driver. Point-of-sale programs can send their own ESC/POS over
 IPP or to TCP port 9100. Runs as an unprivileged systemd service.
TXT
cat > "$stage/DEBIAN/postinst" <<'SH'
#!/bin/sh
set -e
if [ "$1" = configure ]; then
  if command -v udevadm >/dev/null 2>&1 && [ -d /run/udev ]; then
    udevadm control --reload-rules || true
    udevadm trigger --subsystem-match=usb --action=add || true
  fi
  deb-systemd-helper unmask lorvex-printer-app.service >/dev/null || true
  if deb-systemd-helper --quiet was-enabled lorvex-printer-app.service; then
    deb-systemd-helper enable lorvex-printer-app.service >/dev/null || true
  else
    deb-systemd-helper update-state lorvex-printer-app.service >/dev/null || true
    deb-systemd-helper enable lorvex-printer-app.service >/dev/null || true
  fi
  if [ -d /run/systemd/system ]; then
    systemctl --system daemon-reload >/dev/null || true
    deb-systemd-invoke restart lorvex-printer-app.service >/dev/null || true
  fi
fi
SH
cat > "$stage/DEBIAN/prerm" <<'SH'
#!/bin/sh
set -e
if [ -d /run/systemd/system ] && [ "$1" = remove ]; then
  deb-systemd-invoke stop lorvex-printer-app.service >/dev/null || true
fi
SH
cat > "$stage/DEBIAN/postrm" <<'SH'
#!/bin/sh
set -e
if [ -d /run/systemd/system ]; then
  systemctl --system daemon-reload >/dev/null || true
fi
if [ "$1" = remove ] && command -v deb-systemd-helper >/dev/null; then
  deb-systemd-helper mask lorvex-printer-app.service >/dev/null || true
fi
if [ "$1" = purge ]; then
  if command -v deb-systemd-helper >/dev/null; then
    deb-systemd-helper purge lorvex-printer-app.service >/dev/null || true
    deb-systemd-helper unmask lorvex-printer-app.service >/dev/null || true
  fi
  # The printers, their jobs and the pictures of printed jobs (the
  # service's state, private to its dynamic user).
  rm -rf /var/lib/lorvex-printer-app /var/lib/private/lorvex-printer-app
fi
SH
chmod 755 "$stage/DEBIAN/postinst" "$stage/DEBIAN/prerm" "$stage/DEBIAN/postrm"
(cd "$stage" && find . -type f ! -path './DEBIAN/*' -printf '%P\0' | LC_ALL=C sort -z | xargs -0 md5sum) > "$stage/DEBIAN/md5sums"
deb=$root/dist/${name}_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >/dev/null
echo "$deb"
