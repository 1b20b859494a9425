// Paths and UTF-8 files as the program's Windows-1252 text, through Qt's conversions.
#include "platform/files/native_text.h"

#include "platform/qt/encoding.h"

#include <QStringDecoder>

std::string native_path(const char* path) {
    return ansi_path_to_native(path).toStdString();
}

bool utf8_to_ansi(std::string_view utf8, bool lenient, std::string* ansi,
                  std::vector<size_t>* lossy_offsets) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom);
    QString text = decoder.decode(QByteArrayView(utf8.data(), static_cast<qsizetype>(utf8.size())));
    if (decoder.hasError() && !lenient)
        return false;
    bool lossy = false;
    QByteArray converted = qstring_to_ansi(text, &lossy);
    size_t first = ansi->size();
    if (lossy) {
        // One byte per character: walk the characters beside the bytes.
        const QChar* chars = text.constData();
        qsizetype at = 0;
        for (qsizetype i = 0; i < converted.size(); i++, at++) {
            bool pair = chars[at].isHighSurrogate() && at + 1 < text.size() &&
                        chars[at + 1].isLowSurrogate();
            if (converted[i] == '?' && chars[at] != u'?')
                lossy_offsets->push_back(first + static_cast<size_t>(i));
            if (pair)
                at++;
        }
    }
    ansi->append(converted.constData(), static_cast<size_t>(converted.size()));
    return true;
}
