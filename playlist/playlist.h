// The playlist: a singly linked list of entries in play order, the entry the
// player acts on, and the editing commands on the lines selected in the main
// window's list box (control IDC_PLAYLIST). The list box mirrors the list line for
// line and is the only holder of the selection; every operation here that
// changes the list changes the list box in the same call.
//
// Everything runs on the user-interface thread; the decoder's end-of-track
// handling also reads current_entry and follows next links.
#pragma once

#include "platform/win32.h"

// One playlist line. title and path are separate heap blocks (malloc) of the
// string's length plus two bytes, owned by the entry and never changed after
// creation; the record itself is a malloc block too.
struct PlaylistEntry {
    PlaylistEntry* next; // the following entry; null for the last
    int duration;        // whole seconds, may be 0
    char* title;         // the list box line and the title label
    char* path;          // full path handed to the decoder
};

// The first entry, or null. Changed by insertion, clear_playlist and the
// editing commands.
extern PlaylistEntry* playlist_head;
// The entry play, pause, next and previous act on, or null; always an entry of
// the list. Set by end_insertion, clear_playlist and delete_selected here, and
// by the player controller as it moves through the list.
extern PlaylistEntry* current_entry;

// The playlist list box of the main dialog.
HWND playlist_box(void);

// Releases an entry's title, path and record, in that order.
void release_entry(PlaylistEntry* entry);
// Releases every entry and leaves the list empty with no current entry; the
// list box and the decoder are left alone.
void free_entries(void);

// ---- Batch insertion: the one way entries enter the playlist ----

// State of one batch of insertions; lives only for the batch.
struct InsertionCursor {
    int index;                    // list position and list box line of the next entry
    PlaylistEntry* predecessor;   // entry the next one is linked after (unused at index 0)
    PlaylistEntry* successor;     // entry that followed the insertion point
    PlaylistEntry* last_inserted; // latest entry of this batch, or null
};

// Starts a batch at a list position (0 .. the playlist's length). A negative
// index, and any index while there is no current entry, means the top.
InsertionCursor begin_insertion(int index);
// Links a complete new entry at the cursor, inserts its title as a list box
// line and advances the cursor. The playlist takes ownership of the entry.
void insert_entry(InsertionCursor* cursor, PlaylistEntry* entry);
// Ends a batch; without a current entry the head becomes current and is shown.
void end_insertion(InsertionCursor* cursor);

// Empties list and list box, releases every entry, resets the position display,
// closes the decoder's track and records a stop by the user.
void clear_playlist(void);
// The entry at a list position: the head for 0 or below, null for an empty
// list. The index must be below the playlist's length.
PlaylistEntry* entry_at_index(int index);
// Command "Tout": selects every line; needs no current entry.
void select_all(void);

// ---- Editing the selection as runs of consecutive lines ----

// A maximal run of consecutive selected lines.
struct SelectionRun {
    int start;  // first line
    int length; // number of lines, at least 1
};

// A pointer some entries ahead of a walk of the list from its head, which asks
// for each entry's title and path before the walk gets there: after a sort or
// a shuffle they lie scattered in memory, and the waits overlap this way.
struct WalkAhead {
    PlaylistEntry* entry;
};
WalkAhead walk_ahead_start(void);
// Called once per entry the walk takes.
void walk_ahead_step(WalkAhead* ahead);

// Writes the runs of the selection in ascending order into runs (room for
// (n + 1) / 2 of them) and returns their number; n is the line count, >= 1.
int selected_runs(SelectionRun* runs, int n);
// An editing command on the runs of the selection of box, which has n lines.
typedef int (*SelectionEdit)(HWND box, const SelectionRun* runs, int run_count, int n);
// Runs edit on the selection of the playlist's list box once the editing
// commands' preconditions hold (a current entry, a selection) and returns what
// it returns; 0, without running it, when there is nothing to do or memory is
// short.
int edit_selection(SelectionEdit edit);
// Command "Effacer": deletes the selected lines. When the current entry goes,
// the next survivor becomes current (the head with repeat on when none
// follows), the player stops and the display follows; nothing is played.
void delete_selected(void);
// Commands "Haut" and "Bas": every selected run moves one line and stays
// selected; nothing moves when a run touches the top (bottom).
void move_selected_up(void);
void move_selected_down(void);
// The editing commands above do nothing without a current entry or selection.

// ---- Sorting and shuffling the selected lines among their own positions ----

// Orders of reorder_selected.
#define REORDER_SORT 0    // "Trier": by title through the collation
#define REORDER_SHUFFLE 1 // "Aléatoire": at random

// Commands "Trier" and "Aléatoire" (REORDER_*); nothing unless there is a
// current entry and more than one line is selected.
void reorder_selected(int order);
// The entry's title (UTF-8) mapped through the collation (accents folded to
// their base letter, each upper-case letter just before its lower-case twin,
// characters beyond Windows-1252 after all of it), as a NUL-terminated malloc
// block of the key's own length; null when memory is short.
char* sort_key(const PlaylistEntry* entry);
// Sorts keys[first..last] by their bytes (signed) from position depth on,
// moving entries[first..last] along. Equal keys end in the order a selection
// sort with earliest-minimum swaps, one pass per byte position and group,
// leaves them: that order is part of the behaviour.
void sort_by_key(char** keys, int first, int last, int depth, PlaylistEntry** entries);
// Permutes entries[0..k-1] with rand(): the last unplaced entry goes into the
// r-th still empty slot, r = v * i / 32768 for a 15-bit draw v and i slots left.
// Leaves the entries unchanged when memory is short.
void shuffle_entries(PlaylistEntry** entries, int k);
