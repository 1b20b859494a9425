// Windows-1252 text at the boundary with Qt and the file system.
#include "platform/qt/encoding.h"
#include "vbmp3/text1252.h"

#include <gtest/gtest.h>

TEST(Encoding, EveryByteRoundTrips) {
    char all[256];
    for (int i = 0; i < 256; i++)
        all[i] = static_cast<char>(i);
    QString text = ansi_to_qstring(all, 256);
    ASSERT_EQ(text.size(), 256);
    bool lossy = true;
    QByteArray back = qstring_to_ansi(text, &lossy);
    EXPECT_FALSE(lossy);
    EXPECT_EQ(back, QByteArray(all, 256));

    // Paths too: the unassigned bytes survive the trip through UTF-8 names.
    QByteArray ansi;
    ASSERT_TRUE(
        native_path_to_ansi(ansi_path_to_native(QByteArray(all + 1, 255).constData()), &ansi));
    EXPECT_EQ(ansi, QByteArray(all + 1, 255));
}

// The decoder library reads Windows-1252 tags with the same table: for every
// byte, a Latin-1 frame or ID3v1 field holding it, and a UTF-16 or UTF-8 frame
// holding the character a window shows for it, all give that character's UTF-8.
TEST(Encoding, TheDecoderLibraryAgreesOnEveryByte) {
    for (int value = 0; value < 256; value++) {
        SCOPED_TRACE(value);
        char byte[2] = {static_cast<char>(value), 0};
        QString shown = ansi_to_qstring(byte, 1);
        ASSERT_EQ(shown.size(), 1);
        char16_t character = shown[0].unicode();
        if (value == 0x81 || value == 0x8D || value == 0x8F || value == 0x90 || value == 0x9D) {
            EXPECT_EQ(character, value); // undefined in Windows-1252: the C1 control
        }
        if (value == 0)
            continue; // tag texts end at a NUL
        std::string utf8 = shown.toUtf8().toStdString();
        unsigned char utf16[2] = {static_cast<unsigned char>(character >> 8),
                                  static_cast<unsigned char>(character & 0xFF)};
        EXPECT_EQ(utf8_from_id3_text(2, utf16, 2), utf8);
        EXPECT_EQ(
            utf8_from_id3_text(3, reinterpret_cast<const unsigned char*>(utf8.data()), utf8.size()),
            utf8);
        EXPECT_EQ(utf8_from_id3_text(0, reinterpret_cast<const unsigned char*>(byte), 1), utf8);
    }
}

TEST(Encoding, HighBytesAreTheWindowsCharacters) {
    EXPECT_EQ(ansi_to_qstring("\x80"), QString(QChar(0x20AC)));
    EXPECT_EQ(ansi_to_qstring("\x9F"), QString(QChar(0x0178)));
    EXPECT_EQ(ansi_to_qstring("Pr\xE9"
                              "c\xE9"
                              "dente"),
              QString::fromUtf8("Précédente"));
    for (unsigned char unassigned : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
        char byte[2] = {static_cast<char>(unassigned), 0};
        EXPECT_EQ(ansi_to_qstring(byte), QString(QChar(unassigned)));
    }
}

TEST(Encoding, UnrepresentableCharactersBecomeQuestionMarks) {
    bool lossy = false;
    EXPECT_EQ(qstring_to_ansi(QString::fromUtf8("€ 日本 \U0001F600 é"), &lossy),
              QByteArray("\x80 ?? ? \xE9"));
    EXPECT_TRUE(lossy);
    // A control character of the C1 range other than the five is not a byte of its own.
    EXPECT_EQ(qstring_to_ansi(QString(QChar(0x0080)), &lossy), QByteArray("?"));
    EXPECT_TRUE(lossy);
    EXPECT_EQ(qstring_to_ansi(QStringLiteral("?"), &lossy), QByteArray("?"));
    EXPECT_FALSE(lossy);
}

TEST(Encoding, FileNamesThatCannotBeHeldAreRefused) {
    QByteArray ansi = "unchanged";
    EXPECT_FALSE(native_path_to_ansi(QString::fromUtf8("/tmp/日本.mp3").toUtf8(), &ansi));
    EXPECT_FALSE(native_path_to_ansi(QByteArray("/tmp/\xE9t\xE9.mp3"), &ansi)); // not UTF-8
    EXPECT_FALSE(native_path_to_ansi(QString::fromUtf8("/tmp/\uFFFD.mp3").toUtf8(), &ansi));
    EXPECT_EQ(ansi, "unchanged");
    ASSERT_TRUE(native_path_to_ansi(QString::fromUtf8("/tmp/été.mp3").toUtf8(), &ansi));
    EXPECT_EQ(ansi, QByteArray("/tmp/\xE9t\xE9.mp3"));
    EXPECT_EQ(ansi_path_to_native("/tmp/\xE9t\xE9.mp3"),
              QString::fromUtf8("/tmp/été.mp3").toUtf8());
}
