// Profile (INI) files and the current directory.
#pragma once

#include "platform/win_types.h"

// INI semantics: section and key names case-insensitive; a missing file or key
// gives the default; lines end with CR LF; each write replaces the file
// atomically (a temporary file beside it, flushed, then renamed over it).
UINT WINAPI GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT default_value, LPCSTR path);
DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR default_value,
                                      LPSTR buffer, DWORD size, LPCSTR path);
BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR path);

// Windows-1252 text of the current directory, without a final separator
// (except at the root); returns its length, or the size needed when it does not fit.
DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer);
