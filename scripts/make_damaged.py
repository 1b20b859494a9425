#!/usr/bin/env python3
"""Makes a corpus of damaged MP3 files from the test fixtures.

    make_damaged.py OUT_DIR [FIXTURES_DIR]

Writes into OUT_DIR (created when missing) files cut at many points, files
with bytes flipped, ID3v2 tags whose sizes run past the end of the file, an
empty file, random bytes named .mp3 and a directory named like an MP3. The
same files come out every time (fixed random seeds). Prints the names made,
one a line, in the order a test should add them.
"""
import os
import random
import sys


def syncsafe(size):
    return bytes([(size >> 21) & 127, (size >> 14) & 127, (size >> 7) & 127, size & 127])


def id3_size(data):
    """Length of the ID3v2 tag at the start of data (header included), or 0."""
    if len(data) < 10 or data[:3] != b"ID3":
        return 0
    s = data[6:10]
    return 10 + ((s[0] << 21) | (s[1] << 14) | (s[2] << 7) | s[3])


def main():
    out = sys.argv[1]
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    fixtures = sys.argv[2] if len(sys.argv) > 2 else os.path.join(root, "tests", "fixtures")
    os.makedirs(out, exist_ok=True)
    names = []

    def write(name, data):
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
        names.append(name)

    def fixture(name):
        with open(os.path.join(fixtures, name), "rb") as f:
            return f.read()

    tagged = fixture("cbr_44k_stereo_v23.mp3")  # ID3v2.3 tag, then 64 kbit/s frames
    vbr = fixture("vbr_48k_mono_v24_utf8.mp3")  # ID3v2.4 tag, Xing header, variable rate
    bare = fixture("cbr_no_info.mp3")  # frames only
    v1 = fixture("id3v1_only.mp3")  # frames, then a 128-byte ID3v1 tag

    # Cut at many points: inside the tag header, inside the tag, at its end,
    # inside the first frame header and frame, and further on.
    for label, data in (("tagged", tagged), ("vbr", vbr), ("bare", bare), ("v1", v1)):
        tag = id3_size(data)
        points = {1, 3, 4, 9, 10, 11, tag - 1, tag, tag + 1, tag + 2, tag + 3, tag + 4,
                  tag + 100, tag + 417, tag + 1000, len(data) // 3, len(data) // 2,
                  len(data) - 129, len(data) - 1}
        for point in sorted(p for p in points if 0 < p < len(data)):
            write("cut_%s_%06d.mp3" % (label, point), data[:point])

    # Bytes flipped: a few, many, and a whole run, at seeded places.
    rng = random.Random(8)
    for label, data in (("tagged", tagged), ("vbr", vbr), ("bare", bare)):
        for count in (1, 16, 256, 4096):
            damaged = bytearray(data)
            for _ in range(count):
                at = rng.randrange(len(damaged))
                damaged[at] ^= 1 << rng.randrange(8)
            write("flip_%s_%04d.mp3" % (label, count), bytes(damaged))
        damaged = bytearray(data)
        start = id3_size(data)
        for at in range(start, min(len(damaged), start + 2000)):
            damaged[at] = rng.randrange(256)
        write("flip_%s_run.mp3" % label, bytes(damaged))

    # ID3v2 tags whose sizes claim more than the file holds.
    audio = bare
    write("id3_huge_size.mp3", b"ID3\x03\x00\x00" + syncsafe(0x0FFFFFFF) + audio)
    write("id3_size_past_end.mp3", b"ID3\x04\x00\x00" + syncsafe(len(audio) + 10) + audio)
    frame = b"TIT2" + (0x7FFFFFFF).to_bytes(4, "big") + b"\x00\x00\x00Titre"
    write("id3_frame_past_tag.mp3", b"ID3\x03\x00\x00" + syncsafe(len(frame)) + frame + audio)
    frame = b"TIT2" + syncsafe(5000) + b"\x00\x00\x03Titre"
    write("id3_v24_frame_past_end.mp3", b"ID3\x04\x00\x00" + syncsafe(len(frame)) + frame)
    extended = syncsafe(0x0FFFFFFF) + b"\x01\x00"
    write("id3_extended_header_huge.mp3",
          b"ID3\x04\x00\x40" + syncsafe(len(extended)) + extended + audio)
    write("id3_header_only.mp3", b"ID3\x03\x00\x00" + syncsafe(100))
    write("id3_twice_nested.mp3",
          b"ID3\x03\x00\x00" + syncsafe(20) + b"ID3\x03\x00\x00" + syncsafe(0x0FFFFFFF) + audio)
    write("id3v1_only_tag.mp3", v1[-128:])

    # Nothing at all; random bytes; a text file.
    write("vide.mp3", b"")
    rng = random.Random(11)
    for size in (1, 4, 417, 4096, 100000):
        write("hasard_%06d.mp3" % size, bytes(rng.randrange(256) for _ in range(size)))
    write("sync_only.mp3", b"\xff\xfb\x90\x64" * 3000)
    write("texte.mp3", b"Pas de musique ici.\n" * 200)

    # A directory named like an MP3 file.
    os.makedirs(os.path.join(out, "dossier.mp3"), exist_ok=True)
    names.append("dossier.mp3")

    print("\n".join(names))


if __name__ == "__main__":
    main()
