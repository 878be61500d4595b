#!/usr/bin/env bash
# The Debian package from build to removal: builds it as a release is built
# (prefix /usr, Debian's hardening flags), lets lintian judge it, installs it
# with dpkg, checks every installed piece, runs the installed program as an
# ordinary user under an Xvfb of its own (settings go to the user's
# configuration directory and survive a restart), and removes the package.
#
# It needs root and changes the machine's package set while it runs, so
# anywhere else it skips (exit 77), as it does when a zivsound package is
# already installed: a test must never replace or remove the user's copy.
# ZIV_PACKAGE_BUILD_DIR names a build directory to reuse between runs
# (configured on first use); by default each run builds afresh.
#
# Usage: package_test.sh SOURCE_DIR VERSION
set -euo pipefail

src=$(cd "$1" && pwd -P)
version=$2
app_id=io.github.zivsound.ZIVSound

skip() {
  echo "SKIP: $*"
  exit 77
}
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
step() { echo "== $*"; }

[ "$(id -u)" -eq 0 ] || skip "installing a package with dpkg needs root"
if ! command -v dpkg >/dev/null || ! command -v apt-get >/dev/null; then
  skip "needs dpkg and apt-get"
fi
status=$(dpkg-query -W -f='${Status}' zivsound 2>/dev/null || true)
case "$status" in
  "" | *" not-installed") ;;
  *) skip "a zivsound package is already on this machine ($status); remove it first" ;;
esac

# The tools that build and judge the package, installed the way
# scripts/install-deps.sh installs the rest (a machine that has them all
# spends no time here).
tools=(dpkg-dev file lintian desktop-file-utils appstream man-db xvfb x11-utils)
missing=()
for p in "${tools[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  step "installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

work=$(mktemp -d /tmp/ziv-package.XXXXXX)
# The test user reads the package (for lintian) from here.
chmod 755 "$work"
user=""
installed=0
xvfb=""
keyer=""
cleanup() {
  set +e
  [ -n "$keyer" ] && kill -KILL "$keyer" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  [ "$installed" = 1 ] && dpkg -P zivsound >/dev/null 2>&1
  [ -n "$user" ] && userdel -r "$user" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# ---------------------------------------------------------------- build
build=$(realpath -m "${ZIV_PACKAGE_BUILD_DIR:-$work/build}")
step "building in $build"
cd "$src"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
if ! CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DZIV_BUILD_TESTS=OFF >"$work/configure.log" 2>&1; then
  cat "$work/configure.log" >&2
  fail "configure"
fi
if ! cmake --build "$build" -j"$(nproc)" >"$work/build.log" 2>&1; then
  tail -n 60 "$work/build.log" >&2
  fail "build"
fi
rm -f "$build"/zivsound_*.deb
if ! (cd "$build" && cpack -G DEB) >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  fail "cpack -G DEB"
fi
deb="$build/zivsound_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "cpack made no $deb: $(ls "$build"/*.deb 2>/dev/null)"
cp "$deb" "$work/zivsound.deb"
chmod 644 "$work/zivsound.deb"
deb=$work/zivsound.deb

# ---------------------------------------------------------------- control
step "control fields"
dpkg-deb -f "$deb" Package Version Section Priority Maintainer Depends Recommends
expect_field() {
  local got
  got=$(dpkg-deb -f "$deb" "$1")
  [ "$got" = "$2" ] || fail "$1 is '$got', expected '$2'"
}
expect_field Package zivsound
expect_field Version "$version"
expect_field Section hamradio
expect_field Priority optional
expect_field Recommends "pulseaudio | pipewire-pulse"
depends=$(dpkg-deb -f "$deb" Depends)
# Computed from the binary: a package without them installs and then
# cannot start.
for lib in libqt6widgets6 libpulse0 libsndfile1; do
  [[ "$depends" == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done

# ---------------------------------------------------------------- test user
# An ordinary user, as the program is meant to run: it must not need to
# write anywhere but its own home.
user="zivpkg$$"
useradd -m -s /bin/sh "$user"
home=$(getent passwd "$user" | cut -d: -f6)
uid=$(id -u "$user")
gid=$(id -g "$user")
# setpriv replaces itself with the command where runuser and su stay as
# its parent, so a program started with it in the background (run_keyer) is
# the process that gets the SIGTERM.
as_user() {
  setpriv --reuid="$uid" --regid="$gid" --init-groups -- \
    env -i PATH=/usr/bin:/bin HOME="$home" USER="$user" LANG=C.UTF-8 "$@"
}

# ---------------------------------------------------------------- lintian
step "lintian"
# Errors and warnings fail; the info tags left are listed in the output.
if ! as_user lintian --fail-on error,warning -I "$deb"; then
  fail "lintian found errors or warnings"
fi

# ---------------------------------------------------------------- install
step "dpkg -i"
installed=1
if ! dpkg -i "$deb"; then
  apt-get install -f -y -qq --no-install-recommends
fi
status=$(dpkg-query -W -f='${Status}' zivsound)
[ "$status" = "install ok installed" ] || fail "after dpkg -i the package is '$status'"
dpkg-query -W -f='${Package} ${Version} ${Installed-Size} KiB\n' zivsound
dpkg -L zivsound

step "installed files"
[ -x /usr/bin/ZIVSound ] || fail "/usr/bin/ZIVSound missing"
file -b /usr/bin/ZIVSound | grep -q ', stripped' || fail "/usr/bin/ZIVSound is not stripped: $(file -b /usr/bin/ZIVSound)"
desktop=/usr/share/applications/$app_id.desktop
metainfo=/usr/share/metainfo/$app_id.metainfo.xml
out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"
grep -qx "Icon=$app_id" "$desktop" || fail "the desktop entry names another icon"
grep -qx "Exec=ZIVSound" "$desktop" || fail "the desktop entry starts another command"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
grep -q "<id>$app_id</id>" "$metainfo" || fail "metainfo has another id"
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo has no release $version"
# The metainfo's launchable must name the desktop entry the package ships;
# validate-tree checks that pairing on the package's own tree.
mkdir "$work/tree"
dpkg-deb -x "$deb" "$work/tree"
appstreamcli validate-tree --no-net "$work/tree" || fail "appstreamcli validate-tree"
file -b "/usr/share/icons/hicolor/scalable/apps/$app_id.svg" | grep -q 'SVG' || fail "no SVG icon"
for size in 48 128; do
  png=/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png
  file -b "$png" | grep -q "PNG image data, $size x $size" || fail "$png: $(file -b "$png" 2>&1)"
done
[ "$(man -w ZIVSound)" = /usr/share/man/man1/ZIVSound.1.gz ] || fail "man ZIVSound finds '$(man -w ZIVSound 2>&1)'"
man_out=$(MANWIDTH=80 man --warnings -l /usr/share/man/man1/ZIVSound.1.gz 2>"$work/man.err" | col -b)
[ ! -s "$work/man.err" ] || fail "man page warnings: $(cat "$work/man.err")"
for section in NAME SYNOPSIS DESCRIPTION KEYS FILES ENVIRONMENT "SEE ALSO"; do
  grep -qx "$section" <<<"$man_out" || fail "man page has no $section section"
done
grep -q 'ZIVSound - voice keyer' <<<"$man_out" || fail "man page NAME line"
doc=/usr/share/doc/zivsound
for f in copyright changelog.gz README.md LICENSE; do
  [ -f "$doc/$f" ] || fail "$doc/$f missing"
done
top=$(zcat "$doc/changelog.gz" | head -n 1)
[[ "$top" == "zivsound ($version) "* ]] || fail "changelog's top entry: $top"

# ---------------------------------------------------------------- program
step "ZIVSound --version / --help (no display)"
v_out=$(as_user /usr/bin/ZIVSound --version 2>&1) || fail "--version exited $?: $v_out"
echo "$v_out"
grep -qE "(^|[^0-9.])${version//./\\.}([^0-9.]|$)" <<<"$v_out" || fail "--version does not print $version"
h_out=$(as_user /usr/bin/ZIVSound --help 2>&1) || fail "--help exited $?: $h_out"
grep -q -- '--version' <<<"$h_out" || fail "--help does not list --version: $h_out"

# Our own X server: -displayfd tells the display number once it accepts
# clients; -noreset keeps it from resetting when its last client (xwininfo)
# leaves, which would refuse the program's connection meanwhile.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 1 200); do
  [ -s "$work/display" ] && break
  sleep 0.05
done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
display=":$(tr -d '[:space:]' <"$work/display")"
as_user mkdir -m 700 "$home/run"

run=0
# Starts the installed program as the test user, waits for its window,
# ends it with SIGTERM and expects exit code 0. Arguments: extra VAR=value.
run_keyer() {
  run=$((run + 1))
  # exec: the background subshell becomes the program, so $! is its pid.
  (exec setpriv --reuid="$uid" --regid="$gid" --init-groups -- \
    env -i PATH=/usr/bin:/bin HOME="$home" USER="$user" LANG=C.UTF-8 DISPLAY="$display" \
    XDG_RUNTIME_DIR="$home/run" PULSE_SERVER=unix:/nonexistent "$@" /usr/bin/ZIVSound) \
    2>"$work/stderr.$run" &
  keyer=$!
  local shown=0 code=0
  for _ in $(seq 1 100); do
    if DISPLAY="$display" xwininfo -root -tree 2>/dev/null | grep -q '"Zivsound"'; then
      shown=1
      break
    fi
    kill -0 "$keyer" 2>/dev/null || break
    sleep 0.1
  done
  # Settings are read once the window has appeared; a close before that
  # saves nothing.
  sleep 0.3
  kill -TERM "$keyer" 2>/dev/null || true
  wait "$keyer" || code=$?
  keyer=""
  echo "run $run ($*): shown=$shown exit=$code"
  cat "$work/stderr.$run"
  [ "$shown" = 1 ] || fail "run $run: the window \"Zivsound\" did not appear"
  [ "$code" = 0 ] || fail "run $run: exit code $code"
}

expect_line() {  # FILE LINE
  grep -qxF "$2" "$1" || fail "$1 lacks the line '$2'; it holds:
$(cat "$1")"
}
expect_owned() {
  [ "$(stat -c %U "$1")" = "$user" ] || fail "$1 belongs to $(stat -c %U "$1"), not $user"
}

step "first run, XDG_CONFIG_HOME set"
xdg=$home/xdg-config
run_keyer XDG_CONFIG_HOME="$xdg"
ini=$xdg/ZIVSound/ZIVSound.ini
[ -f "$ini" ] || fail "no settings at $ini"
expect_owned "$ini"
[ "$(head -n 1 "$ini")" = "[ZIV SOUND]" ] || fail "$ini does not start with [ZIV SOUND]"
expect_line "$ini" "X=100"
expect_line "$ini" "Y=100"
expect_line "$ini" "Port=0"
[ ! -e "$home/.config/ZIVSound" ] || fail "settings went to ~/.config although XDG_CONFIG_HOME was set"

step "second run: changed settings are read and saved back"
# The file is in Windows-1257: in a UTF-8 locale ".*" would stop at the
# first byte that is not UTF-8.
as_user LC_ALL=C sed -i -e 's/^X=.*/X=123/' -e 's/^Y=.*/Y=77/' -e 's/^Label1=.*/Label1=CQ/' "$ini"
run_keyer XDG_CONFIG_HOME="$xdg"
expect_line "$ini" "X=123"
expect_line "$ini" "Y=77"
expect_line "$ini" "Label1=CQ"

step "third run: no XDG_CONFIG_HOME, so ~/.config"
run_keyer
home_ini=$home/.config/ZIVSound/ZIVSound.ini
[ -f "$home_ini" ] || fail "no settings at $home_ini"
expect_owned "$home_ini"
expect_line "$home_ini" "X=100"
expect_line "$ini" "X=123"

kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null || true
xvfb=""

# ---------------------------------------------------------------- removal
step "dpkg -r"
dpkg -r zivsound
[ ! -e /usr/bin/ZIVSound ] || fail "/usr/bin/ZIVSound left after dpkg -r"
[ ! -e "$desktop" ] || fail "$desktop left after dpkg -r"
[ ! -e "$metainfo" ] || fail "$metainfo left after dpkg -r"
# Purging is left only when files marked as configuration stayed behind.
status=$(dpkg-query -W -f='${Status}' zivsound 2>/dev/null || true)
[[ "$status" != *" config-files" ]] || dpkg -P zivsound
installed=0
status=$(dpkg-query -W -f='${Status}' zivsound 2>/dev/null || true)
case "$status" in
  "" | *" not-installed") ;;
  *) fail "after dpkg -P the package is '$status'" ;;
esac
echo "PASS"
