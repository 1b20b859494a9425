// Windows-style text-mode files for the playlist reader and writer.
//
// Paths and text are UTF-8, the program's text. Reading turns CR LF into one
// line feed and leaves a lone CR in the line. A file that begins with a UTF-8
// byte-order mark (skipped), or whose bytes are valid UTF-8 holding at least
// one multi-byte sequence, is read as UTF-8 (bytes of a marked file that are
// not UTF-8 kept as they are); anything else is Windows-1252, converted as it
// is read. Writing stores each line feed as CR LF and the
// whole text in Windows-1252, byte for byte, when every character has a byte
// there and those bytes would not be read back as UTF-8; otherwise in UTF-8
// behind a byte-order mark, as always for a name ending in ".m3u8" (any
// case), a format UTF-8 by definition. So what is written reads back as the
// same text.
// The new content goes into a temporary file beside the target that
// text_commit renames over it, so the old file stays whole until the new one
// is complete. In a folder that takes no new file, a file that may be written
// is written in place at text_commit instead, as a plain write would.
#pragma once

#include <cstddef>

typedef struct TextFile TextFile;

// Opens a file for reading; null when it cannot be opened.
TextFile* text_open_read(const char* path);

// fgets semantics: at most size - 1 bytes, up to and including the next line
// feed, then a NUL; a piece of a longer line ends before a character that
// would not fit whole. Returns buffer, or null at the end of the file.
char* text_gets(char* buffer, int size, TextFile* file);

// Prepares to replace the file at path. Null, with nothing created, when the
// target could not be opened for writing (a read-only file, or a new file in
// a read-only directory).
// A symbolic link is written through to its target; permissions are kept.
TextFile* text_open_replace(const char* path);

// Writes the string, each line feed as CR LF. Failures are remembered for text_commit.
void text_write(TextFile* file, const char* text);

// Flushes the new content to disk and renames it over the target (or writes
// it in place). Returns non-zero on success; on any failure of a replacement
// the temporary file is removed and the old file is left whole. Releases the
// file either way.
int text_commit(TextFile* file);

// Releases a file opened for reading, or abandons a replacement.
void text_close(TextFile* file);

// The program's text is UTF-8: a byte limit must never cut a character in two.
// The length of the longest start of text (length bytes) that fits in limit
// bytes and ends on a character boundary. A byte that is not part of a valid
// UTF-8 sequence counts as a character of its own.
size_t text_cut_length(const char* text, size_t length, size_t limit);

// Shortens the NUL-terminated text in place to at most limit bytes (the NUL
// not counted), ending on a character boundary.
void text_cut(char* text, size_t limit);
