#include "vbmp3/fileinfo.h"

#include "vbmp3/mpeg_header.h"
#include "vbmp3/open_file.h"
#include "vbmp3/tag_text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// The head of the file read in one go: it holds the tag and the first frames
// of nearly every file.
static const size_t head_size = 64 * 1024;
// How far past the tag a first frame is looked for.
static const int64_t sync_search = 64 * 1024;
// Largest tag read whole when it must be decoded as a block.
static const int64_t whole_tag_limit = 4 * 1024 * 1024;

static bool seek_to(FILE* file, int64_t offset, int whence) {
#ifdef _WIN32
    return _fseeki64(file, offset, whence) == 0;
#else
    return fseeko(file, offset, whence) == 0;
#endif
}

static int64_t position_of(FILE* file) {
#ifdef _WIN32
    return _ftelli64(file);
#else
    return ftello(file);
#endif
}

// Random access to the file, served from a block read in one go (the head of
// the file, later where the audio starts) when it covers the range.
struct Source {
    FILE* file;
    int64_t file_size;
    std::vector<unsigned char> head;
    int64_t head_at; // file offset of head[0]
    std::vector<unsigned char> scratch;
};

// Reads the block at offset into head. False when nothing could be read.
static bool load_block(Source& source, int64_t offset, size_t size) {
    source.head.resize(size);
    size_t got = 0;
    if (seek_to(source.file, offset, SEEK_SET)) {
        got = fread(source.head.data(), 1, size, source.file);
    }
    source.head.resize(got);
    source.head_at = offset;
    return got > 0;
}

// Pointer to n bytes at offset, or null when they are not all in the file.
static const unsigned char* bytes_at(Source& source, int64_t offset, size_t n) {
    if (offset < 0 || offset + static_cast<int64_t>(n) > source.file_size) {
        return nullptr;
    }
    if (offset >= source.head_at && offset + static_cast<int64_t>(n) <=
                                        source.head_at + static_cast<int64_t>(source.head.size())) {
        return source.head.data() + (offset - source.head_at);
    }
    source.scratch.resize(n);
    if (!source.file || !seek_to(source.file, offset, SEEK_SET) ||
        fread(source.scratch.data(), 1, n, source.file) != n) {
        return nullptr;
    }
    return source.scratch.data();
}

// A field holds what fits of the text, cut at a character boundary.
static void copy_field(char* field, size_t field_size, const std::string& text) {
    size_t n = utf8_cut(text.data(), text.size(), field_size - 1);
    memcpy(field, text.data(), n);
    field[n] = 0;
}

// ---- ID3v2 ------------------------------------------------------------------

struct Id3Fields {
    std::string title, artist, album, year, comment, genre, track;
    bool title_set = false, artist_set = false;
};

static uint32_t syncsafe32(const unsigned char* p) {
    return (p[0] & 0x7F) << 21 | (p[1] & 0x7F) << 14 | (p[2] & 0x7F) << 7 | (p[3] & 0x7F);
}

static uint32_t big32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

// Undoes unsynchronisation: every 0xFF 0x00 pair loses its 0x00.
static void resynchronise(std::vector<unsigned char>& data) {
    size_t out = 0;
    for (size_t i = 0; i < data.size(); i++) {
        data[out++] = data[i];
        if (data[i] == 0xFF && i + 1 < data.size() && data[i + 1] == 0x00) {
            i++;
        }
    }
    data.resize(out);
}

// Text of a comment frame: encoding, language, a description, then the text.
static std::string comment_text(const unsigned char* body, size_t size) {
    if (size < 4) {
        return {};
    }
    int encoding = body[0];
    size_t at = 4;
    bool wide = encoding == 1 || encoding == 2;
    while (at < size) {
        if (wide) {
            if (at + 1 < size && body[at] == 0 && body[at + 1] == 0) {
                at += 2;
                break;
            }
            at += 2;
        } else {
            if (body[at++] == 0) {
                break;
            }
        }
    }
    if (at >= size) {
        return {};
    }
    return utf8_from_id3_text(encoding, body + at, size - at);
}

static void take_frame(Id3Fields& fields, const char* id, const unsigned char* body, size_t size) {
    if (size < 1) {
        return;
    }
    if (strcmp(id, "COMM") == 0 || strcmp(id, "COM") == 0) {
        if (fields.comment.empty()) {
            fields.comment = comment_text(body, size);
        }
        return;
    }
    std::string text = utf8_from_id3_text(body[0], body + 1, size - 1);
    if (strcmp(id, "TIT2") == 0 || strcmp(id, "TT2") == 0) {
        fields.title = text;
        fields.title_set = true;
    } else if (strcmp(id, "TPE1") == 0 || strcmp(id, "TP1") == 0) {
        fields.artist = text;
        fields.artist_set = true;
    } else if (strcmp(id, "TALB") == 0 || strcmp(id, "TAL") == 0) {
        fields.album = text;
    } else if (strcmp(id, "TYER") == 0 || strcmp(id, "TDRC") == 0 || strcmp(id, "TYE") == 0) {
        // A recording time begins with its year.
        fields.year = text.substr(0, utf8_cut(text.data(), text.size(), 4));

    } else if (strcmp(id, "TCON") == 0 || strcmp(id, "TCO") == 0) {
        fields.genre = text;
    } else if (strcmp(id, "TRCK") == 0 || strcmp(id, "TRK") == 0) {
        fields.track = text;
    }
}

static bool wanted_frame(const char* id) {
    static const char* const wanted[] = {"TIT2", "TPE1", "TALB", "TYER", "TDRC",
                                         "COMM", "TCON", "TRCK", "TT2",  "TP1",
                                         "TAL",  "TYE",  "COM",  "TCO",  "TRK"};
    for (const char* name : wanted) {
        if (strcmp(id, name) == 0) {
            return true;
        }
    }
    return false;
}

// Walks the frames of the tag whose frames lie at [start, end) of the source.
static void read_id3v2_frames(Source& source, int version, int64_t start, int64_t end,
                              Id3Fields& fields) {
    size_t header_size = version == 2 ? 6 : 10;
    int64_t at = start;
    while (at + static_cast<int64_t>(header_size) <= end) {
        const unsigned char* h = bytes_at(source, at, header_size);
        if (!h || h[0] == 0) {
            return; // padding
        }
        char id[5] = {0, 0, 0, 0, 0};
        uint32_t size;
        int flags = 0;
        if (version == 2) {
            memcpy(id, h, 3);
            size = h[3] << 16 | h[4] << 8 | h[5];
        } else {
            memcpy(id, h, 4);
            size = version == 4 ? syncsafe32(h + 4) : big32(h + 4);
            flags = h[8] << 8 | h[9];
        }
        int64_t body_at = at + header_size;
        if (body_at + size > end) {
            return;
        }
        at = body_at + size;
        if (!wanted_frame(id) || size == 0 || size > 1024 * 1024) {
            continue;
        }
        bool unsync = false;
        size_t skip = 0;
        if (version == 3) {
            if (flags & 0x00C0) {
                continue; // compressed or encrypted
            }
            skip += (flags & 0x0020) ? 1 : 0;
        } else if (version == 4) {
            if (flags & 0x000C) {
                continue;
            }
            skip += (flags & 0x0040) ? 1 : 0;
            skip += (flags & 0x0001) ? 4 : 0;
            unsync = flags & 0x0002;
        }
        if (skip >= size) {
            continue;
        }
        const unsigned char* body = bytes_at(source, body_at + skip, size - skip);
        if (!body) {
            return;
        }
        if (unsync) {
            std::vector<unsigned char> copy(body, body + size - skip);
            resynchronise(copy);
            take_frame(fields, id, copy.data(), copy.size());
        } else {
            take_frame(fields, id, body, size - skip);
        }
    }
}

// Reads the ID3v2 tag at the start of the file; the result is the offset just
// past it, 0 when there is none.
static int64_t read_id3v2(Source& source, Id3Fields& fields) {
    const unsigned char* h = bytes_at(source, 0, 10);
    if (!h || memcmp(h, "ID3", 3) != 0 || h[3] < 2 || h[3] > 4 ||
        (h[6] | h[7] | h[8] | h[9]) & 0x80) {
        return 0;
    }
    int version = h[3];
    int flags = h[5];
    int64_t size = syncsafe32(h + 6);
    int64_t end = 10 + size + ((version == 4 && (flags & 0x10)) ? 10 : 0);
    int64_t frames_end = 10 + size;
    if (frames_end > source.file_size) {
        frames_end = source.file_size;
    }
    int64_t start = 10;
    if (version == 2 && (flags & 0x40)) {
        return end; // compressed: no known way to read it
    }
    if (version == 3 && (flags & 0x80)) {
        // The whole tag is unsynchronised, frame headers included: decode it as a block.
        if (size > whole_tag_limit) {
            return end;
        }
        const unsigned char* all = bytes_at(source, 10, static_cast<size_t>(frames_end - 10));
        if (!all) {
            return end;
        }
        std::vector<unsigned char> block(all, all + (frames_end - 10));
        resynchronise(block);
        Source memory = {nullptr, static_cast<int64_t>(block.size()), std::move(block), 0, {}};
        int64_t first = 0;
        if ((flags & 0x40) && memory.file_size >= 4) {
            first = 4 + big32(memory.head.data());
        }
        read_id3v2_frames(memory, version, first, memory.file_size, fields);
        return end;
    }
    if (flags & 0x40) {
        const unsigned char* ext = bytes_at(source, 10, 4);
        if (!ext) {
            return end;
        }
        start += version == 4 ? syncsafe32(ext) : 4 + big32(ext);
    }
    // ID3v2.4 marks each unsynchronised frame itself; the header flag only says so for all.
    read_id3v2_frames(source, version, start, frames_end, fields);
    return end;
}

// ---- ID3v1 ------------------------------------------------------------------

static std::string id3v1_field(const unsigned char* p, size_t n) {
    size_t length = 0;
    while (length < n && p[length] != 0) {
        length++;
    }
    bool full = length == n;
    while (length > 0 && p[length - 1] == ' ') {
        length--;
        full = false;
    }
    return utf8_from_tag_bytes(reinterpret_cast<const char*>(p), length, full);
}

static bool read_id3v1(Source& source, Id3Fields& fields) {
    const unsigned char* t = bytes_at(source, source.file_size - 128, 128);
    if (!t || memcmp(t, "TAG", 3) != 0) {
        return false;
    }
    if (!fields.title_set) {
        fields.title = id3v1_field(t + 3, 30);
    }
    if (!fields.artist_set) {
        fields.artist = id3v1_field(t + 33, 30);
    }
    if (fields.album.empty()) {
        fields.album = id3v1_field(t + 63, 30);
    }
    if (fields.year.empty()) {
        fields.year = id3v1_field(t + 93, 4);
    }
    bool has_track = t[125] == 0 && t[126] != 0;
    if (fields.comment.empty()) {
        fields.comment = id3v1_field(t + 97, has_track ? 28 : 30);
    }
    if (fields.track.empty() && has_track) {
        fields.track = std::to_string(t[126]);
    }
    return true;
}

// ---- Stream -----------------------------------------------------------------

// Finds the first frame at or after from: a valid header followed by another
// one of the same kind (or by the end of the data).
static int64_t find_first_frame(Source& source, int64_t from, int64_t audio_end, MpegFrame* frame) {
    int64_t limit = from + sync_search;
    for (int64_t at = from; at + 4 <= audio_end && at < limit; at++) {
        const unsigned char* p = bytes_at(source, at, 4);
        if (!p) {
            return -1;
        }
        if (p[0] != 0xFF || !mpeg_parse_header(p, frame)) {
            continue;
        }
        int64_t next_at = at + frame->bytes;
        if (next_at + 4 > audio_end) {
            return at;
        }
        const unsigned char* n = bytes_at(source, next_at, 4);
        MpegFrame next;
        if (n && mpeg_parse_header(n, &next) && next.version == frame->version &&
            next.layer == frame->layer && next.rate == frame->rate) {
            return at;
        }
    }
    return -1;
}

static void read_stream(Source& source, int64_t audio_start, int64_t audio_end, VBMP3_INFO* info) {
    MpegFrame frame;
    // A large tag (pictures) puts the audio beyond the head block: read the
    // block where the audio starts instead of the file a few bytes at a time.
    int64_t block_end = source.head_at + static_cast<int64_t>(source.head.size());
    if (audio_start + 16 * 1024 > block_end && block_end < source.file_size && source.file) {
        load_block(source, audio_start, head_size);
    }
    int64_t first = find_first_frame(source, audio_start, audio_end, &frame);
    if (first < 0) {
        return;
    }
    info->version = frame.version;
    info->layer = frame.layer;
    info->bitrate = frame.bitrate;
    info->frequency = frame.rate;
    info->channels = frame.channels;
    info->mode = frame.mode;
    info->header_bytes = static_cast<int>(first < 0x7FFFFFFF ? first : 0x7FFFFFFF);

    size_t available =
        static_cast<size_t>(audio_end - first < frame.bytes ? audio_end - first : frame.bytes);
    const unsigned char* p = bytes_at(source, first, available);
    MpegSummary summary =
        p ? mpeg_parse_summary(p, available, frame) : MpegSummary{false, false, -1, -1, 0};
    int64_t samples = -1;
    if (summary.found && summary.frames > 0) {
        samples = summary.frames * frame.samples_per_frame - summary.trimmed;
        if (samples < 0) {
            samples = 0;
        }
        info->frames = static_cast<int>(summary.frames < 0x7FFFFFFF ? summary.frames : 0x7FFFFFFF);
        info->vbr = summary.vbr ? 1 : 0;
        int64_t bytes = summary.bytes > 0 ? summary.bytes : audio_end - first - frame.bytes;
        if (summary.vbr && samples > 0) {
            info->bitrate = static_cast<int>(bytes * 8 * frame.rate / samples / 1000);
        }
    } else {
        // No summary: the stream length at the first frame's bit rate, which is
        // exact for a constant bit rate.
        int64_t bytes = audio_end - first;
        int64_t frame_count = bytes / frame.bytes;
        info->frames = static_cast<int>(frame_count < 0x7FFFFFFF ? frame_count : 0x7FFFFFFF);
        samples = bytes * 8 * frame.rate / (frame.bitrate * 1000);
    }
    info->samples = static_cast<int>(samples < 0x7FFFFFFF ? samples : 0x7FFFFFFF);
    info->length = static_cast<int>(samples / frame.rate);
}

bool fileinfo_read(const char* path, VBMP3_TAG_INFO* tag, VBMP3_INFO* info) {
    VBMP3_TAG_INFO tag_scratch;
    VBMP3_INFO info_scratch;
    tag = tag ? tag : &tag_scratch;
    info = info ? info : &info_scratch;
    memset(tag, 0, sizeof *tag);
    memset(info, 0, sizeof *info);
    if (!path) {
        return false;
    }
    FILE* file = open_regular_file(path);
    if (!file) {
        return false;
    }
    Source source{file, 0, {}, 0, {}};
    source.head.resize(head_size);
    size_t got = fread(source.head.data(), 1, head_size, file);
    if (ferror(file)) {
        fclose(file);
        return false;
    }
    source.head.resize(got);
    if (got < head_size) {
        source.file_size = static_cast<int64_t>(got);
    } else if (seek_to(file, 0, SEEK_END)) {
        source.file_size = position_of(file);
    }
    info->file_size =
        static_cast<int>(source.file_size < 0x7FFFFFFF ? source.file_size : 0x7FFFFFFF);

    Id3Fields fields;
    int64_t audio_start = read_id3v2(source, fields);
    info->has_id3v2 = audio_start > 0;
    info->has_id3v1 = read_id3v1(source, fields);
    int64_t audio_end = source.file_size - (info->has_id3v1 ? 128 : 0);
    read_stream(source, audio_start, audio_end, info);
    fclose(file);

    copy_field(tag->title, sizeof tag->title, fields.title);
    copy_field(tag->artist, sizeof tag->artist, fields.artist);
    copy_field(tag->album, sizeof tag->album, fields.album);
    copy_field(tag->year, sizeof tag->year, fields.year);
    copy_field(tag->comment, sizeof tag->comment, fields.comment);
    copy_field(tag->genre, sizeof tag->genre, fields.genre);
    tag->track = atoi(fields.track.c_str());
    return true;
}
