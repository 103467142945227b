#!/usr/bin/env bash
# Replays a fuzz target's corpus, then fuzzes on for SECONDS; new inputs go to
# a scratch folder, never into the corpus kept in the repository.
#   replay.sh TARGET CORPUS_DIR SECONDS
set -euo pipefail
target=$1 corpus=$2 seconds=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export ASAN_OPTIONS=${ASAN_OPTIONS:-allocator_may_return_null=1:detect_leaks=1}
"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  "$scratch" "$corpus" 2>&1 | tail -n 12
