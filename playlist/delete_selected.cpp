// Command "Effacer": deletes the selected lines, run by run.
#include "playlist/playlist.h"

#include "common/globals.h"
#include "common/resource.h"
#include "playback/player.h"
#include "playback/position.h"
#include "vbmp3/vbmp3.h"

// Unlinks and releases the selected entries; returns whether the current one
// was among them.
static int delete_runs(HWND box, const SelectionRun* runs, int run_count, int) {
    int last_line = runs[run_count - 1].start + runs[run_count - 1].length - 1;
    int run = 0;
    int deletion_line = runs[0].start;
    int deleted = 0;
    int current_deleted = 0;
    PlaylistEntry* previous = nullptr;
    PlaylistEntry* run_predecessor = nullptr;
    PlaylistEntry* entry = playlist_head;
    WalkAhead ahead = walk_ahead_start();
    for (int line = 0; line <= last_line && entry != nullptr; line++) {
        walk_ahead_step(&ahead);
        int start = runs[run].start;
        int end = start + runs[run].length - 1;
        if (line < start) {
            previous = entry;
            entry = entry->next;
            continue;
        }
        if (line == start)
            run_predecessor = previous;
        PlaylistEntry* following = entry->next;
        // The whole run is unlinked at once, at its last line.
        if (line == end) {
            if (run_predecessor != nullptr)
                run_predecessor->next = following;
            else
                playlist_head = following;
        }
        // The current entry slides to the first survivor after it.
        if (entry == current_entry) {
            current_entry = following;
            current_deleted = 1;
        }
        release_entry(entry);
        SendMessageA(box, LB_DELETESTRING, (WPARAM)deletion_line, 0);
        deleted++;
        entry = following;
        if (line == end) {
            previous = run_predecessor;
            run++;
            if (run < run_count)
                deletion_line = runs[run].start - deleted;
        }
    }
    return current_deleted;
}

void delete_selected(void) {
    if (!edit_selection(delete_runs))
        return;
    if (current_entry == nullptr && IsDlgButtonChecked(main_dialog, IDC_REPEAT))
        current_entry = playlist_head;
    stop_reason = STOP_REASON_USER;
    vbmp3_close();
    reset_position();
    refresh_display();
}
