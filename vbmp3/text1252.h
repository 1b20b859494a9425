// Conversions between Windows-1252, the library's text encoding, and Unicode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "codepage/cp1252.h"

// Windows-1252 byte for a code point, or '?' when it has none.
char cp1252_from_code_point(uint32_t code_point);

// Text of the given ID3v2 encoding (0 Latin-1, 1 UTF-16 with byte order mark,
// 2 UTF-16 big-endian, 3 UTF-8) converted to Windows-1252, up to its first NUL.
// Latin-1 bytes are kept as they are: Windows taggers store Windows-1252 there.
std::string cp1252_from_id3_text(int encoding, const unsigned char* text, size_t size);

// A Windows-1252 path as the file system wants it: UTF-8 on Linux, unchanged on Windows.
std::string cp1252_to_native_path(const char* path);
