#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need.
# Idempotent and quiet when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev libpng-dev libminizip-dev libsquish-dev libmimalloc-dev
  libsdl2-dev libgl-dev libgl1-mesa-dri libglu1-mesa-dev libfreetype-dev
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev
  fonts-dejavu-core
  clang libclang-rt-14-dev
  python3 curl zip unzip attr
  xvfb xdotool x11-utils x11-xkb-utils xkb-data imagemagick zenity xdg-utils
  nginx-light tinyproxy
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# Services from these packages must not start on their own: tests start their own on loopback.
policy=/usr/sbin/policy-rc.d
added_policy=0
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | $SUDO tee "$policy" >/dev/null
  $SUDO chmod 755 "$policy"
  added_policy=1
fi
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
[ $added_policy -eq 1 ] && $SUDO rm -f "$policy"
exit 0
