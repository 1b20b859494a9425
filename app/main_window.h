// The main window (IDD_DIALOG1): control identifiers, the dialog procedure that
// routes every message to its operation, and the playlist's subclass with its
// right-click context menu (IDR_MENU1).
#pragma once

#include "platform/win32.h"

// Controls of the main dialog.
#define MAIN_PLAY 1 // "Jouer", the default command (Enter)
#define MAIN_PAUSE 1001
#define MAIN_STOP 1002
#define MAIN_EQUALIZER 1003
#define MAIN_PREVIOUS 1004
#define MAIN_NEXT 1005
#define MAIN_FONT 1006
#define MAIN_ABOUT 1007
#define MAIN_UP 1008
#define MAIN_DOWN 1009
#define MAIN_SORT 1010
#define MAIN_SHUFFLE 1011
#define MAIN_DELETE 1012
#define MAIN_SELECT_ALL 1013
#define MAIN_ADD 1014
#define MAIN_OPEN 1015
#define MAIN_SAVE 1016
#define MAIN_REPEAT 1018 // "Répéter": push-like automatic check box
#define MAIN_LIST 1020   // the playlist list box
#define MAIN_TIME_LABEL 1021
#define MAIN_TITLE_LABEL 1022
#define MAIN_TIME_SLIDER 1041
#define MAIN_VOLUME_SLIDER 1042
#define MAIN_BALANCE_SLIDER 1043
#define MAIN_FIRST_FONT_CONTROL 1001 // 1001 .. 1027 (and 1) take the user's font
#define MAIN_LAST_FONT_CONTROL 1027
#define MENU_PLAY 1054 // the context menu's "Jouer"

// Posted by the decoder's wakeup (from any thread); the main dialog answers
// with vbmp3_pump, which delivers the events to decoder_event.
#define WM_DECODER_EVENTS (WM_APP + 1)

// 1 while the Ctrl key is known to be held with the list box focused: set on
// its first Ctrl key-down, cleared on its Ctrl key-up and when the menu opens.
extern int ctrl_down;
// 1 while the context menu is open (set and cleared by open_context_menu).
extern int menu_tracking;
// The list box's procedure before subclassing; set once at WM_INITDIALOG.
extern WNDPROC list_prev_proc;
// The menu loaded for the context menu currently open (open_context_menu, or a
// right-button press that closes it).
extern HMENU context_menu;

INT_PTR CALLBACK main_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK list_subclass_proc(HWND list, UINT message, WPARAM wparam, LPARAM lparam);
// Right-click at (x, y), client coordinates of the list box: selects by the
// menu's rule and runs the menu; nothing on an empty list or below the last line.
void open_context_menu(HWND list, int x, int y);

// The list commands shared by the buttons and the context menu (1008 to
// 1013); FALSE for any other identifier.
BOOL run_list_command(int id);
