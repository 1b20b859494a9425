// Writing the whole playlist as an extended M3U file.
#include "playlist_files/playlist_files.h"

#include <cstdio>
#include <cstring>

// A line feed inside a title (tags may hold one) would split its EXTINF line
// and turn the rest into a path line; it is written as a space. At most
// limit bytes are written, cut at a character boundary.
static void write_title(TextFile* file, const char* title, size_t limit) {
    char piece[MAX_PATH];
    size_t used = 0;
    size_t length = text_cut_length(title, strlen(title), limit);
    for (size_t i = 0; i < length; i++) {
        piece[used++] = title[i] == '\n' ? ' ' : title[i];
        if (used == sizeof piece - 1 || i + 1 == length) {
            piece[used] = '\0';
            text_write(file, piece);
            used = 0;
        }
    }
}

int write_m3u_file(const char* path) {
    int count = (int)SendMessageA(playlist_box(), LB_GETCOUNT, 0, 0);
    // The new content goes to a file beside the target that replaces it only
    // once complete, so a failure never costs the old playlist; where the
    // folder takes no new file, the file is written in place.
    TextFile* file = text_open_replace(path);
    if (file == nullptr)
        return 0;
    text_write(file, "#EXTM3U\n");
    PlaylistEntry* entry = playlist_head;
    for (int i = 0; i < count && entry != nullptr; i++, entry = entry->next) {
        // The line must fit what the reader takes whole (MAX_PATH + 39 bytes
        // before its line feed, room for any title the program makes), or
        // the title would read back different.
        char extinf[32];
        int prefix = snprintf(extinf, sizeof extinf, "#EXTINF:%d,", entry->duration);
        text_write(file, extinf);
        write_title(file, entry->title, MAX_PATH + 39 - (size_t)prefix);
        text_write(file, "\n");
        text_write(file, entry->path);
        text_write(file, "\n");
    }
    return text_commit(file) ? 1 : 0;
}

void write_m3u(const char* path) {
    if (write_m3u_file(path) == 0)
        show_error(ERROR_PLAYLIST_NOT_WRITTEN);
}
