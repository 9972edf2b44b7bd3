#!/usr/bin/env bash
# The build's version number is written once, as kVersionNumber in
# core/constants.h: the builder's manifest lines, the log's first line and
# the version check all take it from there, so a release changes one line.
# No program source outside that file spells the number, and the builder's
# release checklist sends the operator to that file and that name.
# Usage: version_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
cd "$2"
number=$(sed -n 's/^inline constexpr int kVersionNumber = \([0-9][0-9]*\);$/\1/p' core/constants.h)
[ -n "$number" ] || { echo "FAIL: core/constants.h sets no kVersionNumber"; exit 1; }
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files -co --exclude-standard -- '*.cpp' '*.h' ':!tests/' ':!core/constants.h')
else
  mapfile -t files < <(find . -path ./build\* -prune -o -path ./tests -prune -o \
    \( -name '*.cpp' -o -name '*.h' \) ! -path ./core/constants.h -print)
fi
found=$(grep -nw -- "$number" "${files[@]}" /dev/null || true)
if [ -n "$found" ]; then
  echo "FAIL: the version number $number is written here too, not taken from kVersionNumber:"
  echo "$found"
  exit 1
fi
checklist=$(grep -A3 'Checklist if doing net' installer/builder/driver.cpp)
case "$checklist" in
  *kVersionNumber*core/constants.h*) ;;
  *) echo "FAIL: the release checklist does not name kVersionNumber in core/constants.h"; exit 1 ;;
esac
echo "the version $number is written once, in core/constants.h (${#files[@]} sources checked)"
