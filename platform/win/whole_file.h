// Whole files on Windows, for the text-mode files and the settings file:
// reading one in a go, and replacing one atomically. The new content goes to a
// temporary file beside the target, is flushed to disk, and is moved over the
// target only when all of it was written, so a crash or a full disk never
// leaves a half-written file; the temporary file a killed writer leaves is
// removed by the next replacement of the same file.
//
// A folder that refuses the temporary file (no right to add a name) while the
// file itself may be written gets the plain write instead: the whole content
// is held until the commit, then the file is truncated, written and flushed in
// place. Paths are ANSI (the A functions' code page). Internal to the Windows
// platform layer; the same contract as the Linux one.
#pragma once

#include <cstddef>
#include <string>

// Reads the file at path. A missing file gives true with *exists false; false
// when something is there that cannot be read as a disk file (a folder, a
// device, a file locked by another program).
bool read_whole_file(const char* path, std::string* content, bool* exists);

struct AtomicFile;

// Starts replacing the file at path; a symbolic link is followed to the file
// it names. Null, with nothing created, when a plain open for writing would be
// refused (read-only file, missing folder, a new file in a folder that takes
// none) or the temporary file cannot be made for another reason than the
// folder's rights.
AtomicFile* atomic_begin(const char* path);

// Appends bytes. Returns false on failure; the failure is also remembered for atomic_commit.
bool atomic_write(AtomicFile* file, const char* data, size_t size);

// Flushes, gives the new file the target's attributes and moves it over the
// target. On failure removes the temporary file and leaves the target as it
// was. In place: truncates, writes and flushes the target, and fails only when
// that fails. Releases the file either way.
bool atomic_commit(AtomicFile* file);

// Removes the temporary file and releases the file; a file to be written in
// place is left untouched.
void atomic_abandon(AtomicFile* file);
