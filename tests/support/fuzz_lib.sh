# Shared steps of the fuzzing script tests, sourced by them with the test's
# own arguments (BUILD_DIR SOURCE_DIR [SECONDS]). Sourcing sets SRC (the
# source tree), out (the build folder's fuzz/, where harnesses, and their
# findings under artifacts/, are kept), seconds (18 unless given) and WORK
# (a scratch folder removed when the test ends).
#
# fuzz_build BIN SOURCES... [-- LIBS...]
#   Builds a libFuzzer harness with clang++ when BIN is missing or older than
#   any of its sources or any header of the folders they lie in. Objects are
#   compiled three at a time next to BIN, since a harness may take in whole
#   layers of the program.
# fuzz_run NAME BIN CORPUS SECONDS RSS_MB [REGRESSIONS]
#   Runs BIN on the regression inputs (each must pass), then fuzzes for
#   SECONDS from CORPUS with a memory limit of RSS_MB, for one allocation as
#   for the whole process. Findings go to BIN's folder's artifacts/.

SRC="$2"
out="$1/fuzz"
seconds="${3:-18}"
mkdir -p "$out"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

FUZZ_FLAGS=(-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
  -DNIMBREL_NO_ALLOCATOR=1 -DNIMBREL_BUILDER=0 -DNIMBREL_WEB_HOST="\"fuzz.example\""
  -DNIMBREL_SHOP_HOST="\"fuzz.example\"")
# A small quarantine, so that freed blocks do not count as memory in use.
# Thread-local blocks are left to the leak check's own rule, as in
# tools/run_tests.sh: the runtime's guess at where one begins can crash it.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=16:intercept_tls_get_addr=0"

fuzz_build() {
  local bin="$1"
  shift
  local sources=() libs=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    sources+=("$1")
    shift
  done
  [ $# -gt 0 ] && shift
  libs=("$@")
  local stale=0 f
  [ -x "$bin" ] || stale=1
  for f in "${sources[@]}"; do
    [ "$f" -nt "$bin" ] && stale=1
    for h in "$(dirname "$f")"/*.h; do
      [ -e "$h" ] && [ "$h" -nt "$bin" ] && stale=1
    done
  done
  [ $stale -eq 0 ] && return 0
  local objs="$bin.obj"
  rm -rf "$objs"
  mkdir -p "$objs"
  local i=0 failed=0 pids=()
  for f in "${sources[@]}"; do
    clang++ "${FUZZ_FLAGS[@]}" -I"$SRC" $(pkg-config --cflags minizip libpng) -c "$f" \
      -o "$objs/$i.o" &
    pids+=($!)
    i=$((i + 1))
    if [ ${#pids[@]} -ge 3 ]; then
      wait "${pids[0]}" || failed=1
      pids=("${pids[@]:1}")
    fi
  done
  for f in "${pids[@]}"; do wait "$f" || failed=1; done
  [ $failed -eq 0 ] || return 1
  clang++ "${FUZZ_FLAGS[@]}" "$objs"/*.o "${libs[@]}" -o "$bin"
  rm -rf "$objs"
}

fuzz_run() {
  local name="$1" bin="$2" corpus="$3" seconds="$4" rss="$5" regressions="${6:-}"
  local artifacts
  artifacts="$(dirname "$bin")/artifacts"
  mkdir -p "$artifacts"
  local limits=(-rss_limit_mb="$rss" -malloc_limit_mb="$rss" -timeout=10)
  if [ -n "$regressions" ] && [ -d "$regressions" ]; then
    echo "running the $name regression inputs"
    "$bin" "${limits[@]}" "$regressions"/* 2>"$WORK/$name.regress.log" ||
      { tail -60 "$WORK/$name.regress.log"; return 1; }
    cp "$regressions"/* "$corpus/"
  fi
  echo "fuzzing the $name for $seconds s with at most $rss MB"
  "$bin" "${limits[@]}" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$artifacts/$name-" "$corpus" 2>"$WORK/$name.log" ||
    { tail -60 "$WORK/$name.log"; return 1; }
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$WORK/$name.log"
}
