// The program's UTF-8 text at the boundary with Qt and the file system.
#include "platform/qt/system/system.h"

#include <gtest/gtest.h>

// Every script passes whole both ways: windows, list boxes and paths alike.
TEST(Encoding, EveryScriptPassesWhole) {
    const char* texts[] = {"Dvořák - Largo",
                           "Łódź, Gdańsk",
                           "Мелодия",
                           "Ωmega",
                           "日本の歌",
                           "\xF0\x9F\x8E\xB5 emoji",
                           "Cafe\xCC\x81 (e + U+0301)",
                           "5\xE2\x80\xAF€ Cœur Sœur",
                           "Caf\xC3\x83\xC2\xA9.mp3"};
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        QString shown = ansi_to_qstring(text);
        EXPECT_EQ(shown, QString::fromUtf8(text));
        EXPECT_EQ(qstring_to_ansi(shown), QByteArray(text));
        QByteArray path;
        ASSERT_TRUE(native_path_to_ansi(QByteArray(text), &path));
        EXPECT_EQ(path, QByteArray(text));
    }
    EXPECT_EQ(ansi_to_qstring("caf\xC3\xA9", 3), QStringLiteral("caf"));
}

// A name that is not UTF-8 has no text that would name it again.
TEST(Encoding, FileNamesThatAreNotUtf8AreRefused) {
    QByteArray path = "unchanged";
    for (const char* name : {"/tmp/\xE9t\xE9.mp3", "/tmp/\xC3.mp3", "/tmp/\xED\xA0\x80.mp3",
                             "/tmp/\xC0\xAF.mp3", "/tmp/\xF4\x90\x80\x80.mp3"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(native_path_to_ansi(QByteArray(name), &path));
    }
    EXPECT_EQ(path, "unchanged");
}
