# Shell helpers of the end-to-end script tests, which run the real program
# under Xvfb and use it with xdotool. Source it; callers run with set -eu.

# Starts Xvfb on a display number nobody holds and exports DISPLAY; the
# server's pid goes into xvfb_pid (empty when none could start). Xvfb picks
# the number itself and names it once it takes clients, so scripts starting
# together never share one.
start_xvfb() {
  xvfb_pid=""
  local number _
  number=$(mktemp "${TMPDIR:-/tmp}/nimbrel-display-XXXXXX")
  # -noreset: a reset after xdotool's last call would drop a client connecting then.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$number" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$number" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$xvfb_pid" 2>/dev/null && [ -s "$number" ]; then
    export DISPLAY=":$(tr -dc 0-9 <"$number")"
    rm -f "$number"
    return 0
  fi
  rm -f "$number"
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  xvfb_pid=""
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

# [SECTION] The installer in its window
# What follows works on the callers' globals: src (the source folder), work
# (the test's scratch folder), log (the program's Log.txt, beside the copy of
# the program in $work/app/), app_pid, nginx_pid, xvfb_pid, and the caller's
# own fail function, which should end with e2e_report.

# The program's log (less its long list of graphics capabilities), its
# output and the end of nginx's access log, for a failure's message.
e2e_report() {
  [ -f "$log" ] && grep -v '_avail \|^AGL_\|^max ' "$log" | sed 's/^/  log: /' >&2
  [ -f "$work/out.txt" ] && sed 's/^/  out: /' "$work/out.txt" >&2
  [ -f "$work/nginx-access.log" ] && tail -40 "$work/nginx-access.log" | sed 's/^/  nginx: /' >&2
  return 0
}

# The start of an end-to-end script: a scratch folder in work, no process
# yet, and on exit whatever the test started ended and the folder removed.
e2e_begin() {  # name
  work=$(mktemp -d "${TMPDIR:-/tmp}/nimbrel-$1-XXXXXX")
  xvfb_pid="" app_pid="" nginx_pid=""
  trap e2e_cleanup EXIT
}
e2e_cleanup() {
  [ -n "$app_pid" ] && kill -KILL "$app_pid" 2>/dev/null || true
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}

# Whether anything accepts connections on address:port.
accepts() {  # address:port
  python3 -c 'import socket, sys
try:
    socket.create_connection((sys.argv[1], int(sys.argv[2])), 1).close()
except OSError:
    sys.exit(1)' "${1%:*}" "${1##*:}"
}

# Whether process pid itself holds a socket listening on exactly
# address:port. An answer on the address proves less: another test run may
# serve there while our server failed to bind. The kernel's table names each
# socket by its inode, its address as the 32 bits in memory order.
listens() {  # pid, address:port
  python3 -c 'import os, socket, struct, sys
pid, host, port = sys.argv[1], sys.argv[2], int(sys.argv[3])
local = "%08X:%04X" % (struct.unpack("=I", socket.inet_aton(host))[0], port)
with open("/proc/net/tcp") as table:
    next(table)
    listening = {"socket:[%s]" % f[9] for f in map(str.split, table) if f[1] == local and f[3] == "0A"}
held = set()
try:
    for fd in os.listdir("/proc/%s/fd" % pid):
        try:
            held.add(os.readlink("/proc/%s/fd/%s" % (pid, fd)))
        except OSError:
            pass
except OSError:
    pass
sys.exit(0 if listening & held else 1)' "$1" "${2%:*}" "${2##*:}"
}

# Starts nginx in the foreground on the server blocks given, logging each
# request with its time into $work/nginx-access.log, and waits until it
# listens on every "address:port" given. Fails at once when another process
# serves one of them already, or when nginx ends (it could not bind, say).
start_nginx() {  # server blocks, address:port...
  local servers=$1 door _
  shift
  for door in "$@"; do
    if accepts "$door"; then
      fail "$door is served already, by another process (another test run on this machine?)"
    fi
  done
  cat >"$work/nginx.conf" <<CONF
daemon off;
master_process off;
pid $work/nginx.pid;
error_log $work/nginx-error.log;
events { worker_connections 64; }
http {
  log_format timed '\$msec \$request \$status \$body_bytes_sent';
  access_log $work/nginx-access.log timed;
  client_body_temp_path $work/body;
  proxy_temp_path $work/proxy;
  default_type application/octet-stream;
$servers
}
CONF
  # Outside root's PATH nginx still sits in /usr/sbin.
  "$(command -v nginx || echo /usr/sbin/nginx)" -p "$work" -e "$work/nginx-error.log" \
    -c "$work/nginx.conf" >"$work/nginx.out" 2>&1 &
  nginx_pid=$!
  for door in "$@"; do
    for _ in $(seq 100); do
      listens "$nginx_pid" "$door" && continue 2
      kill -0 "$nginx_pid" 2>/dev/null || break
      sleep 0.1
    done
    if kill -0 "$nginx_pid" 2>/dev/null; then
      fail "nginx did not listen on $door: $(cat "$work/nginx.out" "$work/nginx-error.log" 2>/dev/null)"
    fi
    fail "nginx did not start: $(cat "$work/nginx.out" "$work/nginx-error.log" 2>/dev/null)"
  done
}

# Waits for the program's window: its id goes into wid, its place into X and
# Y; fails when the program ends first or the window is not 1024 x 768.
wait_window() {  # pid of the program
  wid=""
  local _
  for _ in $(seq 150); do
    wid=$(xdotool search --name '^Nimbrel$' 2>/dev/null | head -1 || true)
    [ -n "$wid" ] && break
    kill -0 "$1" 2>/dev/null || fail "the program ended before its window showed"
    sleep 0.1
  done
  [ -n "$wid" ] || fail "no window appeared"
  eval "$(xdotool getwindowgeometry --shell "$wid")"
  [ "$WIDTH" = 1024 ] && [ "$HEIGHT" = 768 ] || fail "window is ${WIDTH}x${HEIGHT}"
}

# Starts the copy of the program in $work/app/ with its own home, settings
# and temporary folders under $work (and $work/bin first on the PATH), and
# waits for its window.
run_app() {  # arguments of the program
  rm -f "$log"
  HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
    XDG_CACHE_HOME="$work/cache" TMPDIR="$work/tmp" PATH="$work/bin:$PATH" SDL_VIDEODRIVER=x11 \
    "$work/app/nimbrel_installer" "$@" >"$work/out.txt" 2>&1 &
  app_pid=$!
  wait_window "$app_pid"
}

logged() { [ -f "$log" ] && grep -qF -- "$1" "$log"; }
wait_log() {  # text, seconds
  wait_until "${2:-60}" logged "$1" || fail "the log never said: $1"
}

# Clicks at a point of the screen given as the program lays it out: logical
# units of the window whose lower-left corner is at (ox, oy), y upwards.
click() {  # x y [ox oy]
  local ox=${3:-0} oy=${4:-0}
  xdotool mousemove --window "$wid" "$(($1 + ox))" "$((768 - $2 - oy))" click 1
}

# The colour a pixel of the button atlas has once drawn with the green tint
# of an enabled image button.
tinted() {  # u v (texels, v upwards)
  pixel_of "$src/assets/images/t_installer.png" "$1" "$((764 - 1 - $2))" |
    awk -F, '{ printf "%d,%d,%d", $1 * 0.8 + 0.5, $2, $3 * 0.8 + 0.5 }'
}
screen_pixel_is() {  # x y (logical, y upwards) colour
  import -window root "$work/probe.png"
  colours_near "$(pixel_of "$work/probe.png" "$((X + $1))" "$((Y + 767 - $2))")" "$3" 12
}
# Waits until the screen shows an enabled image button: the pixel at
# (x + dx, y + dy) of a button drawn at (x, y) of a window whose lower-left
# corner is at (ox, oy), from atlas texel (u, v).
wait_button() {  # x y u v dx dy what [ox oy]
  local want sx=$(($1 + $5 + ${8:-0})) sy=$(($2 + $6 + ${9:-0}))
  want=$(tinted "$(($3 + $5))" "$(($4 + $6))")
  wait_until 20 screen_pixel_is "$sx" "$sy" "$want" ||
    fail "no $7 on the screen: $(pixel_of "$work/probe.png" "$((X + sx))" "$((Y + 767 - sy))"), not $want"
}

# Window origins as the shell centres them: terms 500 x 300, question 700 x 146.
terms_ox=262 terms_oy=234
question_ox=162 question_oy=311

# The INSTALL button enabled, once the manifest is read.
wait_install_button() { wait_button 450 78 640 166 10 3 "enabled INSTALL button"; }
# After INSTALL: AGREE once the terms window shows it, after the command
# given (a screenshot), if any.
agree_to_terms() {  # [command...]
  wait_log "Showing the terms of use."
  wait_button 400 10 918 166 6 3 "AGREE button" "$terms_ox" "$terms_oy"
  [ $# -gt 0 ] && "$@"
  click 429 21 "$terms_ox" "$terms_oy"
  wait_log "The terms were agreed to."
}

quit_app() {
  click 985 89
  local status=0
  wait_until 20 sh -c "! kill -0 $app_pid 2>/dev/null" || fail "QUIT did not end the program"
  wait "$app_pid" || status=$?
  app_pid=""
  [ "$status" = 0 ] || fail "the program ended with status $status"
}
