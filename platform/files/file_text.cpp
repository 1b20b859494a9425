// The encodings of playlists and the settings file, over the program's one
// Windows-1252 table and UTF-8 rules.
#include "platform/files/file_text.h"

#include "codepage/cp1252.h"
#include "codepage/utf8.h"

static const char byte_order_mark[] = "\xEF\xBB\xBF";

static bool is_ascii(const std::string& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// A marked file is UTF-8 whatever it holds: bytes that are not part of a
// valid sequence stay as they are, and are flagged.
static void flag_invalid(const std::string& text, std::vector<bool>* invalid) {
    size_t at = 0;
    while (at < text.size()) {
        if (static_cast<unsigned char>(text[at]) < 0x80) {
            at++;
            continue;
        }
        char32_t code_point = 0;
        size_t size = utf8_decode(text.data() + at, text.size() - at, &code_point);
        if (size > 0) {
            at += size;
            continue;
        }
        if (invalid->empty())
            invalid->resize(text.size());
        (*invalid)[at] = true;
        at++;
    }
}

static void windows_1252_to_text(std::string* content) {
    size_t size = 0;
    char sequence[4];
    for (char c : *content)
        size += utf8_encode(cp1252_to_code_point(static_cast<unsigned char>(c)), sequence);
    std::string text;
    text.reserve(size);
    for (char c : *content)
        text.append(sequence,
                    utf8_encode(cp1252_to_code_point(static_cast<unsigned char>(c)), sequence));
    content->swap(text);
}

void file_bytes_to_text(std::string* content, std::vector<bool>* invalid) {
    if (invalid)
        invalid->clear();
    if (content->compare(0, 3, byte_order_mark) == 0) {
        content->erase(0, 3);
        if (invalid)
            flag_invalid(*content, invalid);
    } else if (!is_ascii(*content) && !utf8_recognised(content->data(), content->size())) {
        windows_1252_to_text(content);
    }
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
