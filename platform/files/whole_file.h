// Whole files, for the profile functions and the text-mode files: reading one
// in a go, and replacing one atomically. The new content goes to a temporary
// file beside the target, is flushed to disk, and is renamed over the target
// only when all of it was written, so a crash or a full disk never leaves a
// half-written file; the temporary file a killed writer leaves is removed by
// the next replacement of the same file.
//
// A folder that refuses the temporary file (no permission to add a name) while
// the file itself may be written gets the plain write instead, which needs no
// new name: the whole content is held until the commit, then the file is
// truncated, written and flushed in place.
//
// Each platform implements the reading and the start of a replacement
// (platform/qt/whole_file.cpp over POSIX, platform/win/whole_file.cpp over
// Win32); the rest is shared (platform/files/replacement.cpp). For the shared
// helpers of platform/files/. Paths are the file system's (native_path).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Links: a symbolic link is followed only where the kernel's protected_symlinks
// rule would follow it (the user's own link, or one in a folder that is not
// world-writable and sticky, or made by that folder's owner); another user's
// link in a shared folder such as /tmp makes the file one that cannot be read
// or written.

// Reads the file at native_path. A missing file gives true with *exists false;
// false when the file is there but cannot be read (a folder, a device, a pipe,
// a link not followed).
bool read_whole_file(const char* native_path, std::string* content, bool* exists);

// What tells one version of the file at native_path from the next (its
// identity, size and times): a replacement or a write changes it. False
// when there is no file there.
bool file_stamp(const char* native_path, std::string* stamp);

// Gives back to the system the memory the heap keeps free between blocks in
// use: after a long file is read, what reading it left (tens of megabytes
// for a playlist of a million lines) would otherwise stay the process's.
void release_free_memory();

struct AtomicFile;

// Starts replacing the file at native_path. A symbolic link is followed to the
// file it names, as above. Null, with nothing created, when a plain open for
// writing would be refused (read-only file, missing directory, a new file in a
// read-only directory, a link not followed) or the temporary file cannot be
// made for another reason than the folder's permissions. The temporary file is
// private to the user until the commit gives it its permissions.
AtomicFile* atomic_begin(const char* native_path);

// Appends bytes. Returns false on failure; the failure is also remembered for atomic_commit.
bool atomic_write(AtomicFile* file, const char* data, size_t size);
// The bytes written so far.
uint64_t atomic_size(const AtomicFile* file);
// Reads back size of the bytes written so far, from offset; false, and the
// failure remembered, when they cannot be read or were not written.
bool atomic_read_at(AtomicFile* file, uint64_t offset, char* data, size_t size);
// Writes at offset, over the bytes written so far or beyond their end (the
// bytes between, if any, are to be written next); the next atomic_write
// appends after the last byte.
bool atomic_write_at(AtomicFile* file, uint64_t offset, const char* data, size_t size);

// Flushes, gives the new file the target's permissions or attributes (or those
// a plain create would give) and renames it over the target. On failure
// removes the temporary file and leaves the target as it was. In place:
// truncates, writes and flushes the target, and fails only when that fails.
// Releases the file either way.
bool atomic_commit(AtomicFile* file);

// Removes the temporary file and releases the file; a file to be written in
// place is left untouched.
void atomic_abandon(AtomicFile* file);
