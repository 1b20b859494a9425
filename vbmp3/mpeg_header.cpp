#include "vbmp3/mpeg_header.h"

static const int bitrates[5][15] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448}, // MPEG 1 layer 1
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},    // MPEG 1 layer 2
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},     // MPEG 1 layer 3
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},    // MPEG 2 layer 1
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};        // MPEG 2 layers 2, 3

static const int rates[3] = {44100, 48000, 32000};

bool mpeg_parse_header(const unsigned char* p, MpegFrame* frame) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) {
        return false;
    }
    int version_bits = p[1] >> 3 & 3;
    int layer_bits = p[1] >> 1 & 3;
    int bitrate_index = p[2] >> 4;
    int rate_index = p[2] >> 2 & 3;
    if (version_bits == 1 || layer_bits == 0 || bitrate_index == 0 || bitrate_index == 15 ||
        rate_index == 3) {
        return false;
    }
    frame->version = version_bits == 3 ? 1 : version_bits == 2 ? 2 : 3;
    frame->layer = 4 - layer_bits;
    int table = frame->version == 1 ? frame->layer - 1 : frame->layer == 1 ? 3 : 4;
    frame->bitrate = bitrates[table][bitrate_index];
    frame->rate = rates[rate_index] >> (frame->version - 1);
    frame->mode = p[3] >> 6;
    frame->channels = frame->mode == 3 ? 1 : 2;
    int padding = p[2] >> 1 & 1;
    if (frame->layer == 1) {
        frame->samples_per_frame = 384;
        frame->bytes = (12000 * frame->bitrate / frame->rate + padding) * 4;
    } else {
        frame->samples_per_frame = frame->layer == 3 && frame->version != 1 ? 576 : 1152;
        frame->bytes = frame->samples_per_frame / 8 * 1000 * frame->bitrate / frame->rate + padding;
    }
    return true;
}

static int64_t big_endian32(const unsigned char* p) {
    return static_cast<int64_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

MpegSummary mpeg_parse_summary(const unsigned char* p, size_t size, const MpegFrame& frame) {
    MpegSummary summary = {false, false, -1, -1, 0};
    if (frame.layer != 3) {
        return summary;
    }
    // The Xing/Info header follows the side information, whose size depends
    // on the version and the channel count.
    size_t side =
        frame.version == 1 ? (frame.channels == 1 ? 17 : 32) : (frame.channels == 1 ? 9 : 17);
    size_t at = 4 + side;
    if (at + 8 <= size && (p[at] == 'X' || p[at] == 'I')) {
        bool xing = p[at] == 'X' && p[at + 1] == 'i' && p[at + 2] == 'n' && p[at + 3] == 'g';
        bool info = p[at] == 'I' && p[at + 1] == 'n' && p[at + 2] == 'f' && p[at + 3] == 'o';
        if (xing || info) {
            summary.found = true;
            summary.vbr = xing;
            int64_t flags = big_endian32(p + at + 4);
            size_t field = at + 8;
            if ((flags & 1) && field + 4 <= size) {
                summary.frames = big_endian32(p + field);
                field += 4;
            }
            if ((flags & 2) && field + 4 <= size) {
                summary.bytes = big_endian32(p + field);
                field += 4;
            }
            field += (flags & 4) ? 100 : 0;
            field += (flags & 8) ? 4 : 0;
            // A LAME extension holds the encoder delay and padding: 12 bits each.
            if (field + 24 <= size && p[field] == 'L' && p[field + 1] == 'A' &&
                p[field + 2] == 'M' && p[field + 3] == 'E') {
                const unsigned char* trim = p + field + 21;
                summary.trimmed = (trim[0] << 4 | trim[1] >> 4) + ((trim[1] & 0x0F) << 8 | trim[2]);
            }
            return summary;
        }
    }
    at = 4 + 32;
    if (at + 18 <= size && p[at] == 'V' && p[at + 1] == 'B' && p[at + 2] == 'R' &&
        p[at + 3] == 'I') {
        summary.found = true;
        summary.vbr = true;
        summary.bytes = big_endian32(p + at + 10);
        summary.frames = big_endian32(p + at + 14);
    }
    return summary;
}
