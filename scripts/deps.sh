#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine, once:
# packages already present are not fetched again.
set -euo pipefail

packages=(
  cmake make g++ clang libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine wine64 xvfb
  libstb-dev
  fonts-wqy-microhei imagemagick ghostscript xdotool zip x11-utils
  libpng-dev libjpeg-dev cups-ipp-utils chromium curl iproute2 patch dpkg-dev
  pkg-config libcups2-dev libgnutls28-dev libavahi-client-dev libpam0g-dev libusb-1.0-0-dev zlib1g-dev
  systemd cups cups-filters python3
  libfreetype-dev fonts-dejavu-core libzint-dev tesseract-ocr tesseract-ocr-eng zbar-tools lintian
  avahi-daemon avahi-utils dbus
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "deps: run as root or install sudo" >&2; exit 1; }
  sudo_cmd=(sudo)
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi

# PAPPL is built from Debian's own source (scripts/pappl.sh): apt-get source
# needs a deb-src entry for Debian's archive.
src_list=/etc/apt/sources.list.d/lorvex-deb-src.sources
need_update=false
if [ ! -f "$src_list" ]; then
  printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' |
    "${sudo_cmd[@]}" tee "$src_list" >/dev/null
  need_update=true
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

# 32-bit Wine comes apart: on a kernel that cannot run i386 programs its
# install scripts fail, and everything else must still be there.
optional=()
if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
  optional+=(wine32:i386)
fi

if [ ${#missing[@]} -gt 0 ] || [ ${#optional[@]} -gt 0 ] || $need_update; then
  "${sudo_cmd[@]}" apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "deps: installing ${missing[*]}"
  # CUPS is installed for the tests, which run a private cupsd of their own:
  # no service the packages bring is started on this machine.
  policy=/usr/sbin/policy-rc.d
  own_policy=false
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' | "${sudo_cmd[@]}" tee "$policy" >/dev/null
    "${sudo_cmd[@]}" chmod 755 "$policy"
    own_policy=true
  fi
  status=0
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq \
    "${missing[@]}" >/dev/null || status=$?
  if $own_policy; then "${sudo_cmd[@]}" rm -f "$policy"; fi
  [ "$status" -eq 0 ] || exit "$status"
fi
if [ ${#optional[@]} -gt 0 ]; then
  echo "deps: installing ${optional[*]}"
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${optional[@]}" >/dev/null ||
    echo "deps: ${optional[*]} did not install cleanly; the i386 Wine checks will say whether they can run"
fi

# A point-of-sale receipt encoder from npm, for the tests of ESC/POS from
# point-of-sale software; kept in the build folder, never in the repository.
node_dir=build/node
encoder=@point-of-sale/receipt-printer-encoder@4.0.1
if [ ! -f "$node_dir/node_modules/@point-of-sale/receipt-printer-encoder/package.json" ]; then
  command -v npm >/dev/null || DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq npm >/dev/null
  echo "deps: installing $encoder"
  mkdir -p "$node_dir"
  npm install --silent --no-audit --no-fund --prefix "$node_dir" "$encoder" >/dev/null
fi
