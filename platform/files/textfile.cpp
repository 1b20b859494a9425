// Windows-style text-mode files over whole-file reads and atomic replacement,
// the same on both platforms.
#include "platform/textfile.h"

#include "platform/files/native_text.h"
#include "platform/files/whole_file.h"

#include "codepage/utf8.h"

#include <cstring>

#include <string>
#include <vector>

struct TextFile {
    // Reading: the whole file as Windows-1252 bytes.
    std::string content;
    size_t position;
    std::vector<size_t> lossy_offsets; // '?' bytes that stand for other characters, ascending
    size_t next_lossy;                 // first of lossy_offsets not yet passed
    bool last_piece_lossy;
    // Writing: the replacement under way and output not yet handed to it.
    AtomicFile* replacement;
    std::string pending;
};

// Output is handed on in blocks of about this size.
static const size_t write_block = 65536;

// A UTF-8 playlist (one with a byte-order mark, or valid UTF-8 holding at
// least one multi-byte sequence) becomes ANSI; anything else stays as it is.
static void convert_utf8(TextFile* file) {
    std::string& raw = file->content;
    bool marked = raw.compare(0, 3, "\xEF\xBB\xBF") == 0;
    if (!marked) {
        bool multibyte = false;
        for (unsigned char c : raw) {
            if (c >= 0x80) {
                multibyte = true;
                break;
            }
        }
        if (!multibyte)
            return;
    }
    std::string converted;
    // A marked file is UTF-8 whatever it holds: bad sequences become '?'.
    if (utf8_to_ansi(std::string_view(raw).substr(marked ? 3 : 0), marked, &converted,
                     &file->lossy_offsets))
        raw = std::move(converted);
}

TextFile* text_open_read(const char* path) {
    if (!path)
        return nullptr;
    TextFile* file = new TextFile{};
    bool exists = false;
    if (!read_whole_file(native_path(path).c_str(), &file->content, &exists) || !exists) {
        delete file;
        return nullptr;
    }
    convert_utf8(file);
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

    std::vector<size_t>& lossy = file->lossy_offsets;
    while (file->next_lossy < lossy.size() && lossy[file->next_lossy] < start)
        file->next_lossy++;
    file->last_piece_lossy = file->next_lossy < lossy.size() && lossy[file->next_lossy] < pos;
    return buffer;
}

int text_last_read_lossy(const TextFile* file) {
    return file && file->last_piece_lossy ? 1 : 0;
}

TextFile* text_open_replace(const char* path) {
    if (!path)
        return nullptr;
    AtomicFile* replacement = atomic_begin(native_path(path).c_str());
    if (!replacement)
        return nullptr;
    TextFile* file = new TextFile{};
    file->replacement = replacement;
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
    if (file->pending.size() >= write_block) {
        atomic_write(file->replacement, file->pending.data(), file->pending.size());
        file->pending.clear();
    }
}

int text_commit(TextFile* file) {
    if (!file)
        return 0;
    if (!file->replacement) {
        delete file;
        return 0;
    }
    atomic_write(file->replacement, file->pending.data(), file->pending.size());
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
