// The encodings of playlists and the settings file, over the program's one
// Windows-1252 table and UTF-8 rules.
#include "platform/files/file_text.h"

#include "platform/files/whole_file.h"

#include "codepage/cp1252.h"
#include "codepage/utf8.h"

#include <algorithm>

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

// Sends the held Windows-1252 bytes out as the UTF-8 text they came from,
// behind the mark, and streams from then on.
static void start_streaming(TextEncoder* encoder, AtomicFile* file) {
    atomic_write(file, byte_order_mark, 3);
    std::string text;
    char sequence[4];
    for (size_t at = 0; at < encoder->single.size(); at++) {
        char32_t code_point = cp1252_to_code_point(static_cast<unsigned char>(encoder->single[at]));
        text.append(sequence, utf8_encode(code_point, sequence));
        if (text.size() >= 1 << 16 || at + 1 == encoder->single.size()) {
            atomic_write(file, text.data(), text.size());
            text.clear();
        }
    }
    encoder->single = std::string();
    encoder->streaming = true;
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
    size_t at = 0;
    while (!encoder->streaming && at < text.size()) {
        char32_t code_point = 0;
        size_t size = utf8_decode(text.data() + at, text.size() - at, &code_point);
        // A sequence cut by the end of the piece is judged with the next one.
        if (size == 0 && text.size() - at < 4) {
            encoder->carry = std::string(text.substr(at));
            return;
        }
        int byte = size > 0 ? cp1252_byte_of(code_point) : -1;
        if (byte < 0)
            start_streaming(encoder, file);
        else {
            encoder->single += static_cast<char>(byte);
            at += size;
        }
    }
    if (encoder->streaming && at < text.size())
        atomic_write(file, text.data() + at, text.size() - at);
}

void text_encoder_finish(TextEncoder* encoder, AtomicFile* file) {
    // Bytes that would read back as UTF-8 (or begin with its mark) would come
    // back as other text; so would a character cut at the end.
    if (!encoder->streaming &&
        (!encoder->carry.empty() ||
         utf8_recognised(encoder->single.data(), encoder->single.size()) ||
         encoder->single.compare(0, 3, byte_order_mark) == 0 || encoder->utf8_only))
        start_streaming(encoder, file);
    if (encoder->streaming)
        atomic_write(file, encoder->carry.data(), encoder->carry.size());
    else
        atomic_write(file, encoder->single.data(), encoder->single.size());
    encoder->single = std::string();
    encoder->carry = std::string();
}
