# common.sh: sourced by the printer application's test scripts.
#   fail TEXT        counts a failure in $failures and says it
#   free_port        a loopback port nothing listens on
#   wait_up URL      waits up to 10 s for a page to answer; false if it never does
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

free_port() {
  local p=$((20000 + RANDOM % 20000))
  while ss -ltn | grep -q ":$p "; do p=$((p + 1)); done
  echo "$p"
}

wait_up() {
  local _
  for _ in $(seq 1 100); do curl -skf -o /dev/null "$1" && return 0; sleep 0.1; done
  return 1
}
