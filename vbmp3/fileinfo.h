// Tags and stream summary of an MP3 file, read without decoding it.
#pragma once

#include "vbmp3/vbmp3.h"

// Fills both records (either may be null) from the file at path (UTF-8).
// Reads the ID3v2 tag, the first frames and the last 128 bytes only. False when
// the file cannot be read; the records are then left zeroed.
bool fileinfo_read(const char* path, VBMP3_TAG_INFO* tag, VBMP3_INFO* info);
