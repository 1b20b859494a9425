#!/usr/bin/env bash
# Compiles the program's own code against the real Windows headers (MinGW-w64),
# syntax only, so that the Windows build stays one step away.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
status=0
for f in playlist/*.cpp playlist_files/*.cpp playback/*.cpp equalizer/*.cpp settings/*.cpp app/*.cpp; do
    [ -e "$f" ] || continue
    x86_64-w64-mingw32-g++ -std=c++20 -fsyntax-only -Wall -Wextra -Werror -I. "$f" || status=1
done
[ $status -eq 0 ] && echo "Windows headers: all sources compile"
exit $status
