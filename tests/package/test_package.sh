#!/usr/bin/env bash
# Kestrine as a user installs it: builds the Debian package from the build folder, checks it with
# lintian and its file list, unpacks it into a temporary root and runs that root's executable:
# a command-line copy, --version and --help, the manual page, the desktop entry and metadata,
# and the window under X with HOME and the XDG folders in the temporary folder.
# Arguments: build folder, version.
set -uo pipefail

build=$(cd "$1" && pwd)
version=$2
here=$(cd "$(dirname "$0")" && pwd)
app_id=org.example.kestrine.Kestrine

tmp=$(mktemp -d)
failures=0
kestrine_pid=""
cleanup() {
  if [ -n "$kestrine_pid" ]; then kill "$kestrine_pid" 2>/dev/null; fi
  if declare -F stop_xvfb >/dev/null; then stop_xvfb; fi
  rm -rf "$tmp"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
must() {
  echo "FAIL: $*" >&2
  exit 1
}

# --- The package ---
deb=$tmp/out/kestrine_${version}_amd64.deb
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1; then
  cat "$tmp/cpack.log" >&2
  must "cpack failed"
fi
[ -f "$deb" ] || must "no $deb; made: $(ls "$tmp/out")"

lintian -I --tag-display-limit 0 "$deb" >"$tmp/lintian.log" 2>&1
if grep -q '^E:' "$tmp/lintian.log"; then
  cat "$tmp/lintian.log" >&2
  fail "lintian reports errors"
fi
# Built as the archive builds: hardened, no compiler notes left in the programs.
if grep -E 'hardening-|binary-has-unneeded-section' "$tmp/lintian.log" >&2; then
  fail "lintian finds the programs built unlike the archive's"
fi

fields=$(dpkg-deb --field "$deb" Package Version Architecture Depends Recommends)
for want in "Package: kestrine" "Version: $version" "Architecture: amd64" "libqt6svg6" \
  "xdg-utils" "libqt6widgets6" "libc6" "Recommends: xchm"; do
  grep -qF "$want" <<<"$fields" || fail "the control fields lack \"$want\": $fields"
done

# Exactly the files an installation needs, nothing left over from the build.
icons=""
for size in 16 22 24 32 48 64 128 256 512; do
  icons+="./usr/share/icons/hicolor/${size}x${size}/apps/kestrine.png"$'\n'
done
expected=$(sort <<EOF
./usr/bin/kestrine
./usr/lib/x86_64-linux-gnu/kestrine/libkestrine-windows.so
./usr/share/applications/$app_id.desktop
./usr/share/doc/kestrine/README.md
./usr/share/doc/kestrine/changelog.gz
./usr/share/doc/kestrine/copyright
./usr/share/doc/kestrine/hex-viewer.png
./usr/share/doc/kestrine/main-window.png
${icons}./usr/share/icons/hicolor/scalable/apps/kestrine.svg
./usr/share/lintian/overrides/kestrine
./usr/share/man/man1/kestrine.1.gz
./usr/share/metainfo/$app_id.metainfo.xml
EOF
)
listed=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
[ "$listed" = "$expected" ] || fail "the package holds other files:
$(diff <(echo "$expected") <(echo "$listed"))"

root=$tmp/root
dpkg-deb -x "$deb" "$root" || must "dpkg-deb -x failed"
exe=$root/usr/bin/kestrine
# The system's C++ library, which security updates reach, not a copy of it.
readelf -d "$exe" | grep -q 'NEEDED.*\[libstdc++\.so\.6\]' ||
  fail "the executable does not use the system's libstdc++"
home=$tmp/home
mkdir -p "$home"
# A run that finds no display and no Qt platform of the build's environment.
run() {
  env -i PATH="$PATH" HOME="$home" LANG=C.UTF-8 XDG_CONFIG_HOME="$home/config" \
    XDG_CACHE_HOME="$home/cache" "$@"
}

# --- Command line: a copy takes L + 1 bytes from the start position ---
head -c 4096 /dev/urandom >"$tmp/source.bin"
run timeout 60 "$exe" "$tmp/source.bin" "$tmp/part two.bin" 400d 5ffh >"$tmp/copy.out" 2>&1
status=$?
[ $status -eq 0 ] || fail "the copy ended with $status: $(cat "$tmp/copy.out")"
tail -c +401 "$tmp/source.bin" | head -c 1536 >"$tmp/expected.bin"
cmp -s "$tmp/expected.bin" "$tmp/part two.bin" || fail "the copy holds other bytes"
grep -q $'^Copying finished.\r$' "$tmp/copy.out" || fail "no end line: $(cat "$tmp/copy.out")"

run timeout 60 "$exe" "$tmp/source.bin" "$tmp/bad.bin" 400 0d >"$tmp/bad.out" 2>&1
status=$?
[ $status -eq 1 ] || fail "a start without d or h ended with $status"
grep -q '^ERROR: Start position was not specified correctly' "$tmp/bad.out" ||
  fail "no ERROR line for a start without d or h: $(cat "$tmp/bad.out")"

# --- --version and --help: standard output, status 0, no display needed ---
out=$(run timeout 30 "$exe" --version 2>"$tmp/version.err")
status=$?
want="Kestrine - Version $(cut -d. -f1-2 <<<"$version") Release $(cut -d. -f3 <<<"$version") Build $(cut -d. -f4 <<<"$version")"
[ $status -eq 0 ] && [ "$out" = "$want"$'\r' ] && [ ! -s "$tmp/version.err" ] ||
  fail "--version: status $status, \"$out\", errors \"$(cat "$tmp/version.err")\""
out=$(run timeout 30 "$exe" --help 2>"$tmp/help.err")
status=$?
[ $status -eq 0 ] && [[ "$out" == "Usage: kestrine <source> <destination> <start pos> <offset>"* ]] &&
  [ ! -s "$tmp/help.err" ] || fail "--help: status $status, \"$out\""

# --- Manual page, desktop entry, metadata ---
man=$root/usr/share/man/man1/kestrine.1.gz
zcat "$man" >"$tmp/kestrine.1"
warnings=$(groff -ww -z -man "$tmp/kestrine.1" 2>&1) || fail "groff failed"
[ -z "$warnings" ] || fail "the manual page warns: $warnings"
rendered=$(MANWIDTH=80 man -l "$man" 2>"$tmp/man.err")
[ ! -s "$tmp/man.err" ] || fail "man: $(cat "$tmp/man.err")"
for section in NAME SYNOPSIS "EXIT STATUS" DIAGNOSTICS FILES EXAMPLES "SEE ALSO"; do
  grep -q "^$section" <<<"$rendered" || fail "the manual page has no $section"
done
grep -q "Kestrine $version" <<<"$rendered" || fail "the manual page names another version"

desktop-file-validate "$root/usr/share/applications/$app_id.desktop" >"$tmp/desktop.log" 2>&1 ||
  fail "desktop-file-validate: $(cat "$tmp/desktop.log")"
appstreamcli validate --pedantic --no-net "$root/usr/share/metainfo/$app_id.metainfo.xml" \
  >"$tmp/appstream.log" 2>&1 || fail "appstreamcli: $(cat "$tmp/appstream.log")"
grep -q 'https\?://' "$root/usr/share/metainfo/$app_id.metainfo.xml" &&
  fail "the metadata names an address: $(grep 'https\?://' "$root/usr/share/metainfo/$app_id.metainfo.xml")"
# Every picture the installed README shows is installed beside it.
doc=$root/usr/share/doc/kestrine
pictures=$(grep -o '](\([^)]*\.png\))' "$doc/README.md" | sed 's/^](\(.*\))$/\1/')
[ -n "$pictures" ] || fail "the installed README shows no picture"
for picture in $pictures; do
  [ -f "$doc/$picture" ] || fail "the README shows $picture, which is not installed"
done
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/$app_id.metainfo.xml" ||
  fail "the metadata names another release"
# One release date for the manual page, the metadata and the changelog.
released=$(sed -n 's/^\.TH KESTRINE 1 \([0-9-]*\) .*/\1/p' "$tmp/kestrine.1")
grep -q "<release version=\"$version\" date=\"$released\"" \
  "$root/usr/share/metainfo/$app_id.metainfo.xml" || fail "the metadata's release is not of $released"
zcat "$root/usr/share/doc/kestrine/changelog.gz" | grep -q "^kestrine ($version) " ||
  fail "the changelog names another version"
zcat "$root/usr/share/doc/kestrine/changelog.gz" | grep -q "  $(LC_ALL=C date -u -d "$released" '+%a, %d %b %Y') " ||
  fail "the changelog's entry is not of $released"

# --- The window, with the settings in the user's XDG folders ---
# A server of its own, not the suite's: the window grabs F1 for the whole display and takes the
# focus, which the other window tests running beside this one rely on.
# shellcheck source=scripts/xvfb.sh
source "$here/../../scripts/xvfb.sh"
touch "$tmp/stamp"
sleep 1 # whole-second times: anything written after the stamp is newer than it
start_xvfb
[ "$display" != ":" ] || must "Xvfb did not start"
run DISPLAY="$display" QT_QPA_PLATFORM=xcb "$exe" >"$tmp/window.out" 2>&1 &
kestrine_pid=$!
id=""
for _ in $(seq 600); do
  id=$(DISPLAY=$display xdotool search --onlyvisible --name '^Kestrine$' 2>/dev/null | head -1)
  [ -n "$id" ] && break
  kill -0 "$kestrine_pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$id" ]; then
  fail "the window never appeared: $(cat "$tmp/window.out")"
else
  # The desktop finds the entry by the window's class, and the window names the entry itself.
  entry=$root/usr/share/applications/$app_id.desktop
  wm_class=$(DISPLAY=$display xprop -id "$id" WM_CLASS | sed -n 's/.*= "[^"]*", "\([^"]*\)"$/\1/p')
  startup_class=$(sed -n 's/^StartupWMClass=//p' "$entry")
  [ -n "$wm_class" ] && [ "$wm_class" = "$startup_class" ] ||
    fail "WM_CLASS \"$wm_class\" is not the desktop entry's StartupWMClass \"$startup_class\""
  grep -qx 'StartupNotify=true' "$entry" || fail "the desktop entry asks for no start-up notice"
  DISPLAY=$display xdotool windowfocus --sync "$id" key alt+x
  for _ in $(seq 200); do
    kill -0 "$kestrine_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$kestrine_pid" 2>/dev/null; then
    fail "Alt+X did not end the program"
  else
    wait "$kestrine_pid"
    status=$?
    [ $status -eq 0 ] || fail "the window run ended with $status: $(cat "$tmp/window.out")"
  fi
  kestrine_pid=""
  grep -qs '^\[Kestrine\]' "$home/config/kestrine/Kestrine.ini" ||
    fail "no Kestrine.ini in the XDG config folder: $(cd "$home" && find . | sort)"
  left=$(ls -A "$home/config/kestrine")
  [ "$left" = "Kestrine.ini" ] || fail "the settings folder holds more than Kestrine.ini: $left"
  written=$(find "$root" -newer "$tmp/stamp")
  [ -z "$written" ] || fail "written into the installation: $written"
fi

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "package $(basename "$deb"): every check passed"
