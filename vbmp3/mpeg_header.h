// MPEG audio frame headers and the Xing, Info and VBRI headers of a first frame.
#pragma once

#include <cstddef>
#include <cstdint>

// What one frame header says.
struct MpegFrame {
    int version;           // 1, 2, or 3 for 2.5
    int layer;             // 1, 2 or 3
    int bitrate;           // kbit/s
    int rate;              // samples per second
    int channels;          // 1 or 2
    int mode;              // 0 stereo, 1 joint, 2 dual channel, 3 mono
    int samples_per_frame; // per channel
    int bytes;             // whole frame, header included
};

// Parses the four header bytes at p. False when they are no valid frame header
// (free-format frames included, since their length cannot be known).
bool mpeg_parse_header(const unsigned char* p, MpegFrame* frame);

// What a Xing/Info or VBRI header in a first frame says.
struct MpegSummary {
    bool found;      // one of them is there
    bool vbr;        // "Xing" or VBRI rather than "Info"
    int64_t frames;  // audio frames after the header frame, -1 when not given
    int64_t bytes;   // audio bytes, -1 when not given
    int64_t trimmed; // encoder delay plus padding from a LAME extension, else 0
};

// Looks for the headers inside the frame at p (size bytes available from p).
MpegSummary mpeg_parse_summary(const unsigned char* p, size_t size, const MpegFrame& frame);
