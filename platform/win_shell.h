// Files dropped on a window from a file manager: the SHELL32 subset Melodiane
// uses, for the Linux build.
#pragma once

#include "platform/win_types.h"

// Posted to the window that accepts files when a drop ends on it or on one of
// its controls; wParam is the drop, which the window releases with DragFinish.
#define WM_DROPFILES 0x0233

#define WS_EX_ACCEPTFILES 0x00000010L

typedef struct HDROP__* HDROP;

// Lets the window, and the controls inside it that do not accept files
// themselves, take files dropped from another program.
void WINAPI DragAcceptFiles(HWND window, BOOL accept);
// With index 0xFFFFFFFF, the number of names the drop holds. Otherwise the
// length of its name at index, not counting the NUL (0 past the last), when
// buffer is null; else the name copied, cut to size - 1 bytes, and the number
// of bytes copied. Names are absolute paths (UTF-8), folders without a
// final separator.
UINT WINAPI DragQueryFileA(HDROP drop, UINT index, LPSTR buffer, UINT size);
// Releases the drop.
void WINAPI DragFinish(HDROP drop);
