#!/usr/bin/env bash
# Runs the installer in its window. The demo mirror on loopback comes later.
set -euo pipefail
build=${1:-build}
exec "$build/nimbrel_installer"
