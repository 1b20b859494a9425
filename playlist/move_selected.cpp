// Commands "Haut" and "Bas": each run of selected lines swaps places with the
// unselected line above (below) it. The list box only deletes and re-inserts
// that neighbour, so the selected lines keep their selection.
#include "playlist/playlist.h"

// Each returns whether anything moved.
static int move_runs_up(HWND box, const SelectionRun* runs, int run_count, int) {
    if (runs[0].start == 0)
        return 0;
    int last_line = runs[run_count - 1].start + runs[run_count - 1].length - 1;
    int run = 0;
    PlaylistEntry* previous = nullptr;
    PlaylistEntry* above = nullptr; // A: the unselected line above the run
    PlaylistEntry* before_above = nullptr;
    PlaylistEntry* entry = playlist_head;
    WalkAhead ahead = walk_ahead_start();
    for (int i = 0; i <= last_line && run < run_count && entry != nullptr; i++) {
        walk_ahead_step(&ahead);
        int start = runs[run].start;
        int end = start + runs[run].length - 1;
        if (i == start - 1) {
            above = entry;
            before_above = previous;
        }
        if (i == end) {
            SendMessageA(box, LB_DELETESTRING, (WPARAM)(start - 1), 0);
            SendMessageA(box, LB_INSERTSTRING, (WPARAM)end, (LPARAM)above->title);
            PlaylistEntry* first = above->next;
            PlaylistEntry* after_run = entry->next;
            entry->next = above;
            if (before_above != nullptr)
                before_above->next = first;
            else
                playlist_head = first;
            above->next = after_run;
            entry = above; // A now stands at line i
            run++;
        }
        previous = entry;
        entry = entry->next;
    }
    SendMessageA(box, LB_SETCARETINDEX, (WPARAM)(runs[0].start - 1), 0);
    return 1;
}

static int move_runs_down(HWND box, const SelectionRun* runs, int run_count, int n) {
    int below_last = runs[run_count - 1].start + runs[run_count - 1].length;
    if (below_last >= n)
        return 0;
    int run = 0;
    PlaylistEntry* previous = nullptr;
    PlaylistEntry* first = nullptr; // F: the run's first entry
    PlaylistEntry* before_first = nullptr;
    PlaylistEntry* entry = playlist_head;
    WalkAhead ahead = walk_ahead_start();
    for (int i = 0; i <= below_last && run < run_count && entry != nullptr; i++) {
        walk_ahead_step(&ahead);
        int start = runs[run].start;
        int below = start + runs[run].length;
        if (i == start) {
            first = entry;
            before_first = previous;
        }
        if (i == below) {
            // entry is B, the unselected line below; previous is the run's last entry Z.
            SendMessageA(box, LB_DELETESTRING, (WPARAM)below, 0);
            SendMessageA(box, LB_INSERTSTRING, (WPARAM)start, (LPARAM)entry->title);
            previous->next = entry->next;
            entry->next = first;
            if (before_first != nullptr)
                before_first->next = entry;
            else
                playlist_head = entry;
            entry = previous; // Z now stands at line i
            run++;
        }
        previous = entry;
        entry = entry->next;
    }
    SendMessageA(box, LB_SETCARETINDEX, (WPARAM)below_last, 0);
    return 1;
}

void move_selected_up(void) {
    edit_selection(move_runs_up);
}

void move_selected_down(void) {
    edit_selection(move_runs_down);
}
