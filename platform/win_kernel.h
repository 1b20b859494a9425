// Profile (INI) files, the current directory, and reading folders.
#pragma once

#include "platform/profile.h"
#include "platform/win_types.h"

// The current directory as the program's text, without a final separator
// (except at the root); returns its length, or the size needed when it does not fit.
DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer);

// ---- Files and folders ----

#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)

#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_SYSTEM 0x00000004
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_ATTRIBUTE_REPARSE_POINT 0x00000400

// The reparse tags of links (WIN32_FIND_DATAA::dwReserved0).
#define IO_REPARSE_TAG_MOUNT_POINT 0xA0000003L
#define IO_REPARSE_TAG_SYMLINK 0xA000000CL

typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME;

typedef struct _WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0; // the reparse tag, with FILE_ATTRIBUTE_REPARSE_POINT
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
} WIN32_FIND_DATAA, *LPWIN32_FIND_DATAA;

// The attributes of a file or folder (a link's target's, plus
// FILE_ATTRIBUTE_REPARSE_POINT), or INVALID_FILE_ATTRIBUTES when the path
// names nothing. On Linux a name beginning with "." is FILE_ATTRIBUTE_HIDDEN,
// and a symbolic link is a reparse point tagged IO_REPARSE_TAG_SYMLINK.
DWORD WINAPI GetFileAttributesA(LPCSTR path);
// Lists a folder: pattern is the folder, a separator and a wildcard pattern
// ("*" for every name; "." and ".." are listed too). The first name found, or
// INVALID_HANDLE_VALUE. On Linux a name that is not valid UTF-8, or longer
// than MAX_PATH - 1 bytes, is not listed, since it could never be opened again.
HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data);
// The next name, or FALSE when there is none left.
BOOL WINAPI FindNextFileA(HANDLE search, LPWIN32_FIND_DATAA data);
BOOL WINAPI FindClose(HANDLE search);
