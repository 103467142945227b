#!/usr/bin/env bash
# Builds PAPPL 1.3.1, the printer application's framework, from Debian's own
# source tarball with our patches (printer-app/pappl-patches/, one file a
# fault), as a static library in build/pappl/prefix. The tarball is pinned
# by its checksum; the build is redone only when the patches or this script
# change. PAPPL's source is never kept in the repository.
#   scripts/pappl.sh            (scripts/deps.sh first: it installs the tools)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
work=$root/build/pappl
prefix=$work/prefix
tarball=pappl_1.3.1.orig.tar.gz
sha256=890fd12aca8e2b2a45d5a89ba5fc74b9ad8d3eeef39d31c6bbf9c563c311223a
patches=("$root"/printer-app/pappl-patches/*.patch)

stamp=$(cat "$0" "${patches[@]}" | sha256sum | cut -d' ' -f1)
if [ -f "$prefix/lib/libpappl.a" ] && [ "$(cat "$work/stamp" 2>/dev/null)" = "$stamp" ]; then
  exit 0
fi
mkdir -p "$work/download"

# Debian's source package: its .dsc and the upstream tarball. Debian's own
# patch tarball may be missing from the mirror; we do not use it.
if ! echo "$sha256  $work/download/$tarball" | sha256sum -c --status 2>/dev/null; then
  rm -f "$work/download/$tarball"
  (cd "$work/download" && apt-get source --download-only -qq pappl >/dev/null 2>&1) || true
  [ -f "$work/download/$tarball" ] ||
    { echo "pappl: apt-get source pappl brought no $tarball (is a deb-src entry there? scripts/deps.sh adds one)" >&2; exit 1; }
  echo "$sha256  $work/download/$tarball" | sha256sum -c --status ||
    { echo "pappl: $tarball does not have the pinned checksum $sha256" >&2; exit 1; }
fi

echo "pappl: building PAPPL 1.3.1 with ${#patches[@]} patches"
rm -rf "$work/src" "$prefix"
mkdir -p "$work/src"
tar -xzf "$work/download/$tarball" -C "$work/src" --strip-components=1
for p in "${patches[@]}"; do
  patch -s -d "$work/src" -p1 < "$p" || { echo "pappl: $(basename "$p") does not apply" >&2; exit 1; }
done
(
  cd "$work/src"
  ./configure -q --prefix="$prefix" --disable-shared --with-tls=gnutls --with-dnssd=avahi \
    CFLAGS="-O2 -g -fPIC" >"$work/configure.log" 2>&1 ||
    { tail -n 30 "$work/configure.log" >&2; exit 1; }
  # Only the library: the test suite and the documentation are not ours to run.
  make -s -C pappl -j "$(nproc)" >"$work/make.log" 2>&1 && make -s -C pappl install >>"$work/make.log" 2>&1 ||
    { tail -n 30 "$work/make.log" >&2; exit 1; }
)
echo "$stamp" > "$work/stamp"
echo "pappl: static library in $prefix"
