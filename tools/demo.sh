#!/usr/bin/env bash
# Shows a whole install in the installer's window: a small master copy packed
# into a set by the builder, served by nginx on loopback from an unprivileged
# port (no root needed), and the installer pointed at it through its
# preferences. nginx stops when the installer ends.
#
# Usage: tools/demo.sh [BUILD_DIR]   (make run does the set-up and the build)
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<'EOF'
demo: there is no display for the installer's window (DISPLAY is not set).
Run it on a desktop, or under a virtual X display, for example:

  xvfb-run -a -s "-screen 0 1280x1024x24" make run

and look at it through a VNC server on that display, or with
"import -window root shot.png" from ImageMagick.
EOF
  exit 2
fi

# The end-to-end tests' helpers: the free port, nginx's start and its wait.
. "$src/tests/support/e2e_lib.sh"
fail() {
  echo "demo: $*" >&2
  exit 1
}
command -v nginx >/dev/null || [ -x /usr/sbin/nginx ] || fail "nginx is missing (tools/setup.sh installs it)"
for program in nimbrel_installer nimbrel_builder; do
  [ -x "$build/$program" ] || fail "build first (make run does)"
done

demo="$build/demo"
version=Nimbrel_Demo
rm -rf "$demo"
mkdir -p "$demo/www/sets" "$demo/sets" "$demo/config" "$demo/tmp" "$demo/Nimbrel"
addr=127.0.0.1
port=$(free_port "$addr")

# [SECTION] The demo mirror: the builder's set of a small master copy (the
# one the builder's tests use) with scenery blobs big enough to watch arrive.
echo "demo: building the demo mirror from a master copy in $demo/master"
python3 "$src/tests/installer/builder/make_master.py" "$demo/master"
mkdir -p "$demo/master/All/Resources/default scenery/demo tiles"
for i in $(seq 1 12); do
  head -c 400000 /dev/urandom >"$demo/master/All/Resources/default scenery/demo tiles/tile$i.dat"
done
BUILDER="$build/nimbrel_builder" bash "$src/tools/build_set.sh" "$demo/master/" "$demo/sets/"
# The mirror names the set after the demo's version; the builder's own name
# for it holds blanks.
ln -s "$(find "$demo/sets" -mindepth 1 -maxdepth 1 -type d)" "$demo/www/sets/$version"
printf 'I\n820 version\nSERVERS\n\nFINAL %s\nSERVER %s:%s\n/sets/\nThe demo mirror on this machine\nENDOFLIST\n' \
  "$version" "$addr" "$port" >"$demo/www/serverlist.txt"

# [SECTION] nginx, slowed down enough that the install can be watched; its
# files (and its log of requests) go beside the demo's.
work=$demo
nginx_pid=""
trap '[ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null; wait "$nginx_pid" 2>/dev/null || true' EXIT
start_nginx "  server {
    listen $addr:$port;
    root $demo/www;
    location /sets/ { limit_rate 300k; }
  }" "$addr:$port"

echo "demo: a mirror of $version at http://$addr:$port/, installing into $demo/Nimbrel"
echo "demo: click INSTALL, then AGREE; QUIT ends the demo."
# Its own preferences and temporary folders: the user's own settings stay
# as they are.
status=0
XDG_CONFIG_HOME="$demo/config" TMPDIR="$demo/tmp" "$build/nimbrel_installer" \
  -path "$demo/Nimbrel" "--pref:_web_host=$addr:$port" "--pref:_shop_host=$addr:$port" || status=$?
exit $status
