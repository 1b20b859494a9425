// "Enregistrer": the save dialog, then the M3U writer.
#include "playlist_files/playlist_files.h"

#include "common/globals.h"

void save_playlist_as(void) {
    char path[MAX_PATH] = "";
    char file_title[MAX_PATH] = "";
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = main_dialog;
    dialog.lpstrFilter = "Fichiers M3U(*.m3u)\0*.m3u;*.m3u8\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path;
    dialog.nMaxFile = sizeof path;
    dialog.lpstrFileTitle = file_title;
    dialog.nMaxFileTitle = sizeof file_title;
    dialog.lpstrTitle = "Enregistrer";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
    dialog.lpstrDefExt = "m3u";
    if (GetSaveFileNameA(&dialog))
        write_m3u(path);
}
