// Windows-style text-mode files over whole-file reads and atomic replacement,
// the same on both platforms.
#include "platform/textfile.h"

#include "platform/files/file_text.h"
#include "platform/files/whole_file.h"

#include "codepage/utf8.h"

#include <cstring>
#include <string>
#include <vector>

struct TextFile {
    // Reading: the whole file as the program's text.
    std::string content;
    size_t position;
    std::vector<bool> invalid; // per byte: not UTF-8 in a marked file; empty: none
    bool last_piece_lossy;
    // Writing: the replacement under way and the whole text, held until the
    // commit since the encoding depends on all of it.
    AtomicFile* replacement;
    std::string pending;
    bool utf8_only; // an ".m3u8" playlist: UTF-8 by definition
};

static bool ends_in_m3u8(const char* path) {
    size_t length = std::strlen(path);
    if (length < 5)
        return false;
    const char* end = path + length - 5;
    return end[0] == '.' && (end[1] | 0x20) == 'm' && end[2] == '3' && (end[3] | 0x20) == 'u' &&
           end[4] == '8';
}

TextFile* text_open_read(const char* path) {
    if (!path)
        return nullptr;
    TextFile* file = new TextFile{};
    bool exists = false;
    if (!read_whole_file(path, &file->content, &exists) || !exists) {
        delete file;
        return nullptr;
    }
    file_bytes_to_text(&file->content, &file->invalid);
    return file;
}

char* text_gets(char* buffer, int size, TextFile* file) {
    if (!file || !buffer || file->replacement || size < 1)
        return nullptr;
    // No room for even one byte: answering with an empty line would make a
    // reading loop run for ever.
    if (size == 1) {
        buffer[0] = '\0';
        return nullptr;
    }
    const std::string& data = file->content;
    size_t pos = file->position;
    if (pos >= data.size())
        return nullptr;
    size_t start = pos;
    int count = 0;
    while (count < size - 1 && pos < data.size()) {
        char c = data[pos++];
        if (c == '\r' && pos < data.size() && data[pos] == '\n') {
            c = '\n';
            pos++;
        }
        buffer[count++] = c;
        if (c == '\n')
            break;
    }
    buffer[count] = '\0';
    file->position = pos;

    file->last_piece_lossy = false;
    for (size_t at = start; at < pos && !file->invalid.empty(); at++) {
        if (file->invalid[at]) {
            file->last_piece_lossy = true;
            break;
        }
    }
    return buffer;
}

int text_last_read_lossy(const TextFile* file) {
    return file && file->last_piece_lossy ? 1 : 0;
}

TextFile* text_open_replace(const char* path) {
    if (!path)
        return nullptr;
    AtomicFile* replacement = atomic_begin(path);
    if (!replacement)
        return nullptr;
    TextFile* file = new TextFile{};
    file->replacement = replacement;
    file->utf8_only = ends_in_m3u8(path);
    return file;
}

void text_write(TextFile* file, const char* text) {
    if (!file || !file->replacement || !text)
        return;
    for (const char* p = text; *p; p++) {
        if (*p == '\n')
            file->pending += '\r';
        file->pending += *p;
    }
}

int text_commit(TextFile* file) {
    if (!file)
        return 0;
    if (!file->replacement) {
        delete file;
        return 0;
    }
    std::string bytes = file_bytes_of_text(file->pending, file->utf8_only);
    file->pending = std::string();
    atomic_write(file->replacement, bytes.data(), bytes.size());
    bool ok = atomic_commit(file->replacement);
    delete file;
    return ok ? 1 : 0;
}

void text_close(TextFile* file) {
    if (!file)
        return;
    if (file->replacement)
        atomic_abandon(file->replacement);
    delete file;
}

size_t text_cut_length(const char* text, size_t length, size_t limit) {
    return text ? utf8_cut(text, length, limit) : 0;
}

void text_cut(char* text, size_t limit) {
    if (text)
        text[utf8_cut(text, std::strlen(text), limit)] = '\0';
}
