#include "vbmp3/text1252.h"

char cp1252_from_code_point(uint32_t code_point) {
    int byte = cp1252_byte_of(code_point);
    return static_cast<char>(byte < 0 ? '?' : byte);
}

static std::string from_utf16(const unsigned char* text, size_t size, bool big_endian) {
    std::string out;
    for (size_t i = 0; i + 1 < size; i += 2) {
        uint32_t unit = big_endian ? (text[i] << 8 | text[i + 1]) : (text[i + 1] << 8 | text[i]);
        if (unit == 0) {
            break;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < size) {
            i += 2; // the low half of a pair: the character lies beyond Windows-1252
            out += '?';
            continue;
        }
        out += cp1252_from_code_point(unit);
    }
    return out;
}

static std::string from_utf8(const unsigned char* text, size_t size) {
    std::string out;
    size_t i = 0;
    while (i < size && text[i] != 0) {
        unsigned char lead = text[i];
        int extra = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
        if (extra < 0 || i + extra >= size) {
            out += '?';
            i++;
            continue;
        }
        uint32_t code_point = extra == 0 ? lead : lead & (0x3F >> extra);
        bool valid = true;
        for (int k = 1; k <= extra; k++) {
            unsigned char next = text[i + k];
            if ((next & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            code_point = code_point << 6 | (next & 0x3F);
        }
        if (!valid) {
            out += '?';
            i++;
            continue;
        }
        out += cp1252_from_code_point(code_point);
        i += extra + 1;
    }
    return out;
}

std::string cp1252_from_id3_text(int encoding, const unsigned char* text, size_t size) {
    switch (encoding) {
    case 1:
        if (size >= 2 && text[0] == 0xFE && text[1] == 0xFF) {
            return from_utf16(text + 2, size - 2, true);
        }
        if (size >= 2 && text[0] == 0xFF && text[1] == 0xFE) {
            return from_utf16(text + 2, size - 2, false);
        }
        return from_utf16(text, size, false);
    case 2:
        return from_utf16(text, size, true);
    case 3:
        return from_utf8(text, size);
    default: {
        size_t length = 0;
        while (length < size && text[length] != 0) {
            length++;
        }
        return std::string(reinterpret_cast<const char*>(text), length);
    }
    }
}

std::string cp1252_to_native_path(const char* path) {
#ifdef _WIN32
    return path;
#else
    std::string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(path); *p; p++) {
        uint32_t code_point = cp1252_to_code_point(*p);
        if (code_point < 0x80) {
            out += static_cast<char>(code_point);
        } else if (code_point < 0x800) {
            out += static_cast<char>(0xC0 | code_point >> 6);
            out += static_cast<char>(0x80 | (code_point & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | code_point >> 12);
            out += static_cast<char>(0x80 | (code_point >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (code_point & 0x3F));
        }
    }
    return out;
#endif
}
