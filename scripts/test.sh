#!/usr/bin/env bash
# Every test: installs what is missing, builds the Windows binaries, the
# native build, the sanitizer build and the fuzzers, then runs the unit
# tests, the Windows checks under Wine, the unit tests again under
# AddressSanitizer + UndefinedBehaviorSanitizer, and a short replay of every
# fuzz corpus. Ends with one summary line.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh || exit 1
scripts/pappl.sh || exit 1

jobs=$(nproc)
build() {
  local preset=$1; shift
  cmake --preset "$preset" "$@" >/dev/null && cmake --build "build/$preset" -j "$jobs" >/dev/null
}

for preset in mingw-i686 mingw-x64; do
  build "$preset" || { echo "build of $preset failed"; exit 1; }
done
build native -DLX_WINE_TESTS=ON || { echo "native build failed"; exit 1; }
build asan || { echo "sanitizer build failed"; exit 1; }
build fuzz || { echo "fuzz build failed"; exit 1; }

passed=0 failed=0 skipped=0
run_suite() {
  local name=$1 dir=$2
  echo "== $name"
  local log
  log=$(mktemp)
  (cd "$dir" && ctest -j "$jobs" --output-on-failure --timeout 600) >"$log" 2>&1
  grep -E "tests passed|\*\*\*|\((Skipped|Failed|Not Run)\)$" "$log" | grep -v "^ *Start " | tail -n 20
  local total fail skip
  total=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)
  fail=$(sed -n 's/.*, \([0-9]*\) tests failed out of.*/\1/p' "$log" | tail -n 1)
  skip=$(grep -c '(Skipped)$' "$log")
  if [ -z "$total" ]; then
    echo "$name: ctest did not finish"; cat "$log"; failed=$((failed + 1)); return
  fi
  passed=$((passed + total - fail - skip)); failed=$((failed + fail)); skipped=$((skipped + skip))
  rm -f "$log"
}

run_suite "unit tests and Wine checks" build/native
ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite "unit tests under ASan+UBSan" build/asan
run_suite "fuzz corpus replay" build/fuzz

echo
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
