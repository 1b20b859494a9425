// Commands "Trier" and "Aléatoire": the selected lines are reordered among
// their own positions; unselected lines keep their entries.
#include "playlist/playlist.h"

#include <cstdlib>
#include <cstring>

// The sort keys are copied one after another into large blocks: a million
// keys then cost no more than their bytes, are released at once, and lie in
// memory in the order the sort first reads them.
static const size_t key_block_size = (size_t)1 << 20;

// The header of a block; its keys follow it.
struct KeyBlock {
    KeyBlock* previous;
    size_t used;
};

// How many entries ahead the reads of scattered records and titles are asked
// for, so that their waits on memory overlap.
static const int prefetch_distance = 16;

// Work arrays of one command, all released before it returns.
struct ReorderWork {
    PlaylistEntry** line_entries; // the entry of every line
    char** keys;                  // sort keys of the selected entries (sort only)
    int* positions;               // lines of the selected entries, ascending
    PlaylistEntry** selected;     // the selected entries, in line order, then reordered
    KeyBlock* key_block;          // the latest block of keys
    size_t key_room;              // bytes of the latest block
};

static void release_keys(ReorderWork* work) {
    while (work->key_block != nullptr) {
        KeyBlock* previous = work->key_block->previous;
        free(work->key_block);
        work->key_block = previous;
    }
}

static void release_work(ReorderWork* work) {
    free(work->line_entries);
    free(work->keys);
    free(work->positions);
    free(work->selected);
    release_keys(work);
}

// The entry's sort key, kept in the work's blocks; null when memory is short.
static char* keep_key(ReorderWork* work, const PlaylistEntry* entry) {
    char* key = sort_key(entry);
    if (key == nullptr)
        return nullptr;
    size_t size = strlen(key) + 1;
    KeyBlock* block = work->key_block;
    if (block == nullptr || work->key_room - block->used < size) {
        size_t room = size > key_block_size ? size : key_block_size;
        block = (KeyBlock*)malloc(sizeof(KeyBlock) + room);
        if (block == nullptr) {
            free(key);
            return nullptr;
        }
        block->previous = work->key_block;
        block->used = 0;
        work->key_block = block;
        work->key_room = room;
    }
    char* kept = (char*)(block + 1) + block->used;
    memcpy(kept, key, size);
    block->used += size;
    free(key);
    return kept;
}

// Fills the work arrays from the list and the list box and returns the number
// of selected entries, or -1 when a key cannot be had. The selected lines come
// in one message rather than one question per line.
static int collect_lines(HWND box, ReorderWork* work, int n, int k) {
    k = (int)SendMessageA(box, LB_GETSELITEMS, (WPARAM)k, (LPARAM)work->positions);
    PlaylistEntry* entry = playlist_head;
    // The titles the keys are made from, asked for ahead of the walk.
    WalkAhead ahead = walk_ahead_start();
    int m = 0;
    for (int j = 0; j < n && entry != nullptr; j++, entry = entry->next) {
        if (work->keys != nullptr)
            walk_ahead_step(&ahead);
        work->line_entries[j] = entry;
        if (m >= k || work->positions[m] != j)
            continue;
        work->selected[m] = entry;
        if (work->keys != nullptr) {
            work->keys[m] = keep_key(work, entry);
            if (work->keys[m] == nullptr)
                return -1;
        }
        m++;
    }
    return m;
}

// Gives the reordered entries to the lines by their contents: the record on
// selected line positions[m] takes the duration, title and path of
// selected[m]. Records stay on their lines and so in memory in line order,
// where a walk of the list finds them one after another; relinking the
// records instead would scatter them over the memory of the whole list, and
// every later walk would wait on memory at each entry. The contents are read
// into a copy first, in an order that lets the reads overlap, then written
// line by line; when the copy cannot be had they go round the permutation's
// cycles instead, one wait on memory at a time, with the next links (which the
// caller relinks afterwards) holding each content's destination. Returns the
// record that now holds the current entry's contents, or null when the
// current entry is not selected.
static PlaylistEntry* move_contents(ReorderWork* work, int k) {
    PlaylistEntry* current = nullptr;
    PlaylistEntry* copies = (PlaylistEntry*)malloc(sizeof(PlaylistEntry) * (size_t)k);
    if (copies != nullptr) {
        for (int m = 0; m < k; m++) {
            if (m + prefetch_distance < k)
                __builtin_prefetch(work->selected[m + prefetch_distance]);
            copies[m] = *work->selected[m];
        }
        for (int m = 0; m < k; m++) {
            PlaylistEntry* line = work->line_entries[work->positions[m]];
            if (work->selected[m] == current_entry)
                current = line;
            line->duration = copies[m].duration;
            line->title = copies[m].title;
            line->path = copies[m].path;
        }
        free(copies);
        return current;
    }
    for (int m = 0; m < k; m++)
        work->selected[m]->next = work->line_entries[work->positions[m]];
    for (int m = 0; m < k; m++) {
        PlaylistEntry* start = work->selected[m];
        if (start->next == nullptr)
            continue; // moved with an earlier cycle
        if (start == current_entry)
            current = start->next;
        // Each content goes to its destination, whose own content goes on in
        // turn, until the cycle comes back to its start.
        PlaylistEntry carried = *start;
        PlaylistEntry* at = start->next;
        start->next = nullptr;
        while (at != start) {
            if (at == current_entry)
                current = at->next;
            PlaylistEntry held = *at;
            at->next = nullptr;
            at->duration = carried.duration;
            at->title = carried.title;
            at->path = carried.path;
            carried = held;
            at = held.next;
        }
        start->duration = carried.duration;
        start->title = carried.title;
        start->path = carried.path;
    }
    return current;
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

    ReorderWork work = {nullptr, nullptr, nullptr, nullptr, nullptr, 0};
    work.line_entries = (PlaylistEntry**)malloc(sizeof(PlaylistEntry*) * (size_t)n);
    if (work.line_entries != nullptr && !shuffle)
        work.keys = (char**)malloc(sizeof(char*) * (size_t)k);
    if (work.line_entries != nullptr && (shuffle || work.keys != nullptr))
        work.positions = (int*)malloc(sizeof(int) * (size_t)k);
    if (work.positions != nullptr)
        work.selected = (PlaylistEntry**)malloc(sizeof(PlaylistEntry*) * (size_t)k);
    if (work.selected != nullptr)
        k = collect_lines(box, &work, n, k);
    if (work.selected == nullptr || k < 2) {
        release_work(&work);
        return;
    }

    if (shuffle)
        shuffle_entries(work.selected, k);
    else
        sort_by_key(work.keys, 0, k - 1, 0, work.selected);

    // The keys are done with: their memory can hold the copies of the contents.
    release_keys(&work);
    PlaylistEntry* current = move_contents(&work, k);
    if (current != nullptr)
        current_entry = current;
    // The whole list is relinked in one pass; no entry is released.
    playlist_head = work.line_entries[0];
    for (int j = 0; j < n - 1; j++)
        work.line_entries[j]->next = work.line_entries[j + 1];
    work.line_entries[n - 1]->next = nullptr;

    SendMessageA(box, WM_SETREDRAW, 0, 0);
    for (int m = k - 1; m >= 0; m--) {
        if (m >= prefetch_distance)
            __builtin_prefetch(work.line_entries[work.positions[m - prefetch_distance]]->title);
        SendMessageA(box, LB_DELETESTRING, (WPARAM)work.positions[m], 0);
        SendMessageA(box, LB_INSERTSTRING, (WPARAM)work.positions[m],
                     (LPARAM)work.line_entries[work.positions[m]]->title);
    }
    // The new lines are selected again a run of consecutive lines at a time,
    // then the last and the first line once more: that leaves the caret, the
    // anchor and the top line where selecting every line from the bottom up
    // leaves them, with one message a run rather than one a line.
    for (int m = 0; m < k; m++) {
        int first = work.positions[m];
        while (m + 1 < k && work.positions[m + 1] == work.positions[m] + 1)
            m++;
        SendMessageA(box, LB_SELITEMRANGEEX, (WPARAM)first, (LPARAM)work.positions[m]);
    }
    SendMessageA(box, LB_SETSEL, TRUE, (LPARAM)work.positions[k - 1]);
    SendMessageA(box, LB_SETSEL, TRUE, (LPARAM)work.positions[0]);
    release_work(&work);
    SendMessageA(box, WM_SETREDRAW, 1, 0);
}
