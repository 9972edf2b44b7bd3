#!/usr/bin/env bash
# Runs every GoogleTest program of a build whole (every case in one process)
# in shuffled order, once per seed given, the programs side by side. ctest
# runs one case per process, which hides a case that leans on what an earlier
# one left behind; this run shows it. The programs that must run alone (they
# open real windows, or serve on one fixed loopback address) run one at a time
# after the rest. A failure prints the command that replays it, with the
# sanitizer options the run was given.
# Usage: run_whole_tests.sh BUILD_DIR SEED...
set -uo pipefail
build=$1
shift
seeds=("$@")
tests_dir=$(cd "$build/tests" && pwd) || exit 1
jobs=${NIMBREL_TEST_JOBS:-$(nproc)}
# Kept in step with NIMBREL_SERIAL_TESTS and NIMBREL_SHARED_ADDRESS_TESTS in tests/CMakeLists.txt.
alone=" platform_message_box_test platform_keyboard_layout_test installer_fetch_test installer_about_test "

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

# The command that runs one program with one seed as this run did.
replay_line() {
  local env_part="" name
  for name in ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS TSAN_OPTIONS; do
    [ -n "${!name:-}" ] && env_part+="$name=$(printf %q "${!name}") "
  done
  printf '(cd %q && %sSDL_VIDEODRIVER=offscreen ./%q --gtest_shuffle --gtest_random_seed=%q)' \
    "$3" "$env_part" "$1" "$2"
}
export -f replay_line

# One program, one seed: quiet on success, its output on failure.
run_one() {
  local prog=$1 seed=$2 log=$3/$1.$2.log
  if (cd "$4" && SDL_VIDEODRIVER=offscreen timeout 900 "./$prog" --gtest_shuffle \
        --gtest_random_seed="$seed" --gtest_brief=1 >"$log" 2>&1); then
    echo "ok   $prog seed $seed"
  else
    echo "FAIL $prog seed $seed"
    cat "$log"
    echo "replay: $(replay_line "$prog" "$seed" "$4")"
    return 1
  fi
}
export -f run_one

together=() by_itself=()
for path in "$tests_dir"/*_test; do
  [ -x "$path" ] || continue
  prog=${path##*/}
  if [[ $alone == *" $prog "* ]]; then by_itself+=("$prog"); else together+=("$prog"); fi
done

status=0
echo "== whole programs in $build, shuffled with seeds ${seeds[*]}"
for seed in "${seeds[@]}"; do
  printf '%s\n' "${together[@]}" |
    xargs -P "$jobs" -I{} bash -c 'run_one "$@"' _ {} "$seed" "$logs" "$tests_dir" |
    tee -a "$logs/results" || status=1
done
for seed in "${seeds[@]}"; do
  for prog in "${by_itself[@]}"; do
    run_one "$prog" "$seed" "$logs" "$tests_dir" | tee -a "$logs/results" || status=1
  done
done
passed=$(grep -c '^ok ' "$logs/results")
failed=$(grep -c '^FAIL ' "$logs/results")
[ "$failed" -eq 0 ] || status=1
echo "whole: $passed passed, $failed failed, in $SECONDS s"
exit $status
