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
    // Reading: the file as the program's text, in blocks, each released once
    // read past, so that what the reading makes can take its place.
    std::vector<std::string> blocks;
    size_t block;    // the block the next byte is in
    size_t offset;   // the next byte's place in it
    size_t position; // the next byte's place in the whole text
    // Writing: the replacement under way, and the text on its way there
    // (held as the file's bytes while the encoding is not yet known).
    AtomicFile* replacement;
    TextEncoder encoder;
};

// The text is read in blocks of this size.
static const size_t read_block = 1 << 20;

// The next byte of the text, or -1 at its end; blocks read past are released.
static int peek_byte(TextFile* file) {
    while (file->block < file->blocks.size() && file->offset >= file->blocks[file->block].size()) {
        file->blocks[file->block] = std::string();
        file->block++;
        file->offset = 0;
    }
    if (file->block >= file->blocks.size())
        return -1;
    return static_cast<unsigned char>(file->blocks[file->block][file->offset]);
}

static void skip_byte(TextFile* file) {
    file->offset++;
    file->position++;
}

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
    std::string content;
    if (!read_whole_file(path, &content, &exists) || !exists) {
        delete file;
        return nullptr;
    }
    file_bytes_to_text_blocks(&content, read_block, &file->blocks);
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
    if (peek_byte(file) < 0)
        return nullptr;
    int count = 0;
    while (count < size - 1) {
        int c = peek_byte(file);
        if (c < 0)
            break;
        // A piece ends before a character that does not fit whole, so that no
        // piece begins or ends with half a character; a buffer too small for
        // even one character still takes its bytes.
        size_t length = utf8_sequence_length(static_cast<unsigned char>(c));
        if (count > 0 && count + static_cast<int>(length > 0 ? length : 1) > size - 1)
            break;
        skip_byte(file);
        if (c == '\r' && peek_byte(file) == '\n') {
            c = '\n';
            skip_byte(file);
        }
        buffer[count++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    buffer[count] = '\0';
    return buffer;
}

TextFile* text_open_replace(const char* path) {
    if (!path)
        return nullptr;
    AtomicFile* replacement = atomic_begin(path);
    if (!replacement)
        return nullptr;
    TextFile* file = new TextFile{};
    file->replacement = replacement;
    // An ".m3u8" playlist is UTF-8 by definition.
    file->encoder.utf8_only = ends_in_m3u8(path);
    return file;
}

void text_write(TextFile* file, const char* text) {
    if (!file || !file->replacement || !text)
        return;
    std::string piece;
    for (const char* p = text; *p; p++) {
        if (*p == '\n')
            piece += '\r';
        piece += *p;
    }
    text_encoder_add(&file->encoder, file->replacement, piece);
}

int text_commit(TextFile* file) {
    if (!file)
        return 0;
    if (!file->replacement) {
        delete file;
        return 0;
    }
    text_encoder_finish(&file->encoder, file->replacement);
    bool ok = atomic_commit(file->replacement);
    delete file;
    return ok ? 1 : 0;
}

void text_close(TextFile* file) {
    if (!file)
        return;
    if (file->replacement)
        atomic_abandon(file->replacement);
    bool long_read = !file->replacement && file->position >= read_block;
    delete file;
    if (long_read)
        release_free_memory();
}

size_t text_cut_length(const char* text, size_t length, size_t limit) {
    return text ? utf8_cut(text, length, limit) : 0;
}

void text_cut(char* text, size_t limit) {
    if (text)
        text[utf8_cut(text, std::strlen(text), limit)] = '\0';
}
