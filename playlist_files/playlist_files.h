// Playlist files: turning chosen files into playlist entries with display
// titles, the file dialogs of the main window, and the extended M3U format.
//
// Paths are UTF-8 text of at most MAX_PATH - 1 bytes; a directory ends
// in PATH_SEPARATOR. Everything runs on the user-interface thread.
#pragma once

#include "platform/win32.h"
#include "playlist/playlist.h"

// ---- One batch of additions (valid only during add_files) ----

// The cursor of the running batch: where its next entry goes.
extern InsertionCursor batch_cursor;
// Title and duration of the last accepted EXTINF line that no path line has
// used yet; the title is emptied before each name of a batch and whenever a
// path line takes or drops it.
extern char pending_title[MAX_PATH];
extern int pending_duration;

// Inserts at a list position (0 .. the playlist's length; the top while there
// is no current entry) an entry for every name ending in "3" (an MP3 file) and
// the entries of every name ending in "u" or "U" or in ".m3u8" (letters in
// either case; an M3U playlist), in list
// order. names: NUL-terminated bare file names one after another, closed by an
// empty name; an empty list adds nothing. A name whose full path would not fit
// in MAX_PATH - 1 bytes is skipped. Without a current entry the first entry of
// the list becomes current and is shown; nothing is played.
void add_files(int index, const char* directory, const char* names);
// The names of one directory, as add_files adds them, inside a batch already
// begun into batch_cursor (begin_insertion) and not yet ended.
void add_names_to_batch(const char* directory, const char* names);
// Makes at most one entry for a file and inserts it at the batch's cursor. Its
// title is pending_title when one waits (no entry at all when
// pending_duration is negative), else "artist - title" from the file's tags
// ("Inconnu" for a missing half), else the name part less its last four
// characters; titles are cut to 255 characters. Empties pending_title. An
// entry that cannot be allocated is silently not made.
void create_entry(const char* name_part, const char* full_path, char* pending_title,
                  int pending_duration);

// ---- The main window's file dialogs ----

// Modes of browse_files.
#define BROWSE_ADD 0
#define BROWSE_OPEN 1

// The open dialog for "Ajouter" (BROWSE_ADD) and "Ouvrir" (BROWSE_OPEN): on
// confirmation, BROWSE_OPEN first empties the playlist, then the chosen files are
// added at index. Returns 1 when confirmed (whether or not any entry resulted),
// 0 when cancelled or failed, with nothing changed.
int browse_files(int index, int mode);
// "Enregistrer": the save dialog, then write_m3u on the chosen path.
void save_playlist_as(void);

// ---- Files dropped on the main window ----

// Adds at a list position, in one batch and in the order dropped, what the
// drop names, as "Ajouter" adds chosen files: a file whose name ends in ".mp3",
// ".m3u" or ".m3u8" (letters in either case) through add_files' rules; a folder's
// MP3 files and those of its subfolders, in name order (letters compared
// without case), a subfolder's among its folder's files at its name's place.
// Left out: any other file; a hidden or system file or folder inside a
// folder; a linked folder inside one (it may lead back up); a name that names
// nothing (on Windows, what a name the code page cannot hold comes back as);
// a name holding a line feed or carriage return, which would split its
// playlist line; and a path of MAX_PATH bytes or more. Releases the drop.
void add_dropped_files(int index, HDROP drop);

// ---- Extended M3U ----

// Writes the whole playlist: "#EXTM3U", then "#EXTINF:duration,title" and the
// path for each entry, every line ending in CR LF. The old file stays whole
// until the new one is complete (a writable file in a folder that takes no new
// file is written in place); any failure shows
// show_error(ERROR_PLAYLIST_NOT_WRITTEN) instead.
void write_m3u(const char* path);
// write_m3u without the box, for a close nobody is at the window to answer:
// 1 when the file was written, 0 when it was not.
int write_m3u_file(const char* path);
// Reads a playlist inside a running add_files batch; directory (ending in
// PATH_SEPARATOR) resolves relative path lines. Each path line becomes an entry
// through create_entry, titled by the EXTINF line before it when one was
// accepted. A file that cannot be opened adds nothing, silently.
void read_m3u(const char* path, const char* directory);
// Errors for show_error.
#define ERROR_PLAYLIST_NOT_WRITTEN 1 // a playlist file cannot be written

// Shows the warning box of ERROR_PLAYLIST_NOT_WRITTEN; any other number shows
// nothing.
void show_error(int number);
