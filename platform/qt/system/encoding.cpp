// The program's UTF-8 text against Qt's strings and the file system's names.
#include "platform/qt/system/system.h"

#include <cstring>

#include "codepage/utf8.h"

QString ansi_to_qstring(const char* text) {
    return text ? ansi_to_qstring(text, static_cast<int>(std::strlen(text))) : QString();
}

QString ansi_to_qstring(const char* text, int length) {
    return QString::fromUtf8(text, length);
}

QByteArray qstring_to_ansi(const QString& text) {
    return text.toUtf8();
}

static bool valid_utf8(const QByteArray& bytes) {
    const char* text = bytes.constData();
    size_t length = static_cast<size_t>(bytes.size());
    for (size_t at = 0; at < length;) {
        char32_t code_point = 0;
        size_t size = utf8_decode(text + at, length - at, &code_point);
        if (size == 0)
            return false;
        at += size;
    }
    return true;
}

bool native_path_to_ansi(const QByteArray& native, QByteArray* ansi) {
    if (!valid_utf8(native))
        return false;
    *ansi = native;
    return true;
}
