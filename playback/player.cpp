// Player controller: transport commands, navigation and end-of-track handling.
#include "playback/player.h"

#include "common/globals.h"
#include "common/resource.h"
#include "platform/win32.h"
#include "playback/position.h"
#include "playlist/playlist.h"
#include "playlist_files/playlist_files.h"
#include "vbmp3/vbmp3.h"

// Results of move_next and move_previous.
#define MOVE_NO_ENTRY 0 // there is no current entry
#define MOVE_REFUSED 1  // end of the list without repeat; nothing changed
#define MOVE_DONE 2     // another (or, alone with repeat, the same) entry is current

int elapsed_seconds = 0;
int stop_reason = STOP_REASON_PLAYING;
int seek_dragging = 0;

int decoder_state(void) {
    // The library fills an integer the program never reads.
    int unused = 0;
    return vbmp3_getState(&unused);
}

static int repeat_on(void) {
    return IsDlgButtonChecked(main_dialog, IDC_REPEAT) != 0;
}

static void start_position_timer(void) {
    SetTimer(main_dialog, position_timer, position_timer_period, nullptr);
}

static void kill_position_timer(void) {
    KillTimer(main_dialog, position_timer);
}

// Opens the current entry's file in the decoder; nothing without a current entry.
static void open_current(void) {
    // The library never reads this record; it only has to be there.
    static char scratch[VBMP3_OPEN_RECORD_SIZE];
    if (current_entry != nullptr) {
        vbmp3_open(current_entry->path, scratch);
    }
}

// stop_reason = 0, starts position_timer, plays the just-opened track, rewrites
// the time label.
static void start_playback(void) {
    stop_reason = STOP_REASON_PLAYING;
    start_position_timer();
    vbmp3_play();
    refresh_time_label();
}

// Navigation steps: one of MOVE_*. They change current_entry and nothing else;
// the repeat check box is read when they run.
static int move_next(void) {
    if (current_entry == nullptr) {
        return MOVE_NO_ENTRY;
    }
    if (current_entry->next != nullptr) {
        current_entry = current_entry->next;
        return MOVE_DONE;
    }
    if (repeat_on()) {
        current_entry = playlist_head;
        return MOVE_DONE;
    }
    return MOVE_REFUSED;
}

static int move_previous(void) {
    if (current_entry == nullptr) {
        return MOVE_NO_ENTRY;
    }
    if (current_entry == playlist_head) {
        if (!repeat_on()) {
            return MOVE_REFUSED;
        }
        PlaylistEntry* last = playlist_head;
        while (last->next != nullptr) {
            last = last->next;
        }
        current_entry = last;
        return MOVE_DONE;
    }
    PlaylistEntry* before = playlist_head;
    while (before->next != current_entry) {
        before = before->next;
    }
    current_entry = before;
    return MOVE_DONE;
}

void play_command(void) {
    if (decoder_state() == VBMP3_STATE_PAUSED) {
        start_position_timer();
        vbmp3_restart();
        return;
    }
    reset_position();
    refresh_time_label();
    open_current();
    start_playback();
}

void pause_command(void) {
    switch (decoder_state()) {
    case VBMP3_STATE_PLAYING:
        vbmp3_pause();
        kill_position_timer();
        break;
    case VBMP3_STATE_PAUSED:
        vbmp3_restart();
        start_position_timer();
        break;
    default:
        break;
    }
}

void stop_playback(void) {
    stop_reason = STOP_REASON_USER;
    vbmp3_close();
    reset_position();
    refresh_time_label();
    kill_position_timer();
}

// Shared by Next and Previous once the move has been made: a track that was
// open (playing or paused) is replaced by the new entry, playing; with
// nothing open the new entry is only shown.
static void follow_move(void) {
    if (decoder_state() != VBMP3_STATE_NOTHING_OPEN) {
        stop_reason = STOP_REASON_SWITCHING;
        reset_position();
        refresh_display();
        open_current();
        start_playback();
    } else {
        refresh_display();
    }
}

void next_command(void) {
    if (move_next() == MOVE_DONE) {
        follow_move();
    }
}

void previous_command(void) {
    if (move_previous() == MOVE_DONE) {
        follow_move();
    }
}

void play_at_index(int index) {
    if (playlist_head == nullptr) {
        return;
    }
    current_entry = entry_at_index(index);
    stop_reason = STOP_REASON_SWITCHING;
    reset_position();
    refresh_display();
    open_current();
    start_playback();
}

void open_and_play(void) {
    if (browse_files(0, BROWSE_OPEN) == 1) {
        open_current();
        start_playback();
    }
}

int decoder_event(int type, int value) {
    if (type == VBMP3_EVENT_POSITION) {
        // Shown by the next tick of position_timer, not here.
        elapsed_seconds = value;
    } else if (type == VBMP3_EVENT_END) {
        if (stop_reason == STOP_REASON_PLAYING) {
            if (move_next() == MOVE_DONE) {
                reset_position();
                refresh_display();
                open_current();
                start_playback();
            } else {
                stop_playback();
            }
        } else if (stop_reason != STOP_REASON_SWITCHING) {
            stop_playback();
        }
    }
    return 0;
}
