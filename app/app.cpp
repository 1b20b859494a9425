// Start-up, the message loop and shutdown.
#include "app/app.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "app/main_window.h"
#include "common/resource.h"
#include "playback/player.h"
#include "playback/position.h"
#include "playlist/playlist.h"
#include "playlist_files/playlist_files.h"
#include "settings/settings.h"
#include "vbmp3/vbmp3.h"

#define OUTPUT_FREQUENCY 44100

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
    // A second program in the folder would overwrite this one's files at its
    // close: it brings this one's window forward instead, before it reads or
    // writes anything.
    char directory[MAX_PATH];
    read_start_directory(directory);
    if (!folder_instance_claim(directory)) {
        return 0;
    }
    // The sliders are a common control, whose class must be registered first.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    main_dialog =
        CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_DIALOG1), nullptr, main_dialog_proc, 0);
    folder_instance_set_window(main_dialog);
    initialise_app();
    start_media_controls();
    return run_message_loop();
}
