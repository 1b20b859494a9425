// The main window's dialog procedure: every message routed to its operation.
#include "app/main_window.h"

#include "app/about.h"
#include "app/app.h"
#include "equalizer/equalizer.h"
#include "playback/player.h"
#include "playback/position.h"
#include "playback/volume.h"
#include "playlist/playlist.h"
#include "playlist_files/playlist_files.h"
#include "settings/font.h"
#include "settings/settings.h"
#include "vbmp3/vbmp3.h"

static int caret_line(HWND list) {
    return (int)SendMessageA(list, LB_GETCURSEL, 0, 0);
}

BOOL run_list_command(int id) {
    switch (id) {
    case IDC_MOVE_UP:
        move_selected_up();
        return TRUE;
    case IDC_MOVE_DOWN:
        move_selected_down();
        return TRUE;
    case IDC_SORT:
        reorder_selected(REORDER_SORT);
        return TRUE;
    case IDC_SHUFFLE:
        reorder_selected(REORDER_SHUFFLE);
        return TRUE;
    case IDC_DELETE:
        delete_selected();
        return TRUE;
    case IDC_SELECT_ALL:
        select_all();
        return TRUE;
    default:
        return FALSE;
    }
}

static INT_PTR command(HWND dialog, int id, int notification) {
    switch (id) {
    case IDC_PLAY:
        play_command();
        return TRUE;
    case IDC_PAUSE:
        pause_command();
        return TRUE;
    case IDC_STOP:
        stop_playback();
        return TRUE;
    case IDC_EQUALIZER:
        DialogBoxParamA(app_instance, MAKEINTRESOURCEA(IDD_DIALOG3), main_dialog,
                        equalizer_dialog_proc, 0);
        return TRUE;
    case IDC_PREVIOUS:
        previous_command();
        return TRUE;
    case IDC_NEXT:
        next_command();
        return TRUE;
    case IDC_FONT:
        choose_font();
        return TRUE;
    case IDC_ABOUT:
        DialogBoxParamA(app_instance, MAKEINTRESOURCEA(IDD_DIALOG2), main_dialog, about_dialog_proc,
                        0);
        return TRUE;
    case IDC_ADD:
        browse_files((int)SendMessageA(GetDlgItem(dialog, IDC_PLAYLIST), LB_GETCOUNT, 0, 0),
                     BROWSE_ADD);
        return TRUE;
    case IDC_OPEN:
        open_and_play();
        return TRUE;
    case IDC_SAVE:
        save_playlist_as();
        return TRUE;
    case IDC_PLAYLIST:
        if (notification == LBN_DBLCLK) {
            play_at_index(caret_line(GetDlgItem(dialog, IDC_PLAYLIST)));
            return TRUE;
        }
        return FALSE;
    default:
        // Repeat toggles itself; Esc (IDCANCEL) does nothing here.
        return run_list_command(id);
    }
}

// Slider notifications go by the focused control, not by their sender: the
// time slider's are seeks, any other's re-apply volume and balance.
static void scroll(HWND dialog, int code) {
    HWND focus = GetFocus();
    if (focus == GetDlgItem(dialog, IDC_TIME_SLIDER)) {
        if (code == TB_THUMBTRACK) {
            seek_dragging = 1;
        } else {
            end_seek();
        }
        return;
    }
    if (code == TB_THUMBTRACK && focus == GetDlgItem(dialog, IDC_BALANCE_SLIDER)) {
        snap_balance(dialog);
    }
    apply_volume();
}

static void close_main_window(HWND dialog, int user_present) {
    save_settings_on_close(user_present);
    // The library ends any playback itself; nothing is closed first.
    vbmp3_free();
    DestroyWindow(dialog);
}

INT_PTR CALLBACK main_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        // main_dialog is not set yet: the creation call has not returned.
        subclass_playlist_box(GetDlgItem(dialog, IDC_PLAYLIST));
        // Files dropped on the window, its list included, come as WM_DROPFILES.
        DragAcceptFiles(dialog, TRUE);
        ShowWindow(dialog, SW_SHOW);
        return TRUE;
    }
    case WM_ENDSESSION:
        // At logoff or shutdown (Windows), or on a shutdown signal (Linux),
        // no WM_CLOSE comes and the process must end soon: the program closes
        // as its close button does, but shows no box nobody would answer.
        if (wparam == FALSE) {
            return TRUE;
        }
        close_main_window(dialog, 0);
        return TRUE;
    case WM_CLOSE:
        close_main_window(dialog, 1);
        return TRUE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return TRUE;
    case WM_COMMAND:
        return command(dialog, LOWORD(wparam), HIWORD(wparam));
    case WM_TIMER:
        if (seek_dragging != 0) {
            show_time_while_dragging();
        } else {
            show_position();
        }
        return TRUE;
    case WM_HSCROLL:
        scroll(dialog, LOWORD(wparam));
        return TRUE;
    case WM_DROPFILES:
        // Appended as "Ajouter" appends the files it is given.
        add_dropped_files((int)SendMessageA(GetDlgItem(dialog, IDC_PLAYLIST), LB_GETCOUNT, 0, 0),
                          (HDROP)wparam);
        return TRUE;
    case WM_DECODER_EVENTS:
        vbmp3_pump();
        return TRUE;
    default:
        return FALSE;
    }
}
