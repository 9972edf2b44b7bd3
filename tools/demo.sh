#!/usr/bin/env bash
# Runs the installer. Until the demo mirror exists the program starts, logs and exits.
set -euo pipefail
build=${1:-build}
exec "$build/nimbrel_installer"
