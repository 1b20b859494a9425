// Windows-1252, the program's text encoding: one table and one rule for the
// decoder library and the platform layer alike, so that a byte stands for the
// same character in a tag, a path and a window. Header-only, so that neither
// library depends on the other.
//
// Bytes 0x80 to 0x9F are the characters Windows gives them. The five bytes
// Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the
// C1 control characters of the same value, as Windows converts them, so every
// one of the 256 bytes round-trips. Every other byte is the character of the
// same value.
#pragma once

inline constexpr char16_t cp1252_high_block[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The character a byte stands for.
constexpr char32_t cp1252_to_code_point(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F)
        return cp1252_high_block[byte - 0x80];
    return byte;
}

// The byte of a character, or -1 when Windows-1252 has none.
constexpr int cp1252_byte_of(char32_t code_point) {
    if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF))
        return static_cast<int>(code_point);
    for (int i = 0; i < 32; i++) {
        if (cp1252_high_block[i] == code_point)
            return 0x80 + i;
    }
    return -1;
}
