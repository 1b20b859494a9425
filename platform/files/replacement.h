// What both platforms' whole-file code shares (platform/qt/whole_file.cpp over
// POSIX, platform/win/whole_file.cpp over Win32): the state of a replacement,
// the temporary files' names, and the writing, commit and abandon of
// whole_file.h (platform/files/replacement.cpp) over a few operations each
// platform gives on its open files. Not for the rest of the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A file open for writing: a POSIX descriptor or a Win32 HANDLE.
using NativeFile = intptr_t;

struct AtomicFile {
    NativeFile file;       // the temporary file, or the target itself when written in place
    std::string temp_path; // empty when written in place
    std::string target_path;
    std::string directory; // the target's folder
    uint32_t attributes;   // the permissions (POSIX) or attributes (Windows, 0: none) the new file
                           // takes on
    bool failed;           // a write went wrong: the commit must not replace the target
    std::string in_place;  // written in place: the new content, held until the commit
    uint64_t size = 0;     // bytes in the temporary file so far, pending ones left out
    std::string pending;   // bytes on their way to the temporary file, written in blocks
};

// The folder and the name of a path whose folders end in one of separators
// (the root folder keeps its separator), and a name in a folder.
std::string directory_of(const std::string& path, const char* separators);
std::string base_of(const std::string& path, const char* separators);
std::string path_in(const std::string& directory, const std::string& name, char separator);

// The temporary files of a target are named prefix + temp_letters letters: a
// hidden name that starts with the target's and never equals it, so a file
// left by a crash can never be taken for the real one.
const int temp_letters = 8;
std::string temp_prefix(const std::string& base);
// The letters from a random number of the platform's.
std::string temp_suffix(uint64_t random);
bool is_temp_name(const std::string& name, const std::string& prefix);

// ---- Given by each platform ----------------------------------------------

// Writes all of data at offset; false when any write fails.
bool native_write_at(NativeFile file, uint64_t offset, const char* data, size_t size);
// Reads size bytes at offset, all of them; false when fewer can be read.
bool native_read_at(NativeFile file, uint64_t offset, char* data, size_t size);
// The plain write: truncates the file, writes content, flushes and closes it.
bool native_rewrite(NativeFile file, const std::string& content);
// Flushes and closes the temporary file and moves it over the target, with
// the target's attributes; on failure (ok false: a write failed) removes it.
bool native_publish(const AtomicFile& file, bool ok);
void native_close(NativeFile file);
void native_remove(const std::string& path);
