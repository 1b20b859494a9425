// Position display: title label, time label and time slider; seeking.
#include "playback/position.h"

#include <cstdio>

#include "common/globals.h"
#include "common/resource.h"
#include "platform/win32.h"
#include "playback/player.h"
#include "playlist/playlist.h"
#include "vbmp3/vbmp3.h"

// Room for any number of minutes a 32-bit count of seconds can hold, so a
// very long track shows its full time instead of overrunning the label.
#define ELAPSED_PART_SIZE 24
#define DURATION_PART_SIZE 16
#define TIME_LABEL_SIZE 40

static HWND time_slider(void) {
    return GetDlgItem(main_dialog, IDC_TIME_SLIDER);
}

void refresh_title(void) {
    const char* title = current_entry != nullptr ? current_entry->title : "";
    SetWindowTextA(GetDlgItem(main_dialog, IDC_TITLE_LABEL), title);
}

void refresh_time_label(void) {
    char label[TIME_LABEL_SIZE] = "--:-- / --:--";
    if (current_entry != nullptr) {
        char elapsed[ELAPSED_PART_SIZE] = "";
        char duration[DURATION_PART_SIZE];
        if (decoder_state() != VBMP3_STATE_NOTHING_OPEN) {
            snprintf(elapsed, sizeof elapsed, "%d:%02d / ", elapsed_seconds / 60,
                     elapsed_seconds % 60);
        }
        snprintf(duration, sizeof duration, "%d:%02d", current_entry->duration / 60,
                 current_entry->duration % 60);
        snprintf(label, sizeof label, "%s%s", elapsed, duration);
    }
    SetWindowTextA(GetDlgItem(main_dialog, IDC_TIME_LABEL), label);
}

// The ends are set one by one: TBM_SETRANGE packs them into two signed
// 16-bit words, so a track of 32,768 s (9 h 6 min) or more would get a
// maximum below zero, where these take the whole 32-bit duration.
void set_time_range(void) {
    if (current_entry != nullptr) {
        SendMessageA(time_slider(), TBM_SETRANGEMIN, FALSE, 0);
        SendMessageA(time_slider(), TBM_SETRANGEMAX, FALSE, current_entry->duration);
    }
}

void reset_position(void) {
    SendMessageA(time_slider(), TBM_SETPOS, TRUE, 0);
    elapsed_seconds = 0;
}

void show_time_while_dragging(void) {
    // The slider stays where the user holds it; the label follows the
    // decoder as it does between drags.
    vbmp3_pump();
    refresh_time_label();
}

void show_position(void) {
    // The decoder's latest position waits for this pump: it does not wake the
    // program a second time each second.
    vbmp3_pump();
    SendMessageA(time_slider(), TBM_SETPOS, TRUE, elapsed_seconds);
    refresh_time_label();
}

void refresh_display(void) {
    refresh_title();
    refresh_time_label();
    set_time_range();
}

void end_seek(void) {
    seek_dragging = 0;
    if (decoder_state() != VBMP3_STATE_NOTHING_OPEN) {
        elapsed_seconds = (int)SendMessageA(time_slider(), TBM_GETPOS, 0, 0);
        refresh_time_label();
        vbmp3_seek(elapsed_seconds);
    } else {
        reset_position();
    }
}
