// The program's text (ANSI, as the Windows "A" functions name it: UTF-8 on
// both builds) at the boundary with Qt and the file system. Internal to the
// Qt platform layer.
#pragma once

#include <QByteArray>
#include <QString>

// Bytes that are not valid UTF-8 show as replacement characters.
QString ansi_to_qstring(const char* text);
QString ansi_to_qstring(const char* text, int length);

QByteArray qstring_to_ansi(const QString& text);

// A file system name or path as the program's text: the same bytes, when they
// are valid UTF-8; false otherwise (such a name could not be shown, and a
// path made from its text would name another file).
bool native_path_to_ansi(const QByteArray& native, QByteArray* ansi);
