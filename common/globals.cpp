// The process-wide values and the start directory they are built from.
#include "common/globals.h"

#include <cstring>

// The longest of the file names kept in program_dir.
#define LONGEST_FILE_NAME_LENGTH 12 // "Froulard.ini", "Froulard.m3u"

HINSTANCE app_instance = nullptr;
HWND main_dialog = nullptr;
char program_dir[MAX_PATH];

// The fallback names the current directory by relative paths alone: a
// relative playlist line resolved against it stays the same line, where "./"
// would be prefixed to it again at every start.
void read_start_directory(char* directory) {
    DWORD length = GetCurrentDirectoryA(MAX_PATH, directory);
    if (length == 0 || length >= MAX_PATH) {
        directory[0] = '\0';
        return;
    }
    int separator_missing = directory[length - 1] != PATH_SEPARATOR;
    // Every path the program builds from it must fit in MAX_PATH bytes.
    if (length + separator_missing + LONGEST_FILE_NAME_LENGTH > MAX_PATH - 1) {
        directory[0] = '\0';
        return;
    }
    if (separator_missing) {
        directory[length] = PATH_SEPARATOR;
        directory[length + 1] = '\0';
    }
}
