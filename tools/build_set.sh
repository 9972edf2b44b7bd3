#!/usr/bin/env bash
# Builds an install set from a master copy with the builder program, without
# a display and without waiting for a click: what a maintainer or a test
# script runs to make a mirror.
#
# Usage: tools/build_set.sh MASTER OUTPUT [OLD_MANIFEST]
#   MASTER        the master copy: All/, Macintosh/, Windows/, Linux/ and the
#                 folders and files the builder requires
#   OUTPUT        an existing folder; the set becomes OUTPUT/<set name>/ (its
#                 archives and directory.txt.zip) beside OUTPUT/dvd_version.txt,
#                 and the set's folder must not exist yet
#   OLD_MANIFEST  the previous release's manifest, unzipped ("directory.txt");
#                 leave it out for a first release (an empty one is used)
# Environment: BUILDER (default: build/nimbrel_builder beside this script's
# folder), BUILDER_LOG (a path that receives the builder's whole log).
# Exit status: the builder's own: 0 once the set is whole, 1 when the builder
# refused the master or failed (its reason is printed from the log); 2 when
# the builder cannot be run or BUILDER_LOG cannot be written (what and why
# are printed; the set is whole all the same when the builder said 0).
set -euo pipefail
[ $# -ge 2 ] && [ $# -le 3 ] || { sed -n '6,19p' "$0" >&2; exit 2; }
here=$(cd "$(dirname "$0")/.." && pwd)
builder=${BUILDER:-$here/build/nimbrel_builder}
[ -x "$builder" ] || { echo "build_set: no builder at $builder (run make build)" >&2; exit 2; }

# The program writes its log beside itself: it runs from a private copy.
run=$(mktemp -d "${TMPDIR:-/tmp}/nimbrel-build-set-XXXXXX")
trap 'rm -rf "$run"' EXIT
cp "$builder" "$run/nimbrel_builder"
old=${3:-}
if [ -z "$old" ]; then
  old=$run/first-release.txt
  printf 'I\n900 version\nINSTALLER\n\n' >"$old"
fi

status=0
SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-offscreen} TMPDIR="$run" \
  NIMBREL_SRC_FOLD="$1" NIMBREL_DST_FOLD="$2" NIMBREL_OLD_DIR="$old" \
  "$run/nimbrel_builder" --fps_test >"$run/output.txt" 2>&1 || status=$?
log_status=0
if [ -n "${BUILDER_LOG:-}" ]; then
  if [ ! -f "$run/Log.txt" ]; then
    echo "build_set: could not write the log to $BUILDER_LOG: the builder wrote none" >&2
    log_status=2
  elif ! why=$(cp "$run/Log.txt" "$BUILDER_LOG" 2>&1); then
    echo "build_set: could not write the log to $BUILDER_LOG: ${why##*: }" >&2
    log_status=2
  fi
fi
if [ "$status" -ne 0 ]; then
  echo "build_set: the builder stopped (status $status):" >&2
  tail -n 6 "$run/Log.txt" >&2 || cat "$run/output.txt" >&2
  exit "$status"
fi
exit "$log_status"
