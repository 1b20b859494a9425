// Start-up, the message loop and shutdown.
#include "app/app.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "app/main_window.h"
#include "app/resource.h"
#include "playback/player.h"
#include "playback/position.h"
#include "playlist/playlist.h"
#include "playlist_files/playlist_files.h"
#include "settings/settings.h"
#include "vbmp3/vbmp3.h"

// The longest of the file names kept in program_dir.
#define LONGEST_FILE_NAME_LENGTH 12 // "Froulard.ini", "Froulard.m3u"
#define OUTPUT_FREQUENCY 44100

HINSTANCE app_instance = nullptr;
HWND main_dialog = nullptr;
char program_dir[MAX_PATH];

void read_start_directory(char* directory) {
    DWORD length = GetCurrentDirectoryA(MAX_PATH, directory);
    if (length == 0 || length >= MAX_PATH) {
        strcpy(directory, "." PATH_SEPARATOR_STRING);
        return;
    }
    int separator_missing = directory[length - 1] != PATH_SEPARATOR;
    // Every path the program builds from it must fit in MAX_PATH bytes.
    if (length + separator_missing + LONGEST_FILE_NAME_LENGTH > MAX_PATH - 1) {
        strcpy(directory, "." PATH_SEPARATOR_STRING);
        return;
    }
    if (separator_missing) {
        directory[length] = PATH_SEPARATOR;
        directory[length + 1] = '\0';
    }
}

// Called by the decoder library from any of its threads: its events are then
// delivered on this thread, by the main dialog, through vbmp3_pump.
static void wake_main_dialog(void) {
    PostMessageA(main_dialog, WM_DECODER_EVENTS, 0, 0);
}

void initialise_app(void) {
    playlist_head = nullptr;
    if (vbmp3_init() == 0) {
        exit(0);
    }
    vbmp3_setWakeup(wake_main_dialog);
    vbmp3_callback(decoder_event);
    VBMP3_DECODE_OPTION option = {0, 0, OUTPUT_FREQUENCY};
    vbmp3_setDecodeOption(&option);
    srand((unsigned)(int)(time(nullptr) % 65536));

    char directory[MAX_PATH];
    read_start_directory(directory);
    load_settings();

    // A name list: one name, closed by an empty name.
    char names[] = DEFAULT_PLAYLIST_NAME "\0";
    add_files(0, directory, names);
    reset_position();
    refresh_display();
}

int run_message_loop(void) {
    MSG message;
    // 0 is the quit message; -1 (an error) keeps the loop going like any message.
    while (GetMessageA(&message, nullptr, 0, 0) != 0) {
        if (main_dialog != nullptr && IsDialogMessageA(main_dialog, &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return (int)message.wParam;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    app_instance = instance;
    // The sliders are a common control, whose class must be registered first.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    main_dialog =
        CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_DIALOG1), nullptr, main_dialog_proc, 0);
    initialise_app();
    return run_message_loop();
}
