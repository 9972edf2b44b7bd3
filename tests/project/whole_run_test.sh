#!/usr/bin/env bash
# The whole-program run of the test command: a program that fails is named
# with its seed and followed by a command that, run as printed, replays it
# with the same seed and sanitizer options; the run's status is a failure.
# The programs here are small scripts that record how they were started.
# Usage: whole_run_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
src=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; sed 's/^/  out: /' "$work/out.txt" >&2 2>/dev/null || true; exit 1; }

# A folder with a blank in its name, so the printed command must quote it.
tests="$work/a build/tests"
mkdir -p "$tests"
printf '#!/bin/sh\nexit 0\n' >"$tests/good_test"
cat >"$tests/bad_test" <<PROG
#!/bin/sh
echo "started in \$(pwd) with \$* ASAN_OPTIONS=\$ASAN_OPTIONS video=\$SDL_VIDEODRIVER" >>"$work/starts"
echo "one case failed"
exit 1
PROG
chmod +x "$tests/good_test" "$tests/bad_test"

status=0
ASAN_OPTIONS="detect_leaks=1:abort_on_error=0" NIMBREL_TEST_JOBS=2 \
  bash "$src/tools/run_whole_tests.sh" "$work/a build" 4242 >"$work/out.txt" 2>&1 || status=$?
[ "$status" = 1 ] || fail "a failed program left the run's status at $status"
grep -qx "ok   good_test seed 4242" "$work/out.txt" || fail "the good program was not reported"
grep -qx "FAIL bad_test seed 4242" "$work/out.txt" || fail "the failed program was not named"
grep -qx "one case failed" "$work/out.txt" || fail "the failed program's output was not shown"
replay=$(sed -n 's/^replay: //p' "$work/out.txt")
[ -n "$replay" ] || fail "no command to replay the failure"

# The replay shows every case's output, not the run's brief one.
first=$(sed 's/ --gtest_brief=1//' "$work/starts")
: >"$work/starts"
(cd / && env -u ASAN_OPTIONS bash -c "$replay") >/dev/null 2>&1 && fail "the replay passed"
again=$(cat "$work/starts")
[ "$again" = "$first" ] || fail "the replay ran otherwise: \"$again\", not \"$first\""
case "$first" in
  *"--gtest_random_seed=4242"*"ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 video=offscreen") ;;
  *) fail "the program was started otherwise than expected: $first" ;;
esac
echo "a failed program is named, shown and replayed as it ran"
