#!/usr/bin/env bash
# Makes the decoder's test fixtures in tests/fixtures from sox tones encoded
# with lame. Tags lame cannot write (ID3v2.4, UTF-8 and UTF-16 text, ID3v2.2)
# are written with python3-mutagen or by hand. Each file lasts a few seconds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/tests/fixtures"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
py=/usr/bin/python3

# tone NAME SECONDS RATE CHANNELS [sox synth arguments...]; no dither, so the
# files come out the same every time.
tone() {
    local name=$1 seconds=$2 rate=$3 channels=$4
    shift 4
    local synth=("$@")
    [ ${#synth[@]} -eq 0 ] && synth=(sine 440)
    sox -D -n -r "$rate" -c "$channels" -b 16 "$work/$name.wav" synth "$seconds" "${synth[@]}" gain -6
}

# encode NAME WAV [lame options...]: keeps the tone's sample rate (lame would
# lower it for low bit rates).
encode() {
    local name=$1 wav=$2
    shift 2
    local khz
    khz=$(awk "BEGIN { print $(soxi -r "$work/$wav.wav") / 1000 }")
    lame --quiet --resample "$khz" "$@" "$work/$wav.wav" "$out/$name.mp3"
}

# id3 FILE VERSION ENCODING [title] [artist]: replaces the tags with an ID3v2
# tag of that version (3 or 4) and text encoding (0 Latin-1, 1 UTF-16, 3 UTF-8).
id3() {
    "$py" - "$@" <<'EOF'
import sys
from mutagen.id3 import ID3, TIT2, TPE1, TALB, Encoding
path, version, encoding = sys.argv[1], int(sys.argv[2]), Encoding(int(sys.argv[3]))
title = sys.argv[4] if len(sys.argv) > 4 else ""
artist = sys.argv[5] if len(sys.argv) > 5 else ""
tags = ID3()
if title:
    tags.add(TIT2(encoding=encoding, text=[title]))
if artist:
    tags.add(TPE1(encoding=encoding, text=[artist]))
tags.add(TALB(encoding=encoding, text=["Album"]))
tags.save(path, v1=0, v2_version=version)
EOF
}

# Constant and variable bit rate, mono and stereo, at the four usual rates.
tone s44 3 44100 2
tone m48 2 48000 1
tone s22 2 22050 2
tone m32 2 32000 1
encode cbr_44k_stereo_v23 s44 -b 64 --id3v2-only --tt "Chanson claire" --ta "Artiste Un"
encode vbr_48k_mono_v24_utf8 m48 -V 6
id3 "$out/vbr_48k_mono_v24_utf8.mp3" 4 3 "Caf$(printf '\xc3\xa9') 5 $(printf '\xe2\x82\xac') $(printf '\xc5\x81')\
$(printf '\xf0\x9f\x8e\xb5')" "Ren$(printf '\xc3\xa9')e"
encode cbr_22k_stereo_v24_utf16 s22 -b 32
id3 "$out/cbr_22k_stereo_v24_utf16.mp3" 4 1 "$(printf '\xc3\x80') la claire fontaine" "Chorale"
encode vbr_32k_mono_v23_utf16 m32 -V 7
id3 "$out/vbr_32k_mono_v23_utf16.mp3" 3 1 "Na$(printf '\xc3\xaf')ve" "$(printf '\xc3\x89')lodie"
encode cbr_44k_v24_latin1 s44 -b 64
id3 "$out/cbr_44k_v24_latin1.mp3" 4 0 "D$(printf '\xc3\xa9')j$(printf '\xc3\xa0') vu" "Fran$(printf '\xc3\xa7')oise"

# MPEG 2.5: the lowest rates.
tone m8 1 8000 1
encode mpeg25_8k_mono m8 -b 32

# Which tag fields are present.
tone s1 1 44100 2
encode id3v1_only s1 -b 64 --id3v1-only --tt "Titre v1" --ta "Artiste v1"
encode no_tag s1 -b 64
encode artist_only s1 -b 64 --id3v2-only --ta "Seul artiste"
encode title_only s1 -b 64 --id3v2-only --tt "Seul titre"
encode leading_space s1 -b 64 --id3v2-only --tt " Espace devant" --ta "Artiste"
long=$(printf 'Titre tres long %.0s' $(seq 1 20))
encode long_title s1 -b 64 --id3v2-only --tt "$long" --ta "Artiste"

# ID3v2.2 (three-letter frames), written by hand: mutagen only writes 2.3 and 2.4.
encode id3v22 s1 -b 64
"$py" - "$out/id3v22.mp3" <<'EOF'
import sys
def frame(name, text):
    body = b"\x00" + text.encode("latin-1")
    return name + len(body).to_bytes(3, "big") + body
frames = frame(b"TT2", "Vieux format") + frame(b"TP1", "Ancien artiste") + b"\x00" * 16
size = len(frames)
syncsafe = bytes([(size >> 21) & 127, (size >> 14) & 127, (size >> 7) & 127, size & 127])
path = sys.argv[1]
audio = open(path, "rb").read()
open(path, "wb").write(b"ID3\x02\x00\x00" + syncsafe + frames + audio)
EOF

# No Info header: the duration comes from the stream itself.
encode cbr_no_info s44 -b 64 -t

# A continuous tone cut in two at a point that is not a frame boundary: played
# gaplessly, the second file's first samples follow the first file's last ones.
tone long 2.5 44100 2 sine 440
sox -D "$work/long.wav" "$work/gap_a.wav" trim 0 1.3
sox -D "$work/long.wav" "$work/gap_b.wav" trim 1.3
encode gapless_a gap_a -b 128
encode gapless_b gap_b -b 128

# A 60 Hz and a 3 kHz tone of equal level, for the equalizer.
sox -D -n -r 44100 -c 2 -b 16 "$work/eq.wav" synth 2 sine 60 synth 2 sine mix 3000 gain -9
encode eq_tones eq -b 128

# A stream whose rate and channel count change in the middle.
tone part1 1 44100 2
tone part2 1 22050 1
lame --quiet --resample 44.1 -b 64 -t "$work/part1.wav" "$work/part1.mp3"
lame --quiet --resample 22.05 -b 32 -t "$work/part2.wav" "$work/part2.mp3"
cat "$work/part1.mp3" "$work/part2.mp3" >"$out/format_change.mp3"

# Bad input.
: >"$out/empty.mp3"
printf 'Ceci est un fichier texte, pas de la musique.\n%.0s' $(seq 1 50) >"$out/text.mp3"
head -c 12000 "$out/cbr_44k_stereo_v23.mp3" >"$out/truncated.mp3"
{
    head -c 8000 "$out/cbr_44k_stereo_v23.mp3"
    "$py" -c 'import random, sys; random.seed(3); sys.stdout.buffer.write(bytes(random.randrange(256) for _ in range(4000)))'
    tail -c +12001 "$out/cbr_44k_stereo_v23.mp3"
} >"$out/corrupted.mp3"

ls -l "$out"
