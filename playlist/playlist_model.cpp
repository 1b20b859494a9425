// The playlist's list, its batch insertion, clearing, the walk to a line and
// select-all, kept line for line in step with the list box.
#include "playlist/playlist.h"

#include <cstdlib>

#include "common/globals.h"
#include "common/resource.h"
#include "playback/player.h"
#include "playback/position.h"
#include "vbmp3/vbmp3.h"

PlaylistEntry* playlist_head = nullptr;
PlaylistEntry* current_entry = nullptr;

HWND playlist_box(void) {
    return GetDlgItem(main_dialog, IDC_PLAYLIST);
}

void release_entry(PlaylistEntry* entry) {
    free(entry->title);
    free(entry->path);
    free(entry);
}

InsertionCursor begin_insertion(int index) {
    InsertionCursor cursor = {0, nullptr, nullptr, nullptr};
    // A visible list box redraws its scroll bar at every insertion: a long
    // playlist would take minutes to show. It is drawn once, at the end.
    SendMessageA(playlist_box(), WM_SETREDRAW, FALSE, 0);
    // Without a current entry a batch always goes to the top, so that its
    // first entry can become current.
    if (index < 0 || current_entry == nullptr)
        index = 0;
    if (index == 0) {
        cursor.successor = playlist_head;
    } else {
        PlaylistEntry* predecessor = playlist_head;
        int position = 1;
        // Callers pass at most the length; a larger index stops at the end
        // rather than walking off the list.
        while (position < index && predecessor->next != nullptr) {
            predecessor = predecessor->next;
            position++;
        }
        index = position;
        cursor.predecessor = predecessor;
        cursor.successor = predecessor->next;
    }
    cursor.index = index;
    return cursor;
}

void insert_entry(InsertionCursor* cursor, PlaylistEntry* entry) {
    if (cursor->index == 0)
        playlist_head = entry;
    else
        cursor->predecessor->next = entry;
    // The list is whole after every insertion: the decoder's handler may
    // follow next links at any time.
    entry->next = cursor->successor;
    cursor->predecessor = entry;
    cursor->last_inserted = entry;
    SendMessageA(playlist_box(), LB_INSERTSTRING, (WPARAM)cursor->index, (LPARAM)entry->title);
    cursor->index++;
}

void end_insertion(InsertionCursor* cursor) {
    if (cursor->last_inserted != nullptr)
        cursor->last_inserted->next = cursor->successor;
    HWND box = playlist_box();
    SendMessageA(box, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(box, nullptr, TRUE);
    if (current_entry == nullptr && playlist_head != nullptr) {
        current_entry = playlist_head;
        refresh_display();
    }
}

void free_entries(void) {
    PlaylistEntry* entry = playlist_head;
    while (entry != nullptr) {
        PlaylistEntry* next = entry->next;
        release_entry(entry);
        entry = next;
    }
    current_entry = nullptr;
    playlist_head = nullptr;
}

void clear_playlist(void) {
    SendMessageA(playlist_box(), LB_RESETCONTENT, 0, 0);
    free_entries();
    reset_position();
    vbmp3_close();
    stop_reason = STOP_REASON_USER;
}

PlaylistEntry* entry_at_index(int index) {
    PlaylistEntry* entry = playlist_head;
    if (entry == nullptr)
        return nullptr;
    for (int i = 0; i < index && entry->next != nullptr; i++)
        entry = entry->next;
    return entry;
}

void select_all(void) {
    // A range leaves the anchor and the caret where the user put them, so a
    // Shift+click still extends from the line last clicked; the packed range
    // of LB_SELITEMRANGE would stop at line 65,535, this one does not.
    HWND list = playlist_box();
    LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    if (count > 0)
        SendMessageA(list, LB_SELITEMRANGEEX, 0, (LPARAM)(count - 1));
}
