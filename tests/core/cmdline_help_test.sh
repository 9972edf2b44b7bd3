#!/bin/bash
# The real program answers "--help" and "-h" with the usage text and status 0,
# before any window opens (no display is given) and without writing preferences.
set -u
build=$1
bin="$build/nimbrel_installer"
if [ ! -x "$bin" ]; then
  echo "FAIL: $bin was not built"
  exit 1
fi
scratch=$(mktemp -d "${TMPDIR:-/tmp}/nimbrel-help-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failed=0

for flag in --help -h; do
  env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$scratch/config" HOME="$scratch" \
    "$bin" "$flag" >"$scratch/out" 2>"$scratch/err"
  rc=$?
  if [ $rc -ne 0 ]; then
    echo "FAIL: $flag exited with $rc"; cat "$scratch/err"; failed=1
  fi
  size=$(wc -c <"$scratch/out")
  if [ "$size" -lt 3500 ] || [ "$size" -gt 4500 ]; then
    echo "FAIL: $flag printed $size bytes of usage"; failed=1
  fi
  for word in Nimbrel --no_sound --no_threaded_ogl --use_glsl --force_run \
              --fps_test=n --require_fps=n; do
    if ! grep -qF -- "$word" "$scratch/out"; then
      echo "FAIL: $flag usage lacks $word"; failed=1
    fi
  done
  if [ -e "$scratch/config" ] && [ -n "$(ls -A "$scratch/config")" ]; then
    echo "FAIL: $flag wrote preferences:"; ls -R "$scratch/config"; failed=1
  fi
done
exit $failed
