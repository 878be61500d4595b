#!/usr/bin/env bash
# shellcheck disable=SC2015 # "A && B || fail" fails when either fails
# The Debian package from build to removal: builds it as a release is built
# (prefix /usr, Debian's hardening flags), lets lintian judge it, installs it
# with dpkg, checks every installed piece, runs the installed program as an
# ordinary user under an Xvfb of its own (settings go to the user's
# configuration directory and survive a restart), and removes the package.
#
# It needs root and changes the machine's package set while it runs, so
# anywhere else it skips (exit 77), as it does when a zivsound package is
# already installed: a test must never replace or remove the user's copy.
# ZIV_PACKAGE_BUILD_DIR names a build directory to reuse between runs.
#
# Usage: package_test.sh SOURCE_DIR VERSION
set -euo pipefail
src=$(cd "$1" && pwd -P)
version=$2
app_id=io.github.zivsound.ZIVSound
skip() { echo "SKIP: $*" && exit 77; }
fail() { echo "FAIL: $*" >&2 && exit 1; }
removed() { [[ "$(dpkg-query -W -f='${Status}' zivsound 2>/dev/null || true)" =~ ^$|not-installed$ ]]; }

[ "$(id -u)" -eq 0 ] || skip "installing a package with dpkg needs root"
command -v dpkg >/dev/null || skip "needs dpkg"
removed || skip "a zivsound package is already on this machine; remove it first"
# scripts/install-deps.sh installs these.
for tool in dpkg-buildflags lintian desktop-file-validate appstreamcli man file Xvfb xwininfo; do
  command -v $tool >/dev/null || fail "$tool missing: run scripts/install-deps.sh"
done

work=$(mktemp -d /tmp/ziv-package.XXXXXX)
chmod 755 "$work" # the test user reads the package (for lintian) from here
user="" installed=0 xvfb="" keyer=""
cleanup() {
  set +e
  [ -n "$keyer" ] && kill -KILL "$keyer" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  [ "$installed" = 1 ] && dpkg -P zivsound >/dev/null 2>&1
  [ -n "$user" ] && userdel -f -r "$user" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
# Runs a step with its output kept; shows the output when it fails.
quiet() { "$@" >"$work/step.log" 2>&1 || { tail -n 60 "$work/step.log" >&2 && fail "$*"; }; }

build=$(realpath -m "${ZIV_PACKAGE_BUILD_DIR:-$work/build}")
echo "== building in $build"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" quiet cmake -S "$src" -B "$build" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr -DZIV_BUILD_TESTS=OFF
quiet cmake --build "$build" -j"$(nproc)"
rm -f "$build"/zivsound_*.deb
(cd "$build" && quiet cpack -G DEB)
deb=$work/zivsound.deb
cp "$build/zivsound_${version}_$(dpkg --print-architecture).deb" "$deb" && chmod 644 "$deb"

echo "== control fields"
dpkg-deb -f "$deb" Package Version Section Priority Recommends Depends | tee "$work/control"
for field in "Package: zivsound" "Version: $version" "Section: hamradio" "Priority: optional" \
  "Recommends: pulseaudio | pipewire-pulse"; do
  grep -qxF "$field" "$work/control" || fail "control lacks '$field'"
done
# Computed from the binary: a package without them installs and cannot start.
for lib in libqt6widgets6 libpulse0 libsndfile1; do
  grep -q "^Depends:.*$lib" "$work/control" || fail "Depends lacks $lib"
done

# An ordinary user, as the program is meant to run: it must not need to
# write anywhere but its own home. setpriv replaces itself with the command
# (runuser and su stay as its parent), so a program started with it in the
# background is the process that gets the SIGTERM.
user="zivpkg$$"
useradd -m -s /bin/sh "$user"
home=$(getent passwd "$user" | cut -d: -f6)
as_user() {
  setpriv --reuid="$user" --regid="$user" --init-groups -- \
    env -i PATH=/usr/bin:/bin HOME="$home" USER="$user" LANG=C.UTF-8 "$@"
}

echo "== lintian (errors and warnings fail)"
as_user lintian --fail-on error,warning -I "$deb" || fail "lintian"

echo "== dpkg -i"
installed=1
dpkg -i "$deb" || apt-get install -f -y -qq --no-install-recommends
[ "$(dpkg-query -W -f='${Status}' zivsound)" = "install ok installed" ] || fail "not installed"
dpkg -L zivsound

echo "== installed files"
exe=/usr/bin/ZIVSound
file -b $exe | grep -q ', stripped' || fail "$exe is not stripped: $(file -b $exe)"
desktop=/usr/share/applications/$app_id.desktop
metainfo=/usr/share/metainfo/$app_id.metainfo.xml
out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ] || fail "desktop-file-validate: $out"
grep -qx "Icon=$app_id" "$desktop" && grep -qx "Exec=ZIVSound" "$desktop" || fail "$desktop"
grep -q "<id>$app_id</id>" "$metainfo" || fail "metainfo has another id"
# validate-tree also checks that the metainfo's launchable names the
# desktop entry the package ships.
dpkg-deb -x "$deb" "$work/tree"
appstreamcli validate-tree --no-net "$work/tree" || fail "appstreamcli validate-tree"
icons=/usr/share/icons/hicolor
file -b "$icons/scalable/apps/$app_id.svg" | grep -q SVG || fail "no SVG icon"
for size in 48 128; do
  png=$icons/${size}x${size}/apps/$app_id.png
  file -b "$png" | grep -q "PNG image data, $size x $size" || fail "$png: $(file -b "$png" 2>&1)"
done
[ "$(man -w ZIVSound)" = /usr/share/man/man1/ZIVSound.1.gz ] || fail "man ZIVSound: $(man -w ZIVSound 2>&1)"
man_out=$(MANWIDTH=80 man --warnings -l /usr/share/man/man1/ZIVSound.1.gz 2>"$work/man.err" | col -b)
[ ! -s "$work/man.err" ] || fail "man page warnings: $(cat "$work/man.err")"
for line in NAME SYNOPSIS DESCRIPTION KEYS FILES ENVIRONMENT "SEE ALSO" "ZIVSound - voice keyer.*"; do
  grep -qx " *$line" <<<"$man_out" || fail "man page lacks '$line'"
done
doc=/usr/share/doc/zivsound
ls "$doc"/{copyright,README.md,LICENSE} >/dev/null || fail "documentation missing"
[[ "$(zcat $doc/changelog.gz | head -n 1)" == "zivsound ($version) "* ]] || fail "changelog"

echo "== the installed program"
out=$(as_user $exe --version 2>&1) || fail "--version exited $?: $out"
grep -qE "(^|[^0-9.])${version//./\\.}([^0-9.]|$)" <<<"$out" || fail "--version: $out"
out=$(as_user $exe --help 2>&1) && grep -q -- --version <<<"$out" || fail "--help: $out"

# Our own X server: -displayfd tells the display once it takes clients;
# -noreset keeps it up when its last client (xwininfo) leaves.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 200); do [ -s "$work/display" ] && break || sleep 0.05; done
display=":$(tr -d '[:space:]' <"$work/display" || true)"
[ "$display" != : ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
as_user mkdir -m 700 "$home/run"
xdg=$home/xdg-config
ini=$xdg/ZIVSound/ZIVSound.ini

# Starts the installed program as the test user, waits for its window, ends
# it with SIGTERM and expects exit code 0.
run_keyer() {
  (exec setpriv --reuid="$user" --regid="$user" --init-groups -- env -i PATH=/usr/bin:/bin \
    HOME="$home" USER="$user" LANG=C.UTF-8 DISPLAY="$display" XDG_RUNTIME_DIR="$home/run" \
    XDG_CONFIG_HOME="$xdg" PULSE_SERVER=unix:/nonexistent $exe) &
  keyer=$!
  local shown=0 code=0
  for _ in $(seq 100); do
    DISPLAY="$display" xwininfo -root -tree 2>/dev/null | grep -q '"Zivsound"' && shown=1 && break
    kill -0 "$keyer" 2>/dev/null || break
    sleep 0.1
  done
  sleep 0.3 # settings are read once the window is up; a close before saves nothing
  kill -TERM "$keyer" 2>/dev/null || true
  wait "$keyer" || code=$?
  keyer=""
  [ "$shown" = 1 ] && [ "$code" = 0 ] || fail "$1: window shown=$shown, exit code $code"
}
expect_lines() { # FILE LINE...
  local f=$1 line
  shift
  for line; do grep -qxF "$line" "$f" || fail "$f lacks '$line'; it holds: $(cat "$f")"; done
}

echo "== first run: settings in \$XDG_CONFIG_HOME, the user's"
run_keyer "first run"
[ "$(stat -c %U "$ini")" = "$user" ] || fail "$ini: $(stat -c %U "$ini" 2>&1)"
[ "$(head -n 1 "$ini")" = "[ZIV SOUND]" ] || fail "$ini does not start with [ZIV SOUND]"
expect_lines "$ini" X=100 Y=100 Port=0
[ ! -e "$home/.config/ZIVSound" ] || fail "settings went to ~/.config too"

echo "== second run: changed settings are read and saved back"
# Windows-1257 text: in a UTF-8 locale ".*" would stop at its first byte
# that is not UTF-8.
as_user LC_ALL=C sed -i -e 's/^X=.*/X=123/' -e 's/^Y=.*/Y=77/' -e 's/^Label1=.*/Label1=CQ/' "$ini"
run_keyer "second run"
expect_lines "$ini" X=123 Y=77 Label1=CQ

echo "== dpkg -r"
dpkg -r zivsound
for f in $exe "$desktop" "$metainfo"; do [ ! -e "$f" ] || fail "$f left after dpkg -r"; done
removed || dpkg -P zivsound # purged only when configuration files stayed behind
installed=0
removed || fail "zivsound is still installed after dpkg -P"
echo "PASS"
