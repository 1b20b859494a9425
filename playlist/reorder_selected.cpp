// Commands "Trier" and "Aléatoire": the selected lines are reordered among
// their own positions; unselected lines keep their entries.
#include "playlist/playlist.h"

#include <cstdlib>

// Work arrays of one command, all released before it returns.
struct ReorderWork {
    PlaylistEntry** line_entries; // the entry of every line
    char** keys;                  // sort keys of the selected entries (sort only)
    int* positions;               // lines of the selected entries, ascending
    PlaylistEntry** selected;     // the selected entries, in line order, then reordered
};

static void release_work(ReorderWork* work) {
    free(work->line_entries);
    free(work->keys);
    free(work->positions);
    free(work->selected);
}

// Fills the work arrays from the list and the list box and returns the number
// of selected entries, or -1 when a key cannot be had (the keys made so far
// are then released).
static int collect_lines(HWND box, ReorderWork* work, int n, int k) {
    PlaylistEntry* entry = playlist_head;
    int m = 0;
    for (int j = 0; j < n && entry != nullptr; j++, entry = entry->next) {
        work->line_entries[j] = entry;
        if (SendMessageA(box, LB_GETSEL, (WPARAM)j, 0) == 0 || m == k)
            continue;
        work->positions[m] = j;
        work->selected[m] = entry;
        if (work->keys != nullptr) {
            work->keys[m] = sort_key(entry);
            if (work->keys[m] == nullptr) {
                for (int i = 0; i < m; i++)
                    free(work->keys[i]);
                return -1;
            }
        }
        m++;
    }
    return m;
}

void reorder_selected(int order) {
    int shuffle = order == REORDER_SHUFFLE;
    if (current_entry == nullptr)
        return;
    HWND box = playlist_box();
    int k = (int)SendMessageA(box, LB_GETSELCOUNT, 0, 0);
    if (k <= 1)
        return;
    int n = (int)SendMessageA(box, LB_GETCOUNT, 0, 0);

    ReorderWork work = {nullptr, nullptr, nullptr, nullptr};
    work.line_entries = (PlaylistEntry**)malloc(sizeof(PlaylistEntry*) * (size_t)n);
    if (work.line_entries != nullptr && !shuffle)
        work.keys = (char**)malloc(sizeof(char*) * (size_t)k);
    if (work.line_entries != nullptr && (shuffle || work.keys != nullptr))
        work.positions = (int*)malloc(sizeof(int) * (size_t)k);
    if (work.positions != nullptr)
        work.selected = (PlaylistEntry**)malloc(sizeof(PlaylistEntry*) * (size_t)k);
    if (work.selected != nullptr)
        k = collect_lines(box, &work, n, k);
    if (work.selected == nullptr || k < 0) {
        release_work(&work);
        return;
    }

    if (shuffle)
        shuffle_entries(work.selected, k);
    else
        sort_by_key(work.keys, 0, k - 1, 0, work.selected);

    for (int m = 0; m < k; m++)
        work.line_entries[work.positions[m]] = work.selected[m];
    // The whole list is relinked in one pass; no entry is released.
    playlist_head = work.line_entries[0];
    for (int j = 0; j < n - 1; j++)
        work.line_entries[j]->next = work.line_entries[j + 1];
    work.line_entries[n - 1]->next = nullptr;

    SendMessageA(box, WM_SETREDRAW, 0, 0);
    for (int m = k - 1; m >= 0; m--) {
        SendMessageA(box, LB_DELETESTRING, (WPARAM)work.positions[m], 0);
        SendMessageA(box, LB_INSERTSTRING, (WPARAM)work.positions[m],
                     (LPARAM)work.selected[m]->title);
        SendMessageA(box, LB_SETSEL, TRUE, (LPARAM)work.positions[m]);
        if (!shuffle)
            free(work.keys[m]);
    }
    release_work(&work);
    SendMessageA(box, WM_SETREDRAW, 1, 0);
}
