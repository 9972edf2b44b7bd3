#!/usr/bin/env bash
# The real installer under Xvfb, used as a person would: it opens its window,
# draws, takes a click, and quits in order on SIGTERM and on SIGINT with
# status 0, leaving its preferences file behind. A screenshot of the first
# run is kept in the build folder.
set -euo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/nimbrel-e2e-XXXXXX")
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill -KILL "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; [ -f "$work/Log.txt" ] && sed 's/^/  log: /' "$work/Log.txt" >&2; exit 1; }

. "$src/tests/support/e2e_lib.sh"
start_xvfb || true
[ -n "$xvfb_pid" ] || fail "no display could be started"

# The program writes its log beside itself, so it runs from a copy.
cp "$build/nimbrel_installer" "$work/"
mkdir -p "$work/home" "$work/config"

run_once() {  # signal, screenshot or ""
  local sig=$1 shot=$2
  rm -f "$work/config/Nimbrel Installer.prf"
  # With job control on, the program keeps SIGINT as a terminal would give
  # it; a plain background job would start with SIGINT ignored.
  set -m
  # The web host is a closed port on loopback: no name is looked up, and the
  # server list's fetch fails at once.
  HOME="$work/home" XDG_CONFIG_HOME="$work/config" SDL_VIDEODRIVER=x11 \
    "$work/nimbrel_installer" --pref:_web_host=127.0.15.30:9 >"$work/out.txt" 2>&1 &
  app_pid=$!
  set +m
  local wid
  wait_window "$app_pid"
  sleep 0.5
  if [ -n "$shot" ]; then
    # The frame function draws the installer's background over the whole
    # window, texel for pixel, and the preferences button near its top left.
    # On a loaded machine the first frames may take a while: wait for them.
    local pixel want text_max
    local rgb='%[fx:round(255*r)],%[fx:round(255*g)],%[fx:round(255*b)]'
    want=$(convert "$src/assets/images/t_ins_back_1.png" -format "$rgb" -crop 1x1+512+384 info:)
    for _ in $(seq 40); do
      import -window root "$shot"
      pixel=$(convert "$shot" -format "$rgb" -crop "1x1+$((X + 512))+$((Y + 384))" info:)
      [ "$pixel" = "$want" ] && break
      sleep 0.25
    done
    [ "$pixel" = "$want" ] || fail "window centre is $pixel, not the background's $want"
    text_max=$(convert "$shot" -crop "160x16+$((X + 20))+$((Y + 19))" -colorspace Gray \
      -format "%[fx:maxima]" info:)
    awk "BEGIN { exit !($text_max > 0.6) }" || fail "no bright text where the preferences button goes"
  fi
  xdotool mousemove --window "$wid" 300 300 click 1
  sleep 0.3
  kill -0 "$app_pid" 2>/dev/null || fail "a click ended the program"
  kill "-$sig" "$app_pid"
  local status=0
  wait "$app_pid" || status=$?
  app_pid=""
  [ "$status" = 0 ] || fail "SIG$sig ended the program with status $status: $(cat "$work/out.txt")"
  grep -q "^_dest_dir_path" "$work/config/Nimbrel Installer.prf" ||
    fail "no preferences written after SIG$sig"
  grep -q "^dest_dir_path=$work/home/Nimbrel/\$" "$work/Log.txt" || fail "log lacks the destination"
  grep -q "^_web_host 127.0.15.30:9\$" "$work/config/Nimbrel Installer.prf" ||
    fail "the web host given on the command line was not kept"
  # Software renderers report all of system memory: the figure must not wrap.
  if grep -q "^VRAM " "$work/Log.txt"; then
    grep -Eq "^VRAM +: [0-9]+\$" "$work/Log.txt" || fail "bad video memory line: $(grep '^VRAM ' "$work/Log.txt")"
  fi
}

run_once TERM "$build/e2e_screenshot.png"
run_once INT ""
echo "e2e: ok (screenshot $build/e2e_screenshot.png)"
