// One playlist entry for one file, titled from a playlist's EXTINF line, from
// the file's tags, or from its name.
#include "playlist_files/playlist_files.h"

#include <cstdlib>
#include <cstring>

#include "platform/textfile.h"
#include "vbmp3/vbmp3.h"

// A tag string counts when it begins with neither the end nor a space.
static int tag_present(const char* text) {
    return text[0] != '\0' && text[0] != ' ';
}

// Appends text to a title in a 256-byte buffer, keeping at most 255 bytes and
// whole characters.
static void append_title(char* title, const char* text) {
    size_t used = strlen(title);
    size_t length = text_cut_length(text, strlen(text), 255 - used);
    memcpy(title + used, text, length);
    title[used + length] = '\0';
}

// The title of an entry made from the file's tags, in a 256-byte buffer
// (at most 255 bytes); returns the duration the decoder reported.
static int title_from_tags(const char* name_part, const char* full_path, char* title) {
    VBMP3_TAG_INFO tag = {};
    VBMP3_INFO info = {};
    tag.title[0] = '\0';
    tag.artist[0] = '\0';
    info.length = 0;
    vbmp3_getFileInfo(full_path, &tag, &info);
    tag.title[sizeof tag.title - 1] = '\0';
    tag.artist[sizeof tag.artist - 1] = '\0';

    int artist = tag_present(tag.artist);
    int song = tag_present(tag.title);
    if (artist || song) {
        append_title(title, artist ? tag.artist : "Inconnu");
        append_title(title, " - ");
        append_title(title, song ? tag.title : "Inconnu");
    } else {
        // The name less its extension (its last four bytes, whatever they are),
        // ending on a character boundary.
        size_t length = strlen(name_part);
        size_t kept = text_cut_length(name_part, length, length >= 4 ? length - 4 : 0);
        if (kept > 255)
            kept = text_cut_length(name_part, kept, 255);
        memcpy(title, name_part, kept);
        title[kept] = '\0';
    }
    return info.length;
}

// A malloc copy of text in a block of its length plus two bytes.
static char* copy_string(const char* text) {
    size_t length = strlen(text);
    char* copy = (char*)malloc(length + 2);
    if (copy != nullptr)
        memcpy(copy, text, length + 1);
    return copy;
}

void create_entry(const char* name_part, const char* full_path, char* pending_title,
                  int pending_duration) {
    char title[256] = {};
    int duration;
    if (pending_title[0] != '\0') {
        if (pending_duration < 0) {
            pending_title[0] = '\0';
            return;
        }
        append_title(title, pending_title);
        duration = pending_duration;
        pending_title[0] = '\0';
    } else {
        duration = title_from_tags(name_part, full_path, title);
    }

    PlaylistEntry* entry = (PlaylistEntry*)malloc(sizeof(PlaylistEntry));
    char* title_block = copy_string(title);
    char* path_block = copy_string(full_path);
    if (entry == nullptr || title_block == nullptr || path_block == nullptr) {
        free(title_block);
        free(path_block);
        free(entry);
        return;
    }
    entry->next = nullptr;
    entry->duration = duration;
    entry->title = title_block;
    entry->path = path_block;
    insert_entry(&batch_cursor, entry);
}
