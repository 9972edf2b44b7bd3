# Shared by the fuzzing script tests (source it): runs one harness over the
# inputs that once broke its reader, then fuzzes it for a while from a corpus
# folder, keeping whatever it finds under the artifact prefix.
# fuzz_run NAME BINARY CORPUS REGRESSIONS SECONDS ARTIFACT_PREFIX RSS_MB [LIBFUZZER_OPTION...]
fuzz_run() {
  local name="$1" bin="$2" corpus="$3" regressions="$4" seconds="$5" artifacts="$6" rss="$7"
  shift 7
  local logs
  logs=$(mktemp -d)
  if [ -d "$regressions" ]; then
    echo "running the $name reader's regression inputs"
    "$bin" -timeout=10 -rss_limit_mb="$rss" "$regressions"/* 2>"$logs/regress.log" ||
      { tail -60 "$logs/regress.log"; rm -rf "$logs"; return 1; }
    cp "$regressions"/* "$corpus/"
  fi
  echo "fuzzing the $name reader for $seconds s"
  "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb="$rss" -print_final_stats=1 \
    -artifact_prefix="$artifacts" "$@" "$corpus" 2>"$logs/fuzz.log" ||
    { tail -60 "$logs/fuzz.log"; rm -rf "$logs"; return 1; }
  grep -E "stat::number_of_executed_units|Done" "$logs/fuzz.log" | head -3
  rm -rf "$logs"
}
