#!/usr/bin/env bash
# Takes the picture of the main window under Wine shown in docs/windows.md:
# melodiane.exe from a Windows build (scripts/build_windows.sh) started in an
# empty folder with a playlist of three tracks, on Wine's own virtual screen,
# captured with ImageMagick's import into docs/images/windows-main.png.
#
#   scripts/screenshot_windows.sh [BUILD_DIR] [OUTPUT.png]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build/windows}")
output=$(realpath -m "${2:-$root/docs/images/windows-main.png}")
[ -f "$build/melodiane.exe" ] || {
    echo "no melodiane.exe in $build: run scripts/build_windows.sh first" >&2
    exit 1
}

source "$root/scripts/wine_env.sh"
folder=$(mktemp -d)
stop() {
    wine_env_stop
    rm -rf "$folder"
}
trap stop EXIT
wine_env_start "$build/wine-screenshot"
# Wine draws the caption buttons with its Marlett font (fonts-wine), which this
# Wine finds only among the prefix's own fonts.
cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"

# Names with accents, and tracks with and without tags, as a user's list has.
fixtures=$root/tests/fixtures
cp "$fixtures/cbr_44k_stereo_v23.mp3" "$folder/Chanson claire.mp3"
cp "$fixtures/no_tag.mp3" "$folder/Été à Québec.mp3"
cp "$fixtures/cbr_44k_v24_latin1.mp3" "$folder/Mélodie du soir.mp3"
printf '%s\r\n' "Chanson claire.mp3" "Été à Québec.mp3" "Mélodie du soir.mp3" |
    iconv -f UTF-8 -t WINDOWS-1252 >"$folder/Froulard.m3u"

(cd "$folder" && setsid wine "$build/melodiane.exe" </dev/null >/dev/null 2>&1 &)
# The settings are written last at start; then the window is up and painted
# once the program waits for input.
window=
for _ in $(seq 600); do
    if grep -q 'activateeq=0' "$folder/Froulard.ini" 2>/dev/null; then
        window=$(xwininfo -root -tree | awk '/"Melodiane"/ { print $1; exit }')
        [ -n "$window" ] && break
    fi
    sleep 0.1
done
[ -n "$window" ] || {
    echo "the main window never opened" >&2
    exit 1
}
sleep 1
mkdir -p "$(dirname "$output")"
import -window "$window" "png:$output"
echo "$output"
