#!/bin/bash
# Each real program answers "--help" and "-h" with its own usage and status 0,
# before any window opens (no display is given), without writing preferences
# and, for the builder, without building anything. Each runs from a copy of
# its own, since it writes its log beside itself.
set -u
build=$1
src=$2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/nimbrel-help-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# Runs a copy of the program with the flag in $scratch/run; its usage lands
# in $scratch/out.
help_of() {
  local program=$1 flag=$2
  shift 2
  rm -rf "$scratch/run" && mkdir -p "$scratch/run/config" "$scratch/run/sets"
  cp "$build/$program" "$scratch/run/$program"
  (cd "$scratch/run" && env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$scratch/run/config" \
    HOME="$scratch/run" "$@" "./$program" "$flag" >"$scratch/out" 2>"$scratch/err")
  local rc=$?
  [ $rc -eq 0 ] || { fail "$program $flag exited with $rc"; cat "$scratch/err"; }
  if [ -n "$(ls -A "$scratch/run/config")" ]; then
    fail "$program $flag wrote preferences:"; ls -R "$scratch/run/config"
  fi
}

# Each word must stand in the usage as written.
expect_words() {
  local what=$1 word
  shift
  for word in "$@"; do
    grep -qF -- "$word" "$scratch/out" || fail "$what usage lacks: $word"
  done
}

for flag in --help -h; do
  help_of nimbrel_installer "$flag"
  size=$(wc -c <"$scratch/out")
  if [ "$size" -lt 4000 ] || [ "$size" -gt 6000 ]; then
    fail "nimbrel_installer $flag printed $size bytes of usage"
  fi
  expect_words "nimbrel_installer $flag" "Usage: nimbrel_installer [-path DIR] [option ...]" "--help, -h"
  # Every option has an entry of its own: a line of its own, or the first
  # of a pair.
  for option in "-path DIR" --help --no_sound --no_vbos --no_fbos --no_pbos --no_sprites \
                --no_pixel_counters --no_aniso_filtering --no_hw_mipmap --no_fshaders \
                --no_vshaders --no_glsl --no_threaded_ogl --use_vbos --use_sprites \
                --use_fshaders --use_vshaders --use_glsl --force_run --fps_test=n \
                --require_fps=n --pref:key=value --cmnds=path --no_sblend --no_dds \
                --use_fprogs --use_vprogs --use_pixel_counters --use_threaded_ogl; do
    grep -qE -- "^  +$option(,|$)" "$scratch/out" ||
      fail "nimbrel_installer $flag: $option has no entry of its own"
  done
  # Every option the program's code asks about is named.
  for option in $(grep -rhoE 'has_opt(ion)?\("--[a-z_]+"' "$src"/{core,Files,net,TEX,OGL,draw,widgets,platform,installer} |
                  sed 's/.*"\(--[a-z_]*\)"/\1/' | sort -u); do
    grep -qE -- "^  +$option(,|=|$)" "$scratch/out" ||
      fail "nimbrel_installer $flag does not name $option, which the program reads"
  done
  # What -path asks of its place, and what becomes of any other argument.
  expect_words "nimbrel_installer $flag" "counts only as the first two arguments" \
    "Any other argument"
  grep -qF "simply have no effect" "$scratch/out" &&
    fail "nimbrel_installer $flag still says other arguments have no effect"
done

if [ ! -x "$build/nimbrel_builder" ]; then
  echo "The builder was not built (NIMBREL_BUILDER off): its usage is not checked."
  exit $failed
fi
for flag in --help -h; do
  # A relative location is the caller's: the usage names where this run
  # would read and write.
  help_of nimbrel_builder "$flag" NIMBREL_SRC_FOLD=my/master NIMBREL_DST_FOLD="$scratch/run/sets" \
    NIMBREL_OLD_DIR=
  expect_words "nimbrel_builder $flag" "Usage: nimbrel_builder [option ...]" \
    "builds the install sets" --fps_test NIMBREL_SRC_FOLD NIMBREL_OLD_DIR NIMBREL_DST_FOLD \
    TMPDIR SDL_VIDEODRIVER NIMBREL_INSTALL_TYPE "install type 0" \
    "$scratch/run/my/master/" "$scratch/run/sets/"
  grep -qF "nimbrel_installer [" "$scratch/out" && fail "nimbrel_builder $flag printed the installer's usage"
  if [ -n "$(ls -A "$scratch/run/sets")" ]; then
    fail "nimbrel_builder $flag built:"; ls -R "$scratch/run/sets"
  fi
done
exit $failed
