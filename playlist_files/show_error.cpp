// The program's only message box.
#include "playlist_files/playlist_files.h"

#include "common/globals.h"

void show_error(int number) {
    if (number != ERROR_PLAYLIST_NOT_WRITTEN)
        return;
    MessageBoxA(main_dialog, "Mon Dieu! Quelque chose ne va pas... :-(", "Attention",
                MB_OK | MB_ICONWARNING);
}
