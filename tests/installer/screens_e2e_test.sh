#!/usr/bin/env bash
# The installer used as a person would, end to end. nginx on loopback serves
# the server list from one address and a mirror made by a test script from
# two others, each on an unprivileged port. Under Xvfb the real program,
# started on an empty folder, is clicked through INSTALL and AGREE until every
# file's MD5 is the manifest's, then QUIT; a second run updates that folder
# with one file the user changed (kept through the question window), files
# deleted upstream going away; a third run is ended by SIGTERM in the middle
# of an install. Screenshots of every stage and window are kept in
# BUILD/screens/.
set -euo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
. "$src/tests/support/e2e_lib.sh"

e2e_begin screens
shots="$build/screens"
mkdir -p "$shots"

log="$work/app/Log.txt"
fail() {
  echo "FAIL: $*" >&2
  [ -f "$work/probe.png" ] && cp "$work/probe.png" "$shots/failed.png"
  e2e_report
  exit 1
}

for tool in Xvfb xdotool nginx convert import md5sum python3; do
  command -v "$tool" >/dev/null || fail "$tool is missing (tools/setup.sh installs it)"
done
start_xvfb || fail "no display could be started"

# [SECTION] The servers

web=127.0.15.1
port=$(free_port "$web")
mkdir -p "$work/web" "$work/mirror" "$work/tmp" "$work/home" "$work/config" "$work/data" \
  "$work/cache" "$work/app" "$work/bin" "$work/Nimbrel"
# The mirror sends slowly enough that an install can be seen under way.
start_nginx "  server { listen $web:$port; root $work/web; }
  server {
    listen 127.0.15.2:$port;
    listen 127.0.15.3:$port;
    root $work/mirror;
    limit_rate 400k;
    location /slow/ { alias $work/mirror/; limit_rate 40k; }
  }" "$web:$port" "127.0.15.2:$port" "127.0.15.3:$port"

# A version of the product as the test's own script packs it (not our
# builder), and the server list that names it on both mirrors.
publish() {  # version name, files (JSON list)
  local name=$1 files=$2
  cat >"$work/$name.json" <<EOF
{"set": "$work/mirror/sets/$name", "manifest": "$work/$name.directory.txt",
 "expect": "$work/$name", "files": $files}
EOF
  python3 "$src/tests/installer/update/make_mirror.py" "$work/$name.json"
  server_list "$name" /sets/
}
server_list() {  # version name, mirror folder
  printf 'I\n820 version\nSERVERS\n\nFINAL %s\nSERVER 127.0.15.2:%s\n%s\nFirst mirror, on loopback\nSERVER 127.0.15.3:%s\n%s\nSecond mirror, on loopback\nENDOFLIST\n' \
    "$1" "$port" "$2" "$port" "$2" >"$work/web/serverlist.txt"
}

data_files() {  # seed offset: eight files big enough to take a moment at 400k
  local out="" i
  for i in 1 2 3 4 5 6 7 8; do
    out="$out{\"path\": \"All/Resources/data/part$i.bin\", \"size\": 300000, \"seed\": $((i + $1))},"
  done
  echo "$out"
}

publish Nimbrel_900r1 "[$(data_files 0)
  {\"path\": \"All/Resources/readme.txt\", \"text\": \"readme of r1\\n\"},
  {\"path\": \"All/Resources/settings.txt\", \"text\": \"settings of r1\\n\"},
  {\"path\": \"All/Resources/old/old.txt\", \"text\": \"old of r1\\n\"},
  {\"path\": \"All/Resources/readme link\", \"link\": \"readme.txt\"},
  {\"path\": \"Linux/Nimbrel\", \"text\": \"#!/bin/sh\\necho r1\\n\", \"mode\": 493, \"platform\": 3},
  {\"path\": \"Macintosh/Nimbrel.app/Contents/MacOS/Nimbrel\", \"text\": \"mac r1\", \"platform\": 1},
  {\"path\": \"Windows/Nimbrel.exe\", \"text\": \"win r1\", \"platform\": 2}]"

# [SECTION] The program

# A recording opener in place of the desktop's: the shop button must reach it.
cat >"$work/bin/xdg-open" <<EOF
#!/bin/sh
echo "\$@" >> "$work/opened"
EOF
chmod +x "$work/bin/xdg-open"
# The program writes its log beside itself, so it runs from a copy.
cp "$build/nimbrel_installer" "$work/app/"

shot() {  # name
  import -window root "$work/root.png"
  convert "$work/root.png" -crop "1024x768+$X+$Y" +repage "$shots/$1.png"
}

# While a modal window is up the whole screen behind it is the interface's
# background colour (entry 34, from the widget atlas's swatch).
back=$(pixel_of "$src/assets/images/t_interface.png" 319 $((512 - 1 - 155)))
modal_open() { screen_pixel_is 2 2 "$back"; }
modal_closed() { ! screen_pixel_is 2 2 "$back"; }

# Every file of the manifest as it should stand: MD5s, link texts, the
# Linux program executable, and nothing of another platform.
tree_matches() {  # folder, expect prefix, except (a local path or "")
  local folder=$1 expect=$2 except=${3:-}
  [ -d "$folder" ] || return 1
  (cd "$folder" && grep -v "  $except\$" "$expect.md5" | md5sum -c --quiet >/dev/null 2>&1) || return 1
  local path text
  while IFS=$'\t' read -r path text; do
    [ -L "$folder/$path" ] && [ "$(readlink "$folder/$path")" = "$text" ] || return 1
  done <"$expect.links"
  [ -x "$folder/Nimbrel" ] || return 1
  ! find "$folder" \( -name '*.exe' -o -name '*.app' -o -name 'Macintosh' -o -name 'Windows' \
    -o -name 'Linux' \) | grep -q .
}

prefs_say() {  # key value
  grep -qx "$1 $2" "$work/config/Nimbrel Installer.prf" ||
    fail "preferences lack \"$1 $2\": $(cat "$work/config/Nimbrel Installer.prf")"
}

# [SECTION] A new installation

run_app -path "$work/Nimbrel" "--pref:_web_host=$web:$port" "--pref:_shop_host=shop.test:8015"
wait_log "Read the manifest of Nimbrel_900r1"
wait_install_button
shot main-ready

click 758 89 # VISIT SHOP
wait_until 10 test -s "$work/opened" || fail "the shop button opened nothing"
[ "$(cat "$work/opened")" = "http://shop.test:8015/cart.php?m=product_list&c=3" ] ||
  fail "the shop button opened $(cat "$work/opened")"

click 50 750 # preferences
wait_until 20 modal_open || fail "the preferences window did not open"
sleep 0.5
shot prefs
xdotool key Return # closes it, as its close box would
wait_until 20 modal_closed || fail "Return did not close the preferences window"

click 491 89 # INSTALL
agree_to_terms shot terms
sleep 1.5
shot installing
wait_log "INSTALLATION COMPLETE: $work/Nimbrel_900r1/" 120
tree_matches "$work/Nimbrel_900r1" "$work/Nimbrel_900r1" || fail "the installed tree differs"
[ ! -e "$work/Nimbrel" ] || fail "the folder was not renamed after the version"
sleep 0.5
shot main-complete
quit_app
prefs_say _dest_dir_path "$work/Nimbrel_900r1/"
prefs_say _web_host "$web:$port"
[ -z "$(ls -A "$work/tmp")" ] || fail "temporary files left: $(ls -A "$work/tmp")"

# [SECTION] An update over it, with a file the user changed

publish Nimbrel_900r2 "[$(data_files 0)
  {\"path\": \"All/Resources/readme.txt\", \"text\": \"readme of r2\\n\", \"older\": [\"readme of r1\\n\"]},
  {\"path\": \"All/Resources/settings.txt\", \"text\": \"settings of r2\\n\", \"older\": [\"settings of r1\\n\"]},
  {\"path\": \"All/Resources/old/old.txt\", \"text\": \"\", \"gone\": true, \"older\": [\"old of r1\\n\"]},
  {\"path\": \"All/Resources/readme link\", \"link\": \"readme.txt\"},
  {\"path\": \"Linux/Nimbrel\", \"text\": \"#!/bin/sh\\necho r2\\n\", \"mode\": 493, \"platform\": 3, \"older\": [\"#!/bin/sh\\necho r1\\n\"]},
  {\"path\": \"Macintosh/Nimbrel.app/Contents/MacOS/Nimbrel\", \"text\": \"mac r2\", \"platform\": 1},
  {\"path\": \"Windows/Nimbrel.exe\", \"text\": \"win r2\", \"platform\": 2}]"
echo "my own settings" >"$work/Nimbrel_900r1/Resources/settings.txt"
before=$(stat -c %Y "$work/Nimbrel_900r1/Resources/data/part1.bin")

# No option this time: the destination and the web host come from the
# preferences the first run wrote.
run_app
wait_log "Read the manifest of Nimbrel_900r2"
wait_install_button
shot update-ready
click 491 89
agree_to_terms
wait_log "File: $work/Nimbrel_900r1/Resources/settings.txt"
wait_until 20 modal_open || fail "the question window did not open"
sleep 0.5
shot question
click 96 28 "$question_ox" "$question_oy" # KEEP THE OLD FILE
wait_log "Answered: KEEP THE OLD FILE"
wait_log "INSTALLATION COMPLETE: $work/Nimbrel_900r2/" 120
tree_matches "$work/Nimbrel_900r2" "$work/Nimbrel_900r2" Resources/settings.txt ||
  fail "the updated tree differs"
[ "$(cat "$work/Nimbrel_900r2/Resources/settings.txt")" = "my own settings" ] ||
  fail "the user's file was not kept"
[ ! -e "$work/Nimbrel_900r2/Resources/old" ] || fail "the GONE file or its folder is still there"
[ "$(stat -c %Y "$work/Nimbrel_900r2/Resources/data/part1.bin")" = "$before" ] ||
  fail "a current file was fetched again"
sleep 0.5
shot update-complete
quit_app
prefs_say _dest_dir_path "$work/Nimbrel_900r2/"

# [SECTION] SIGTERM in the middle of an install

# The mirrors' slow door: the install is still under way when the signal comes.
server_list Nimbrel_900r2 /slow/sets/
mkdir -p "$work/third"
run_app -path "$work/third"
wait_log "Read the manifest of Nimbrel_900r2"
wait_install_button
click 491 89
agree_to_terms
wait_until 30 test -e "$work/third/Resources/data/part1.bin" || fail "the third install never started"
[ ! -e "$work/third/Resources/readme.txt" ] || fail "the third install ended before SIGTERM"
kill -TERM "$app_pid"
status=0
wait_until 20 sh -c "! kill -0 $app_pid 2>/dev/null" || fail "SIGTERM did not end the program"
wait "$app_pid" || status=$?
app_pid=""
[ "$status" = 0 ] || fail "SIGTERM ended the program with status $status"
prefs_say _dest_dir_path "$work/third/"
[ -z "$(ls -A "$work/tmp")" ] || fail "temporary files left after SIGTERM: $(ls -A "$work/tmp")"
! find "$work/third" -name '.nimbrel-unpacking*' | grep -q . || fail "an unpacking was left half done"

echo "screens e2e: ok (screenshots in $shots)"
