// Reading folders the Windows way: attributes and folder listings in the
// program's UTF-8, over the POSIX directory functions.
#include "platform/win_kernel.h"

#include "platform/qt/system/system.h"

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>

// One listing under way: the open folder and the pattern names must match.
struct FolderSearch {
    DIR* folder;
    QByteArray pattern; // native, matched without case as on Windows
};

// 100-nanosecond intervals from 1601 to 1970.
#define FILETIME_UNIX_EPOCH 116444736000000000ULL

static FILETIME file_time(const struct timespec& time) {
    unsigned long long ticks = FILETIME_UNIX_EPOCH +
                               static_cast<unsigned long long>(time.tv_sec) * 10000000ULL +
                               static_cast<unsigned long long>(time.tv_nsec) / 100;
    return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// The attributes of what a name names: lstat's answer says whether it is a
// link, and for a link stat's (of the target) the rest. A dangling link names
// nothing.
static DWORD attributes_of(int at, const char* native, const char* name, struct stat* target) {
    if (fstatat(at, native, target, AT_SYMLINK_NOFOLLOW) != 0) {
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = 0;
    if (S_ISLNK(target->st_mode)) {
        attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        if (fstatat(at, native, target, 0) != 0) {
            return INVALID_FILE_ATTRIBUTES;
        }
    }
    if (S_ISDIR(target->st_mode)) {
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    }
    if ((target->st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        attributes |= FILE_ATTRIBUTE_READONLY;
    }
    if (name[0] == '.' && strcmp(name, ".") != 0 && strcmp(name, "..") != 0) {
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    }
    return attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
}

static const char* last_part(const char* path) {
    const char* separator = strrchr(path, '/');
    return separator != nullptr && separator[1] != '\0' ? separator + 1 : path;
}

DWORD WINAPI GetFileAttributesA(LPCSTR path) {
    if (path == nullptr || path[0] == '\0') {
        return INVALID_FILE_ATTRIBUTES;
    }
    struct stat target;
    return attributes_of(AT_FDCWD, path, last_part(path), &target);
}

// Fills data with the next name the search lists; false at the end.
static bool next_name(FolderSearch* search, LPWIN32_FIND_DATAA data) {
    while (struct dirent* entry = readdir(search->folder)) {
        if (fnmatch(search->pattern.constData(), entry->d_name, FNM_CASEFOLD) != 0) {
            continue;
        }
        QByteArray name;
        if (!native_path_to_ansi(QByteArray(entry->d_name), &name) || name.size() >= MAX_PATH) {
            continue;
        }
        struct stat target;
        DWORD attributes =
            attributes_of(dirfd(search->folder), entry->d_name, name.constData(), &target);
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            continue;
        }
        std::memset(data, 0, sizeof *data);
        data->dwFileAttributes = attributes;
        data->ftCreationTime = file_time(target.st_ctim);
        data->ftLastAccessTime = file_time(target.st_atim);
        data->ftLastWriteTime = file_time(target.st_mtim);
        unsigned long long size = S_ISDIR(target.st_mode) ? 0 : target.st_size;
        data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
        data->nFileSizeLow = static_cast<DWORD>(size);
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            data->dwReserved0 = static_cast<DWORD>(IO_REPARSE_TAG_SYMLINK);
        }
        std::memcpy(data->cFileName, name.constData(), static_cast<size_t>(name.size()) + 1);
        return true;
    }
    return false;
}

HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
    if (pattern == nullptr || data == nullptr) {
        return INVALID_HANDLE_VALUE;
    }
    const char* separator = strrchr(pattern, '/');
    QByteArray folder = separator == nullptr   ? QByteArray(".")
                        : separator == pattern ? QByteArray("/")
                                               : QByteArray(pattern, separator - pattern);
    const char* names = separator != nullptr ? separator + 1 : pattern;
    auto* search = new FolderSearch;
    search->folder = opendir(folder.constData());
    // "*.*" matches every name on Windows, those without a dot included.
    search->pattern = strcmp(names, "*.*") == 0 ? QByteArray("*") : QByteArray(names);
    if (search->folder == nullptr || !next_name(search, data)) {
        FindClose(search);
        return INVALID_HANDLE_VALUE;
    }
    return search;
}

BOOL WINAPI FindNextFileA(HANDLE search, LPWIN32_FIND_DATAA data) {
    if (search == nullptr || search == INVALID_HANDLE_VALUE || data == nullptr) {
        return FALSE;
    }
    return next_name(static_cast<FolderSearch*>(search), data) ? TRUE : FALSE;
}

BOOL WINAPI FindClose(HANDLE search) {
    if (search == nullptr || search == INVALID_HANDLE_VALUE) {
        return FALSE;
    }
    auto* listing = static_cast<FolderSearch*>(search);
    if (listing->folder != nullptr) {
        closedir(listing->folder);
    }
    delete listing;
    return TRUE;
}
