// The media keys on Windows, also while another window has the focus: each
// is registered as a hot key of the main window. A key another program holds
// still reaches the window as WM_APPCOMMAND while it, or one of its controls,
// has the focus. Both arrive at a subclass of the main window, which presses
// the button the key stands for.
#include "platform/media_controls.h"

#include <commctrl.h>

#define MEDIA_SUBCLASS_ID 1

static MEDIA_CONTROLS controls;
static MEDIA_STATE_READER read_state = nullptr;

static const UINT media_keys[] = {VK_MEDIA_PLAY_PAUSE, VK_MEDIA_NEXT_TRACK, VK_MEDIA_PREV_TRACK,
                                  VK_MEDIA_STOP};
#define MEDIA_KEY_COUNT (sizeof media_keys / sizeof media_keys[0])

static int player_status(void) {
    MEDIA_STATE state = {MEDIA_STOPPED, nullptr, 0, 0, 0, 0};
    read_state(&state);
    return state.status;
}

// Presses a button as a click does; nothing when the click could not happen
// (the button disabled, or a modal dialog open over the window).
static void press(HWND window, int id) {
    HWND button = GetDlgItem(window, id);
    if (button == nullptr || !IsWindowEnabled(window) || !IsWindowEnabled(button)) {
        return;
    }
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)button);
}

// "Jouer" plays the current entry from its start even while it plays, and
// "Pauser" resumes a paused track: Play and Pause, which leave a player
// already doing what they ask alone, press nothing then. FALSE for a command
// that is not the player's.
static BOOL run_command(HWND window, int command) {
    switch (command) {
    case APPCOMMAND_MEDIA_PLAY_PAUSE:
        press(window, player_status() == MEDIA_STOPPED ? controls.play : controls.pause);
        return TRUE;
    case APPCOMMAND_MEDIA_PLAY:
        if (player_status() != MEDIA_PLAYING) {
            press(window, controls.play);
        }
        return TRUE;
    case APPCOMMAND_MEDIA_PAUSE:
        if (player_status() == MEDIA_PLAYING) {
            press(window, controls.pause);
        }
        return TRUE;
    case APPCOMMAND_MEDIA_STOP:
        press(window, controls.stop);
        return TRUE;
    case APPCOMMAND_MEDIA_NEXTTRACK:
        press(window, controls.next);
        return TRUE;
    case APPCOMMAND_MEDIA_PREVIOUSTRACK:
        press(window, controls.previous);
        return TRUE;
    default:
        return FALSE;
    }
}

static int command_of_key(UINT key) {
    switch (key) {
    case VK_MEDIA_PLAY_PAUSE:
        return APPCOMMAND_MEDIA_PLAY_PAUSE;
    case VK_MEDIA_NEXT_TRACK:
        return APPCOMMAND_MEDIA_NEXTTRACK;
    case VK_MEDIA_PREV_TRACK:
        return APPCOMMAND_MEDIA_PREVIOUSTRACK;
    case VK_MEDIA_STOP:
        return APPCOMMAND_MEDIA_STOP;
    default:
        return 0;
    }
}

static LRESULT CALLBACK media_keys_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                        UINT_PTR, DWORD_PTR) {
    switch (message) {
    case WM_HOTKEY:
        // The key's virtual-key code is lParam's high word.
        if (run_command(window, command_of_key(HIWORD(lparam)))) {
            return 0;
        }
        break;
    case WM_APPCOMMAND:
        if (run_command(window, GET_APPCOMMAND_LPARAM(lparam))) {
            return TRUE;
        }
        break;
    case WM_NCDESTROY:
        for (UINT i = 0; i < MEDIA_KEY_COUNT; i++) {
            UnregisterHotKey(window, (int)i + 1);
        }
        RemoveWindowSubclass(window, media_keys_proc, MEDIA_SUBCLASS_ID);
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wparam, lparam);
}

void media_controls_start(HWND window, const MEDIA_CONTROLS* window_controls,
                          MEDIA_STATE_READER reader) {
    controls = *window_controls;
    read_state = reader;
    if (!SetWindowSubclass(window, media_keys_proc, MEDIA_SUBCLASS_ID, 0)) {
        return;
    }
    // A key another program holds fails here and is left to WM_APPCOMMAND.
    for (UINT i = 0; i < MEDIA_KEY_COUNT; i++) {
        RegisterHotKey(window, (int)i + 1, MOD_NOREPEAT, media_keys[i]);
    }
}
