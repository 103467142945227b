#!/usr/bin/env bash
# Runs lorvex-print and lorvex-preview as a user would: good jobs, bad
# options, unreadable files and damaged streams, checking exit codes and
# messages.
#   cli_test.sh BIN_DIR SAMPLE.png
set -uo pipefail
bin=$1 sample=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

expect() {  # expect CODE PATTERN -- command...
  local code=$1 pattern=$2; shift 3
  local out rc
  out=$("$@" 2>&1); rc=$?
  if [ "$rc" -ne "$code" ] || ! grep -qE -e "$pattern" <<<"$out"; then
    echo "FAIL: $* -> exit $rc, wanted $code and /$pattern/; said: $out"
    failures=$((failures + 1))
  fi
}

expect 0 "bands" -- "$bin/lorvex-print" --halftone HT_Stucki -o "$work/a.bin" --preview "$work/a.png" "$sample"
expect 0 "raster records, 0 cuts" -- "$bin/lorvex-preview" "$work/a.bin" "$work/b.png"
cmp -s "$work/a.png" "$work/b.png" || { echo "FAIL: the two previews differ"; failures=$((failures + 1)); }
expect 0 "raster records, 2 cuts" -- sh -c "'$bin/lorvex-print' -q --copies 3 --banding --band-height 2400 -o - '$sample' > '$work/c.bin' && '$bin/lorvex-preview' '$work/c.bin' '$work/c.png'"
expect 2 "unknown halftone" -- "$bin/lorvex-print" --halftone HT_Fancy -o "$work/x.bin" "$sample"
expect 2 "--copies takes" -- "$bin/lorvex-print" --copies 0 -o "$work/x.bin" "$sample"
expect 2 "--band-height takes" -- "$bin/lorvex-print" --band-height 12x -o "$work/x.bin" "$sample"
expect 2 "unknown or incomplete option" -- "$bin/lorvex-print" --frobnicate -o "$work/x.bin" "$sample"
expect 2 "name one image" -- "$bin/lorvex-print" -o "$work/x.bin"
expect 2 "nothing to do" -- "$bin/lorvex-print" "$sample"
expect 2 "cannot read image" -- "$bin/lorvex-print" -o "$work/x.bin" /nonexistent.png
printf 'not an image' > "$work/bad.png"
expect 2 "cannot read image" -- "$bin/lorvex-print" -o "$work/x.bin" "$work/bad.png"
expect 2 "cannot open" -- "$bin/lorvex-print" -o /nonexistent/dir/x.bin "$sample"
head -c 100 "$work/a.bin" > "$work/cut.bin"
expect 1 "offset 0: raster record runs past the end" -- "$bin/lorvex-preview" "$work/cut.bin" "$work/x.png"
printf '\x1b@' > "$work/init.bin"
expect 1 "offset 0: expected GS" -- "$bin/lorvex-preview" "$work/init.bin" "$work/x.png"
expect 2 "usage" -- "$bin/lorvex-preview" "$work/a.bin"
expect 2 "unknown option --frobnicate" -- "$bin/lorvex-preview" --frobnicate "$work/a.bin" "$work/x.png"

# Every tool answers --help with its usage, on standard output, status 0.
for tool in lorvex-print lorvex-preview lorvex-host lxcheck make-sample-receipt make-installer-art; do
  expect 0 "^usage: $tool" -- sh -c "'$bin/$tool' --help 2>/dev/null"
done
expect 0 "any height gives" -- "$bin/lorvex-print" --help
if "$bin/lorvex-print" --help | grep -q "white gaps"; then
  echo "FAIL: lorvex-print --help still says band heights leave white gaps"; failures=$((failures + 1))
fi
# The halftone names as the driver lists them, for scripts.
expect 0 "^HT_NONE" -- "$bin/lorvex-print" --list-halftones
[ "$("$bin/lorvex-print" --list-halftones | wc -l)" -eq 8 ] || { echo "FAIL: not 8 halftones"; failures=$((failures + 1)); }

[ "$failures" -eq 0 ] && echo "command-line checks passed"
exit "$failures"
