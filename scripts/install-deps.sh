#!/usr/bin/env bash
# Installs every package needed to build, run and test the keyer on Debian 12.
# Idempotent: a machine that already has everything spends no time here.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git ccache python3 python3-numpy python3-pytest
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libsndfile1-dev libsamplerate0-dev libpulse-dev
  # CAT keying is tested against Hamlib's rigctld and its dummy radio.
  libhamlib-utils
  libgtest-dev libgmock-dev
  pulseaudio pulseaudio-utils
  # The end-to-end tests also run on PipeWire, headless on a session bus of their own.
  pipewire pipewire-bin pipewire-pulse wireplumber dbus
  xvfb xauth x11-utils
  sox xdotool openbox imagemagick x11-apps
  dpkg-dev file lintian desktop-file-utils appstream man-db
  # The Windows flavour: MinGW-w64 with posix threads, GoogleTest's sources
  # to build with it, and Wine (with what its windows need) to run it.
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev googletest
  wine wine64 fonts-wine libxrender1 libxrandr2 libxi6 libxcursor1 libxfixes3
  libxinerama1 libxcomposite1
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}" >&2
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
