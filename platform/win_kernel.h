// Profile (INI) files and the current directory.
#pragma once

#include "platform/profile.h"
#include "platform/win_types.h"

// Windows-1252 text of the current directory, without a final separator
// (except at the root); returns its length, or the size needed when it does not fit.
DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer);
