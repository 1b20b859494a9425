// Commands "Trier" and "Aléatoire": the selected lines are reordered among
// their own positions; unselected lines keep their entries.
#include "playlist/playlist.h"

#include <cstdlib>
#include <cstring>

// The sort keys, and then the titles of the new lines, are copied one after
// another into large blocks: a million of them then cost no more than their
// bytes, are released at once, and lie in memory in the order they are read.
static const size_t text_block_size = (size_t)1 << 20;

// The header of a block; its texts follow it.
struct TextBlock {
    TextBlock* previous;
    size_t used;
};

// How many entries ahead the reads of scattered records and titles are asked
// for, so that their waits on memory overlap.
static const int prefetch_distance = 16;

// Work arrays of one command, all released before it returns.
struct ReorderWork {
    PlaylistEntry** line_entries; // the entry of every line
    char** texts;                 // sort keys of the selected entries, then their new lines
    int* positions;               // lines of the selected entries, ascending
    PlaylistEntry** selected;     // the selected entries, in line order, then reordered
    TextBlock* text_block;        // the latest block of texts
    size_t text_room;             // bytes of the latest block
};

static void release_texts(ReorderWork* work) {
    while (work->text_block != nullptr) {
        TextBlock* previous = work->text_block->previous;
        free(work->text_block);
        work->text_block = previous;
    }
}

static void release_work(ReorderWork* work) {
    free(work->line_entries);
    free(work->texts);
    free(work->positions);
    free(work->selected);
    release_texts(work);
}

// A copy of text kept in the work's blocks; null when memory is short.
static char* keep_text(ReorderWork* work, const char* text) {
    size_t size = strlen(text) + 1;
    TextBlock* block = work->text_block;
    if (block == nullptr || work->text_room - block->used < size) {
        size_t room = size > text_block_size ? size : text_block_size;
        block = (TextBlock*)malloc(sizeof(TextBlock) + room);
        if (block == nullptr)
            return nullptr;
        block->previous = work->text_block;
        block->used = 0;
        work->text_block = block;
        work->text_room = room;
    }
    char* kept = (char*)(block + 1) + block->used;
    memcpy(kept, text, size);
    block->used += size;
    return kept;
}

// The entry's sort key, kept in the work's blocks; null when memory is short.
static char* keep_key(ReorderWork* work, const PlaylistEntry* entry) {
    char* key = sort_key(entry);
    if (key == nullptr)
        return nullptr;
    char* kept = keep_text(work, key);
    free(key);
    return kept;
}

// Fills the work arrays from the list and the list box and returns the number
// of selected entries, or -1 when a key cannot be had. The selected lines come
// in one message rather than one question per line.
static int collect_lines(HWND box, ReorderWork* work, int n, int k, int make_keys) {
    k = (int)SendMessageA(box, LB_GETSELITEMS, (WPARAM)k, (LPARAM)work->positions);
    PlaylistEntry* entry = playlist_head;
    // The titles the keys are made from, asked for ahead of the walk.
    WalkAhead ahead = walk_ahead_start();
    int m = 0;
    for (int j = 0; j < n && entry != nullptr; j++, entry = entry->next) {
        if (make_keys)
            walk_ahead_step(&ahead);
        work->line_entries[j] = entry;
        if (m >= k || work->positions[m] != j)
            continue;
        work->selected[m] = entry;
        if (make_keys) {
            work->texts[m] = keep_key(work, entry);
            if (work->texts[m] == nullptr)
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

// The titles of the new lines, copied in line order into the work's blocks
// with their scattered reads asked for ahead: the list box then reads them one
// after another. A title that finds no room is read where it is.
static void keep_line_texts(ReorderWork* work, int k) {
    for (int m = 0; m < k; m++) {
        if (m + prefetch_distance < k)
            __builtin_prefetch(work->line_entries[work->positions[m + prefetch_distance]]->title);
        const char* title = work->line_entries[work->positions[m]]->title;
        char* kept = keep_text(work, title);
        work->texts[m] = kept != nullptr ? kept : (char*)title;
    }
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
    if (work.line_entries != nullptr)
        work.texts = (char**)malloc(sizeof(char*) * (size_t)k);
    if (work.texts != nullptr)
        work.positions = (int*)malloc(sizeof(int) * (size_t)k);
    if (work.positions != nullptr)
        work.selected = (PlaylistEntry**)malloc(sizeof(PlaylistEntry*) * (size_t)k);
    if (work.selected != nullptr)
        k = collect_lines(box, &work, n, k, !shuffle);
    if (work.selected == nullptr || k < 2) {
        release_work(&work);
        return;
    }

    if (shuffle)
        shuffle_entries(work.selected, k);
    else
        sort_by_key(work.texts, 0, k - 1, 0, work.selected);

    // The keys are done with: their memory can hold the copies of the contents.
    release_texts(&work);
    PlaylistEntry* current = move_contents(&work, k);
    if (current != nullptr)
        current_entry = current;
    // The whole list is relinked in one pass; no entry is released.
    playlist_head = work.line_entries[0];
    for (int j = 0; j < n - 1; j++)
        work.line_entries[j]->next = work.line_entries[j + 1];
    work.line_entries[n - 1]->next = nullptr;

    keep_line_texts(&work, k);
    SendMessageA(box, WM_SETREDRAW, 0, 0);
    for (int m = k - 1; m >= 0; m--) {
        SendMessageA(box, LB_DELETESTRING, (WPARAM)work.positions[m], 0);
        SendMessageA(box, LB_INSERTSTRING, (WPARAM)work.positions[m], (LPARAM)work.texts[m]);
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
