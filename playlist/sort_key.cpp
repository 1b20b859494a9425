// The sort collation of titles (Windows-1252): accented letters fold to their
// base letter, and each upper-case letter sorts just before its lower-case twin.
#include "playlist/playlist.h"

#include <cstdlib>
#include <cstring>

// The collation byte of one title byte.
static constexpr unsigned char collate(unsigned b) {
    if (b <= 0x40)
        return (unsigned char)b;
    if (b <= 0x60) // 'A'..'Z', then [ \ ] ^ _ `: to the odd bytes 0x41..0x7F
        return (unsigned char)(2 * b - 0x41);
    if (b <= 0x7A) // 'a'..'z': to the even bytes 0x42..0x74
        return (unsigned char)(2 * (b - 0x40));
    if (b <= 0xBF)
        return (unsigned char)b;
    if (b <= 0xC6) // À..Æ
        return 0x41;
    if (b == 0xC7) // Ç
        return 0x45;
    if (b <= 0xCB) // È..Ë
        return 0x49;
    if (b <= 0xCF) // Ì..Ï
        return 0x51;
    if (b == 0xD0) // Ð
        return 0x49;
    if (b == 0xD1) // Ñ
        return 0x5B;
    if (b <= 0xD6) // Ò..Ö
        return 0x5D;
    if (b <= 0xDC) // × Ø Ù..Ü
        return 0x69;
    if (b == 0xDD) // Ý
        return 0x71;
    if (b <= 0xDF) // Þ ß
        return 0x75;
    if (b <= 0xE6) // à..æ
        return 0x42;
    if (b == 0xE7) // ç
        return 0x46;
    if (b <= 0xEB) // è..ë
        return 0x4A;
    if (b <= 0xEF) // ì..ï
        return 0x52;
    if (b == 0xF0) // ð
        return 0x4A;
    if (b == 0xF1) // ñ
        return 0x5C;
    if (b <= 0xF6) // ò..ö
        return 0x5E;
    if (b <= 0xFC) // ÷ ø ù..ü
        return 0x6A;
    if (b == 0xFD) // ý
        return 0x72;
    if (b == 0xFE) // þ
        return 0x76;
    return 0x72; // ÿ
}

struct CollationMap {
    unsigned char bytes[256];
};

static constexpr CollationMap make_collation_map() {
    CollationMap map = {};
    for (unsigned b = 0; b < 256; b++)
        map.bytes[b] = collate(b);
    return map;
}

static constexpr CollationMap collation_map = make_collation_map();

char* sort_key(const PlaylistEntry* entry) {
    const unsigned char* title = (const unsigned char*)entry->title;
    size_t length = strlen(entry->title);
    char* key = (char*)malloc(length + 2);
    if (key == nullptr)
        return nullptr;
    size_t used = 0;
    for (size_t i = 0; i < length; i++) {
        unsigned b = title[i];
        // The titles are UTF-8: a letter of U+00A0..U+00FF collates as its
        // Windows-1252 byte, the same value.
        if ((b == 0xC2 || b == 0xC3) && (title[i + 1] & 0xC0) == 0x80 &&
            (b == 0xC3 || title[i + 1] >= 0xA0)) {
            b = ((b & 0x03) << 6) | (title[i + 1] & 0x3F);
            i++;
        }
        key[used++] = (char)collation_map.bytes[b];
    }
    key[used] = '\0';
    return key;
}
