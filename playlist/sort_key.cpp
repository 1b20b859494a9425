// The sort collation of titles (UTF-8): accented letters fold to their base
// letter, and each upper-case letter sorts just before its lower-case twin.
// A character of Windows-1252 gives the one byte of its Windows-1252 byte's
// collation, so titles made of those characters sort as they always have.
// Beyond it, a letter whose decomposition begins with a Windows-1252 letter
// sorts as that letter, combining marks sort as if absent, and any other
// character sorts after all of Windows-1252, in code-point order.
#include "playlist/playlist.h"
#include "playlist/sort_table.h"

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

// The highest collation byte, that of '`' and DEL. Those two are followed by
// ord_marker, every other character by higher bytes giving its code point, so
// that they sort after all of Windows-1252. Keys of equal prefixes meet the
// marker together, so it changes neither the order nor the order of ties.
static const unsigned char escape = 0x7F;
static const unsigned char ord_marker = 0x01;
// After the escape, a code point below short_limit takes two digits in base
// 127 (Latin, Greek, Cyrillic and the scripts up to Georgian), any other three,
// their first digits above those of the short form.
static const unsigned char short_first = ord_marker + 1;
static const unsigned char long_first = short_first + 57;
static const char32_t short_limit = 57 * 127;

// What sorts_as gives, looked up directly below short_limit, where nearly
// every title's characters lie.
struct LowTable {
    short bytes[short_limit];
};

static constexpr LowTable make_low_table() {
    LowTable table = {};
    for (char32_t c = 0; c < short_limit; c++)
        table.bytes[c] = c < 0x80 || (c >= 0xA0 && c <= 0xFF) ? (short)c : -1;
    for (const SortTableRange& range : sort_table) {
        for (char32_t c = range.first; c <= range.last && c < short_limit; c++)
            table.bytes[c] = range.byte;
    }
    return table;
}

static constexpr LowTable low_table = make_low_table();

// The Windows-1252 byte a character sorts as, 0 for none (a combining mark),
// or -1 for a character that sorts after all of Windows-1252.
static int sorts_as(char32_t code_point) {
    if (code_point < short_limit)
        return low_table.bytes[code_point];
    size_t low = 0, high = sizeof sort_table / sizeof sort_table[0];
    while (low < high) {
        size_t middle = (low + high) / 2;
        if (sort_table[middle].last < code_point)
            low = middle + 1;
        else
            high = middle;
    }
    if (low < sizeof sort_table / sizeof sort_table[0] && sort_table[low].first <= code_point)
        return sort_table[low].byte;
    return -1;
}

// The length of the valid UTF-8 sequence at text (at most length bytes), its
// character in *code_point; 0 when the bytes there are not one.
static size_t utf8_sequence(const char* text, size_t length, char32_t* code_point) {
    unsigned char lead = (unsigned char)text[0];
    size_t size = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (lead < 0xC2 || lead > 0xF4 || length < size)
        return 0;
    char32_t value = lead & (0x7F >> size);
    for (size_t i = 1; i < size; i++) {
        unsigned char next = (unsigned char)text[i];
        if ((next & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (next & 0x3F);
    }
    static const char32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < least[size] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *code_point = value;
    return size;
}

// Writes the key bytes of one Windows-1252 byte; returns the end.
static char* put_collated(char* out, unsigned char byte) {
    unsigned char collated = collation_map.bytes[byte];
    *out++ = (char)collated;
    if (collated == escape)
        *out++ = (char)ord_marker;
    return out;
}

// Writes the key bytes of one character of a title; returns the end. Every
// byte written is positive or a collation byte, never 0.
static char* put_character(char* out, char32_t code_point) {
    int byte = sorts_as(code_point);
    if (byte > 0)
        return put_collated(out, (unsigned char)byte);
    if (byte == 0)
        return out;
    // Digits in base 127, each kept above 0 and below 0x80.
    *out++ = (char)escape;
    if (code_point < short_limit) {
        *out++ = (char)(short_first + code_point / 127);
        *out++ = (char)(1 + code_point % 127);
        return out;
    }
    char32_t above = code_point - short_limit;
    *out++ = (char)(long_first + above / (127 * 127));
    *out++ = (char)(1 + above / 127 % 127);
    *out++ = (char)(1 + above % 127);
    return out;
}

char* sort_key(const PlaylistEntry* entry) {
    const char* title = entry->title;
    size_t length = strlen(title);
    // No character gives more than twice its bytes: an ASCII one at most two,
    // any other at most four.
    char local[512];
    char* heap = 2 * length + 1 <= sizeof local ? nullptr : (char*)malloc(2 * length + 1);
    if (heap == nullptr && 2 * length + 1 > sizeof local)
        return nullptr;
    char* work = heap != nullptr ? heap : local;
    char* out = work;
    size_t i = 0;
    while (i < length) {
        unsigned char lead = (unsigned char)title[i];
        if (lead < 0x80) {
            out = put_collated(out, lead);
            i++;
            continue;
        }
        char32_t code_point = 0;
        size_t size = utf8_sequence(title + i, length - i, &code_point);
        if (size == 0) {
            // Not UTF-8: the byte stands for its Windows-1252 character.
            out = put_collated(out, lead);
            i++;
            continue;
        }
        out = put_character(out, code_point);
        i += size;
    }
    size_t key_length = (size_t)(out - work);
    work[key_length] = '\0';
    if (heap != nullptr) {
        char* shorter = (char*)realloc(heap, key_length + 1);
        return shorter != nullptr ? shorter : heap;
    }
    char* key = (char*)malloc(key_length + 1);
    if (key != nullptr)
        memcpy(key, local, key_length + 1);
    return key;
}
