// Windows-1252 <-> Unicode at the boundary with Qt and the file system, the way
// the Windows "A" functions convert. Internal to the Qt platform layer.
#pragma once

#include <QByteArray>
#include <QString>

// Every byte maps to one character; the five bytes Windows-1252 leaves
// unassigned map to the control characters of the same value, so all 256 round-trip.
QString ansi_to_qstring(const char* text);
QString ansi_to_qstring(const char* text, int length);

// Characters Windows-1252 cannot hold become '?'; *lossy (when given) tells
// whether that happened.
QByteArray qstring_to_ansi(const QString& text, bool* lossy = nullptr);

// A Windows-1252 path as the file system's bytes (UTF-8 on Linux).
QByteArray ansi_path_to_native(const char* path);

// A file system path as Windows-1252; false when it cannot be represented
// losslessly (such a path could never be opened again).
bool native_path_to_ansi(const QByteArray& native, QByteArray* ansi);
