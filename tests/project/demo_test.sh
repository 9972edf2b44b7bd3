#!/usr/bin/env bash
# The README's run command after its set-up and build: without a display it
# says how to run under Xvfb and ends at once; under Xvfb it serves the set
# the builder made of the demo's master copy, the installer installs from it
# when clicked through, and nginx is gone once the installer has quit.
# Usage: demo_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
. "$src/tests/support/e2e_lib.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/nimbrel-demo-XXXXXX")
xvfb_pid=""
demo_pid=""
cleanup() {
  [ -n "$demo_pid" ] && kill -TERM "$demo_pid" 2>/dev/null && wait "$demo_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; sed 's/^/  out: /' "$work/out.txt" >&2 2>/dev/null || true; exit 1; }

# A build folder of its own, so the demo's files stay out of the real one.
mkdir -p "$work/build"
cp "$build/nimbrel_installer" "$build/nimbrel_builder" "$work/build/"

status=0
env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 bash "$src/tools/demo.sh" "$work/build" \
  >"$work/out.txt" 2>&1 || status=$?
[ "$status" = 2 ] || fail "without a display the demo ended with $status"
grep -q "xvfb-run" "$work/out.txt" || fail "no word on running under Xvfb"

start_xvfb || fail "no display could be started"
HOME="$work" bash "$src/tools/demo.sh" "$work/build" >"$work/out.txt" 2>&1 &
demo_pid=$!
wait_until 30 grep -q "click INSTALL" "$work/out.txt" || fail "the demo did not start"
port=$(sed -n 's|.*http://127.0.0.1:\([0-9]*\)/.*|\1|p' "$work/out.txt")
wait_window "$demo_pid"
log="$work/build/Log.txt"
wait_until 60 grep -q "Read the manifest of Nimbrel_Demo" "$log" || fail "no manifest read"
xdotool mousemove --window "$wid" 491 679 click 1 # INSTALL
wait_until 20 grep -q "Showing the terms of use." "$log" || fail "no terms window"
sleep 1
xdotool mousemove --window "$wid" 691 513 click 1 # AGREE
wait_until 60 grep -q "INSTALLATION COMPLETE: $work/build/demo/Nimbrel_Demo/" "$log" ||
  fail "the demo install did not complete"
demo=$work/build/demo
[ -x "$demo/Nimbrel_Demo/nimbrel" ] || fail "the demo's program is missing"
# The mirror is the builder's set: its folder beside the builder's
# dvd_version.txt, its manifest holding the signature of a file of the
# master, which arrived whole.
served=$(readlink -f "$demo/www/sets/Nimbrel_Demo")
[ "$(dirname "$served")" = "$demo/sets" ] && [ -s "$demo/sets/dvd_version.txt" ] ||
  fail "the mirror is not the builder's set: $served"
tile="Resources/default scenery/demo tiles/tile7.dat"
sum=$(md5sum <"$demo/master/All/$tile" | cut -d' ' -f1)
unzip -p "$served/directory.txt.zip" directory.txt |
  grep -qx "FILE 0 0 [0-9]* [0-9]* [0-9]* $sum tile7.dat" ||
  fail "the builder's manifest lacks the demo's tile"
cmp -s "$demo/master/All/$tile" "$demo/Nimbrel_Demo/$tile" || fail "the tile did not arrive whole"
xdotool mousemove --window "$wid" 985 679 click 1 # QUIT
wait_until 20 sh -c "! kill -0 $demo_pid 2>/dev/null" || fail "the demo did not end with QUIT"
status=0
wait "$demo_pid" || status=$?
demo_pid=""
[ "$status" = 0 ] || fail "the demo ended with $status"
! python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 1)" 2>/dev/null ||
  fail "nginx still serves the demo after the installer quit"
echo "demo: ok"
