// A batch of additions: every name of a list, at one position of the playlist.
#include "playlist_files/playlist_files.h"

#include <cstdio>
#include <cstring>

InsertionCursor batch_cursor = {0, nullptr, nullptr, nullptr};
char pending_title[MAX_PATH] = "";
int pending_duration = 0;

static int is_m3u8_name(const char* name, size_t length) {
    if (length < 5)
        return 0;
    const char* end = name + length - 5;
    return end[0] == '.' && (end[1] == 'm' || end[1] == 'M') && end[2] == '3' &&
           (end[3] == 'u' || end[3] == 'U') && end[4] == '8';
}

void add_names_to_batch(const char* directory, const char* names) {
    for (const char* name = names; *name != '\0'; name += strlen(name) + 1) {
        char full_path[MAX_PATH];
        pending_title[0] = '\0';
        // A cut path would name another file, and be saved that way.
        int written = snprintf(full_path, sizeof full_path, "%s%s", directory, name);
        if (written < 0 || written >= (int)sizeof full_path)
            continue;
        // Only the last character of the name decides, but for ".m3u8", the
        // UTF-8 playlist of other players.
        size_t length = strlen(name);
        char last = name[length - 1];
        if (last == '3')
            create_entry(name, full_path, pending_title, pending_duration);
        else if (last == 'u' || last == 'U' || is_m3u8_name(name, length))
            read_m3u(full_path, directory);
    }
}

void add_files(int index, const char* directory, const char* names) {
    batch_cursor = begin_insertion(index);
    add_names_to_batch(directory, names);
    end_insertion(&batch_cursor);
}
