#!/usr/bin/env bash
# Installs the Debian packages Melodiane needs to build, run and test,
# skipping the package manager entirely when everything is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libgl-dev qt6-translations-l10n
  libmpg123-dev libsdl2-dev
  fonts-liberation
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  lame sox python3-mutagen
  libtag1-dev mpg123
  pulseaudio pulseaudio-utils
  clang libclang-rt-14-dev clang-format
  xvfb xauth
  dbus-daemon libglib2.0-bin
  appstream dpkg-dev desktop-file-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
