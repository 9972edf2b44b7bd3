#!/usr/bin/env bash
# The layers depend one way: no include and no symbol of a lower layer's
# library points at a higher layer.
# Usage: layers_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
exec python3 "$2/tools/check_layers.py" "$2" "$1"
