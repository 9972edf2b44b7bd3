#!/usr/bin/env bash
# Two releases from the builder to a user's folder, the way the product
# ships them. The builder program packs a master copy that a test script
# makes; nginx on loopback serves the set and a server list naming it; under
# Xvfb the real installer, started on an empty folder, is clicked through
# INSTALL and AGREE, and the tree it leaves is checked against the manifest
# with md5sum. Then the master changes (a file changed, one added, one
# removed), the second release is built from the first's manifest, and the
# installer, run again on the same folder, brings it up to date.
set -euo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
. "$src/tests/support/e2e_lib.sh"

e2e_begin loop
log="$work/app/Log.txt"
fail() {
  echo "FAIL: $*" >&2
  e2e_report
  exit 1
}

for tool in Xvfb xdotool nginx convert import md5sum unzip curl python3; do
  command -v "$tool" >/dev/null || fail "$tool is missing (tools/setup.sh installs it)"
done
[ -x "$build/nimbrel_builder" ] || fail "no builder in $build (configure with -DNIMBREL_BUILDER=ON)"
start_xvfb || fail "no display could be started"

addr=127.0.16.101
port=$(free_port "$addr")
mkdir -p "$work/www/sets" "$work/tmp" "$work/home" "$work/config" "$work/data" "$work/cache" \
  "$work/app" "$work/Nimbrel"
start_nginx "  server { listen $addr:$port; root $work/www; }" "$addr:$port"
# The program writes its log beside itself, so it runs from a copy.
cp "$build/nimbrel_installer" "$work/app/"
python3 "$src/tests/installer/builder/make_master.py" "$work/master"

# [SECTION] Releases

# Builds the master into a folder of its own, serves the set under the
# version name and names it in the server list; its manifest is left,
# unzipped, in $work/<version>.txt.
release() {  # version name, previous release's manifest (or nothing)
  local name=$1 out="$work/out-$1" set
  mkdir -p "$out"
  BUILDER="$build/nimbrel_builder" BUILDER_LOG="$work/$name.builder.log" \
    bash "$src/tools/build_set.sh" "$work/master/" "$out/" ${2:+"$2"} >"$work/out.txt" 2>&1 ||
    fail "the builder did not make $name"
  set=$(find "$out" -mindepth 1 -maxdepth 1 -type d)
  [ -f "$set/directory.txt.zip" ] || fail "the builder wrote no manifest for $name"
  ln -s "$set" "$work/www/sets/$name"
  unzip -p "$set/directory.txt.zip" directory.txt >"$work/$name.txt"
  printf 'I\n820 version\nSERVERS\n\nFINAL %s\nSERVER %s:%s\n/sets/\nA set of the builder on loopback\nENDOFLIST\n' \
    "$name" "$addr" "$port" >"$work/www/serverlist.txt"
}

# The manifest as the previous version of the builder would have left it:
# the builder refuses to carry forward lines holding its own version number.
aged() {  # manifest, result
  local version
  version=$(awk '/^FILE / { print $4; exit }' "$1")
  sed -E "s/^(FILE -?[0-9]+ -?[0-9]+ )$version /\\1$((version - 1)) /" "$1" >"$2"
}

# Each history's last line, read by the tests' own reader of the format:
# "platform<TAB>signature<TAB>path".
last_lines() {  # manifest
  python3 "$src/tests/installer/builder/read_manifest.py" "$1" |
    awk '/^  / { split(substr($0, 3), f, " "); platform = f[2]; sig = f[6]; next }
         { if (path != "") print platform "\t" sig "\t" path; path = $0 }
         END { if (path != "") print platform "\t" sig "\t" path }'
}

# The installed folder as the manifest says a Linux install stands: every
# current file of All and Linux (less its platform folder) by md5sum, a link
# by the MD5 of its text, GONE files and other platforms' files absent, and
# the Linux program executable.
tree_matches() {  # folder, manifest
  local folder=$1 platform sig path rel files=0
  : >"$work/expect.md5"
  while IFS=$'\t' read -r platform sig path; do
    rel=${path#*/}
    if [ "$sig" = GONE ] || { [ "$platform" != 0 ] && [ "$platform" != 3 ] && [ "$platform" != 6 ]; }; then
      [ ! -e "$folder/$rel" ] && [ ! -L "$folder/$rel" ] || fail "$rel should not be installed"
    elif [ -L "$folder/$rel" ]; then
      [ "$(printf %s "$(readlink "$folder/$rel")" | md5sum | cut -d' ' -f1)" = "$sig" ] ||
        fail "the link $rel does not hold the manifest's text"
      files=$((files + 1))
    else
      echo "$sig  $rel" >>"$work/expect.md5"
      files=$((files + 1))
    fi
  done < <(last_lines "$2")
  [ "$files" -gt 10 ] || fail "the manifest names only $files files for Linux"
  (cd "$folder" && md5sum -c --quiet "$work/expect.md5") >&2 || fail "files of $folder differ"
  [ -x "$folder/nimbrel" ] || fail "the Linux program is not executable"
}

# Starts the installer, clicks INSTALL and AGREE, waits for the end and quits.
install_clicked() {  # version name, arguments of the program
  local name=$1
  shift
  run_app "$@"
  wait_log "Read the manifest of $name"
  wait_install_button
  click 491 89 # INSTALL
  agree_to_terms
  wait_log "INSTALLATION COMPLETE: $work/$name/" 60
  quit_app
}

# [SECTION] The first release into an empty folder

release Nimbrel_Loop1
install_clicked Nimbrel_Loop1 -path "$work/Nimbrel" "--pref:_web_host=$addr:$port" \
  "--pref:_shop_host=$addr:$port"
tree_matches "$work/Nimbrel_Loop1" "$work/Nimbrel_Loop1.txt"
[ -f "$work/Nimbrel_Loop1/Weapons/bomb.wpn" ] || fail "the first release lacks bomb.wpn"
[ ! -e "$work/Nimbrel_Loop1/Resources/Thumbs.db" ] || fail "the builder shipped junk"

# [SECTION] The second release over it

master=$work/master
printf 'Read me second.\n' >"$master/All/Instructions/Manual with blanks.txt"
printf 'missile\n' >"$master/All/Weapons/missile.wpn"
rm "$master/All/Weapons/bomb.wpn"
printf '#!/bin/sh\necho nimbrel 2\n' >"$master/Linux/nimbrel"
aged "$work/Nimbrel_Loop1.txt" "$work/aged.txt"
release Nimbrel_Loop2 "$work/aged.txt"
last_lines "$work/Nimbrel_Loop2.txt" | grep -qP '^0\tGONE\tAll/Weapons/bomb.wpn$' ||
  fail "no GONE line for the removed file: $(cat "$work/Nimbrel_Loop2.txt")"

# No option this time: the folder and the host come from the preferences the
# first run wrote.
install_clicked Nimbrel_Loop2
folder=$work/Nimbrel_Loop2
tree_matches "$folder" "$work/Nimbrel_Loop2.txt"
[ "$(cat "$folder/Instructions/Manual with blanks.txt")" = "Read me second." ] ||
  fail "the changed file was not updated"
[ "$(cat "$folder/Weapons/missile.wpn")" = missile ] || fail "the new file is missing"
[ ! -e "$folder/Weapons/bomb.wpn" ] || fail "the removed file is still installed"
[ "$("$folder/nimbrel")" = "nimbrel 2" ] || fail "the Linux program was not updated"
[ -z "$(ls -A "$work/tmp")" ] || fail "temporary files left: $(ls -A "$work/tmp")"
echo "builder loop e2e: ok"
