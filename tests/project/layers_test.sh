#!/usr/bin/env bash
# The layers depend one way: no include and no symbol of a lower layer's
# library points at a higher layer, and the install engine includes nothing
# of the installer above it. First the checker on small trees that show each
# fault (and one that shows none), then on the project itself.
# Usage: layers_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
check="$2/tools/check_layers.py"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A tree of two layers, core below installer, with the given extra sources.
make_tree() {
  local tree="$work/$1"
  mkdir -p "$tree/core" "$tree/installer/update"
  cat > "$tree/CMakeLists.txt" <<'EOF'
nimbrel_layer(layer_core DIRS core)
nimbrel_layer(layer_installer DIRS installer LINKS layer_core)
EOF
  printf '#pragma once\n' > "$tree/core/globals.h"
  printf '#pragma once\n' > "$tree/installer/start.h"
  printf '#pragma once\n' > "$tree/installer/update/manifest.h"
  printf '#include "core/globals.h"\n#include "installer/update/manifest.h"\n' \
    > "$tree/installer/update/manifest.cpp"
  printf '#include "installer/start.h"\n#include "installer/update/manifest.h"\n' \
    > "$tree/installer/frame.cpp"
  echo "$tree"
}

# expect NAME STATUS TEXT: the checker's status on the tree, and a line of its
# report ("" for none).
expect() {
  local out status=0
  out=$(python3 "$check" "$work/$1" 2>&1) || status=$?
  if [ "$status" != "$2" ]; then
    echo "FAIL $1: status $status, wanted $2"; echo "$out"; exit 1
  fi
  if [ -n "$3" ] && ! grep -qF -- "$3" <<<"$out"; then
    echo "FAIL $1: no line \"$3\""; echo "$out"; exit 1
  fi
}

make_tree clean >/dev/null
expect clean 0 "2 layers, 0 faults"

tree=$(make_tree upward)
printf '#include "installer/start.h"\n' > "$tree/core/globals.cpp"
expect upward 1 "core/globals.cpp:1 includes installer/start.h from the higher layer layer_installer"

tree=$(make_tree engine_reaches_up)
printf '#include "installer/update/manifest.h"\n#include "installer/start.h"\n' \
  > "$tree/installer/update/transfer.cpp"
expect engine_reaches_up 1 \
  "installer/update/transfer.cpp:2 includes installer/start.h from above installer/update/"

exec python3 "$check" "$2" "$1"
