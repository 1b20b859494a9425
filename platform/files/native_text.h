// The program's text (ANSI, Windows-1252) against the platform's: file system
// paths and UTF-8 files. Implemented by each platform (platform/qt/native_text.cpp,
// platform/win/native_text.cpp) for the shared helpers of platform/files/.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The file system's form of a program path: UTF-8 on Linux, the path itself
// on Windows.
std::string native_path(const char* path);

// UTF-8 text as the program's ANSI text. A character with no ANSI byte becomes
// '?' and its offset in *ansi is appended to *lossy_offsets. Bytes that are not
// valid UTF-8 give false with nothing changed, unless lenient, where they
// become replacement characters (and so '?').
bool utf8_to_ansi(std::string_view utf8, bool lenient, std::string* ansi,
                  std::vector<size_t>* lossy_offsets);
