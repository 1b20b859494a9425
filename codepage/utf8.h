// UTF-8, the program's text encoding: decoding, encoding, recognising it in
// bytes of unknown encoding, and cutting it at a character boundary. Header-only,
// shared by the decoder library and the platform layer like the Windows-1252
// table, so that both read and cut text by the same rules.
//
// Valid means what the standard allows: shortest forms only, no surrogates,
// nothing above U+10FFFF.
#pragma once

#include <cstddef>

// The length of the sequence a byte begins, as its value announces it: 1 for
// ASCII, 2 to 4 for a lead byte, 0 for a byte that begins none.
constexpr size_t utf8_sequence_length(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

// The length of the valid sequence that starts at text (at most length bytes
// available), with its code point in *code_point; 0 when the bytes there are
// not a valid sequence.
constexpr size_t utf8_decode(const char* text, size_t length, char32_t* code_point) {
    if (length == 0)
        return 0;
    unsigned char lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80) {
        *code_point = lead;
        return 1;
    }
    size_t size;
    char32_t value;
    char32_t least;
    if (lead >= 0xC2 && lead <= 0xDF) {
        size = 2;
        value = lead & 0x1F;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        size = 3;
        value = lead & 0x0F;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        size = 4;
        value = lead & 0x07;
        least = 0x10000;
    } else {
        return 0;
    }
    if (length < size)
        return 0;
    for (size_t i = 1; i < size; i++) {
        unsigned char next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (next & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *code_point = value;
    return size;
}

// Writes the sequence of a code point (at most 4 bytes) and returns its
// length; 0, writing nothing, for a surrogate or a value above U+10FFFF.
constexpr size_t utf8_encode(char32_t code_point, char* out) {
    if (code_point < 0x80) {
        out[0] = static_cast<char>(code_point);
        return 1;
    }
    if (code_point < 0x800) {
        out[0] = static_cast<char>(0xC0 | (code_point >> 6));
        out[1] = static_cast<char>(0x80 | (code_point & 0x3F));
        return 2;
    }
    if ((code_point >= 0xD800 && code_point <= 0xDFFF) || code_point > 0x10FFFF)
        return 0;
    if (code_point < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (code_point >> 12));
        out[1] = static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (code_point & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (code_point >> 18));
    out[1] = static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (code_point & 0x3F));
    return 4;
}

// Non-zero when the bytes are valid UTF-8 holding at least one multi-byte
// sequence: text of unknown encoding that reads so is taken as UTF-8, since
// Windows-1252 text practically never forms such sequences by chance.
constexpr int utf8_recognised(const char* text, size_t length) {
    int multibyte = 0;
    size_t i = 0;
    while (i < length) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            i++;
            continue;
        }
        char32_t code_point = 0;
        size_t size = utf8_decode(text + i, length - i, &code_point);
        if (size == 0)
            return 0;
        multibyte = 1;
        i += size;
    }
    return multibyte;
}

// The longest prefix of text (length bytes) of at most limit bytes that ends
// on a character boundary: a cut never falls inside a valid sequence. A byte
// that is not part of a valid sequence counts as a character of its own.
constexpr size_t utf8_cut(const char* text, size_t length, size_t limit) {
    if (length <= limit)
        return length;
    size_t kept = 0;
    while (kept < limit) {
        char32_t code_point = 0;
        size_t size = utf8_decode(text + kept, length - kept, &code_point);
        if (size == 0)
            size = 1;
        if (kept + size > limit)
            break;
        kept += size;
    }
    return kept;
}
