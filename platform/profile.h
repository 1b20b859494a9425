// Profile (INI) files: the settings file. The program's own implementation
// (platform/files/profile.cpp) on every platform, so that the file comes out
// the same bytes everywhere and is replaced atomically; Windows' own profile
// functions rewrite the file in place, and a crash while they write leaves it
// cut short.
//
// INI semantics: section and key names case-insensitive; a missing file or key
// gives the default; lines end with CR LF; each write, or burst of writes,
// replaces the file atomically (a temporary file beside it, flushed, then
// renamed over it).
#pragma once

#ifdef _WIN32
#include <windows.h>
// <windows.h> declares these names as imports from KERNEL32; the program's
// calls are sent to its own functions instead.
#define GetPrivateProfileIntA melodiane_GetPrivateProfileIntA
#define GetPrivateProfileStringA melodiane_GetPrivateProfileStringA
#define WritePrivateProfileStringA melodiane_WritePrivateProfileStringA
#else
#include "platform/win_types.h"
#endif

UINT WINAPI GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT default_value, LPCSTR path);
DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR default_value,
                                      LPSTR buffer, DWORD size, LPCSTR path);
BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR path);

// From now on the file is kept in memory between calls and the writes of a
// burst are made once: at the flush form of WritePrivateProfileStringA (all
// four arguments null, as Windows flushes its own cache), or at the latest
// when the process exits. The first write of a burst is refused when the
// file cannot be written; a reader in another process sees the old file or
// the new one, whole. Without this call, every write replaces the file at once.
void profile_defer_writes(void);
