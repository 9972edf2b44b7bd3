#!/usr/bin/env bash
# The end-to-end tests' nginx counts as started only once that very nginx
# listens on each address given: another process answering there (another
# test run on this machine, say), before nginx starts or while it binds,
# makes the start fail at once with the cause.
# Usage: e2e_lib_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
src=$(cd "$2" && pwd)
. "$src/tests/support/e2e_lib.sh"

e2e_begin nginx-start
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
# The other servers, and the nginx of the cases run in a subshell, are no
# children of this shell: their pids are kept in files.
cleanup() {
  local pid
  for pid in $(cat "$work"/*.pids 2>/dev/null); do
    kill "$pid" 2>/dev/null || true
  done
  e2e_cleanup
}
trap cleanup EXIT

nginx=$(command -v nginx || echo /usr/sbin/nginx)
[ -x "$nginx" ] || fail "nginx is missing (tools/setup.sh installs it)"
for tool in python3 curl; do
  command -v "$tool" >/dev/null || fail "$tool is missing (tools/setup.sh installs it)"
done

# nginx as start_nginx finds it on the PATH: its pid noted, and where
# OTHER_SERVER names an address:port, another server put there first, after
# start_nginx looked and before nginx binds.
mkdir -p "$work/bin" "$work/www" "$work/other"
cat >"$work/bin/nginx" <<EOF
#!/bin/sh
echo \$\$ >>"$work/nginx.pids"
if [ -n "\${OTHER_SERVER:-}" ]; then
  python3 -m http.server --bind "\${OTHER_SERVER%:*}" --directory "$work/other" \\
    "\${OTHER_SERVER##*:}" >/dev/null 2>&1 &
  echo \$! >>"$work/other.pids"
  for _ in \$(seq 100); do
    curl -s -o /dev/null "http://\$OTHER_SERVER/" && break
    sleep 0.1
  done
fi
exec "$nginx" "\$@"
EOF
chmod +x "$work/bin/nginx"
export PATH="$work/bin:$PATH"
echo "ours" >"$work/www/index.html"
echo "another's" >"$work/other/index.html"

# Runs start_nginx in a subshell, so that its failure ends only the
# subshell; prints what it failed with, or "started" and what nginx serves.
try_start() {  # address:port
  local door=$1
  (
    fail() {
      echo "$*"
      exit 1
    }
    start_nginx "  server { listen $door; root $work/www; }" "$door"
    echo "started: $(curl -s "http://$door/")"
  ) 2>&1 || true
}

# [SECTION] An address nobody serves: nginx starts, and it is ours that answers.

door=127.0.17.1:$(free_port 127.0.17.1)
said=$(try_start "$door")
[ "$said" = "started: ours" ] || fail "on a free address: $said"

# [SECTION] Another server there before nginx starts.

door=127.0.17.2:$(free_port 127.0.17.2)
python3 -m http.server --bind "${door%:*}" --directory "$work/other" "${door##*:}" \
  >/dev/null 2>&1 &
echo $! >>"$work/other.pids"
wait_until 10 curl -s -o /dev/null "http://$door/" || fail "the other server did not start"
started=$(wc -l <"$work/nginx.pids")
said=$(try_start "$door")
case $said in
  "$door is served already, by another process"*) ;;
  *) fail "with another server there first: $said" ;;
esac
[ "$(wc -l <"$work/nginx.pids")" = "$started" ] || fail "nginx was started on a served address"

# [SECTION] Another server there after start_nginx looked, before nginx binds.

door=127.0.17.3:$(free_port 127.0.17.3)
said=$(OTHER_SERVER=$door try_start "$door")
case $said in
  "nginx did not start: "*"Address already in use"*) ;;
  *) fail "with another server there while nginx binds: $said" ;;
esac

echo "e2e_lib: ok"
