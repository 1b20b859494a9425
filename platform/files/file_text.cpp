// The encodings of playlists and the settings file, over the program's one
// Windows-1252 table and UTF-8 rules.
#include "platform/files/file_text.h"

#include "platform/files/whole_file.h"

#include "codepage/cp1252.h"
#include "codepage/utf8.h"

#include <algorithm>
#include <cstring>

static const char byte_order_mark[] = "\xEF\xBB\xBF";

static bool is_ascii(const std::string& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// The text of Windows-1252 bytes, appended to the blocks.
static void windows_1252_to_blocks(const std::string& bytes, size_t block_size,
                                   std::vector<std::string>* blocks) {
    char sequence[4];
    for (char c : bytes) {
        if (blocks->empty() || blocks->back().size() >= block_size) {
            blocks->emplace_back();
            blocks->back().reserve(std::min(block_size, 3 * bytes.size()) + sizeof sequence);
        }
        blocks->back().append(
            sequence, utf8_encode(cp1252_to_code_point(static_cast<unsigned char>(c)), sequence));
    }
}

enum class FileEncoding { marked, utf8, windows_1252 };

static FileEncoding encoding_of(const std::string& content) {
    if (content.compare(0, 3, byte_order_mark) == 0)
        return FileEncoding::marked;
    if (is_ascii(content) || utf8_recognised(content.data(), content.size()))
        return FileEncoding::utf8;
    return FileEncoding::windows_1252;
}

void file_bytes_to_text(std::string* content) {
    std::vector<std::string> blocks;
    // Blocks larger than any text of these bytes: one block.
    file_bytes_to_text_blocks(content, 3 * content->size() + 1, &blocks);
    *content = blocks.empty() ? std::string() : std::move(blocks.front());
}

void file_bytes_to_text_blocks(std::string* content, size_t block_size,
                               std::vector<std::string>* blocks) {
    blocks->clear();
    FileEncoding encoding = encoding_of(*content);
    if (encoding == FileEncoding::windows_1252) {
        windows_1252_to_blocks(*content, block_size, blocks);
        *content = std::string();
        return;
    }
    size_t start = encoding == FileEncoding::marked ? 3 : 0;
    if (content->size() - start <= block_size) {
        content->erase(0, start);
        blocks->push_back(std::move(*content));
    } else {
        for (size_t at = start; at < content->size(); at += block_size)
            blocks->push_back(content->substr(at, block_size));
    }
    *content = std::string();
}

std::string file_bytes_of_text(const std::string& text, bool utf8_only) {
    std::string bytes;
    bytes.reserve(utf8_only ? 0 : text.size());
    bool single_bytes = !utf8_only;
    for (size_t at = 0; at < text.size() && single_bytes;) {
        char32_t code_point = 0;
        size_t size = utf8_decode(text.data() + at, text.size() - at, &code_point);
        int byte = size > 0 ? cp1252_byte_of(code_point) : -1;
        if (byte < 0)
            single_bytes = false;
        else
            bytes += static_cast<char>(byte);
        at += size;
    }
    // Bytes that would read back as UTF-8 (or begin with its mark) would come
    // back as other text.
    if (single_bytes && !utf8_recognised(bytes.data(), bytes.size()) &&
        bytes.compare(0, 3, byte_order_mark) != 0)
        return bytes;
    return byte_order_mark + text;
}

// Follows, one byte at a time, whether the Windows-1252 bytes written so far
// would read back as UTF-8 (as utf8_recognised judges them whole).
static void check_as_utf8(TextEncoder* encoder, char byte) {
    if (encoder->broken || (encoder->sequence.empty() && static_cast<unsigned char>(byte) < 0x80))
        return;
    encoder->sequence += byte;
    size_t length = utf8_sequence_length(static_cast<unsigned char>(encoder->sequence[0]));
    if (length == 0) {
        encoder->broken = true;
        return;
    }
    if (encoder->sequence.size() < length)
        return;
    char32_t code_point = 0;
    if (utf8_decode(encoder->sequence.data(), length, &code_point) == 0)
        encoder->broken = true;
    else if (length > 1)
        encoder->multibyte = true;
    encoder->sequence.clear();
}

// Rewrites the Windows-1252 bytes written so far as the UTF-8 text they came
// from, behind the mark, and streams from then on. The file is widened in
// place from its end backwards: every byte's new place is at or after its old
// one, so none is overwritten before it is read.
static void start_streaming(TextEncoder* encoder, AtomicFile* file) {
    static const size_t chunk = 1 << 16;
    std::string bytes(chunk, '\0');
    std::string text;
    char sequence[4];
    uint64_t end = encoder->single;
    uint64_t to = 3 + encoder->widened;
    while (end > 0) {
        size_t size = static_cast<size_t>(std::min<uint64_t>(chunk, end));
        if (!atomic_read_at(file, end - size, bytes.data(), size))
            break;
        text.clear();
        for (size_t at = 0; at < size; at++) {
            char32_t code_point = cp1252_to_code_point(static_cast<unsigned char>(bytes[at]));
            text.append(sequence, utf8_encode(code_point, sequence));
        }
        to -= text.size();
        if (!atomic_write_at(file, to, text.data(), text.size()))
            break;
        end -= size;
    }
    atomic_write_at(file, 0, byte_order_mark, 3);
    encoder->streaming = true;
}

// Writes Windows-1252 bytes of the text, counting the UTF-8 they stand for.
static void write_single(TextEncoder* encoder, AtomicFile* file, const std::string& bytes) {
    atomic_write(file, bytes.data(), bytes.size());
    encoder->single += bytes.size();
    char sequence[4];
    for (char c : bytes) {
        encoder->widened +=
            utf8_encode(cp1252_to_code_point(static_cast<unsigned char>(c)), sequence);
        check_as_utf8(encoder, c);
    }
}

void text_encoder_add(TextEncoder* encoder, AtomicFile* file, std::string_view piece) {
    if (encoder->utf8_only && !encoder->streaming)
        start_streaming(encoder, file);
    std::string joined;
    std::string_view text = piece;
    if (!encoder->carry.empty()) {
        joined = encoder->carry + std::string(piece);
        encoder->carry.clear();
        text = joined;
    }
    std::string single;
    size_t at = 0;
    while (!encoder->streaming && at < text.size()) {
        char32_t code_point = 0;
        size_t size = utf8_decode(text.data() + at, text.size() - at, &code_point);
        // A sequence cut by the end of the piece is judged with the next one.
        if (size == 0 && text.size() - at < 4) {
            encoder->carry = std::string(text.substr(at));
            break;
        }
        int byte = size > 0 ? cp1252_byte_of(code_point) : -1;
        if (byte < 0) {
            write_single(encoder, file, single);
            single.clear();
            start_streaming(encoder, file);
        } else {
            single += static_cast<char>(byte);
            at += size;
        }
    }
    write_single(encoder, file, single);
    if (encoder->streaming && at < text.size())
        atomic_write(file, text.data() + at, text.size() - at);
}

void text_encoder_finish(TextEncoder* encoder, AtomicFile* file) {
    // Bytes that would read back as UTF-8 (or begin with its mark) would come
    // back as other text; so would a character cut at the end.
    if (!encoder->streaming) {
        bool read_as_utf8 = !encoder->broken && encoder->multibyte && encoder->sequence.empty();
        char head[3] = {};
        bool marked = encoder->single >= 3 && atomic_read_at(file, 0, head, 3) &&
                      std::memcmp(head, byte_order_mark, 3) == 0;
        if (!encoder->carry.empty() || read_as_utf8 || marked || encoder->utf8_only)
            start_streaming(encoder, file);
    }
    if (encoder->streaming)
        atomic_write(file, encoder->carry.data(), encoder->carry.size());
    encoder->carry = std::string();
}
