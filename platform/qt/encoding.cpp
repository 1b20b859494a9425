// Windows-1252 <-> Unicode with the program's one table, the way the Windows
// "A" functions convert.
#include "platform/qt/encoding.h"

#include <cstring>

#include "codepage/cp1252.h"

QString ansi_to_qstring(const char* text) {
    return text ? ansi_to_qstring(text, static_cast<int>(std::strlen(text))) : QString();
}

QString ansi_to_qstring(const char* text, int length) {
    QString result(length, Qt::Uninitialized);
    QChar* out = result.data();
    for (int i = 0; i < length; i++)
        out[i] =
            QChar(static_cast<char16_t>(cp1252_to_code_point(static_cast<unsigned char>(text[i]))));
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
        int byte = cp1252_byte_of(c);
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
