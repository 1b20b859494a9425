// The main window (IDD_DIALOG1): the dialog procedure that routes every message
// to its operation, and the playlist's subclass with its right-click context
// menu (IDR_MENU1).
#pragma once

#include "common/resource.h"
#include "platform/win32.h"

// Posted by the decoder's wakeup (from any thread); the main dialog answers
// with vbmp3_pump, which delivers the events to decoder_event.
#define WM_DECODER_EVENTS (WM_APP + 1)

INT_PTR CALLBACK main_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Puts the context menu's subclass on the playlist list box, with no Ctrl key
// known to be held and no menu open; run once as the main dialog initialises.
void subclass_playlist_box(HWND list);

// The list commands shared by the buttons and the context menu (IDC_MOVE_UP to
// IDC_SELECT_ALL); FALSE for any other identifier.
BOOL run_list_command(int id);
