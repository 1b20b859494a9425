// One running program per settings folder. Two programs started in one
// folder would each write its settings file and default playlist when
// closed, the last one overwriting the other's changes; a second start there
// brings the running window forward instead.
//
// The claim lasts exactly as long as the process: it ends with it however it
// ends, a crash or a kill included, so the next start never finds a stale one.
// Linux: a lock file and a local socket named after the folder, in the
// user's runtime folder, where no other user reaches them (nothing is left in
// the start folder). Windows: a named mutex of the session's own namespace
// (Local\) derived from the folder's path, and the window found by a property
// carrying that name.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/win_types.h"
#endif

// Claims the folder (a directory ending in PATH_SEPARATOR) for this process.
// 1 when it is now this process's, or when no claim can be made there (the
// program then runs unguarded rather than not at all); 0 when another process
// holds it, once that process has been asked to bring its window forward.
// Call once, before anything in the folder is read or written.
int folder_instance_claim(const char* directory);

// The window a later start in the claimed folder brings forward: restored if
// minimised, raised and activated, the dialog it has open in front of it.
void folder_instance_set_window(HWND window);
