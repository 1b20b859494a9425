// The playlist list box's subclass: Ctrl tracking, the list's command keys
// and the context menu, by right click or from the keyboard.
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

// Opens the context menu for line at point (screen coordinates): selects by
// the menu's rule and runs the menu.
static void open_context_menu(HWND list, int line, POINT point) {
    SetFocus(list);
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

// Right-click at (x, y), client coordinates of the list box: nothing on an
// empty list or below the last line.
static void open_context_menu_at_pointer(HWND list, int x, int y) {
    int count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    if (count <= 0) {
        return;
    }
    POINT point = {x, y};
    ClientToScreen(list, &point);
    int line = LBItemFromPt(list, point, FALSE);
    if (line < 0) {
        return;
    }
    open_context_menu(list, line, point);
}

// The menu key or Shift+F10: the menu of the caret line, opened below its
// left end, kept inside the list when the line is scrolled out of view.
static void open_context_menu_at_caret(HWND list) {
    int count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    if (count <= 0) {
        return;
    }
    int line = (int)SendMessageA(list, LB_GETCARETINDEX, 0, 0);
    RECT item = {0, 0, 0, 0};
    RECT client = {0, 0, 0, 0};
    SendMessageA(list, LB_GETITEMRECT, line, (LPARAM)&item);
    GetClientRect(list, &client);
    POINT point = {item.left, item.bottom};
    if (point.y < client.top) {
        point.y = client.top;
    }
    if (point.y > client.bottom) {
        point.y = client.bottom;
    }
    ClientToScreen(list, &point);
    open_context_menu(list, line, point);
}

static LRESULT CALLBACK list_subclass_proc(HWND list, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_KEYDOWN:
        if (wparam == VK_CONTROL && ctrl_down == 0) {
            ctrl_down = 1;
            return 0;
        }
        // The keys of the list's own commands: Delete runs "Effacer",
        // Ctrl+A runs "Tout".
        if (wparam == VK_DELETE) {
            run_list_command(IDC_DELETE);
            return 0;
        }
        if (wparam == 'A' && GetKeyState(VK_CONTROL) < 0) {
            run_list_command(IDC_SELECT_ALL);
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
        if (LOWORD(wparam) == IDM_PLAY) {
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
            open_context_menu_at_pointer(list, LOWORD(lparam), HIWORD(lparam));
            return 0;
        }
        break;
    case WM_CONTEXTMENU:
        // From the keyboard (coordinates -1, -1); a right click opened its
        // menu on the button's release already.
        if (menu_tracking == 0 && (short)LOWORD(lparam) == -1 && (short)HIWORD(lparam) == -1) {
            open_context_menu_at_caret(list);
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
