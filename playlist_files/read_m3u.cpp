// Reading an extended M3U playlist into the running batch.
//
// Lines arrive as the line reader delivers them: at most LINE_PIECE_SIZE - 1 bytes at a time,
// a CR LF read as one line feed. A longer line is judged by its first piece
// alone: its further pieces are skipped, and a path line cut that way gives no
// entry, since the cut path would name another file.
#include "playlist_files/playlist_files.h"

#include <climits>
#include <cstdio>
#include <cstring>

// The reader's unit: one read of at most LINE_PIECE_SIZE - 1 bytes and its
// NUL. A path line must hold under MAX_PATH bytes, but an EXTINF line of the
// longest title (255 bytes) behind the longest duration must come whole too,
// or the title would read back other than it was written.
#define LINE_PIECE_SIZE (MAX_PATH + 40)
struct LinePiece {
    char text[LINE_PIECE_SIZE];
};

static int read_piece(TextFile* file, LinePiece* piece) {
    if (text_gets(piece->text, sizeof piece->text, file) == nullptr)
        return 0;
    return 1;
}

// The value of a decimal number read as atoi reads it (leading white space, a
// sign, digits up to the first other byte; none give 0), held to the int range.
static int parse_duration(const char* text) {
    while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
        text++;
    int negative = 0;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; text++) {
        if (value <= INT_MAX)
            value = value * 10 + (*text - '0');
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return (int)value;
}

// A line the reader cut may end inside a character: what is left of it goes.
static void drop_cut_character(char* text) {
    size_t length = strlen(text);
    size_t start = length;
    while (start > 0 && length - start < 3 && ((unsigned char)text[start - 1] & 0xC0) == 0x80)
        start--;
    if (start == 0)
        return;
    unsigned char lead = (unsigned char)text[start - 1];
    size_t size = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (start - 1 + size > length)
        text[start - 1] = '\0';
}

// An EXTINF line is accepted when a comma follows "#EXTINF:" with at least one
// character after it; the duration ends at that comma, the title is the rest
// (of the first piece, for a line longer than the reader takes).
static void read_comment(const char* line, size_t n, int whole) {
    if (n < 11 || strncmp(line + 1, "EXTINF:", 7) != 0)
        return;
    const char* comma = strchr(line + 8, ',');
    if (comma == nullptr || comma[1] == '\0')
        return;
    pending_duration = parse_duration(line + 8);
    snprintf(pending_title, sizeof pending_title, "%s", comma + 1);
    if (!whole)
        drop_cut_character(pending_title);
}

// The name part of a path: what follows its last backslash, or its last
// PATH_SEPARATOR, since a line written on Windows keeps its backslashes.
static const char* name_part_of(const char* path) {
    const char* name = path;
    for (const char* c = path; *c != '\0'; c++) {
        if (*c == '\\' || *c == PATH_SEPARATOR)
            name = c + 1;
    }
    return name;
}

static void read_path(char* line, int usable, const char* directory) {
    // A path that cannot be had whole drops the EXTINF title waiting for it.
    if (!usable) {
        pending_title[0] = '\0';
        return;
    }
    char full_path[MAX_PATH];
    // A drive letter, or on a system whose separator is "/" a leading "/",
    // makes the path absolute.
    if (line[1] == ':' || (PATH_SEPARATOR == '/' && line[0] == '/')) {
        if (strlen(line) >= sizeof full_path) {
            pending_title[0] = '\0';
            return;
        }
        snprintf(full_path, sizeof full_path, "%s", line);
    } else {
        // Relative lines written on Windows use backslashes.
        for (char* c = line; *c != '\0'; c++) {
            if (*c == '\\')
                *c = PATH_SEPARATOR;
        }
        int written = snprintf(full_path, sizeof full_path, "%s%s", directory, line);
        if (written < 0 || written >= (int)sizeof full_path) {
            pending_title[0] = '\0';
            return;
        }
    }
    create_entry(name_part_of(full_path), full_path, pending_title, pending_duration);
}

// One line (or the first piece of a longer one). n counts the line feed.
static void read_line(LinePiece* piece, int whole, const char* directory) {
    char* line = piece->text;
    size_t n = strlen(line);
    if (n > 0 && line[n - 1] == '\n')
        line[n - 1] = '\0';
    if (line[0] == '#') {
        read_comment(line, n, whole);
        return;
    }
    if (n < 4)
        return;
    read_path(line, whole, directory);
}

void read_m3u(const char* path, const char* directory) {
    TextFile* file = text_open_read(path);
    if (file == nullptr)
        return;
    LinePiece pieces[2];
    LinePiece* piece = &pieces[0];
    LinePiece* next = &pieces[1];
    int have = read_piece(file, piece);
    int begins_line = 1;
    while (have) {
        int have_next = read_piece(file, next);
        size_t n = strlen(piece->text);
        // A full read without a line feed is cut, unless the line ends right
        // there: at the end of the file or with a lone line feed next.
        int continues = n == sizeof piece->text - 1 && piece->text[n - 1] != '\n';
        int whole = !continues || !have_next || strcmp(next->text, "\n") == 0;
        if (begins_line)
            read_line(piece, whole, directory);
        begins_line = !continues;
        LinePiece* read = piece;
        piece = next;
        next = read;
        have = have_next;
    }
    text_close(file);
}
