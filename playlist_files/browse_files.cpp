// The open dialog of "Ajouter" and "Ouvrir", and its answer handed to add_files.
#include "playlist_files/playlist_files.h"

#include <cstring>

#include "common/globals.h"

// Sizes of the dialog's answer buffers.
#define ANSWER_SIZE 65535
#define FILE_TITLE_SIZE 16384

// A name list with no name, for an answer no full path could be made from.
static const char no_names[2] = "";

int browse_files(int index, int mode) {
    // Both start empty every time: the single-file answer is told from a
    // multiple one by the byte after its NUL.
    static char answer[ANSWER_SIZE];
    static char file_title[FILE_TITLE_SIZE];
    memset(answer, 0, sizeof answer);
    memset(file_title, 0, sizeof file_title);
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = main_dialog;
    dialog.lpstrFilter = "Fichiers MP3(*.mp3)\0*.mp3\0Fichiers M3U(*.m3u)\0*.m3u;*.m3u8\0";
    dialog.nFilterIndex = 0;
    dialog.lpstrFile = answer;
    dialog.nMaxFile = sizeof answer;
    dialog.lpstrFileTitle = file_title;
    dialog.nMaxFileTitle = sizeof file_title;
    dialog.lpstrTitle = mode == BROWSE_OPEN ? "Ouvrir" : "Ajouter";
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_ALLOWMULTISELECT;
    if (!GetOpenFileNameA(&dialog))
        return 0;

    if (mode == BROWSE_OPEN)
        clear_playlist();

    char directory[MAX_PATH] = "";
    const char* names = no_names;
    size_t first_length = strlen(answer);
    if (first_length + 1 < sizeof answer && answer[first_length + 1] != '\0') {
        // Several files: the directory (a separator appended whatever it ends
        // with), then the names, used in place.
        if (first_length + 1 < sizeof directory) {
            memcpy(directory, answer, first_length);
            directory[first_length] = PATH_SEPARATOR;
            directory[first_length + 1] = '\0';
            names = answer + first_length + 1;
        }
    } else {
        // One file: its full path, whose directory keeps the separator in
        // front of the name given as the file title.
        size_t name_length = strlen(file_title);
        size_t directory_length = first_length - name_length;
        if (name_length <= first_length && directory_length < sizeof directory &&
            name_length + 1 < sizeof file_title) {
            memcpy(directory, answer, directory_length);
            directory[directory_length] = '\0';
            file_title[name_length + 1] = '\0';
            names = file_title;
        }
    }
    add_files(index, directory, names);
    return 1;
}
