#!/usr/bin/env bash
# Each test program links the layer it tests and the layers below it, never
# one above: no program of tests/<subsystem> defines a symbol of a higher
# layer's library.
# Usage: test_layers_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
exec python3 "$2/tools/check_test_layers.py" "$2" "$1"
