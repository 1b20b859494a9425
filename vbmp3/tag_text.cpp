#include "vbmp3/tag_text.h"

static void append_code_point(std::string& out, char32_t code_point) {
    char sequence[4];
    size_t size = utf8_encode(code_point, sequence);
    if (size == 0)
        size = utf8_encode(0xFFFD, sequence);
    out.append(sequence, size);
}

// Valid sequences are kept; any other byte is read as its Windows-1252 character.
static std::string from_mixed(const char* bytes, size_t length) {
    std::string out;
    out.reserve(length);
    size_t i = 0;
    while (i < length) {
        char32_t code_point = 0;
        size_t size = utf8_decode(bytes + i, length - i, &code_point);
        if (size == 0) {
            append_code_point(out, cp1252_to_code_point(static_cast<unsigned char>(bytes[i])));
            i++;
            continue;
        }
        out.append(bytes + i, size);
        i += size;
    }
    return out;
}

static std::string from_cp1252(const char* bytes, size_t length) {
    std::string out;
    out.reserve(length);
    for (size_t i = 0; i < length; i++)
        append_code_point(out, cp1252_to_code_point(static_cast<unsigned char>(bytes[i])));
    return out;
}

// Bytes at the end that begin a sequence without completing it: 0 to 3.
static size_t incomplete_tail(const char* bytes, size_t length) {
    for (size_t back = 1; back <= 3 && back <= length; back++) {
        unsigned char byte = static_cast<unsigned char>(bytes[length - back]);
        if ((byte & 0xC0) == 0x80)
            continue; // a continuation byte: its lead lies further back
        size_t needed = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC2 ? 2 : 1;
        return needed > back ? back : 0;
    }
    return 0;
}

std::string utf8_from_tag_bytes(const char* bytes, size_t length, bool field_full) {
    if (utf8_recognised(bytes, length))
        return std::string(bytes, length);
    size_t tail = field_full ? incomplete_tail(bytes, length) : 0;
    if (tail > 0 && utf8_recognised(bytes, length - tail))
        return std::string(bytes, length - tail);
    return from_cp1252(bytes, length);
}

static std::string from_utf16(const unsigned char* text, size_t size, bool big_endian) {
    std::string out;
    auto unit_at = [&](size_t i) -> char32_t {
        return big_endian ? (text[i] << 8 | text[i + 1]) : (text[i + 1] << 8 | text[i]);
    };
    for (size_t i = 0; i + 1 < size; i += 2) {
        char32_t unit = unit_at(i);
        if (unit == 0)
            break;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < size) {
            char32_t low = unit_at(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                append_code_point(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        append_code_point(out, unit); // an unpaired surrogate becomes U+FFFD
    }
    return out;
}

std::string utf8_from_id3_text(int encoding, const unsigned char* text, size_t size) {
    switch (encoding) {
    case 1:
        if (size >= 2 && text[0] == 0xFE && text[1] == 0xFF)
            return from_utf16(text + 2, size - 2, true);
        if (size >= 2 && text[0] == 0xFF && text[1] == 0xFE)
            return from_utf16(text + 2, size - 2, false);
        return from_utf16(text, size, false);
    case 2:
        return from_utf16(text, size, true);
    default: {
        size_t length = 0;
        while (length < size && text[length] != 0)
            length++;
        const char* bytes = reinterpret_cast<const char*>(text);
        return encoding == 3 ? from_mixed(bytes, length) : utf8_from_tag_bytes(bytes, length);
    }
    }
}
