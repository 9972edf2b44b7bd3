# Shell helpers of the end-to-end script tests, which run the real program
# under Xvfb and use it with xdotool. Source it; callers run with set -eu.

# Starts Xvfb on a display number nobody holds and exports DISPLAY; the
# server's pid goes into xvfb_pid (empty when none could start). Xvfb itself
# settles a race for a number by failing.
start_xvfb() {
  xvfb_pid=""
  local n
  for n in $(seq 90 160); do
    { [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; } && continue
    # -noreset: a reset after xdotool's last call would drop a client connecting then.
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    xvfb_pid=$!
    local _
    for _ in $(seq 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.1
    done
    if kill -0 "$xvfb_pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
      export DISPLAY=":$n"
      return 0
    fi
    xvfb_pid=""
  done
  return 1
}

# A TCP port free on the address right now.
free_port() {
  python3 -c 'import socket, sys
s = socket.socket()
s.bind((sys.argv[1], 0))
print(s.getsockname()[1])' "$1"
}

# Runs the command every tenth of a second until it succeeds; fails after
# the seconds given.
wait_until() {
  local seconds=$1
  shift
  local i
  for i in $(seq $((seconds * 10))); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# "R,G,B" of pixel (x, y) of an image, 0 to 255 each.
pixel_of() {
  convert "$1" -format '%[fx:round(255*r)],%[fx:round(255*g)],%[fx:round(255*b)]' \
    -crop "1x1+$2+$3" info:
}

# Whether two "R,G,B" colours differ by at most tol in every channel.
colours_near() {
  awk -v a="$1" -v b="$2" -v tol="$3" 'BEGIN {
    split(a, x, ","); split(b, y, ",");
    for (i = 1; i <= 3; i++) { d = x[i] - y[i]; if (d < 0) d = -d; if (d > tol) exit 1 }
  }'
}
