#!/usr/bin/env bash
# The whole program installing through its window, timed beside the same work
# done by curl (four parallel transfers), Python's zipfile and md5sum -c.
#
# The set is install_bench's "small" one (1,000 files, log-uniform from 1 KB
# to 2 MB, half text and half random; NIMBREL_INSTALL_BENCH_SMALL_FILES sets
# the count), packed by the tests' mirror script and served with the server
# list by nginx on a free port of 127.0.12.22, not rate limited. The real
# build/nimbrel_installer runs under Xvfb with the default preferences but
# for _web_host, which names that server; xdotool clicks INSTALL, then AGREE.
# The time runs from the click on AGREE (INSTALL only opens the terms) until
# the log says INSTALLATION COMPLETE, which the engine says once every file
# is unpacked, its MD5 checked and the folder renamed; the tree is then
# checked with md5sum -c, untimed. The pipeline runs once the program has
# quit. Everything lives in one mktemp folder, removed at the end with every
# process started here.
#
# Usage: bash bench/window_bench.sh [BUILD_DIR]   (BUILD_DIR defaults to build/)
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$src/build}

# [SECTION] What it needs

missing=""
for tool in Xvfb xdotool curl python3 md5sum import convert awk; do
  command -v "$tool" >/dev/null || missing="$missing $tool"
done
# Outside root's PATH nginx still sits in /usr/sbin.
command -v nginx >/dev/null || [ -x /usr/sbin/nginx ] || missing="$missing nginx"
if [ -n "$missing" ]; then
  echo "window_bench: missing:$missing (tools/setup.sh installs them)" >&2
  exit 2
fi
if [ ! -x "$build/nimbrel_installer" ]; then
  echo "window_bench: no $build/nimbrel_installer; build it first:" >&2
  echo "  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release && ninja -C build nimbrel_installer" >&2
  exit 2
fi
build=$(cd "$build" && pwd)

. "$src/tests/support/e2e_lib.sh"
e2e_begin window-bench
trap 'exit 130' INT TERM # the EXIT trap then ends what was started
log="$work/app/Log.txt"
fail() {
  echo "window_bench: $*" >&2
  e2e_report
  exit 1
}
start_xvfb || fail "no display could be started"

# [SECTION] The set and its server

version=Nimbrel_bench_small
count=${NIMBREL_INSTALL_BENCH_SMALL_FILES:-1000}
mkdir -p "$work/www" "$work/app" "$work/home" "$work/config" "$work/data" "$work/cache" \
  "$work/tmp" "$work/bin"
python3 - "$work" "$count" "$version" <<'PY'
import json, sys

work, count, version = sys.argv[1], int(sys.argv[2]), sys.argv[3]
M = (1 << 64) - 1


def mix(z):  # SplitMix64's finaliser, as bench/install_bench.cpp has it
    z = (z + 0x9E3779B97F4A7C15) & M
    z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & M
    z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & M
    return z ^ (z >> 31)


files = []
for i in range(count):
    f = {"path": f"All/d{i % 20}/f{i}" + (".bin" if i % 2 else ".txt"),
         "size": int(1000.0 * 2000.0 ** ((mix(24 + i) >> 11) * 2.0 ** -53)), "seed": i}
    if i % 2 == 0:
        f["words"] = True
    files.append(f)
with open(f"{work}/plan.json", "w") as plan:
    json.dump({"set": f"{work}/www/sets/{version}", "manifest": f"{work}/directory.txt",
               "expect": f"{work}/expect", "files": files}, plan)
print(f"small set: {count} files, {sum(f['size'] for f in files)} bytes")
PY
python3 "$src/tests/installer/update/make_mirror.py" "$work/plan.json"

addr=127.0.12.22
port=$(free_port "$addr")
printf 'I\n820 version\nSERVERS\n\nFINAL %s\nSERVER %s:%s\n/sets/\nThe benchmark mirror\nENDOFLIST\n' \
  "$version" "$addr" "$port" >"$work/www/serverlist.txt"
start_nginx "  server { listen $addr:$port; root $work/www; sendfile on; }" "$addr:$port"

# [SECTION] The program through its window

# CPU seconds the process has used so far (user and system, all its threads).
cpu_of() {  # pid
  sed 's/.*) //' "/proc/$1/stat" | awk -v hz="$(getconf CLK_TCK)" '{ printf "%.2f", ($12 + $13) / hz }'
}
now() { date +%s.%N; }
mark_start() {
  sync
  start=$(now)
  cpu_start=$(cpu_of "$app_pid")
}
finished() { grep -qE '^(INSTALLATION COMPLETE: |The installation was not completed)' "$log"; }

printf 'I\n9001 version\n_web_host %s:%s\n' "$addr" "$port" >"$work/config/Nimbrel Installer.prf"
cp "$build/nimbrel_installer" "$work/app/"
run_app
wait_log "Read the manifest of $version" 120
wait_install_button
click 491 89 # INSTALL
agree_to_terms mark_start
until finished; do
  kill -0 "$app_pid" 2>/dev/null || fail "the program ended during the install"
  sleep 0.02
done
end=$(now)
cpu_install=$(awk -v a="$(cpu_of "$app_pid")" -v b="$cpu_start" 'BEGIN { printf "%.2f", a - b }')
cpu_run=$(cpu_of "$app_pid")
dest=$(sed -n 's/^INSTALLATION COMPLETE: //p' "$log")
[ -n "$dest" ] || fail "the install failed"
(cd "$dest" && md5sum -c --quiet "$work/expect.md5" >/dev/null 2>&1) ||
  fail "the installed tree in $dest differs"
quit_app
ours=$(awk -v a="$end" -v b="$start" 'BEGIN { printf "%.2f", a - b }')

# [SECTION] The pipeline

while read -r _ path; do
  printf 'url = "http://%s:%s/sets/%s/All/%s.zip"\noutput = "%s/pipe_zip/%s.zip"\n' \
    "$addr" "$port" "$version" "$path" "$work" "$path"
done <"$work/expect.md5" >"$work/curl.cfg"
cat >"$work/unpack.py" <<'PY'
import os, sys, zipfile
zips, out = sys.argv[1], sys.argv[2]
for folder, _, names in os.walk(zips):
    for n in names:
        rel = os.path.relpath(folder, zips)
        with zipfile.ZipFile(os.path.join(folder, n)) as z:
            z.extractall(os.path.join(out, rel))
PY
pipeline() {
  curl -s --no-progress-meter --fail --parallel --parallel-max 4 --create-dirs -K "$work/curl.cfg" &&
    python3 "$work/unpack.py" "$work/pipe_zip" "$work/pipe" &&
    (cd "$work/pipe" && md5sum -c --quiet "$work/expect.md5" >/dev/null 2>&1)
}
sync
TIMEFORMAT='%3R %3U %3S'
{ time pipeline 2>"$work/pipe.err"; } 2>"$work/pipe.time" || fail "the pipeline failed: $(cat "$work/pipe.err")"
read -r pipe_wall pipe_user pipe_sys <"$work/pipe.time"
pipe_cpu=$(awk -v u="$pipe_user" -v s="$pipe_sys" 'BEGIN { printf "%.2f", u + s }')

# [SECTION] The figures

printf 'window   (AGREE to INSTALLATION COMPLETE) wall %6.2f s  installer cpu %6.2f s (whole run %.2f s)\n' \
  "$ours" "$cpu_install" "$cpu_run"
printf 'pipeline (curl, zipfile, md5sum -c)       wall %6.2f s  cpu %6.2f s\n' "$pipe_wall" "$pipe_cpu"
awk -v a="$ours" -v b="$pipe_wall" -v c="$cpu_install" -v d="$pipe_cpu" \
  'BEGIN { printf "window / pipeline                        wall %6.2f    cpu %6.2f\n", a / b, c / d }'
