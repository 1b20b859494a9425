// Windows-1252 <-> Unicode, the way the Windows "A" functions convert.
#include "platform/qt/encoding.h"

#include <cstring>

// The characters of bytes 0x80 to 0x9F; every other byte stands for the
// character of the same value. The five unassigned bytes keep their value.
static const char16_t high_controls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

static char16_t byte_to_char(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F)
        return high_controls[byte - 0x80];
    return byte;
}

// The byte for a character, or -1 when Windows-1252 has none.
static int char_to_byte(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<int>(c);
    for (int i = 0; i < 32; i++) {
        if (high_controls[i] == c)
            return 0x80 + i;
    }
    return -1;
}

QString ansi_to_qstring(const char* text) {
    return text ? ansi_to_qstring(text, static_cast<int>(std::strlen(text))) : QString();
}

QString ansi_to_qstring(const char* text, int length) {
    QString result(length, Qt::Uninitialized);
    QChar* out = result.data();
    for (int i = 0; i < length; i++)
        out[i] = QChar(byte_to_char(static_cast<unsigned char>(text[i])));
    return result;
}

QByteArray qstring_to_ansi(const QString& text, bool* lossy) {
    QByteArray result;
    result.reserve(text.size());
    bool replaced = false;
    // Code points rather than UTF-16 units: a character outside the basic plane is one '?'.
    const QChar* chars = text.constData();
    for (qsizetype i = 0; i < text.size(); i++) {
        char32_t c = chars[i].unicode();
        if (chars[i].isHighSurrogate() && i + 1 < text.size() && chars[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(chars[i], chars[i + 1]);
            i++;
        }
        int byte = char_to_byte(c);
        if (byte < 0) {
            byte = '?';
            replaced = true;
        }
        result.append(static_cast<char>(byte));
    }
    if (lossy)
        *lossy = replaced;
    return result;
}

QByteArray ansi_path_to_native(const char* path) {
    return ansi_to_qstring(path).toUtf8();
}

bool native_path_to_ansi(const QByteArray& native, QByteArray* ansi) {
    QString decoded = QString::fromUtf8(native);
    // Invalid UTF-8 decodes to replacement characters: such a name has no faithful text.
    if (decoded.toUtf8() != native)
        return false;
    bool lossy = false;
    QByteArray converted = qstring_to_ansi(decoded, &lossy);
    if (lossy)
        return false;
    *ansi = converted;
    return true;
}
