#!/usr/bin/env bash
# Builds the Windows program on Debian with MinGW-w64: build/windows/melodiane.exe,
# build/windows/VBMP3.DLL and the package build/windows/melodiane-windows-x64.zip.
#
# libmpg123 and SDL2 are cross-built from Debian's own source packages, at the
# versions the Linux build uses, and kept outside the checkout keyed by that
# version, so only the first run on a machine builds them. The sources are
# fetched through a private apt state: the machine's apt configuration is
# left as it was.
#
# Usage: scripts/build_windows.sh [BUILD_DIR] [CMAKE_OPTION...]
set -euo pipefail
shopt -s inherit_errexit
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build/windows}")
[ $# -gt 0 ] && shift
cache=${MELODIANE_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/melodiane-windows}
host=x86_64-w64-mingw32
jobs=2
# The same optimisation as a release build on Linux: decoding speed depends on it.
optimise="-O2"

packages=(
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 locales xvfb xauth
  cmake ninja-build make pkg-config dpkg-dev zip
  googletest libmpg123-dev libsdl2-dev
  # The main window's picture for the docs (scripts/screenshot_windows.sh),
  # with Wine's own fonts for the caption buttons' symbols.
  imagemagick x11-utils fonts-wine
)

install_packages() {
  local missing=() p
  for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return
  local sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
}

# The source lines of every suite the machine installs from, as deb-src lines.
write_source_lists() {
  local state=$1 file name
  : >"$state/sources.list"
  rm -f "$state"/sources.list.d/*
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$file" ] || continue
    sed -n 's/^[[:space:]]*deb\(-src\)\{0,1\}\([[:space:]]\)/deb-src\2/p' "$file" \
      >>"$state/sources.list"
  done
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    name=$(basename "$file")
    sed 's/^Types:.*$/Types: deb-src/I' "$file" >"$state/sources.list.d/$name"
  done
}

apt_private() {
  local state=$cache/apt
  local options=(
    -o "Dir::Etc::SourceList=$state/sources.list"
    -o "Dir::Etc::SourceParts=$state/sources.list.d"
    -o "Dir::State::Lists=$state/lists"
    -o "Dir::Cache=$state/cache"
  )
  # The private folders belong to this user; apt's download user could not write them.
  [ "$(id -u)" -eq 0 ] && options+=(-o "APT::Sandbox::User=root")
  apt-get -q "${options[@]}" "$@"
}

# The private lists, refreshed when older than an hour (a cache miss means a
# new version, which fresh lists name).
apt_private_update() {
  local state=$cache/apt
  [ -n "$(find "$state/updated" -mmin -60 2>/dev/null)" ] && return
  mkdir -p "$state/lists/partial" "$state/cache/archives/partial" "$state/sources.list.d"
  write_source_lists "$state"
  # A suite without sources (a vendor's binary-only archive) does not stop the others.
  apt_private update >"$state/update.log" 2>&1 || true
  touch "$state/updated"
}

# Unpacks Debian's source package into a fresh folder; prints that folder.
# apt checks every file it fetches against the signed archive index. Some
# mirrors do not serve the upstream signature (*.asc) that a source package may
# list beside its tarball; that one file is then left out of the unpacking.
fetch_source() {
  local package=$1 version=$2 work=$3 dsc missing
  apt_private_update
  rm -rf "$work"
  mkdir -p "$work"
  (cd "$work" && apt_private source --download-only "$package=$version" >fetch.log 2>&1) || true
  dsc=$(find "$work" -maxdepth 1 -name '*.dsc' | head -n 1)
  if [ -z "$dsc" ]; then
    cat "$work/fetch.log" >&2
    return 1
  fi
  missing=$(awk '/^Files:/ { files = 1; next } /^[^ ]/ { files = 0 } files { print $3 }' "$dsc" |
    while read -r file; do [ -f "$work/$file" ] || echo "$file"; done)
  if echo "$missing" | grep -qv -e '\.asc$' -e '^$'; then
    cat "$work/fetch.log" >&2
    return 1
  fi
  if [ -n "$missing" ]; then
    grep -v '\.asc$' "$dsc" >"$dsc.unpack"
    mv "$dsc.unpack" "$dsc"
  fi
  (cd "$work" && dpkg-source -x "$(basename "$dsc")" >>fetch.log 2>&1) || {
    cat "$work/fetch.log" >&2
    return 1
  }
  find "$work" -mindepth 1 -maxdepth 1 -type d | head -n 1
}

# The Debian source version of an installed package.
source_version() {
  dpkg-query -W -f='${source:Version}' "$1"
}

# Builds a library once per Debian source version into the cache and prints
# its prefix: cached_build NAME DEV_PACKAGE SOURCE_PACKAGE STEPS, where STEPS
# is a function that builds in the unpacked source ($1) and installs into the
# prefix ($2), with the work folder as $3.
cached_build() {
  local name=$1 dev=$2 package=$3 steps=$4 version prefix work source
  version=$(source_version "$dev")
  prefix=$cache/$package-$version
  [ -f "$prefix/.complete" ] && { echo "$prefix"; return; }
  echo "== $name $version for Windows" >&2
  work=$cache/work-$package
  source=$(fetch_source "$package" "$version" "$work")
  rm -rf "$prefix"
  ("$steps" "$source" "$prefix" "$work") >"$work/build.log" 2>&1 || {
    tail -n 40 "$work/build.log" >&2
    return 1
  }
  rm -rf "$work"
  touch "$prefix/.complete"
  echo "$prefix"
}

mpg123_steps() {
  local source=$1 prefix=$2
  cd "$source"
  ./configure --host=$host --prefix="$prefix" CC=$host-gcc-posix CFLAGS="$optimise" \
    --enable-static --disable-shared --with-cpu=x86-64 --disable-network \
    --enable-modules=no --with-audio=dummy
  # Only the decoding library: the output and synthesis libraries beside it
  # are not built.
  make -j$jobs src/libmpg123/libmpg123.la
  make install-libLTLIBRARIES lib_LTLIBRARIES=src/libmpg123/libmpg123.la
  make install-includeHEADERS install-nodist_includeHEADERS
}

sdl2_steps() {
  local source=$1 prefix=$2 work=$3
  # Video stays on: SDL's function table refers to it, and without it SDL
  # does not link. Everything an audio library never touches is left out.
  cmake -S "$source" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="$optimise -DNDEBUG" \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL2_DISABLE_SDL2MAIN=ON \
    -DSDL_JOYSTICK=OFF -DSDL_HAPTIC=OFF -DSDL_HIDAPI=OFF -DSDL_SENSOR=OFF \
    -DSDL_POWER=OFF -DSDL_RENDER=OFF -DSDL_OPENGL=OFF -DSDL_OPENGLES=OFF -DSDL_VULKAN=OFF
  cmake --build "$work/build" -j $jobs
  cmake --install "$work/build"
}

install_packages
mkdir -p "$cache"
# Runs sharing the cache (parallel CI jobs) build each library once, in turn.
exec 9>"$cache/lock"
flock 9
mpg123_prefix=$(cached_build libmpg123 libmpg123-dev mpg123 mpg123_steps)
sdl2_prefix=$(cached_build SDL2 libsdl2-dev libsdl2 sdl2_steps)
exec 9>&-

# A release build at -O2, without debugging sections: nothing on Windows or
# under Wine would read them, and they make each test program three times
# larger to link.
cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="$optimise -DNDEBUG" \
  -DCMAKE_CXX_FLAGS_RELEASE="$optimise -DNDEBUG" -DMELODIANE_WERROR=ON \
  -DMELODIANE_WINDOWS_MPG123="$mpg123_prefix" -DMELODIANE_WINDOWS_SDL2="$sdl2_prefix" "$@" >/dev/null
cmake --build "$build" -j $jobs

# The package: the program, its DLL (without their symbol tables) and the
# read-me, with Windows line ends.
stage=$build/package
rm -rf "$stage"
mkdir -p "$stage"
$host-strip -o "$stage/melodiane.exe" "$build/melodiane.exe"
$host-strip -o "$stage/VBMP3.DLL" "$build/VBMP3.DLL"
sed 's/$/\r/' "$root/docs/LISEZMOI-windows.txt" >"$stage/LISEZMOI.txt"
rm -f "$build/melodiane-windows-x64.zip"
(cd "$stage" && zip -q -X "$build/melodiane-windows-x64.zip" melodiane.exe VBMP3.DLL LISEZMOI.txt)
echo "Windows package: $build/melodiane-windows-x64.zip"
