// Tag text converted to UTF-8, the library's text encoding.
#pragma once

#include <cstddef>
#include <string>

#include "codepage/cp1252.h"
#include "codepage/utf8.h"

// Tag bytes that name no encoding of their own (ID3v1 fields, Latin-1 frames)
// as UTF-8. Valid UTF-8 holding at least one multi-byte sequence is taken as
// it is: taggers that ignore the standard write that. Anything else is
// Windows-1252, as Windows taggers store it. When the field was full, an
// incomplete sequence at its very end (a character cut by the field's size)
// is left out rather than making the whole field Windows-1252.
std::string utf8_from_tag_bytes(const char* bytes, size_t length, bool field_full = false);

// Text of the given ID3v2 encoding (0 Latin-1, 1 UTF-16 with byte order mark,
// 2 UTF-16 big-endian, 3 UTF-8) as UTF-8, up to its first NUL. Latin-1 text
// is read as utf8_from_tag_bytes reads it; an invalid UTF-8 byte stands for
// its Windows-1252 character and an unpaired UTF-16 surrogate for U+FFFD, so
// the result is always valid UTF-8.
std::string utf8_from_id3_text(int encoding, const unsigned char* text, size_t size);
