// Files, playlists and folders dropped on the main window, added by the path
// "Ajouter" takes: one batch, each file through add_names_to_batch.
#include "playlist_files/playlist_files.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

// What a folder contributes: an MP3 file, or a subfolder to read in turn.
struct FolderItem {
    char* names; // the name and an empty one: a name list of one
    int is_folder;
};

static int lower_case(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

static int ends_with(const char* name, const char* extension) {
    size_t length = strlen(name);
    size_t extension_length = strlen(extension);
    if (length < extension_length)
        return 0;
    const char* end = name + length - extension_length;
    for (size_t i = 0; i < extension_length; i++) {
        if (lower_case((unsigned char)end[i]) != extension[i])
            return 0;
    }
    return 1;
}

// Letters compared without case; names that differ only in case keep a fixed order.
static int compare_items(const void* a, const void* b) {
    const unsigned char* x = (const unsigned char*)((const FolderItem*)a)->names;
    const unsigned char* y = (const unsigned char*)((const FolderItem*)b)->names;
    for (size_t i = 0;; i++) {
        int difference = lower_case(x[i]) - lower_case(y[i]);
        if (difference != 0)
            return difference;
        if (x[i] == '\0')
            return strcmp((const char*)x, (const char*)y);
    }
}

// A line feed or carriage return would split the name's playlist line.
static int holds_line_break(const char* name) {
    return strpbrk(name, "\r\n") != nullptr;
}

static int worth_adding(const WIN32_FIND_DATAA* found) {
    const char* name = found->cFileName;
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0 || holds_line_break(name))
        return 0;
    if (found->dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
        return 0;
    if (!(found->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return ends_with(name, ".mp3");
    // A link or a junction may lead back to a folder above it.
    int linked = (found->dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                 (found->dwReserved0 == (DWORD)IO_REPARSE_TAG_SYMLINK ||
                  found->dwReserved0 == (DWORD)IO_REPARSE_TAG_MOUNT_POINT);
    return !linked;
}

// The folder's items worth adding, unsorted, in a malloc'd array; their count.
// What cannot be allocated is left out.
static int read_folder(const char* folder, FolderItem** items) {
    *items = nullptr;
    char pattern[MAX_PATH];
    int written = snprintf(pattern, sizeof pattern, "%s*", folder);
    if (written < 0 || written >= (int)sizeof pattern)
        return 0;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    int capacity = 0;
    do {
        if (!worth_adding(&found))
            continue;
        if (count == capacity) {
            int larger = capacity == 0 ? 64 : capacity * 2;
            FolderItem* grown = (FolderItem*)realloc(*items, (size_t)larger * sizeof **items);
            if (grown == nullptr)
                break;
            *items = grown;
            capacity = larger;
        }
        size_t length = strlen(found.cFileName);
        char* names = (char*)malloc(length + 2);
        if (names == nullptr)
            continue;
        memcpy(names, found.cFileName, length + 1);
        names[length + 1] = '\0';
        (*items)[count].names = names;
        (*items)[count].is_folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        count++;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

// Windows lists a name its code page cannot hold with "?" or a look-alike in
// place of what it cannot hold: such a name names no file, and is left out.
static int names_a_file(const char* folder, const char* name) {
    char path[MAX_PATH];
    int written = snprintf(path, sizeof path, "%s%s", folder, name);
    if (written < 0 || written >= (int)sizeof path)
        return 0;
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// folder (a MAX_PATH buffer) ends in PATH_SEPARATOR; each subfolder's path is
// made in the same buffer, so the descent costs no path buffer per level, and
// the buffer holds the folder again on return. Every level adds at least two
// bytes to a path held under MAX_PATH, so the descent ends.
static void add_folder(char* folder) {
    FolderItem* items;
    int count = read_folder(folder, &items);
    if (count > 0)
        qsort(items, (size_t)count, sizeof *items, compare_items);
    size_t length = strlen(folder);
    for (int i = 0; i < count; i++) {
        if (items[i].is_folder) {
            int written = snprintf(folder + length, MAX_PATH - length, "%s%c", items[i].names,
                                   PATH_SEPARATOR);
            if (written > 0 && (size_t)written < MAX_PATH - length)
                add_folder(folder);
            folder[length] = '\0';
        } else if (names_a_file(folder, items[i].names)) {
            add_names_to_batch(folder, items[i].names);
        }
        free(items[i].names);
    }
    free(items);
}

// A dropped file: its folder, and its name as a name list of one.
static void add_file(const char* path) {
    const char* separator = strrchr(path, PATH_SEPARATOR);
    if (separator == nullptr)
        return;
    const char* name = separator + 1;
    if (!ends_with(name, ".mp3") && !ends_with(name, ".m3u") && !ends_with(name, ".m3u8"))
        return;
    char folder[MAX_PATH];
    char names[MAX_PATH + 1];
    size_t folder_length = (size_t)(name - path);
    memcpy(folder, path, folder_length);
    folder[folder_length] = '\0';
    size_t name_length = strlen(name);
    memcpy(names, name, name_length + 1);
    names[name_length + 1] = '\0';
    add_names_to_batch(folder, names);
}

void add_dropped_files(int index, HDROP drop) {
    UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    batch_cursor = begin_insertion(index);
    for (UINT i = 0; i < count; i++) {
        char path[MAX_PATH];
        // A cut path would name another file.
        UINT length = DragQueryFileA(drop, i, nullptr, 0);
        if (length == 0 || length >= sizeof path)
            continue;
        DragQueryFileA(drop, i, path, sizeof path);
        if (holds_line_break(path))
            continue;
        DWORD attributes = GetFileAttributesA(path);
        if (attributes == INVALID_FILE_ATTRIBUTES)
            continue;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            // The separator is added unless the folder is a root ("/", "C:\").
            if (path[length - 1] != PATH_SEPARATOR) {
                if (length + 1 >= sizeof path)
                    continue;
                path[length] = PATH_SEPARATOR;
                path[length + 1] = '\0';
            }
            add_folder(path);
        } else {
            add_file(path);
        }
    }
    end_insertion(&batch_cursor);
    DragFinish(drop);
}
