// The encodings of the files the program reads and writes (playlists and the
// settings file) against its own text, UTF-8. The same on both platforms, for
// the shared helpers of platform/files/.
//
// Reading: a byte-order mark means UTF-8; otherwise bytes that are valid UTF-8
// holding at least one multi-byte sequence are UTF-8; anything else is
// Windows-1252. Writing: Windows-1252 when every character has a byte there
// and those bytes would not be read back as UTF-8, so every file the program
// wrote before its text became UTF-8 comes out byte for byte the same;
// otherwise UTF-8 behind a byte-order mark. Whatever is written reads back as
// the same text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct AtomicFile;

// Turns a file's bytes into the program's text in place, the mark dropped.
// Bytes of a marked file that are not part of a valid sequence are kept as
// they are: a path holding them still names the same file, and written back
// they come out the same.
void file_bytes_to_text(std::string* content);

// The same text in blocks of about block_size bytes, so that a reader can
// release what it has read; *content is released. Costs, beside the file's
// bytes, the text once (at most three times their size, for the
// Windows-1252 characters that take three bytes).
void file_bytes_to_text_blocks(std::string* content, size_t block_size,
                               std::vector<std::string>* blocks);

// The bytes that store text, by the rule above; always UTF-8 (marked) when
// utf8_only, for a format that is UTF-8 by definition.
std::string file_bytes_of_text(const std::string& text, bool utf8_only);

// Text written to a replacement piece by piece, stored by the rule above and
// holding next to nothing: while every character so far has a Windows-1252
// byte, those bytes go to the file; at the first character that has none, the
// bytes written are widened in the file itself to the UTF-8 text they stand
// for, behind the mark, and the text goes out as it comes from then on. Only
// the last bytes of a piece that may begin a character the next piece ends
// are held.
struct TextEncoder {
    bool utf8_only;
    bool streaming;    // the mark is out; the text goes out as it comes
    uint64_t single;   // Windows-1252 bytes written while not streaming
    uint64_t widened;  // the length of their UTF-8 text
    std::string carry; // bytes of a character that may go on in the next piece
    // Whether the Windows-1252 bytes would read back as UTF-8: not once they
    // hold a byte that is not part of a valid sequence (broken); only once
    // they hold a multi-byte sequence; the bytes of a sequence not yet whole.
    bool broken;
    bool multibyte;
    std::string sequence;
};

void text_encoder_add(TextEncoder* encoder, AtomicFile* file, std::string_view text);

// Writes what is held; the encoder is then empty.
void text_encoder_finish(TextEncoder* encoder, AtomicFile* file);
