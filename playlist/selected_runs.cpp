// The selection of the list box as maximal runs of consecutive lines.
#include "playlist/playlist.h"

#include <cstdlib>

int selected_runs(SelectionRun* runs, int n) {
    HWND box = playlist_box();
    int count = 0;
    int open = 0;
    int start = 0;
    for (int j = 0; j < n - 1; j++) {
        int selected = SendMessageA(box, LB_GETSEL, (WPARAM)j, 0) != 0;
        if (selected && !open) {
            open = 1;
            start = j;
        } else if (!selected && open) {
            runs[count].start = start;
            runs[count].length = j - start;
            count++;
            open = 0;
        }
    }
    int last_selected = SendMessageA(box, LB_GETSEL, (WPARAM)(n - 1), 0) != 0;
    if (last_selected && open) {
        runs[count].start = start;
        runs[count].length = n - start;
        count++;
    } else if (last_selected) {
        runs[count].start = n - 1;
        runs[count].length = 1;
        count++;
    } else if (open) {
        runs[count].start = start;
        runs[count].length = n - 1 - start;
        count++;
    }
    return count;
}

int edit_selection(SelectionEdit edit) {
    if (current_entry == nullptr)
        return 0;
    HWND box = playlist_box();
    if (SendMessageA(box, LB_GETSELCOUNT, 0, 0) == 0)
        return 0;
    int n = (int)SendMessageA(box, LB_GETCOUNT, 0, 0);
    SelectionRun* runs = (SelectionRun*)malloc(sizeof(SelectionRun) * (size_t)((n + 1) / 2));
    if (runs == nullptr)
        return 0;
    int run_count = selected_runs(runs, n);
    int result = run_count > 0 ? edit(box, runs, run_count, n) : 0;
    free(runs);
    return result;
}

// Far enough ahead for about as many reads from memory as a processor keeps
// waiting at once.
static const int walk_ahead_distance = 16;

WalkAhead walk_ahead_start(void) {
    WalkAhead ahead = {playlist_head};
    for (int i = 0; i < walk_ahead_distance && ahead.entry != nullptr; i++)
        ahead.entry = ahead.entry->next;
    return ahead;
}

void walk_ahead_step(WalkAhead* ahead) {
    if (ahead->entry == nullptr)
        return;
    __builtin_prefetch(ahead->entry->title);
    __builtin_prefetch(ahead->entry->path);
    ahead->entry = ahead->entry->next;
}
