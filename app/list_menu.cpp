// The playlist list box's subclass: Ctrl tracking and the right-click menu.
#include "app/main_window.h"
#include "common/globals.h"
#include "playback/player.h"

// 1 while the Ctrl key is known to be held with the list box focused: set on
// its first Ctrl key-down, cleared on its Ctrl key-up and when the menu opens.
static int ctrl_down = 0;
// 1 while the context menu is open (set and cleared by open_context_menu).
static int menu_tracking = 0;
// The list box's procedure before subclassing; set once by subclass_playlist_box.
static WNDPROC list_prev_proc = nullptr;
// The menu loaded for the context menu currently open (open_context_menu, or a
// right-button press that closes it).
static HMENU context_menu = nullptr;

// Right-click at (x, y), client coordinates of the list box: selects by the
// menu's rule and runs the menu; nothing on an empty list or below the last line.
static void open_context_menu(HWND list, int x, int y) {
    int count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    if (count <= 0) {
        return;
    }
    POINT point = {x, y};
    ClientToScreen(list, &point);
    SetFocus(list);
    int line = LBItemFromPt(list, point, FALSE);
    if (line < 0) {
        return;
    }
    // Right-clicking an unselected line without Ctrl makes it the only
    // selected line; otherwise the selection is kept and the line added.
    // Index -1 reaches every line, however long the list.
    if (ctrl_down == 0 && SendMessageA(list, LB_GETSEL, line, 0) == 0) {
        SendMessageA(list, LB_SETSEL, FALSE, -1);
    }
    SendMessageA(list, LB_SETSEL, TRUE, line);
    ctrl_down = 0;

    context_menu = LoadMenuA(app_instance, MAKEINTRESOURCEA(IDR_MENU1));
    HMENU popup = GetSubMenu(context_menu, 0);
    menu_tracking = 1;
    // Returns when the menu closes; a chosen item arrives first as WM_COMMAND.
    TrackPopupMenu(popup, TPM_LEFTBUTTON, point.x, point.y, 0, list, nullptr);
    if (context_menu != nullptr) {
        DestroyMenu(context_menu);
        context_menu = nullptr;
    }
    menu_tracking = 0;
}

static LRESULT CALLBACK list_subclass_proc(HWND list, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_KEYDOWN:
        if (wparam == VK_CONTROL && ctrl_down == 0) {
            ctrl_down = 1;
            return 0;
        }
        break;
    case WM_KEYUP:
        if (wparam == VK_CONTROL && ctrl_down == 1) {
            ctrl_down = 0;
            return 0;
        }
        break;
    case WM_COMMAND:
        if (LOWORD(wparam) == MENU_PLAY) {
            play_at_index((int)SendMessageA(list, LB_GETCURSEL, 0, 0));
            return 0;
        }
        if (run_list_command(LOWORD(wparam))) {
            return 0;
        }
        break;
    case WM_RBUTTONDOWN:
        if (menu_tracking == 1) {
            // A second right press closes the open menu.
            DestroyMenu(context_menu);
            context_menu = nullptr;
            return 0;
        }
        break;
    case WM_RBUTTONUP:
        if (menu_tracking == 0) {
            open_context_menu(list, LOWORD(lparam), HIWORD(lparam));
            return 0;
        }
        break;
    default:
        break;
    }
    return CallWindowProcA(list_prev_proc, list, message, wparam, lparam);
}

void subclass_playlist_box(HWND list) {
    ctrl_down = 0;
    menu_tracking = 0;
    context_menu = nullptr;
    list_prev_proc = (WNDPROC)GetWindowLongPtrA(list, GWLP_WNDPROC);
    SetWindowLongPtrA(list, GWLP_WNDPROC, (LONG_PTR)list_subclass_proc);
}
