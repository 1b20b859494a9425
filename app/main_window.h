// The main window (IDD_DIALOG1): control identifiers, the dialog procedure that
// routes every message to its operation, and the playlist's subclass with its
// right-click context menu (IDR_MENU1).
#pragma once

#include "app/resource.h"
#include "platform/win32.h"

// Controls of the main dialog, under the names the program uses; the
// numbers live in resource.h, shared with the resource script.
#define MAIN_PLAY IDC_PLAY // "Jouer", the default command (Enter)
#define MAIN_PAUSE IDC_PAUSE
#define MAIN_STOP IDC_STOP
#define MAIN_EQUALIZER IDC_EQUALIZER
#define MAIN_PREVIOUS IDC_PREVIOUS
#define MAIN_NEXT IDC_NEXT
#define MAIN_FONT IDC_FONT
#define MAIN_ABOUT IDC_ABOUT
#define MAIN_UP IDC_MOVE_UP
#define MAIN_DOWN IDC_MOVE_DOWN
#define MAIN_SORT IDC_SORT
#define MAIN_SHUFFLE IDC_SHUFFLE
#define MAIN_DELETE IDC_DELETE
#define MAIN_SELECT_ALL IDC_SELECT_ALL
#define MAIN_ADD IDC_ADD
#define MAIN_OPEN IDC_OPEN
#define MAIN_SAVE IDC_SAVE
#define MAIN_REPEAT IDC_REPEAT // "Répéter": push-like automatic check box
#define MAIN_LIST IDC_PLAYLIST // the playlist list box
#define MAIN_TIME_LABEL IDC_TIME_LABEL
#define MAIN_TITLE_LABEL IDC_TITLE_LABEL
#define MAIN_LIST_GROUP IDC_LIST_GROUP
#define MAIN_TIME_SLIDER IDC_TIME_SLIDER
#define MAIN_VOLUME_SLIDER IDC_VOLUME_SLIDER
#define MAIN_BALANCE_SLIDER IDC_BALANCE_SLIDER
// 1001 .. 1027 (those that exist) and then 1 take the user's font.
#define MAIN_FIRST_FONT_CONTROL IDC_PAUSE
#define MAIN_LAST_FONT_CONTROL IDC_LIST_GROUP
#define MENU_PLAY IDM_PLAY // the context menu's "Jouer"

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
