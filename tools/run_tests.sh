#!/usr/bin/env bash
# Runs the whole test suite: every test in the plain build, every test but the
# script tests again in the address/undefined sanitizer build, and the tests
# whose names start with "Tsan" in the thread sanitizer build. Fails when any
# of them fails.
set -uo pipefail
plain=$1 asan=$2 tsan=$3
jobs=$(nproc)
status=0

run() {
  local dir=$1; shift
  echo "== ctest in $dir $*"
  (cd "$dir" && ctest --output-on-failure --timeout 900 -j "$jobs" "$@") || status=1
}

run "$plain"
ASAN_OPTIONS=detect_leaks=0:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 run "$asan" -LE script
if [ -d "$tsan" ]; then
  # Only the tests written for it: the rest gains nothing from the slow build.
  TSAN_OPTIONS=halt_on_error=1 run "$tsan" -R Tsan
fi
exit $status
